#pragma once
// The launcher's shared state and its file list: choosing the log folder, adding files,
// searching a folder tree, removing rows, Stop, the search animation and Close. The windows
// only show what these report; the add and search loops run on a worker and reach the window
// through FileListSink.

#include "nsfadd/core/Conversion.h"

#include <QString>

#include <atomic>
#include <vector>

// What every launcher command shares.
struct LauncherState {
    QString notesProgramFolder;  // the children's working folder; empty: nsfadd's own
    QString logFilePath;         // hand-off folder + the run log's name, once a folder is chosen
    // 1 while adding or searching runs; the list commands refuse to start then, Stop clears it.
    std::atomic<int> busy{0};
    // Cleared once when nsfsave reports the user's stop; nothing sets it again.
    std::atomic<bool> keepGoing{true};
    bool previewRun = false;
    FileRow lastPreview;  // the file the last Preview opened: Export's save-options step names it
};

// The rows of the list. Paths are compared without regard to letter case; rows are appended at
// the end and never sorted.
class FileList {
  public:
    const std::vector<FileRow>& Rows() const { return rows_; }
    int Count() const { return int(rows_.size()); }
    bool Contains(const QString& path) const;
    // Appends a row unless the path is listed already.
    bool Append(const QString& path);
    void Remove(int index);
    void Clear() { rows_.clear(); }

  private:
    std::vector<FileRow> rows_;
};

// "Total number of files: [n]", or the empty-list text of the add and search commands.
QString TotalFilesText(int count);
bool IsTotalFilesText(const QString& text);

// A file in a drive's root folder comes back from the file dialog as "C:\\a.nsf".
QString RepairRootPath(QString path);

// A database by its name: the text after the last "." is "nsf" or "dxl", in any case.
bool IsDatabaseFileName(const QString& fileName);

// How the add and search loops reach the window (its list, status line, progress bar and
// Stop button) and the user.
class FileListSink {
  public:
    virtual ~FileListSink() = default;
    virtual bool Contains(const QString& path) = 0;
    virtual void Append(const QString& path) = 0;  // also scrolls the new row into view
    virtual int RowCount() = 0;
    virtual void Status(const QString& text) = 0;
    // Shows (or hides) Stop and the progress bar, the bar at `range` (0 … range) and position 0;
    // a search shows the bar at 0 … 0 and animates it.
    virtual void ShowProgress(bool shown, int range, bool animated) = 0;
    virtual void Progress(int position) = 0;
    virtual void Message(const QString& text) = 0;
};

// Choosing the log folder: empty or not a folder gives the refusal text; otherwise the run log
// is recreated (with its byte-order mark) and its path stored. Returns the message to show, or
// an empty text.
QString ChooseLogFolder(LauncherState& state, const QString& chosenFolder);

// The checks before Add and Search open their dialogs; returns the refusal to show, or empty.
enum class ListCommand { Add, Search };
QString ListCommandRefusal(const LauncherState& state, ListCommand command, const QString& logFolderText);

// Add, after the file dialog: `confirmed` false when it was cancelled (the closing status and
// log line still come).
void AddFiles(LauncherState& state, FileListSink& sink, const QStringList& selected, bool confirmed);

// Search, after the folder browser: the chosen text, trimmed, must name a directory; otherwise
// nothing happens. Returns whether the search ran.
bool SearchFolder(LauncherState& state, FileListSink& sink, const QString& chosenFolder);
// The depth-first walk, in the order the file system returns the entries, while `busy` is 1.
// Symbolic links to folders are not followed: a link to a parent would never end.
void SearchTree(LauncherState& state, FileListSink& sink, const QString& folder);

// Remove File and Remove All: the message to show or the status line to set.
struct RemoveResult {
    QString message;
    QString status;
};
RemoveResult RemoveSelected(LauncherState& state, FileList& list, std::vector<int> selectedRows);
RemoveResult RemoveAll(LauncherState& state, FileList& list);

// Stop: asks only while busy; Yes clears busy.
void StopRequest(LauncherState& state, ConversionPrompts& prompts);

// One tick of the search animation: the next position, and whether the range is reset to
// 0 … 1000 first.
struct AnimationStep {
    bool resetRange = false;
    int position = 0;
};
AnimationStep NextAnimationStep(int position);

// Close: refused while busy; otherwise asks, and on Yes writes the closing log line. Returns
// whether the process is to end now.
bool CloseRequest(LauncherState& state, ConversionPrompts& prompts);

// Appends one line to the run log when the file exists; a missing log loses only the line.
void AppendLogLine(const QString& logFilePath, const QString& text);
