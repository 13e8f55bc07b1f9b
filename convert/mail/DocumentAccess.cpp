#include "convert/mail/DocumentAccess.h"

#include "convert/mail/TextHelpers.h"
#include "convert/richtext/HtmlBodyConverter.h"

OpenedDocument::OpenedDocument(const ConvertContext& context, NOTEID noteId) {
    if (context.database == nullptr) {
        status_ = LNERR_INTERNAL;
        return;
    }
    status_ = context.database->GetDocument(noteId, &document_);
    if (status_ == LNNOERROR) status_ = document_.Open();
}

QString ItemText(const LNDocument& document, const char* name) {
    return document.HasItem(name) ? ToWide(document.GetItemText(name, ";")) : QString();
}

QString Joined(const std::vector<LNString>& entries) {
    QString text;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) text += u';';
        text += ToWide(entries[i]);
    }
    return text;
}

QString DocumentHtml(const ConvertContext& context, LNDocument& document) {
    HtmlBodyConverter converter;
    converter.databaseHandle = context.database != nullptr ? context.database->GetDatabaseHandle() : 0;
    converter.noteHandle = document.GetNoteHandle();
    converter.noteId = document.GetNoteID();
    QString html = converter.ConvertNote();
    if (html.isEmpty()) html = converter.ConvertBodyItem();
    return html;
}

bool DetachForReading(const LNAttachment& attachment, const QString& path, QFile& file) {
    if (path.isEmpty()) return false;
    QFile::remove(path);
    if (attachment.Detach(path) != LNNOERROR) return false;
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly);
}
