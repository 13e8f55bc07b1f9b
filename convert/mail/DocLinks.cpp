#include "convert/mail/DocLinks.h"

#include "common/notes/Notes.h"
#include "convert/mail/ConvertContext.h"
#include "convert/mail/EmlWriter.h"
#include "convert/richtext/TempFolder.h"
#include "convert/mail/TextHelpers.h"

#include <QFile>

QString Hex8(std::uint32_t value) {
    return QStringLiteral("%1").arg(value, 8, 16, QChar(u'0')).toUpper();
}

QString ReplicaText(std::uint32_t first, std::uint32_t second) {
    return Hex8(second) + u':' + Hex8(first);
}

QString UnidText(std::uint32_t file1, std::uint32_t file2, std::uint32_t note1, std::uint32_t note2) {
    return QStringLiteral("OF") + Hex8(file2) + u':' + Hex8(file1) + QStringLiteral("-ON") + Hex8(note2) +
           u':' + Hex8(note1);
}

QByteArray NdlText(const QString& replica, const QString& view, const QString& note,
                   const QString& description) {
    QByteArray text = "<NDL>\r\n";
    text += "<REPLICA " + ToAnsi(replica) + ">\r\n";
    text += "<VIEW " + ToAnsi(view) + ">\r\n";
    text += "<NOTE " + ToAnsi(note) + ">\r\n";
    text += "<REM>" + ToAnsi(description) + "</REM>\r\n";
    text += "</NDL>";
    return text;
}

namespace {

QString LinkText(const LNUniversalID& unid) {
    return UnidText(unid.file.innards[0], unid.file.innards[1], unid.note.innards[0], unid.note.innards[1]);
}

// Writes the file, reads it back and hands it on; false when it could not be created or
// reopened, which skips the link without a log line of its own.
bool ExportLinkFile(const ConvertContext& context, const QString& folder, int number,
                    const LNDocumentLink& link, const DocLinkFileSink& attach) {
    const LNTimeDateId replica = link.GetDatabaseReplicaID();
    const QByteArray text =
        NdlText(ReplicaText(replica.innards[0], replica.innards[1]), LinkText(link.GetViewUniversalID()),
                LinkText(link.GetDocumentUniversalID()), ToWide(link.GetDescription()));
    const QString fileName = QString::number(number) + QStringLiteral(".ndl");
    const QString path = folder + fileName;
    {
        QFile file(path);
        if (folder.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
        file.write(text);
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        QFile::remove(path);
        return false;
    }
    context.Log(fileName + u',');
    const QByteArray content = file.readAll();
    file.close();
    attach(fileName, content);
    QFile::remove(path);
    return true;
}

}  // namespace

void ExportDocLinks(const ConvertContext& context, NOTEID noteId, const DocLinkFileSink& attach) {
    if (context.Options().saveDocLinks != 1 || context.database == nullptr) return;
    LNDocument document;
    if (context.database->GetDocument(noteId, &document) != LNNOERROR || document.Open() != LNNOERROR) return;
    bool logged = false;
    const LNSTATUS status = LNCatchStatus([&] {
        if (!document.HasLinks() || !document.HasItem("$Links")) return;
        context.Log(QStringLiteral("Link Documents :\t"));
        logged = true;
        LNRichText body;
        LNRTCursor cursor;
        LNDocumentLink link;
        if (document.GetRichText("Body", &body) == LNNOERROR && body.GetCursor(&cursor) == LNNOERROR) {
            const QString folder = DetachFolder();
            int number = 0;
            for (LNSTATUS step = cursor.GotoFirst(LNRTTYPE_DOCLINK, &link); step == LNNOERROR;
                 step = cursor.GotoNext(LNRTTYPE_DOCLINK, &link))
                ExportLinkFile(context, folder, ++number, link, attach);
        }
    });
    (void)status;  // a failing read ends the export for this document only
    if (logged) context.LogLineEnd();
    document.Close();
}

void ExportDocLinks(const ConvertContext& context, NOTEID noteId, CMimeBody& message) {
    ExportDocLinks(context, noteId, [&](const QString& fileName, const QByteArray& content) {
        AddAttachmentPart(message, fileName, content);
    });
}
