#pragma once
// The one conversion object of an nsfsave process: the open database, the window to report to,
// the field records of the current item, and the two dumps (a Notes folder, the collected
// calendar entries).

#include "common/handoff/RunOptions.h"
#include "common/notes/Notes.h"
#include "convert/calendar/CalendarIcs.h"
#include "convert/calendar/ContactVcf.h"
#include "convert/mail/ConvertContext.h"
#include "convert/mail/MailFields.h"
#include "savingprocess/engine/ItemKind.h"
#include "savingprocess/engine/RunState.h"
#include "savingprocess/engine/SaveStore.h"

#include <QDateTime>
#include <QFile>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_set>

// A saving pass may take at most this many loop passes per process: the entry at which it is
// reached is left to the next process.
inline constexpr std::uint64_t kFolderPassLimit = 20000;
inline constexpr std::uint32_t kCalendarPassLimit = 100;
// The document status that asks for a fresh process.
inline constexpr LNSTATUS kRetryStatus = 263;

// The folder summary's counts of one pass.
struct FolderPassCounts {
    std::uint64_t found = 0;    // documents opened
    std::uint64_t leftOut = 0;  // outside the date ranges, unknown form, not fetched or opened
    // Of left out, those that were found: the summary's dumped count is found minus these, so
    // documents that never opened cannot make it wrap below zero.
    std::uint64_t leftOutFound = 0;
    std::uint64_t Dumped() const { return found - leftOutFound; }
};

// The document's universal ID as DXL writes it: 32 upper-case hex digits.
QString UniversalIdText(const LNUniversalID& unid);
// An OLE Automation date (days since 30 December 1899, local) to the second.
QDateTime OleToLocal(double value);
// A Notes date-time as local time, to the second; invalid for a null date.
QDateTime NotesToLocal(const LNDatetime& datetime);
// "month/day/year hour:minute:second" as local time; invalid unless it parses.
QDateTime DateTextToLocal(const QString& text);

class ConversionEngine {
  public:
    ConversionEngine(LNNotesSession& session, RunState& state, ProgressWindow& window);

    // 1 when the database is open, 0 otherwise.
    int OpenDatabase(const QString& databasePath, const QString& server);
    void CloseDatabase();
    LNDatabase& Database() { return database_; }

    // 1 when the pass completed or a Notes failure ended it, 0 when it was stopped or ended
    // for a restart.
    int DumpFolder(std::uint32_t startIndex, const QString& folderPath, NOTEID folderNoteId,
                   StoreSession& session);
    // 1 when d lies in one of the options' date ranges (ends included), or when there are none.
    int InDateRanges(const QDateTime& d) const;

    void DumpCalendar(StoreSession& session);
    // 0 when the pass must end for a restart, else 1.
    int DumpCalendarEntry(NOTEID noteId, StoreFolder* calendar);
    void SetAppointmentProperties(StoreItem& item, const CalendarFields& fields);

    // The pass counts of the last DumpFolder (for tests and the benchmark).
    const FolderPassCounts& LastCounts() const { return passCounts_; }

  private:
    enum class EntryEnd { Next, Restart };
    struct FolderTargets;

    ConvertContext Context();
    void Log(const QString& text);
    void LogLine(const QString& text);
    void WriteCheckpoint(NOTEID noteId, std::uint32_t index, const QString& path, std::uint8_t continueFlag,
                         const char* failureLine);
    void AddWarning();
    void AddError();
    QString TempFolder();
    EntryEnd ConvertEntry(ItemKind kind, NOTEID noteId, const QString& unid, std::uint32_t index,
                          std::uint8_t readFlag, const QString& folderPath, NOTEID folderNoteId,
                          FolderTargets& targets, QFile* cal, QString& interchangePath);
    void SetMailProperties(StoreItem& item, const MailFields& fields);
    void SetTaskProperties(StoreItem& item, const TaskFields& fields);

    LNNotesSession& session_;
    RunState& state_;
    ProgressWindow& window_;
    LNDatabase database_;
    FolderPassCounts passCounts_;
    MailFields mail_;
    TaskFields task_;
    ContactFields contact_;
    CalendarFields calendar_;
    QString temp_;  // the interchange files' folder, with its trailing separator
    // The source IDs in the calendar folder, read when the calendar run first needs them.
    std::optional<std::unordered_set<QString>> calendarStamps_;
};

// The contact and group-list properties of an item, from the record the contact reader fills.
void SetContactProperties(StoreItem& item, const ContactFields& fields);
void SetGroupListProperties(StoreItem& item, const ContactFields& fields);
