#include "SaveRunSupport.h"

#include "common/handoff/CalendarIds.h"
#include "common/handoff/PassRestart.h"
#include "common/handoff/ResumeRecord.h"
#include "common/handoff/RunLog.h"
#include "common/handoff/RunOptions.h"
#include "common/pst/PstStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <csignal>

SaveRunFolder::SaveRunFolder() {
    handoff_ = dir_.path() + QStringLiteral("/hand off/");
    tmp_ = dir_.path() + QStringLiteral("/tmp");
    pst_ = dir_.path() + QStringLiteral("/out/mail.pst");
    log_ = handoff_ + RunLog::FileName();
    QDir().mkpath(handoff_);
    QDir().mkpath(tmp_);
    QDir().mkpath(dir_.path() + QStringLiteral("/out"));
}

bool SaveRunFolder::Prepare(RunOptions options) {
    options.logPath = log_;
    RunLog log;
    if (!log.Open(log_, RunLog::Opening::Recreate)) return false;
    log.Close();
    return WriteRunOptions(handoff_ + QStringLiteral("config.txt"), options) &&
           CreateEmptyCalendarIds(handoff_ + QStringLiteral("cal.txt"));
}

bool SaveRunFolder::CreatePst(const QStringList& folders) const {
    PstSession session;
    PstStore store = session.OpenStore(pst_);
    if (!store || !store.Prepare()) return false;
    for (const QString& name : folders) {
        if (!store.TopFolder().Folders().Add(name)) return false;
    }
    for (int code : {kPstCalendar, kPstContacts, kPstTasks})
        if (!store.DefaultFolder(code)) return false;
    session.LogOff();
    return true;
}

QProcessEnvironment SaveRunFolder::Environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TMPDIR"), tmp_);
    env.insert(QStringLiteral("NSF_DISMISS_MESSAGES"), QStringLiteral("1"));
    return env;
}

bool SaveRunFolder::RunOnce(const QString& database, const QString& mode, int killAfterMs,
                            QString* errors) const {
    QProcess process;
    process.setProcessEnvironment(Environment());
    process.setProgram(ProgramPath("nsfsave"));
    process.setArguments({database, QString(), mode, pst_, handoff_});
    process.start();
    if (!process.waitForStarted(30000)) return false;
    if (killAfterMs >= 0) {
        if (!process.waitForFinished(killAfterMs)) {
            ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
        }
    }
    process.waitForFinished(-1);
    if (errors != nullptr) *errors = QString::fromLocal8Bit(process.readAllStandardError());
    return true;
}

int SaveRunFolder::RunPass(const QString& database, const QString& mode, std::uint32_t folderNoteId,
                           const QString& folderPath, const std::function<int(int)>& killAfterMs) const {
    const QString setting = handoff_ + QStringLiteral("setting.txt");
    if (!CreateResumeRecord(setting, ResumeRecord{folderNoteId, 0, folderPath, 1})) return 0;
    PassRestart restart;
    for (int processes = 1;; ++processes) {
        if (!RunOnce(database, mode, killAfterMs ? killAfterMs(processes) : -1)) return 0;
        if (restart.AfterProcess(setting) != PassDecision::RunAgain) return processes;
    }
}

std::optional<ResumeRecord> SaveRunFolder::Record() const {
    ResumeRecord record;
    if (!ReadResumeRecord(handoff_ + QStringLiteral("setting.txt"), record)) return std::nullopt;
    return record;
}

QString SaveRunFolder::LogText() const {
    QFile file(log_);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll().mid(2);
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
}

QString ProgramPath(const char* name) {
    return QStringLiteral(NSF_BIN_DIR "/") + QString::fromLatin1(name);
}

ToolResult RunTool(const QString& program, const QStringList& arguments, int timeoutMs,
                   const QString& workingDirectory) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (!workingDirectory.isEmpty()) process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    ToolResult result;
    if (!process.waitForStarted(30000)) return result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(-1);
        result.out = QString::fromLocal8Bit(process.readAll());
        return result;
    }
    result.code = process.exitCode();
    result.out = QString::fromLocal8Bit(process.readAll());
    return result;
}
