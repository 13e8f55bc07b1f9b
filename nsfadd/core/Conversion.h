#pragma once
// The launcher's conversion: Export (the save-options step and the loop over the files),
// converting one file (PST name, store, folder skeleton, folder runs, calendar run) and one
// pass of nsfsave with its restarts. The progress window and the batch command line both
// drive it and watch it through ConversionObserver.

#include "common/handoff/FolderList.h"
#include "nsfadd/core/ChildLauncher.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

// One database of the launcher's list.
struct FileRow {
    QString path;
    QString server;  // never filled by the launcher: always a local file
};

enum class FileStatus { Pending, Processing, Completed };

// What one pass of nsfsave did, from "setting.txt" and the lines it added to the run log.
struct PassOutcome {
    enum class End { NotRun, NotStarted, Finished, GivenUp, Stopped };
    End end = End::NotRun;
    int starts = 0;
    std::uint64_t found = 0;      // documents the folder listed
    std::uint64_t converted = 0;  // documents saved into the PST
    std::uint64_t warnings = 0;
    std::uint64_t errors = 0;
    double seconds = 0;
};

struct FolderOutcome {
    FolderRecord record;
    QString pstFolderPath;
    PassOutcome pass;  // NotRun for a folder without entries
};

struct FileOutcome {
    enum class End {
        Pending,        // not reached (the run was stopped before)
        Converted,      // the PST holds every folder pass's result
        ListingFailed,  // nsfview gave no folder list: the database could not be read
        StoreFailed,    // the PST could not be created or opened
        Incomplete,     // a folder pass was given up or could not start
        Stopped,        // the user stopped nsfsave
    };
    End end = End::Pending;
    FileRow file;
    QString pstPath;
    QString message;
    std::vector<FolderOutcome> folders;
    PassOutcome calendar;
    double seconds = 0;
};

QString FileEndText(FileOutcome::End end);
QString PassEndText(PassOutcome::End end);

class ConversionObserver {
  public:
    virtual ~ConversionObserver() = default;
    // The checks passed and nsfview is about to run: the window shows its progress window now.
    virtual void ConversionStarting() {}
    virtual void FileRowAdded(int /*index*/, const FileRow& /*row*/, const QString& /*outputFolder*/) {}
    virtual void FileStatusChanged(int /*index*/, FileStatus /*status*/) {}
    virtual void ActivityRow(const QString& /*text*/) {}
    virtual void ProgressRange(int /*low*/, int /*high*/) {}
    virtual void ProgressPosition(int /*position*/) {}
    // A pass is about to start; then, while it runs, the entry its process stands at.
    virtual void PassStarted(int /*fileIndex*/, const QString& /*pstFolderPath*/) {}
    virtual void PassAt(int /*fileIndex*/, std::uint32_t /*resumeIndex*/) {}
    virtual void FolderFinished(int /*fileIndex*/, const FolderOutcome& /*folder*/) {}
    virtual void FileFinished(int /*fileIndex*/, const FileOutcome& /*outcome*/) {}
};

// Messages and questions to the user, with the launcher's title; tests answer them.
class ConversionPrompts {
  public:
    virtual ~ConversionPrompts() = default;
    virtual void Message(const QString& text) = 0;
    virtual bool Question(const QString& text) = 0;
};

// The PST file name of a database: the text after its last separator, upper-cased, ".NSF" and
// ".DXL" replaced by ".PST".
QString PstFileName(const QString& databasePath);
// outputFolder + name, or outputFolder + number + name for the first number 0, 1, 2, ... that
// names no existing file and none in `taken`.
QString ChoosePstPath(const QString& outputFolder, const QString& databasePath,
                      const QStringList& taken = {});

// Folder-level cleaning of the skeleton: LF, CR, / : * ? < > | and \ become spaces, then tabs.
QString CleanSkeletonName(const QString& name);

// The PST folder levels of a folder record: a path with a "\" after its first character is
// split at every "\", anything else is one level; each level is cleaned. Empty levels (a double
// or trailing "\") are left out, and the folder runs name the folder by the same levels, so
// that nsfsave finds exactly the folder the skeleton created.
QStringList SkeletonLevels(const QString& recordPath);

class Conversion {
  public:
    struct Setup {
        QString handoffFolder;  // with its trailing separator
        ChildLauncher* launcher = nullptr;
        ConversionObserver* observer = nullptr;  // may be null
        ConversionPrompts* prompts = nullptr;    // may be null
        // Cleared when nsfsave reports the user's stop; shared by every conversion of a run.
        std::atomic<bool>* keepGoing = nullptr;
        // Set from outside (a signal, a second window) to end the run after the running child.
        const std::atomic<bool>* stopRequested = nullptr;
        bool previewRun = false;
    };
    explicit Conversion(Setup setup);

    // Export's steps before the loop: checks the log folder, recreates the run log with its
    // header, empties "Folderpth.txt" and runs nsfview for the save options. Returns whether
    // the loop may start, with the output folder nsfview answered.
    bool PrepareExport(const QString& logFolder, const std::vector<FileRow>& rows, const FileRow& lastPreview,
                       QString* optionsOutputFolder);
    // The loop over the files; ends with the closing row and message.
    std::vector<FileOutcome> ExportLoop(const std::vector<FileRow>& rows, const QString& optionsOutputFolder);

    // Lists one database with nsfview and converts it. pstPath empty: chosen by the naming
    // rule; otherwise that path is used (and opened when it exists, for an added run).
    FileOutcome ListAndConvert(int fileIndex, const FileRow& file, const QString& outputFolder,
                               const QString& pstPath = {});
    // Converts one database whose folder list is known.
    FileOutcome ConvertOneFile(int fileIndex, const FileRow& file, const std::vector<FolderRecord>& records,
                               const QString& outputFolder, const QString& pstPath = {});
    // One pass of nsfsave in mode "0" (folder) or "1" (calendar), "setting.txt" already written.
    PassOutcome RunPass(int fileIndex, const FileRow& file, const QString& mode, const QString& pstPath);

    QString LogPath() const;
    bool KeepGoing() const;

  private:
    void Activity(const QString& text);
    void LogLine(const QString& text);
    void Message(const QString& text);
    bool StopRequested() const;

    Setup s_;
};
