#include "convert/DocumentAccess.h"

#include "convert/HtmlBodyConverter.h"

OpenedDocument::OpenedDocument(const ConvertContext& context, NOTEID noteId) {
    if (context.database == nullptr) return;
    if (context.database->GetDocument(noteId, &document_) == LNNOERROR) (void)document_.Open();
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
