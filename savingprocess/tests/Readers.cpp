#include "Readers.h"

#include "SaveRunSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

QString HeaderLine(const QByteArray& text, const QByteArray& name) {
    for (const QByteArray& line : text.split('\n')) {
        if (line.startsWith(name)) return QString::fromUtf8(line.mid(name.size()).trimmed());
    }
    return {};
}

// "=?utf-8?B?...?=" words decoded; other text as it stands.
QString DecodeWords(const QString& text) {
    static const QRegularExpression word(QStringLiteral("=\\?([^?]+)\\?([BbQq])\\?([^?]*)\\?="));
    QString out;
    qsizetype at = 0;
    for (auto it = word.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        out += text.mid(at, m.capturedStart() - at).trimmed();
        const QByteArray data = m.captured(3).toLatin1();
        if (m.captured(2).toUpper() == u'B')
            out += QString::fromUtf8(QByteArray::fromBase64(data));
        else
            out +=
                QString::fromUtf8(QByteArray::fromPercentEncoding(QByteArray(data).replace('_', ' '), '='));
        at = m.capturedEnd();
    }
    return out + text.mid(at);
}

QByteArray Slurp(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

FolderSubjects PffexportSubjects(const QString& pst, const QString& workDir, QString* problems) {
    const QString target = workDir + QStringLiteral("/pff");
    const ToolResult r =
        RunTool(QStringLiteral("pffexport"), {"-m", "all", "-f", "text", "-t", target, pst}, 300000);
    if (r.code != 0) *problems += QStringLiteral("pffexport: ") + r.out.right(2000);
    // One folder per item, "Message00001", "Appointment00001", "Contact00001"...: the subject
    // from its headers, else from the item's own text file.
    FolderSubjects out;
    static const QRegularExpression itemFolder(QStringLiteral("^[A-Za-z ]+\\d{5}$"));
    QDirIterator it(target + QStringLiteral(".export"), QDir::Dirs | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!itemFolder.match(it.fileName()).hasMatch()) continue;
        const QString parent = QFileInfo(QFileInfo(path).path()).fileName();
        // Attachments of a message are items of their own below it; only folder contents count.
        if (itemFolder.match(parent).hasMatch() || parent == QLatin1String("Attachments")) continue;
        QString subject;
        QStringList files{QStringLiteral("OutlookHeaders.txt")};
        files << QDir(path).entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name);
        for (const QString& file : files) {
            subject = HeaderLine(Slurp(path + u'/' + file), "Subject:");
            if (!subject.isEmpty()) break;
        }
        out[parent] << subject;
    }
    return out;
}

FolderSubjects ReadpstSubjects(const QString& pst, const QString& workDir, QString* problems) {
    const QString target = workDir + QStringLiteral("/readpst");
    QDir().mkpath(target);
    const ToolResult r = RunTool(QStringLiteral("readpst"), {"-S", "-q", "-o", target, pst}, 300000);
    if (r.code != 0) *problems += QStringLiteral("readpst: ") + r.out.right(2000);
    FolderSubjects out;
    QDirIterator it(target, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = it.fileName();
        // Message files are numbers; attachments are "<n>-<name>".
        if (name.contains(u'-')) continue;
        const QByteArray text = Slurp(path);
        const QByteArray head = text.left(text.indexOf("\n\n") < 0 ? text.size() : text.indexOf("\n\n"));
        const QStringList parts = path.split(u'/');
        QString subject;
        if (head.startsWith("BEGIN:VCARD"))
            subject = HeaderLine(head, "FN:");
        else if (head.contains("BEGIN:VCALENDAR"))
            subject = HeaderLine(head, "SUMMARY:");
        else
            subject = DecodeWords(HeaderLine(head, "Subject:"));
        out[parts[parts.size() - 2]] << subject;
    }
    return out;
}

FolderSubjects PstExtractorSubjects(const QString& pst, QString* problems) {
    const QString script = QStringLiteral(NSF_SOURCE_DIR "/tests/readers/pst_extractor_walk.js");
    const ToolResult r = RunTool(QStringLiteral("timeout"), {"30", "node", script, pst}, 60000);
    FolderSubjects out;
    if (r.code != 0) {
        *problems += QStringLiteral("pst-extractor: ") + r.out.right(2000);
        return out;
    }
    const QJsonDocument doc = QJsonDocument::fromJson(r.out.mid(r.out.indexOf(u'{')).toUtf8());
    std::function<void(const QJsonObject&)> walk = [&](const QJsonObject& folder) {
        const QString name = folder.value(QStringLiteral("displayName")).toString();
        for (const QJsonValue m : folder.value(QStringLiteral("messages")).toArray())
            out[name] << m.toObject().value(QStringLiteral("subject")).toString();
        for (const QJsonValue f : folder.value(QStringLiteral("folders")).toArray()) walk(f.toObject());
    };
    walk(doc.object().contains(QStringLiteral("root")) ? doc.object().value(QStringLiteral("root")).toObject()
                                                       : doc.object());
    return out;
}

QString PstCheckProblems(const QString& pst) {
    const ToolResult r = RunTool(ProgramPath("pstcheck"), {pst}, 300000);
    return r.code == 0 ? QString() : r.out.right(3000);
}
