#pragma once
// Opens one database and lists the views and folders worth converting, with the standard
// Notes views under their Outlook names.

#include "common/handoff/RunOptions.h"
#include "common/notes/Notes.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

class RunLog;

struct ScannedFolder {
    QString name;  // after the name mapping; "\" separates the levels of a nested folder
    std::uint32_t noteId = 0;
    std::uint8_t hasEntries = 0;
    bool operator==(const ScannedFolder&) const = default;
};

// What a scan reports on the way: the status line and the progress bar.
struct ScanReport {
    std::function<void(const QString&)> status;
    std::function<void(int maximum)> progressRange;
    std::function<void(int position)> progressPosition;
};

class NsfScanner {
  public:
    // log may be null. keepRunning is the program's stop flag: a loop that finds it 0 sets it
    // back to 1 and stops.
    NsfScanner(RunLog* log, std::atomic<std::uint8_t>* keepRunning, ScanReport report = {});
    ~NsfScanner();

    // 1 when the database is open, 0 when it is not. Every failing Notes call is logged with
    // its tag ("Func: 121a", "Func: 121b", "Func: 121c") and the Notes error text.
    int OpenDatabase(const QString& path, const QString& server);
    // The kept views and folders, in the database's order (the list is emptied first).
    const std::vector<ScannedFolder>& ListFolders(const RunOptions& options);
    const std::vector<ScannedFolder>& Folders() const { return folders_; }
    void CloseDatabase();

    // The name a kept view or folder is shown with.
    static QString MappedName(const QString& notesName);
    // Whether a view (not a folder) of this name and type code passes the filter.
    static bool IsKeptView(const QString& name, int typeCode);

  private:
    void LogTagged(const char* tag, LNSTATUS status);
    bool Continue();

    RunLog* log_;
    std::atomic<std::uint8_t>* keepRunning_;
    ScanReport report_;
    LNNotesSession session_;
    LNDatabase database_;
    std::vector<ScannedFolder> folders_;
};
