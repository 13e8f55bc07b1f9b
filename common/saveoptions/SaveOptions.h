#pragma once
// The rules of the save options, built once for nsfview's save and advanced-settings dialogs
// and for nsfadd's batch command line: the values the dialogs start with, the predefined
// periods and manual date ranges, the SMTP domain check, the CSV and names.nsf address
// sources, and the folder-name mapping with the cleaning of folder levels.

#include "common/handoff/RunOptions.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <optional>

namespace saveoptions {

// ---- values the dialogs start with ----

// The options as the save dialog and the advanced settings start outside the folder tree's
// selection: "All Time", "Exclude All Folder" checked (so includeAllFolder 0), every other box
// unchecked, the nine standard folders unmapped, and the constants nsfview always writes.
RunOptions DialogDefaults();

// "Inbox", "Drafts", "Sent Items", "Trash", "Junk E-mail", "Tasks", "Contacts", "Calendar",
// "Journal", in the order of the folder list.
const QStringList& StandardFolderNames();
std::map<QString, QString> EmptyFolderMap();

// ---- date ranges ----

// Days since 30 December 1899 midnight, local time, the fraction being the time of day.
OleDateTime ToOleDate(const QDateTime& local);
QDateTime FromOleDate(double value);

// The ten entries of the period list, "All Time" first.
const QStringList& PeriodNames();
// The range of period `index` at `now`; none for "All Time" or an index outside the list.
std::optional<DateRange> PeriodRange(int index, const QDateTime& now);

enum class AddRange { Added, AlreadyListed, EndBeforeStart };
// A manual range: refused when end lies before start (equal is fine); a range whose two dates
// read the same as one already listed ("%A, %B %d, %Y") is not added twice.
AddRange AddManualRange(std::vector<DateRange>& ranges, const QDateTime& start, const QDateTime& end);
QString RangeRowText(const QDateTime& value);  // "Friday, December 11, 2026"

// ---- save dialog ----

struct SaveDialogChoices {
    QString folderPath;
    bool manual = false;                  // "Specify TimePeriod Manually"
    int periodIndex = 0;                  // with "Predefine Time Period"
    std::vector<DateRange> manualRanges;  // as added with AddManualRange
};
// OK of the save dialog: fills pstTargetFolder and dateRanges. Returns the refusal message, or
// an empty text when the dialog may close. What earlier steps stored stays stored on refusal.
QString ApplySaveDialog(const SaveDialogChoices& choices, const QDateTime& now, RunOptions& options);

// ---- advanced settings ----

// The SMTP patterns, index 0 to 7.
const QStringList& SmtpPatternNames();
// Not empty; a "."; after the first "." at least two ASCII letters and nothing else; before it
// only ASCII letters, digits, "-" and "_".
bool IsValidSmtpDomain(const QString& domain);

enum class CsvRead { Read, CannotOpen, NotValid };
// Reads a CSV address file into `table` (upper-case name -> address, a later line replacing
// an earlier one). NotValid at the first unquoted line without a comma; the lines before it
// stay in the table.
CsvRead ReadAddressCsv(const QString& path, std::map<QString, QString>& table);
// One line as the reader takes it; false when it holds no entry (a quoted name without its
// closing quote) or is not valid (unquoted, no comma: `notValid` set).
bool ParseCsvLine(const QByteArray& line, QString& name, QString& address, bool& notValid);

// Reads the Person documents of a names.nsf-style database into `table`; false when the
// database cannot be got or opened. `error` receives the Notes error text then.
bool ReadNamesNsfAddresses(const QString& path, std::map<QString, QString>& table, QString* error = nullptr);

// A custom folder name: not empty, none of / : * ? < > | " \.
bool IsValidCustomFolderName(const QString& name);

struct AdvancedChoices {
    bool selectionMode = false;
    bool excludeAllFolder = true;
    bool removeEncryption = false;
    bool saveDocLinks = false;
    bool saveInternetHeader = false;
    bool addressTranslation = false;
    bool smtpManual = true;
    int smtpPattern = 0;
    QString smtpDomain;
    bool csvSource = true;
    QString csvPath;
    bool namesNsfSource = true;
    QString namesNsfPath;
    bool folderMapping = false;
    std::map<QString, QString> folderMap;  // standard name -> custom name
    // Called once before the names.nsf source is read (the dialog tells the user to wait).
    std::function<void()> beforeNamesNsf;
};
// What opening the advanced settings resets in the options.
void ResetAdvancedSettings(RunOptions& options);
// OK of the advanced settings, in the dialog's order; returns the refusal message or empty.
QString ApplyAdvancedSettings(const AdvancedChoices& choices, RunOptions& options);

// ---- folder levels ----

// Line feed, carriage return, tab, / : * ? < > | and \ become spaces; double quotes stay.
QString CleanFolderLevel(const QString& level);
// The cleaned level, replaced by its custom name when the mapping is on and holds one.
QString CleanAndMapLevel(const QString& level, const RunOptions& options);
// The PST path of a listed folder name: split at every "\" (empty levels kept), each level
// cleaned and mapped, trailing "\" dropped; a name without "\" or starting with one is one
// level.
QString ListingFolderPath(const QString& name, const RunOptions& options);

// The message texts of the two dialogs.
namespace msg {
inline const char kEndBeforeStart[] = "End date should be greater than Start date";
inline const char kInvalidFolder[] = "Please select valid folder path to save the pst file(s).";
inline const char kNoRange[] = "Please add at least one date range for saving.";
inline const char kInvalidDomain[] = "Please enter valid domain name";
inline const char kCsvCannotOpen[] = "Csv file cannot be opened";
inline const char kCsvNotValid[] = "This is not a valid CSV File";
inline const char kNsfCannotAccess[] = "Nsf file cannot be accessed";
inline const char kNoTranslationSource[] = "Please select at least one option for translation.";
inline const char kNoFolderMapping[] = "Folder mapping cannot be applied.Please Select folder for mapping";
inline const char kInvalidFolderName[] = "please enter valid folder name";
inline const char kFolderMappingSaved[] = " Folder mapping saved Successfully";
}  // namespace msg

}  // namespace saveoptions
