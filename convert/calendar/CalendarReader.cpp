// The document side of calendar entries: the field reader and the ICS writer's document steps.

#include "convert/mail/AddressTranslation.h"
#include "convert/calendar/CalendarIcs.h"
#include "convert/mail/DocLinks.h"
#include "convert/mail/DocumentAccess.h"
#include "convert/mail/EmlWriter.h"
#include "convert/mail/FieldReader.h"
#include "convert/richtext/TempFolder.h"
#include "convert/mail/TextHelpers.h"

#include <exception>

namespace {

// Time-zone code 0 of the platform: the zone the file labels "Greenwich Mean Time".
constexpr int kReferenceZone = 0;

QString ReferenceZoneText(const LNDatetime& date) {
    return ToWide(date.ConvertToZone(kReferenceZone).GetPlainText());
}

void DecryptIfAsked(const ConvertContext& context, LNDocument& document) {
    if (document.IsEncrypted() && context.Options().removeEncryption == 1) (void)document.Decrypt();
}

void ReadFormFields(LNDocument& document, CalendarFields& f) {
    std::vector<LNFormField> fields;
    if (document.GetFormFields(&fields) != LNNOERROR) return;
    for (const LNFormField& field : fields) {
        if ((field.name == "StartDate" || field.name == "tmpStartDate") &&
            field.type == LNFIELDTYPE_DATETIME) {
            LNDatetime start, end;
            if (document.GetDateRange(&start, &end) == LNNOERROR) {
                f.StartDateText = ReferenceZoneText(start);
                f.EndDateText = ReferenceZoneText(end);
            }
        } else if (field.name == "StartTimeZone" || field.name == "EndTimeZone") {
            (field.name == "StartTimeZone" ? f.StartTimeZone : f.EndTimeZone) =
                ItemText(document, field.name.c_str());
        }
    }
}

QString DateText(const LNDatetime& date) {
    return date.IsNull() ? QString() : ToWide(date.GetPlainText());
}

void ReadEntry(const ConvertContext& context, NOTEID noteId, CalendarFields& f) {
    {
        OpenedDocument document(context, noteId);
        if (!document.IsOpen()) return;
        ReadFormFields(*document, f);
        DecryptIfAsked(context, *document);
        if (document->IsAlarmEnabled()) {
            f.AlarmEnabled = 1;
            // The record counts minutes before the start, as the ICS trigger and the PST
            // reminder read it; the Notes layer counts them after the start ("$AlarmOffset"
            // is -15 for a reminder a quarter of an hour ahead).
            f.AlarmOffsetMinutes = -document->GetAlarmOffset();
        }
        f.EntryType = document->GetEntryType();
        f.Summary = ToWide(document->GetBriefDescription());
        // An HTML "Body" is no plain description: it is left to the fall-backs, which take it
        // as HTML instead of showing its markup as text.
        LNItem body;
        if (document->GetItem("Body", &body) != LNNOERROR || body.GetType() != LNITEMTYPE_HTML)
            f.Body = ToWide(document->GetDetailedDescription());
        f.RequiredAttendees = Joined(document->GetRequiredAttendees());
    }
    OpenedDocument document(context, noteId);
    if (!document.IsOpen()) return;
    DecryptIfAsked(context, *document);
    if (f.Body.isEmpty()) ReadBodyItem(context, *document, f.Body, f.BodyIsHtml);
    f.Importance = document->GetImportance();
    f.CreatedDateText = DateText(document->GetCreated());
    f.LastModifiedDateText = DateText(document->GetLastModified());
    const RunOptions& options = context.Options();
    const QString internet = ItemText(*document, "INetFrom");
    const QString sender = ToWide(document->GetSender());
    f.From = options.addressTranslation == 1 ? TranslateAddressLists(internet, sender, options)
                                             : MergeAddressLists(internet, sender);
    f.Categories = ToWide(document->GetCategories());
    f.Location = ItemText(*document, "Location");
    if (document->HasAttachments()) {
        for (const LNAttachment& attachment : document->GetAttachments())
            f.AttachmentNames += ToWide(attachment.GetName()) + QStringLiteral(", ");
    }
}

QByteArray AttachLineStart(const QString& fileName) {
    return "ATTACH;ENCODING=BASE64;VALUE=BINARY;X-FILENAME=\"" + EncodeAnsi(OneLine(fileName)) + "\":";
}

// Every file attachment as an ATTACH line: cleaned, detached into the "temp" folder, read and
// deleted again, the way the EML writer takes them.
void AttachFiles(const ConvertContext& context, NOTEID noteId, LineFile& ics) {
    OpenedDocument document(context, noteId);
    if (!document.IsOpen()) return;
    DecryptIfAsked(context, *document);
    const QString folder = DetachFolder();
    for (const LNAttachment& attachment : document->GetAttachments()) {
        const QString cleaned = CleanName(ToWide(attachment.GetName()));
        const QString path = folder.isEmpty() ? QString() : folder + DetachFileName(cleaned);
        QFile file;
        if (!DetachForReading(attachment, path, file)) {
            context.Log(QStringLiteral("ERROR: ") + cleaned + QStringLiteral(" is not dump.\r\n"));
            context.AddError();
        } else {
            context.Log(cleaned + u',');
            ics.Write(AttachLineStart(cleaned));
            ics.WriteBase64(file);
            ics.Line("");
            file.close();
        }
        if (!path.isEmpty()) QFile::remove(path);
    }
}

}  // namespace

CalendarFields ReadCalendarFields(const ConvertContext& context, NOTEID noteId, LNSTATUS* thrown) {
    CalendarFields fields;
    // A status thrown by the Notes layer ends the read; what was collected so far stays.
    const LNSTATUS status = LNCatchStatus([&] { ReadEntry(context, noteId, fields); });
    if (thrown != nullptr) *thrown = status;
    return fields;
}

int WriteCalendarIcs(const ConvertContext& context, NOTEID noteId, const CalendarFields& fields,
                     const QString& icsPath) {
    const IcsAttachStep links = [&context, noteId](LineFile& ics) {
        ExportDocLinks(context, noteId, [&ics](const QString& fileName, const QByteArray& content) {
            ics.Line(AttachLineStart(fileName) + content.toBase64());
        });
    };
    const IcsAttachStep files = [&context, noteId](LineFile& ics) { AttachFiles(context, noteId, ics); };
    return WriteCalendarIcsFile(icsPath, fields, context, links, files);
}
