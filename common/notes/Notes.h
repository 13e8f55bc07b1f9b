#pragma once
// The Notes API as nsfsave and nsfview see it: a session, databases, views and folders, their
// entries, documents with their items, attachments and rich text, plus the mail and calendar
// accessors. Behind it sits a database exported as DXL (see docs/notes.md).
//
// Objects are light handles that share their state: copying an LNDocument copies the handle,
// not the document. An object that was never bound (default-constructed) answers every call
// with a failure status or an empty value.
//
// Failures: calls returning LNSTATUS report failure by that value (or, with
// LNSetThrowAllErrors(true), by throwing it). Calls marked "Throws" return a value and report
// a failure only by throwing an LNSTATUS: the value accessors of LNDocument, when the document
// is not open (or unbound) or its fault mark asks for thrown statuses, and
// LNViewFolder::GetEntry for a view that is not open or an index out of range. Callers wrap
// them in try/catch (LNSTATUS) or LNCatchStatus. Nothing else is ever thrown.
//
// Text: "Notes text" (LNString) is UTF-8 in this layer. LNStringTranslate turns it into
// UTF-16; callers that follow the Notes habit of translating every text keep working.

#include "common/notes/LNStatus.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

using LNString = std::string;
using DHANDLE = std::uint32_t;     // native database handle, 0 = none
using NOTEHANDLE = std::uint32_t;  // native note handle, 0 = none

namespace notes_detail {
struct DatabaseImpl;
struct DocumentImpl;
struct DocumentData;
struct ViewImpl;
}  // namespace notes_detail

// Translates Notes text (UTF-8 here) to UTF-16. Invalid bytes become U+FFFD.
QString LNStringTranslate(std::string_view notesText);
// The buffer form of the Notes habit: target code 0 is UTF-16; writes at most outBytes bytes
// (UTF-16LE, NUL-terminated when room is left) and returns the number of code units written.
std::size_t LNStringTranslate(const char* notesText, std::size_t length, int targetCharset, char16_t* out,
                              std::size_t outBytes);

// ---------------------------------------------------------------------------------------------
// Identifiers and dates

// A Notes TIMEDATE as two u32 values; a database replica ID is one. DXL writes a replica ID as
// 16 hex digits: innards[1] then innards[0].
struct LNTimeDateId {
    std::uint32_t innards[2] = {0, 0};
    bool operator==(const LNTimeDateId&) const = default;
};

// A universal ID: the file part and the note part, two u32 values each. DXL writes it as 32
// hex digits: file.innards[1], file.innards[0], note.innards[1], note.innards[0].
struct LNUniversalID {
    LNTimeDateId file;
    LNTimeDateId note;
    bool operator==(const LNUniversalID&) const = default;
};

// One Notes date-time as DXL carries it: a date part, a time part, or both, local to a zone
// given as a UTC offset (or no zone: a floating local time). All parts 0 means "no date".
class LNDatetime {
  public:
    LNDatetime() = default;
    LNDatetime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

    int GetYear() const { return year_; }
    int GetMonth() const { return month_; }
    int GetDay() const { return day_; }
    int GetHour() const { return hour_; }
    int GetMinute() const { return minute_; }
    int GetSecond() const { return second_; }
    int GetHundredths() const { return hundredths_; }
    bool HasDate() const { return hasDate_; }
    bool HasTime() const { return hasTime_; }
    bool HasZone() const { return hasZone_; }
    // The zone as minutes east of UTC (-300 for EST); 0 without a zone.
    int GetUtcOffsetMinutes() const { return offsetMinutes_; }
    bool IsDST() const { return dst_; }
    bool IsNull() const { return !hasDate_ && !hasTime_; }

    // The same instant in another zone. zone is the Notes zone code: hours WEST of UTC
    // (0 = Greenwich Mean Time, 5 = Eastern); dst adds one hour. A floating time has no
    // instant and comes back unchanged (labelled with the asked zone); a time without a date
    // too.
    LNDatetime ConvertToZone(int zone, bool dst = false) const;

    // The same instant in the converting machine's own zone (its rules at that instant).
    // A floating time (no zone) and a date or a time alone come back unchanged.
    LNDatetime ToLocal() const;
    // ToLocal().GetPlainText(): the text mail and task dates travel in between readers and
    // writers (docs/notes.md, "Dates and zones").
    LNString GetLocalPlainText() const { return ToLocal().GetPlainText(); }

    // "month/day/year hour:minute:second", plain decimal without leading zeros (7/3/2018 9:5:0):
    // the form in which dates travel between readers and writers. "0/0/0 0:0:0" when null.
    LNString GetPlainText() const;
    // The platform's own text form: "07/03/2018 09:05:00", "07/03/1980" for a date alone,
    // "09:05:00" for a time alone, "" when null.
    LNString GetText() const;

    // Parses the DXL form: "20180703T090500,00-05", "19800703", "T090500,00",
    // "20180703T090500,00+0530", "20180703T090500,00Z"; the dst flag travels separately.
    static bool FromDxl(std::string_view text, bool dst, LNDatetime* out);
    // The DXL form of this date-time (inverse of FromDxl).
    std::string ToDxl() const;

    bool operator==(const LNDatetime&) const = default;

  private:
    int year_ = 0, month_ = 0, day_ = 0, hour_ = 0, minute_ = 0, second_ = 0, hundredths_ = 0;
    bool hasDate_ = false, hasTime_ = false, hasZone_ = false, dst_ = false;
    int offsetMinutes_ = 0;
};

struct LNDatetimeRange {
    LNDatetime start;
    LNDatetime end;
    bool operator==(const LNDatetimeRange&) const = default;
};

// A date list item: single date-times and ranges in item order.
struct LNDatetimeEntry {
    LNDatetime start;
    LNDatetime end;  // equal to start for a single date-time
    bool isRange = false;
    bool operator==(const LNDatetimeEntry&) const = default;
};

struct LNDatetimes {
    std::vector<LNDatetimeEntry> entries;
    std::size_t GetCount() const { return entries.size(); }
    bool IsEmpty() const { return entries.empty(); }
    // Every entry in the platform text form (LNDatetime::GetText), ranges as "start - end",
    // joined with separator.
    LNString GetText(std::string_view separator = ";") const;
    // Every entry as LNDatetime::ToLocal gives it.
    LNDatetimes ToLocal() const;
};

// ---------------------------------------------------------------------------------------------
// Items

// Item type codes (as the Notes C API numbers them).
enum LNITEMTYPE : std::uint16_t {
    LNITEMTYPE_ERROR = 0,
    LNITEMTYPE_RICHTEXT = 1,  // composite data
    LNITEMTYPE_OBJECT = 3,    // $FILE attachments
    LNITEMTYPE_HTML = 21,
    LNITEMTYPE_NOTEREFS = 256,
    LNITEMTYPE_NUMBERS = 768,     // a number or a number list
    LNITEMTYPE_DATETIMES = 1024,  // a date-time, a range, or a list of them
    LNITEMTYPE_TEXT = 1280,       // a text or a text list (names, authors, readers too)
};

// Item flags (as the Notes C API numbers them).
enum LNITEMFLAGS : std::uint32_t {
    LNITEMFLAGS_SIGN = 0x0001,
    LNITEMFLAGS_SEAL = 0x0002,  // encrypted: unreadable until the document is decrypted
    LNITEMFLAGS_SUMMARY = 0x0004,
    LNITEMFLAGS_AUTHORS = 0x0020,
    LNITEMFLAGS_NAMES = 0x0040,
    LNITEMFLAGS_PLACEHOLDER = 0x0100,
    LNITEMFLAGS_PROTECTED = 0x0200,
    LNITEMFLAGS_READERS = 0x0400,
};

class LNItem {
  public:
    LNItem() = default;
    bool IsNull() const { return !data_; }
    LNString GetName() const;
    LNITEMTYPE GetType() const;
    // Size of the raw value in bytes (GetRawValue().size()).
    std::uint32_t GetSize() const;
    std::uint32_t GetFlags() const;
    // The raw value: the item's type code as a little-endian u16, then its data. For text,
    // the UTF-8 text (list entries separated by NUL); for numbers, IEEE doubles LE; for HTML
    // and other raw items, the stored bytes; for rich text, the DXL <richtext> fragment; for
    // date-times, their DXL forms separated by NUL.
    LNSTATUS GetRawValue(std::vector<std::uint8_t>* value) const;
    // Text of text, number and date items: list entries joined with separator, numbers in
    // shortest decimal form, dates in the platform text form. Empty for rich text (read it
    // through LNDocument::GetRichText), attachments and raw items: they are not text items.
    LNString GetText(std::string_view separator = ";") const;
    std::vector<LNString> GetTextList() const;
    std::vector<double> GetNumbers() const;
    LNDatetimes GetDatetimes() const;

  private:
    friend class LNDocument;
    std::shared_ptr<const notes_detail::DocumentData> data_;
    std::size_t index_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Attachments

enum LNATTACHMENTTYPE : std::uint16_t { LNATTACHMENTTYPE_FILE = 0 };

class LNAttachment {
  public:
    LNAttachment() = default;
    bool IsNull() const { return !data_; }
    LNString GetName() const;
    std::uint64_t GetSize() const;  // the decoded size in bytes
    LNATTACHMENTTYPE GetType() const { return LNATTACHMENTTYPE_FILE; }
    LNDatetime GetCreated() const;
    LNDatetime GetModified() const;
    // Writes the attachment's bytes to path (created or overwritten). Streams: a large
    // attachment is never held in memory whole.
    LNSTATUS Detach(const QString& path) const;

  private:
    friend class LNDocument;
    std::shared_ptr<const notes_detail::DocumentData> data_;
    std::shared_ptr<notes_detail::DatabaseImpl> db_;
    std::size_t index_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Rich text

enum LNRTTYPE : std::uint16_t {
    LNRTTYPE_DOCLINK = 41,
    LNRTTYPE_VIEWLINK = 42,
    LNRTTYPE_DBLINK = 43,
};

class LNDocumentLink {
  public:
    LNRTTYPE GetType() const { return type; }
    LNTimeDateId GetDatabaseReplicaID() const { return replicaId; }
    LNUniversalID GetViewUniversalID() const { return viewUnid; }
    LNUniversalID GetDocumentUniversalID() const { return documentUnid; }
    LNString GetDescription() const { return description; }

    LNRTTYPE type = LNRTTYPE_DOCLINK;
    LNTimeDateId replicaId;
    LNUniversalID viewUnid;
    LNUniversalID documentUnid;
    LNString description;
};

class LNRichText;

// Walks the links of a rich-text item in document order.
class LNRTCursor {
  public:
    // Moves to the first object of the type; LNWARN_NOT_FOUND when there is none.
    LNSTATUS GotoFirst(LNRTTYPE type, LNDocumentLink* link);
    // Moves to the next object of the type; LNWARN_NOT_FOUND at the end.
    LNSTATUS GotoNext(LNRTTYPE type, LNDocumentLink* link);

  private:
    friend class LNRichText;
    std::shared_ptr<const notes_detail::DocumentData> data_;
    std::size_t item_ = 0;
    std::size_t next_ = 0;
};

class LNRichText {
  public:
    LNRichText() = default;
    bool IsNull() const { return !data_; }
    // Paragraphs end with "\n"; table cells are separated by "\t", table rows by "\n";
    // section titles come before their contents; pictures and links leave no text.
    LNString GetPlainText() const;
    // The item's DXL <richtext> element, as stored (UTF-8 XML, images included).
    LNSTATUS GetXml(LNString* xml) const;
    std::vector<LNDocumentLink> GetDocumentLinks() const;
    LNSTATUS GetCursor(LNRTCursor* cursor) const;

  private:
    friend class LNDocument;
    std::shared_ptr<const notes_detail::DocumentData> data_;
    std::shared_ptr<notes_detail::DatabaseImpl> db_;
    std::size_t index_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Forms

// Field type codes of a form's field list.
enum LNFIELDTYPE : std::uint16_t {
    LNFIELDTYPE_UNKNOWN = 0,
    LNFIELDTYPE_NUMBER = 44,
    LNFIELDTYPE_TEXT = 45,
    LNFIELDTYPE_DATETIME = 46,
    LNFIELDTYPE_KEYWORDS = 47,
    LNFIELDTYPE_NAMES = 48,
    LNFIELDTYPE_RICHTEXT = 49,
    LNFIELDTYPE_AUTHORS = 50,
    LNFIELDTYPE_READERS = 51,
    LNFIELDTYPE_PASSWORD = 52,
    LNFIELDTYPE_FORMULA = 53,
    LNFIELDTYPE_TIMEZONE = 54,
    LNFIELDTYPE_RICHTEXTLITE = 55,
    LNFIELDTYPE_COLOR = 56,
};

struct LNFormField {
    LNString name;
    LNFIELDTYPE type = LNFIELDTYPE_UNKNOWN;
};

// ---------------------------------------------------------------------------------------------
// Documents

enum LNRECIPIENTTYPE : int {
    LNRECIPIENTTYPE_TO = 0,   // item "SendTo"
    LNRECIPIENTTYPE_CC = 1,   // item "CopyTo"
    LNRECIPIENTTYPE_BCC = 2,  // item "BlindCopyTo"
};

// Mail importance, from the item "Importance" ("1" high, "2" normal, "3" low).
enum LNIMPORTANCE : int {
    LNIMPORTANCE_LOW = 0,
    LNIMPORTANCE_NORMAL = 1,  // also when the item is missing or holds anything else
    LNIMPORTANCE_HIGH = 2,
};

// Calendar entry type, from the item "AppointmentType".
enum LNCALENDARENTRYTYPE : int {
    LNCALENDARENTRYTYPE_APPOINTMENT = 0,
    LNCALENDARENTRYTYPE_ANNIVERSARY = 1,
    LNCALENDARENTRYTYPE_ALLDAYEVENT = 2,
    LNCALENDARENTRYTYPE_MEETING = 3,
    LNCALENDARENTRYTYPE_REMINDER = 4,
};

using LNNOTEOPENFLAGS = std::uint32_t;

class LNDocument {
  public:
    LNDocument() = default;

    // Reads the document from the database. Returns the status of a fault mark when the
    // database gives the document one (263 for "retry in a fresh process").
    LNSTATUS Open(LNNOTEOPENFLAGS flags = 0);
    void Close();
    bool IsOpen() const;

    // Known without opening.
    NOTEID GetNoteID() const;
    LNUniversalID GetUniversalID() const;
    LNDatetime GetCreated() const;
    LNDatetime GetLastModified() const;
    // The native handle of the open document for the flat functions; 0 when not open.
    NOTEHANDLE GetNoteHandle() const;

    // Throws. The item "Form", else the form attribute of the document.
    LNString GetFormName() const;
    // The fields of the document's form, in form order. A form the database does not carry
    // is stood in for by the document's own items, in item order.
    LNSTATUS GetFormFields(std::vector<LNFormField>* fields) const;

    // Throws. A sealed item is hidden until Decrypt succeeds.
    bool HasItem(std::string_view name) const;
    LNSTATUS GetItem(std::string_view name, LNItem* item) const;
    // Throws. All readable items, in document order.
    std::vector<LNItem> GetItems() const;
    // Throws. Shorthands: the item's text (GetText(separator)), list, numbers, dates; empty
    // when the item is missing.
    LNString GetItemText(std::string_view name, std::string_view separator = ";") const;
    std::vector<LNString> GetItemTextList(std::string_view name) const;
    std::vector<double> GetItemNumbers(std::string_view name) const;
    LNDatetimes GetItemDatetimes(std::string_view name) const;

    // Throws. The files of the "$FILE" items, in document order (names may repeat).
    bool HasAttachments() const;
    std::vector<LNAttachment> GetAttachments() const;
    LNSTATUS GetAttachment(std::string_view name, LNAttachment* attachment) const;

    // Throws (the three predicates).
    bool IsEncrypted() const;
    bool IsSigned() const;  // has a "$Signature" item
    bool HasLinks() const;  // some rich-text item holds a document, view or database link
    // Makes the sealed items readable. LNERR_NOT_ENCRYPTED for a clear document;
    // LNERR_DECRYPT_NO_KEY (or the database's fault status) when the key is missing.
    LNSTATUS Decrypt();

    // A rich-text item; LNERR_ITEM_NOT_RICHTEXT when the item exists with another type.
    LNSTATUS GetRichText(std::string_view name, LNRichText* richText) const;

    // Mail accessors. Throw.
    LNString GetSender() const;  // item "From"
    std::vector<LNString> GetRecipients(LNRECIPIENTTYPE kind) const;
    LNString GetSubject() const;     // "Subject", joined with ";"
    LNDatetime GetDateSent() const;  // "PostedDate"; a null date when missing
    LNIMPORTANCE GetImportance() const;
    LNString GetCategories() const;  // "Categories", joined with ";"

    // Calendar accessors. Throw.
    // "StartDateTime" and "EndDateTime" (else "StartDate"+"StartTime", "EndDate"+"EndTime";
    // a missing end is the start). LNERR_NO_DATE_RANGE without a start.
    LNSTATUS GetDateRange(LNDatetime* start, LNDatetime* end) const;
    bool IsAlarmEnabled() const;  // "$Alarm" is 1
    int GetAlarmOffset() const;   // "$AlarmOffset", minutes (negative = before the start)
    LNCALENDARENTRYTYPE GetEntryType() const;
    LNString GetBriefDescription() const;                // "Subject"
    LNString GetDetailedDescription() const;             // plain text of "Body"
    std::vector<LNString> GetRequiredAttendees() const;  // "RequiredAttendees"
    std::vector<LNString> GetOptionalAttendees() const;  // "OptionalAttendees"
    bool IsRepeating() const;                            // "Repeats" is 1
    bool IsPrivate() const;                              // "OrgConfidential" is 1

  private:
    friend class LNDatabase;
    friend class LNVFEntry;
    friend LNSTATUS LNGetDocumentByHandle(NOTEHANDLE, LNDocument*);
    friend LNSTATUS NSFNoteOpenByID(DHANDLE, NOTEID, LNDocument*);
    const notes_detail::DocumentData& Data() const;  // throws LNERR_NOTE_NOT_OPEN
    // Binds document to the note of an open database (not yet opened).
    static LNSTATUS Bind(const std::shared_ptr<notes_detail::DatabaseImpl>& db, NOTEID noteId,
                         LNDocument* document);
    std::shared_ptr<notes_detail::DocumentImpl> impl_;
};

// ---------------------------------------------------------------------------------------------
// Views and folders

class LNVFEntry {
  public:
    // A category row (or an unbound entry) has no document.
    bool IsNull() const { return isNull_; }
    bool IsCategory() const { return isCategory_; }
    LNString GetCategoryTitle() const { return title_; }
    bool IsUnread() const { return unread_; }
    NOTEID GetNoteID() const { return noteId_; }
    // The entry's document, not yet open. LNERR_ENTRY_NO_DOCUMENT for a category row,
    // LNERR_NOTE_NOT_FOUND when the entry points at a missing document.
    LNSTATUS GetDocument(LNDocument* document) const;

  private:
    friend class LNViewFolder;
    std::shared_ptr<notes_detail::DatabaseImpl> db_;
    bool isNull_ = true;
    bool isCategory_ = false;
    bool unread_ = false;
    NOTEID noteId_ = 0;
    LNString title_;
};

enum LNVIEWFOLDEROPENFLAGS : std::uint32_t {
    LNVFOPEN_DEFAULT = 0,
    LNVFOPEN_NO_REFRESH = 0x00001,
    LNVFOPEN_NO_UPDATE = 0x10000,
};

// View type codes: 0 is a standard outline view (and every folder).
enum LNVIEWTYPE : int { LNVIEWTYPE_STANDARD = 0, LNVIEWTYPE_CALENDAR = 1 };

class LNViewFolder {
  public:
    LNViewFolder() = default;
    // Any flag combination is accepted. A view with a fault mark returns its status.
    LNSTATUS Open(std::uint32_t flags = 0);
    void Close();
    bool IsOpen() const { return open_; }

    // Known without opening.
    NOTEID GetNoteID() const;
    LNUniversalID GetUniversalID() const;
    LNString GetName() const;  // the full name; a "\" separates the levels of a nested folder
    int GetType() const;       // LNVIEWTYPE
    bool IsFolder() const;

    // 0 when not open (a view that failed to open lists nothing).
    std::uint32_t GetEntryCount() const;
    // Throws when not open or out of range.
    LNVFEntry GetEntry(std::uint32_t index) const;
    LNVFEntry operator[](std::uint32_t index) const { return GetEntry(index); }

  private:
    friend class LNDatabase;
    std::shared_ptr<notes_detail::DatabaseImpl> db_;
    std::shared_ptr<const notes_detail::ViewImpl> view_;
    bool open_ = false;
};

// ---------------------------------------------------------------------------------------------
// Databases and the session

class LNDatabase {
  public:
    LNDatabase() = default;
    // Reads and indexes the file once: documents are read when asked for. Fails with
    // LNERR_NSF_NOT_SUPPORTED for a binary .nsf, LNERR_BAD_XML / LNERR_BAD_ENCODING /
    // LNERR_NOT_DXL for a damaged or foreign file.
    LNSTATUS Open();
    void Close();
    bool IsOpen() const;

    QString GetFilePath() const;
    LNString GetTitle() const;
    LNTimeDateId GetReplicaID() const;
    // The native handle for the flat functions; 0 when not open.
    DHANDLE GetDatabaseHandle() const;

    // Views and folders, in file order; "($All)" is added at the end when the file has none.
    LNSTATUS GetViewFolders(std::vector<LNViewFolder>* viewFolders) const;
    LNSTATUS GetViewFolder(NOTEID noteId, LNViewFolder* viewFolder) const;
    LNSTATUS GetViewFolder(std::string_view name, LNViewFolder* viewFolder) const;

    // Every document, in file order.
    LNSTATUS GetDocumentIDs(std::vector<NOTEID>* noteIds) const;
    std::uint32_t GetDocumentCount() const;
    LNSTATUS GetDocument(NOTEID noteId, LNDocument* document) const;

  private:
    friend class LNNotesSession;
    std::shared_ptr<notes_detail::DatabaseImpl> impl_;
    QString path_;
};

class LNNotesSession {
  public:
    // Once per process; the calling thread counts as registered. version and flags are
    // accepted for the habit of the Notes client and not otherwise used.
    LNSTATUS Initialize(std::uint32_t version = 800, std::uint32_t flags = 1);
    // Around the work of every other thread that calls the layer.
    LNSTATUS InitThread();
    LNSTATUS TermThread();
    LNSTATUS Term();
    bool IsInitialized() const;

    // Binds a database object to a path ("*.dxl" or "*.nsf"; the file's content decides).
    // server must be empty: LNERR_SERVER_NOT_AVAILABLE otherwise. A path registered with
    // NotesMemoryDatabases binds to those bytes. The file is read by LNDatabase::Open.
    // LNERR_THREAD_NOT_INITIALIZED when the calling thread is not registered.
    LNSTATUS GetDatabase(const QString& path, LNDatabase* database, const QString& server = QString()) const;
};

// In-memory databases for tests: GetDatabase on a registered path reads these DXL bytes
// instead of a file. Defined in the library notes_testsupport, which the programs never link.
namespace NotesMemoryDatabases {
void Add(const QString& path, const QByteArray& dxl);
void Remove(const QString& path);
void Clear();
}  // namespace NotesMemoryDatabases
