#include "convert/mail/FieldReader.h"

#include "common/notes/Notes.h"
#include "convert/mail/AddressTranslation.h"
#include "convert/mail/DocumentAccess.h"
#include "convert/richtext/HtmlBodyConverter.h"
#include "convert/mail/TextHelpers.h"

#include <QStringDecoder>

#include <exception>
#include <type_traits>

namespace {

QString DateTextOf(const LNDatetime& sent, const LNDatetime& created) {
    const LNDatetime& date =
        sent.GetYear() == 0 || sent.GetMonth() == 0 || sent.GetDay() == 0 ? created : sent;
    return FormatDateText(
        {date.GetYear(), date.GetMonth(), date.GetDay(), date.GetHour(), date.GetMinute(), date.GetSecond()});
}

// Only "." and ";" (and blanks): the Internet list names no recipient at all.
bool NamesNoAddress(QString list) {
    list.remove(u'.');
    list.remove(u';');
    return list.trimmed().isEmpty();
}

template <typename Fields>
void ReadAddresses(const ConvertContext& context, const LNDocument& document, Fields& fields) {
    const RunOptions& options = context.Options();
    const bool translate = options.addressTranslation == 1;
    auto combine = [&](const QString& internet, const QString& notesNames) {
        return translate ? TranslateAddressLists(internet, notesNames, options)
                         : MergeAddressLists(internet, notesNames);
    };
    fields.from = combine(ItemText(document, "INetFrom"), ToWide(document.GetSender()));

    QString sendTo = ItemText(document, "INetSendTo");
    if (!translate && NamesNoAddress(sendTo) && document.HasItem("AltSendTo"))
        sendTo = ItemText(document, "AltSendTo");
    fields.to = combine(sendTo, Joined(document.GetRecipients(LNRECIPIENTTYPE_TO)));
    fields.cc = combine(ItemText(document, "InetCopyTo"), Joined(document.GetRecipients(LNRECIPIENTTYPE_CC)));
    fields.bcc =
        combine(ItemText(document, "InetBlindCopyTo"), Joined(document.GetRecipients(LNRECIPIENTTYPE_BCC)));
}

}  // namespace

void ReadBodyItem(const ConvertContext& context, LNDocument& document, QString& body,
                  std::uint8_t& bodyIsHtml) {
    LNItem item;
    if (document.GetItem("Body", &item) != LNNOERROR || item.IsNull()) return;
    if (item.GetType() == LNITEMTYPE_TEXT) body = ToWide(item.GetText(";"));
    if (!body.isEmpty()) return;
    if (item.GetType() == LNITEMTYPE_HTML) {
        bodyIsHtml = 1;
        std::vector<std::uint8_t> raw;
        if (item.GetRawValue(&raw) == LNNOERROR) body = HtmlItemText(raw);
    } else if (item.GetType() == LNITEMTYPE_RICHTEXT) {
        body = DocumentHtml(context, document);
        bodyIsHtml = 1;
    }
}

namespace {

template <typename Fields>
void ReadAttachmentNames(const LNDocument& document, Fields& fields) {
    if (!document.HasAttachments()) return;
    for (const LNAttachment& attachment : document.GetAttachments())
        fields.attachmentNames += ToWide(attachment.GetName()) + QStringLiteral(", ");
}

// A date field that gives no date leaves the text an earlier field of the form set.
void ReadTaskDates(const LNDocument& document, TaskFields& fields) {
    std::vector<LNFormField> formFields;
    if (document.GetFormFields(&formFields) != LNNOERROR) return;
    for (const LNFormField& field : formFields) {
        const bool start = field.name == "StartDate" || field.name == "tmpStartDate";
        if (!start && field.name != "DueDate") continue;
        const QString text = ToWide(document.GetItemDatetimes(field.name).GetText(";"));
        if (text.isEmpty()) continue;
        (start ? fields.startDateText : fields.dueDateText) = text;
    }
}

template <typename Fields>
Fields ReadFields(const ConvertContext& context, NOTEID noteId, LNSTATUS* thrown) {
    constexpr bool isTask = std::is_same_v<Fields, TaskFields>;
    if (thrown != nullptr) *thrown = LNNOERROR;
    Fields fields;
    // A document that cannot be opened, or whose "Subject" check fails, gives the empty record
    // with no status: the folder dump opened it just before and reported its own failure.
    OpenedDocument document(context, noteId);
    if (!document.IsOpen()) return fields;
    bool hasSubject = false;
    if (LNCatchStatus([&] { hasSubject = document->HasItem("Subject"); }) != LNNOERROR || !hasSubject)
        return fields;
    const LNSTATUS status = LNCatchStatus([&] {
        if constexpr (isTask) ReadTaskDates(*document, fields);
        fields.importance = static_cast<std::uint8_t>(document->GetImportance());
        fields.dateText = DateTextOf(document->GetDateSent(), document->GetCreated());
        fields.encrypted = document->IsEncrypted() ? 1 : 0;
        fields.isSigned = document->IsSigned() ? 1 : 0;
        if (fields.encrypted == 1 && context.Options().removeEncryption == 1) (void)document->Decrypt();
        ReadAddresses(context, *document, fields);
        fields.subject = ToWide(document->GetSubject());
        fields.categories = ToWide(document->GetCategories());
        if constexpr (isTask) {
            LNRichText richText;
            if (document->GetRichText("Body", &richText) == LNNOERROR && !richText.IsNull())
                fields.body = ToWide(richText.GetPlainText());
        }
        if (fields.body.isEmpty()) ReadBodyItem(context, *document, fields.body, fields.bodyIsHtml);
        ReadAttachmentNames(*document, fields);
        if constexpr (isTask) {
            fields.isRepeating = document->IsRepeating() ? 1 : 0;
            fields.isPrivate = document->IsPrivate() ? 1 : 0;
        }
    });
    if (thrown != nullptr) *thrown = status;
    return fields;
}

}  // namespace

MailFields ReadMailFields(const ConvertContext& context, NOTEID noteId, LNSTATUS* thrown) {
    return ReadFields<MailFields>(context, noteId, thrown);
}

TaskFields ReadTaskFields(const ConvertContext& context, NOTEID noteId, LNSTATUS* thrown) {
    return ReadFields<TaskFields>(context, noteId, thrown);
}

QString HtmlItemText(const std::vector<std::uint8_t>& raw) {
    if (raw.size() <= 4) return {};
    const char* text = reinterpret_cast<const char*>(raw.data()) + 2;
    const qsizetype size = static_cast<qsizetype>(raw.size()) - 2;
    if (raw[3] == 0) {
        QStringDecoder utf16(QStringDecoder::Utf16LE, QStringDecoder::Flag::Stateless);
        QString wide = utf16.decode(QByteArrayView(text, size - size % 2));
        const qsizetype nul = wide.indexOf(QChar(u'\0'));
        return nul < 0 ? wide : wide.left(nul);
    }
    QByteArray bytes(text, size);
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0) bytes.truncate(nul);
    // The Notes layer keeps text as UTF-8: an 8-bit value that reads as UTF-8 is UTF-8, and
    // only one that does not is taken in the ANSI code page.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8.decode(bytes);
    return utf8.hasError() ? FromAnsi(bytes) : decoded;
}
