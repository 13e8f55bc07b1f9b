#pragma once
// The batch command line: Export without windows, for one database or many.
//
//   nsfadd --export --log-folder DIR --output DIR [options] FILE...
//
// It writes "config.txt" from its options, recreates the run log as Export does, and runs the
// launcher's conversion with the real nsfview and nsfsave.

#include "common/handoff/RunOptions.h"
#include "nsfadd/core/Conversion.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <vector>

class QTextStream;

struct BatchSettings {
    QString logFolder;
    QString outputFolder;
    QStringList databases;
    RunOptions options;  // as nsfview would have written them
    int jobs = 1;
    QString reportPath;
    bool incremental = false;
    bool quiet = false;
};

struct BatchParse {
    enum class Action { Run, Help, Error };
    Action action = Action::Error;
    BatchSettings settings;
    QString error;  // names the option at fault
};

// True when the arguments ask for the batch export (or its help) instead of the window.
bool IsBatchCommandLine(const QStringList& argumentsAfterProgram);
// Parses and checks the options; the save options go through the same rules as the dialogs.
BatchParse ParseBatchCommandLine(const QStringList& argumentsAfterProgram, const QDateTime& now);
QString BatchUsage();

struct BatchRun {
    std::vector<FileOutcome> files;
    bool stopped = false;
    double seconds = 0;
    // 0 when every database was converted, 1 otherwise.
    int ExitStatus() const;
};

// Runs the export. `launcherFor` gives the launcher of each job (one per thread); `out`
// receives progress and outcomes; `stopRequested` ends the run after the running children.
BatchRun RunBatchExport(const BatchSettings& settings,
                        const std::function<ChildLauncher*(int job)>& launcherFor, QTextStream& out,
                        const std::atomic<bool>* stopRequested);

// The JSON report: per database and folder, found, converted, left out, warnings, errors, the
// PST path and seconds.
QByteArray BatchReportJson(const BatchSettings& settings, const BatchRun& run);
bool WriteBatchReport(const QString& path, const BatchSettings& settings, const BatchRun& run);

// The hand-off folder of job `index` (one per database when several run at once).
QString JobHandoffFolder(const BatchSettings& settings, int index);
// The private temporary folder of job `job`'s children, created (mode 0700) inside the log
// folder: two jobs, or two runs with different log folders, never share interchange files.
// Empty when it cannot be created.
QString JobTemporaryFolder(const BatchSettings& settings, int job);
// The PST path of every database, in list order, chosen once before any job starts so that
// several jobs give the names one job would. An added run reuses the names a first run gave.
QStringList PlanPstPaths(const BatchSettings& settings);
