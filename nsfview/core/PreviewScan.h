#pragma once
// The scan of the preview: opens the database, lists its folders and builds the check-box tree,
// showing and logging each step. Runs on a worker; the report callbacks run there too.

#include "nsfview/core/FolderTree.h"
#include "nsfview/core/Viewer.h"

#include <QString>

#include <cstdint>
#include <vector>

// One document of a listed folder, as the item list shows it.
struct ItemRecord {
    QString to;
    QString from;
    QString subject;
    std::uint8_t hasAttachment = 0;
    QString dateText;
    QString form;  // only used to leave reply notices out
    bool operator==(const ItemRecord&) const = default;
};

struct PreviewScanResult {
    bool opened = false;
    FolderTree tree;
    std::vector<ScannedFolder> folders;
};

// Steps from "Scanning File ." to "Processing Finished....". The caller has set selectionMode
// and includeAllFolder; a Stop (keep-running 0) ends the folder listing or the tree building
// and keeps what was built.
PreviewScanResult RunPreviewScan(ViewerSession& session, const ScanReport& report);

// The documents of one view or folder, with the log tags of the listing. A Stop (keep-running
// 0) ends the reading and is left at 0. `path`/`server` name the database as the scan opened it.
std::vector<ItemRecord> ListFolderItems(const QString& path, const QString& server, std::uint32_t noteId,
                                        const RunOptions& options, RunLog* log,
                                        std::atomic<std::uint8_t>* keepRunning, const ScanReport& report);

// The date column: month/day/year hour:minute:second, no leading zeros.
QString ItemDateText(const LNDatetime& value);

// The texts of the preview's status line and run log.
namespace viewtext {
inline const char kScanningFile[] = "Scanning File .\r\n";
inline const char kOpening[] = "Opening  Database";
inline const char kOpenFailed[] = "ERROR: Database cannot be Opened\r\n";
inline const char kProcessingFolders[] = "Processing Folders.... \r\n";
inline const char kProcessingNsf[] = "Processing NSF File: ";
inline const char kProcessingFolder[] = "Processing Folder: ";
inline const char kFinished[] = "Processing Finished....";
inline const char kScanDone[] = "Scanning process done..";
inline const char kProcessingMail[] = "Processing Mail Data";
inline const char kFilling[] = "Filling in List Control";
inline const char kListed[] = "Scanning completed.";
inline const char kStopQuestion[] = "Are you sure to stop the running process?";
inline const char kBusy[] = "Please stop the running process to continue the process.";
inline const char kNoSelection[] = "Please select folder from tree for saving";
inline const char kFolderFileMissing[] = "Folder file cannot be open";
inline const char kNamesNsfWait[] = "Please wait for the process to complete";
// "Please wait while " + folder + " folder is scanning...."
QString ListingStarted(const QString& folder);
// "Total number of emails: [n]"
QString ListedTotal(int rows);
}  // namespace viewtext
