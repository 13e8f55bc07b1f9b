#pragma once
// What the end-to-end tests and the benchmark do in the launcher's place: a hand-off folder with
// its files, a PST with its folders, nsfsave started with the five values and restarted until
// its record says the pass finished, and the PST read back by the independent readers.

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <functional>
#include <optional>

struct ResumeRecord;
struct RunOptions;

class SaveRunFolder {
  public:
    SaveRunFolder();
    bool Valid() const { return dir_.isValid(); }

    QString Root() const { return dir_.path(); }
    QString Handoff() const { return handoff_; }  // with its trailing separator
    QString Pst() const { return pst_; }
    QString LogPath() const { return log_; }

    // config.txt with the log path filled in, an empty cal.txt, a new run log.
    bool Prepare(RunOptions options);
    // A PST as the launcher creates it, with these folders below the top folder.
    bool CreatePst(const QStringList& folders) const;
    static QString FolderPath(const QString& name) { return QStringLiteral("\\\\Personal Folders\\") + name; }

    QProcessEnvironment Environment() const;
    // One nsfsave process, waited for; killAfterMs >= 0 sends SIGKILL after that many
    // milliseconds (or lets it end, whichever comes first). False when it could not start.
    bool RunOnce(const QString& database, const QString& mode, int killAfterMs = -1,
                 QString* errors = nullptr) const;
    // The pass as the launcher runs it: the record written first, then processes until the
    // record says the pass finished (or stopped, or made no progress three times). Returns the
    // number of processes, 0 when one could not start.
    int RunPass(const QString& database, const QString& mode, std::uint32_t folderNoteId,
                const QString& folderPath, const std::function<int(int)>& killAfterMs = nullptr) const;

    std::optional<ResumeRecord> Record() const;
    QString LogText() const;

  private:
    QTemporaryDir dir_;
    QString handoff_, pst_, log_, tmp_;
};

// The path of a built program next to nsfsave.
QString ProgramPath(const char* name);

// Runs a command line through the shell with a time limit; the exit code (-1 when it timed out)
// and what it wrote.
struct ToolResult {
    int code = -1;
    QString out;
};
ToolResult RunTool(const QString& program, const QStringList& arguments, int timeoutMs = 60000,
                   const QString& workingDirectory = QString());
