#pragma once
// Runs the real programs of build/bin the way a user runs the batch export, and reads back
// what they wrote: the PST through pffexport, the run log as text, the JSON report.

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

struct Ran {
    int exitCode = -1;
    QString out, err;
};

inline Ran RunProgram(const QString& program, const QStringList& args, const QStringList& env = {}) {
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const QString& kv : env) e.insert(kv.section('=', 0, 0), kv.section('=', 1));
    p.setProcessEnvironment(e);
    p.start(program, args);
    p.waitForFinished(600'000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

inline QString BinPath(const char* name) {
    return QStringLiteral(NSF_BIN_DIR "/") + QLatin1String(name);
}
inline QString SourcePath(const QString& rel) {
    return QStringLiteral(NSF_SOURCE_DIR "/") + rel;
}

// One folder per run: log/, out/, and copies of databases.
struct Workspace {
    QTemporaryDir dir;
    QString log = dir.filePath("log"), out = dir.filePath("out");
    Workspace() {
        QDir().mkpath(log);
        QDir().mkpath(out);
    }
    QString Copy(const QString& from, const QString& relTo) const {
        const QString to = dir.filePath(relTo);
        QDir().mkpath(QFileInfo(to).path());
        QFile::copy(from, to);
        return to;
    }
    Ran Export(const QStringList& extra, const QStringList& env = {},
               const QString& nsfadd = BinPath("nsfadd")) const {
        return RunProgram(nsfadd, QStringList{"--export", "--log-folder", log, "--output", out} + extra, env);
    }
};

// {folder path: {kind: count}} of a PST, read by pffexport.
inline QJsonObject PstSummary(const QString& pst) {
    const Ran r = RunProgram("python3", {SourcePath("tests/readers/pff_summary.py"), pst, "--json"});
    return QJsonDocument::fromJson(r.out.toUtf8()).object();
}

inline QString LogText(const QString& path, bool* mark = nullptr) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray b = f.readAll();
    if (mark) *mark = b.startsWith("\xFF\xFE");
    const QByteArray body = b.startsWith("\xFF\xFE") ? b.mid(2) : b;
    return QString(reinterpret_cast<const QChar*>(body.constData()), body.size() / 2);
}

inline QJsonObject ReadJson(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QJsonDocument::fromJson(f.readAll()).object();
}
