// The document side of contacts and groups: the field reader and the VCF writer's photo step.

#include "convert/calendar/ContactVcf.h"
#include "convert/mail/DocumentAccess.h"
#include "convert/richtext/TempFolder.h"
#include "convert/mail/TextHelpers.h"

#include <exception>
#include <utility>
#include <vector>

namespace {

// The value of one form field as the reader pairs it with the field's name.
QString FieldValue(LNDocument& document, const LNFormField& field) {
    QString value;
    if (field.type == LNFIELDTYPE_DATETIME && (field.name == "Birthday" || field.name == "Anniversary"))
        value = ToWide(document.GetItemDatetimes(field.name).GetText(";"));
    if (!document.HasItem(field.name)) return value;
    if (field.type == LNFIELDTYPE_RICHTEXT) {
        LNRichText richText;
        value.clear();
        if (document.GetRichText(field.name, &richText) == LNNOERROR && !richText.IsNull())
            value = ToWide(richText.GetPlainText());
        if (value.isEmpty() && field.name == "Comment") value = ToWide(document.GetItemText(field.name, ";"));
        return value;
    }
    return ToWide(document.GetItemText(field.name, ";"));
}

void ReadContact(const ConvertContext& context, NOTEID noteId, ContactFields& f) {
    OpenedDocument document(context, noteId);
    if (!document.IsOpen()) return;
    std::vector<LNFormField> formFields;
    if (document->GetFormFields(&formFields) == LNNOERROR) {
        std::vector<std::pair<QString, QString>> pairs;
        for (const LNFormField& field : formFields)
            pairs.emplace_back(ToWide(field.name), FieldValue(*document, field));
        for (const auto& [name, value] : pairs) {
            if (name == u"primaryAddress")
                f.PrimaryAddressKind = PrimaryAddressKindOf(value);
            else if (QString* member = ContactMemberFor(f, name))
                *member = value;
        }
    }
    f.BodyHtml = DocumentHtml(context, *document);
    if (document->HasAttachments()) {
        for (const LNAttachment& attachment : document->GetAttachments())
            f.AttachmentNames += ToWide(attachment.GetName()) + QStringLiteral(", ");
    }
}

constexpr char16_t kPhotoName[] = u"ContactPhoto";

// Every attachment named exactly "ContactPhoto" becomes a PHOTO; the file stays detached, for
// the folder dump to give the contact its picture.
std::optional<QString> WritePhotos(const ConvertContext& context, NOTEID noteId, LineFile& vcf) {
    std::optional<QString> photoPath;
    OpenedDocument document(context, noteId);
    if (!document.IsOpen()) return photoPath;
    const QString folder = DetachFolder();
    for (const LNAttachment& attachment : document->GetAttachments()) {
        const QString name = ToWide(attachment.GetName());
        if (name != QStringView(kPhotoName)) continue;
        const QString path = folder.isEmpty() ? QString() : folder + name;
        QFile file;
        if (!DetachForReading(attachment, path, file)) {
            context.Log(QStringLiteral("ERROR: ") + name + QStringLiteral(" is not dump.\r\n"));
            context.AddError();
            continue;
        }
        context.Log(name + u',');
        WriteVcfPhoto(vcf, file);
        photoPath = path;
    }
    return photoPath;
}

}  // namespace

ContactFields ReadContactFields(const ConvertContext& context, NOTEID noteId, LNSTATUS* thrown) {
    ContactFields fields;
    // A status thrown by the Notes layer ends the read; what was collected so far stays.
    const LNSTATUS status = LNCatchStatus([&] { ReadContact(context, noteId, fields); });
    if (thrown != nullptr) *thrown = status;
    return fields;
}

int WriteContactVcf(const ConvertContext& context, NOTEID noteId, const ContactFields& fields,
                    const QString& vcfPath, QString& photoPath) {
    const VcfPhotoStep photo = [&context, noteId](LineFile& vcf) {
        return WritePhotos(context, noteId, vcf);
    };
    return WriteContactVcfFile(vcfPath, fields, context, photo, photoPath);
}
