#include "convert/mail/EmlWriter.h"

#include "common/notes/Notes.h"
#include "convert/mail/DocLinks.h"
#include "convert/mime/Mime.h"
#include "convert/richtext/TempFolder.h"
#include "convert/mail/TextHelpers.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cstdio>
#include <exception>
#include <optional>

namespace {

constexpr qsizetype kMaxFileNameBytes = 255;

QString Word(const QString& text) {
    return QString::fromLatin1(EncodedWord(text));
}

// The generated boundary is kept unless the body text happens to hold its delimiter, which
// would cut the message there; then a suffix makes it unique.
void KeepBoundaryOutOf(CMimeBody& message, const QByteArray& body) {
    const QString boundary = message.Boundary();
    auto clashes = [&](const QString& candidate) { return body.contains("--" + candidate.toLatin1()); };
    if (!clashes(boundary)) return;
    QString candidate;
    int suffix = 0;
    do {
        candidate = boundary + u'.' + QString::number(++suffix);
    } while (clashes(candidate));
    message.PutBoundary(candidate);
}

template <typename Fields>
QString ComposeHeaderAndBody(CMimeMessage& message, const Fields& fields) {
    QString itemName;
    DateParts date;
    if (!fields.dateText.isEmpty() && ParseDateText(fields.dateText, date))
        message.PutDate(date.year, date.month, date.day, date.hour, date.minute, date.second);
    if (!fields.from.isEmpty()) {
        itemName += fields.from + u' ';
        message.PutFrom(Word(fields.from));
    }
    if (!fields.to.isEmpty()) message.PutTo(Word(fields.to));
    if (!fields.cc.isEmpty()) message.PutCc(Word(fields.cc));
    if (!fields.bcc.isEmpty()) message.PutBcc(Word(fields.bcc));
    if (!fields.subject.isEmpty()) {
        itemName += fields.subject;
        message.PutSubject(Word(fields.subject));
    }
    message.PutContentType(QStringLiteral("multipart/mixed"));
    message.PutBoundary();
    CMimeBody* body = message.AddPart();
    if (!fields.body.isEmpty()) {
        body->PutContentType(fields.bodyIsHtml ? QStringLiteral("text/html") : QStringLiteral("text/plain"));
        body->PutCharset(QStringLiteral("UTF-8"));
        body->PutTransferEncoding(QStringLiteral("8bit"));
        const QByteArray utf8 = fields.body.toUtf8();
        body->PutText(utf8);
        KeepBoundaryOutOf(message, utf8);
    }
    return itemName;
}

void AttachFiles(const ConvertContext& context, NOTEID noteId, CMimeMessage& message) {
    context.Log(QStringLiteral("Attachments:\t"));
    LNDocument document;
    if (context.database != nullptr && context.database->GetDocument(noteId, &document) == LNNOERROR &&
        document.Open() == LNNOERROR) {
        const QString folder = DetachFolder();
        for (const LNAttachment& attachment : document.GetAttachments()) {
            const QString cleaned = CleanName(ToWide(attachment.GetName()));
            const QString path = folder.isEmpty() ? QString() : folder + DetachFileName(cleaned);
            // A file left from an earlier document must never stand in for this attachment.
            bool detached = false;
            if (!path.isEmpty()) {
                QFile::remove(path);
                detached = attachment.Detach(path) == LNNOERROR;
            }
            QFile file(path);
            if (!detached || !file.open(QIODevice::ReadOnly)) {
                context.Log(QStringLiteral("ERROR: ") + cleaned + QStringLiteral(" is not dump.\r\n"));
                context.AddError();
                if (!path.isEmpty()) QFile::remove(path);
                continue;
            }
            const QByteArray content = file.readAll();
            file.close();
            QFile::remove(path);
            if (AddAttachmentPart(message, cleaned, content) || content.isEmpty()) {
                context.Log(cleaned + u',');
            } else {
                // Too large for the message: the part stays without its bytes, and the log
                // must not claim the file was saved.
                context.Log(QStringLiteral("ERROR: ") + cleaned + QStringLiteral(" is not dump.\r\n"));
                context.AddError();
            }
        }
        document.Close();
    }
    context.LogLineEnd();
}

bool SaveFile(const QString& path, const QByteArray& bytes) {
    // Written beside the target and renamed over it: a link planted at the path is replaced,
    // never followed, and a failed write leaves no half file for the import. (QSaveFile would
    // do the same but syncs every file to disk, which costs more than the whole conversion.)
    QTemporaryFile file(QFileInfo(path).absolutePath() + QStringLiteral("/.eml-XXXXXX"));
    if (!file.open()) return false;
    if (file.write(bytes) != bytes.size() || !file.flush()) return false;
    file.close();
    if (std::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        return false;
    file.setAutoRemove(false);
    return true;
}

template <typename Fields>
int WriteEml(const ConvertContext& context, NOTEID noteId, const Fields& fields, const QString& emlPath,
             const QString& failureLine) {
    bool serialized = false;
    bool saved = false;
    const LNSTATUS status = LNCatchStatus([&] {
        CMimeMessage message;
        const QString itemName = ComposeHeaderAndBody(message, fields);
        context.Log(QStringLiteral("Item Name:\t") + CleanName(itemName));
        context.LogLineEnd();
        ExportDocLinks(context, noteId, message);
        if (!fields.attachmentNames.isEmpty()) AttachFiles(context, noteId, message);
        const std::optional<QByteArray> bytes = message.Serialize();
        serialized = bytes.has_value();
        if (serialized) saved = SaveFile(emlPath, *bytes);
    });
    // A Notes status thrown while composing, or a message that cannot be serialised, is
    // reported; a file that cannot be saved only gives 0.
    if (status == LNNOERROR && serialized) return saved ? 1 : 0;
    context.AddError();
    context.Log(failureLine);
    return 0;
}

}  // namespace

bool AddAttachmentPart(CMimeBody& message, const QString& name, const QByteArray& content) {
    CMimeBody* part = message.AddPart();
    part->PutTransferEncoding(QStringLiteral("base64"));
    part->PutContentType(QStringLiteral("application/octet-stream"));
    part->PutFileContent(Word(name), content);
    return !content.isEmpty() && part->ContentSize() == static_cast<quint64>(content.size());
}

QString DetachFileName(const QString& cleanedName) {
    // Through UTF-8 and back, so that a lone surrogate becomes U+FFFD instead of a name the
    // file system cannot hold; NUL ends a path, so it becomes a blank like the other unsafe
    // characters.
    QString name = QString::fromUtf8(cleanedName.toUtf8()).replace(QChar(u'\0'), u' ');
    bool onlyDots = true;
    for (QChar c : name) onlyDots = onlyDots && (c == u'.' || c == u' ');
    if (onlyDots) name.prepend(u'_');
    if (name.toUtf8().size() <= kMaxFileNameBytes) return name;
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString extension = dot > 0 && name.size() - dot <= 16 ? name.mid(dot) : QString();
    const qsizetype budget = kMaxFileNameBytes - extension.toUtf8().size();
    const QByteArray base = name.left(name.size() - extension.size()).toUtf8();
    // Cut before a byte that continues a UTF-8 sequence, so that no character is split.
    qsizetype cut = budget;
    while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80) --cut;
    return QString::fromUtf8(base.left(cut)) + extension;
}

int WriteMailEml(const ConvertContext& context, NOTEID noteId, const MailFields& fields,
                 const QString& emlPath) {
    return WriteEml(context, noteId, fields, emlPath, QStringLiteral("ERROR:Mail Entry is Not Dump \r\n"));
}

int WriteTaskEml(const ConvertContext& context, NOTEID noteId, const TaskFields& fields,
                 const QString& emlPath) {
    return WriteEml(context, noteId, fields, emlPath, QStringLiteral("ERROR:Task Entry is Not Dump \r\n"));
}
