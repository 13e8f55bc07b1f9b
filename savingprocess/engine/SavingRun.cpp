#include "savingprocess/engine/SavingRun.h"

#include "common/handoff/HandoffPaths.h"
#include "common/handoff/ResumeRecord.h"

#include <utility>

ChildCommandLine ParseSaveCommandLine(const QStringList& arguments) {
    if (arguments.size() == 1 && arguments.front().contains(QLatin1String("/D ")))
        return ChildCommandLine::ParseRaw(arguments.front());
    return ChildCommandLine::FromArguments(arguments);
}

bool IsCalendarRun(const ChildCommandLine& commandLine) {
    return commandLine.mode == QLatin1String("1");
}

void PrepareRunState(const ChildCommandLine& commandLine, RunState& state) {
    state.settingPath = HandoffFilePath(commandLine.handoffFolder, kResumeFileName);
    state.calPath = HandoffFilePath(commandLine.handoffFolder, kCalendarIdsFileName);
    state.options = RunOptions{};
    // A missing file leaves the defaults.
    ReadRunOptions(HandoffFilePath(commandLine.handoffFolder, kRunOptionsFileName), state.options);
}

SavingRun::SavingRun(ChildCommandLine commandLine, RunState& state, ProgressWindow& window,
                     LNNotesSession& session, StoreFactory storeFactory)
    : commandLine_(std::move(commandLine)),
      state_(state),
      window_(window),
      session_(session),
      storeFactory_(std::move(storeFactory)),
      engine_(session, state, window) {}

void SavingRun::Run() {
    if (IsCalendarRun(commandLine_))
        CalendarRun();
    else
        FolderRun();
}

bool SavingRun::OpenLogAndStore(bool folderRun) {
    if (!state_.log.Open(state_.options.logPath, RunLog::Opening::AppendExisting)) {
        window_.ShowMessage(QStringLiteral("Log file cannot be opened"));
        return false;
    }
    if (folderRun) state_.log.WriteLine(QStringLiteral("Saving data process starts:"));
    store_ = storeFactory_ ? storeFactory_() : nullptr;
    if (!store_ || !store_->Open(commandLine_.pstPath)) {
        store_.reset();
        state_.log.WriteLine(QStringLiteral("MS outlook session cannot be open"));
        return false;
    }
    return true;
}

void SavingRun::FolderRun() {
    if (!OpenLogAndStore(true)) return;
    const QString opened = QStringLiteral("Session open for pst file: ") + commandLine_.pstPath;
    state_.log.WriteLine(opened);
    window_.SetStatus(opened);

    LNNotesSession threadSession;
    threadSession.InitThread();
    state_.log.WriteLine(QStringLiteral("ReOpening  Database "));
    window_.SetStatus(QStringLiteral("Opening Database"));
    if (engine_.OpenDatabase(commandLine_.databasePath, commandLine_.server) == 1) {
        ResumeRecord record;
        if (!ReadResumeRecord(state_.settingPath, record)) {
            const QString failed = QStringLiteral("Setting File cannot be opened.");
            window_.SetStatus(failed);
            state_.log.WriteLine(failed);
        } else if (record.path.contains(QLatin1String("($All)")) && state_.options.includeAllFolder == 0) {
            // The user left "($All)" out of the conversion.
        } else {
            state_.log.Write(QStringLiteral("\r\n ") + QString(76, u'-') + QStringLiteral("\r\n"));
            state_.log.WriteLine(QStringLiteral("Dumping Folder :\t ") + record.path);
            window_.SetStatus(QStringLiteral("Dumping Folder data ") + record.path);
            engine_.DumpFolder(record.resumeIndex, record.path, record.noteId, *store_);
        }
    }
    threadSession.TermThread();
    window_.SetStatus(QStringLiteral("Saving process completed"));
    store_->LogOff();
    store_.reset();
}

void SavingRun::CalendarRun() {
    if (!OpenLogAndStore(false)) return;
    state_.log.WriteLine(QStringLiteral("Session open for pst file for calendar entires: ") +
                         commandLine_.pstPath);
    LNNotesSession threadSession;
    threadSession.InitThread();
    state_.log.WriteLine(QStringLiteral("ReOpening  Database "));
    window_.SetStatus(QStringLiteral("Opening Database"));
    if (engine_.OpenDatabase(commandLine_.databasePath, commandLine_.server) == 1)
        engine_.DumpCalendar(*store_);
    store_->LogOff();
    store_.reset();
    threadSession.TermThread();
}
