#pragma once
// The PST store as nsfsave and nsfadd see it: a session with one store, its folders, their item
// collections and the items, on top of the PST file library (pst/).
//
// Every object is a handle that may be empty. Every operation is wrapped the same way: a call
// that fails is made once more; when that fails too, the result is empty (an empty handle, an
// empty text, false) and nothing leaves the operation. An operation on an empty handle does
// nothing. The reason of the last failure is kept in the session (`LastError`) and handed to
// the error sink, so the caller can put it into the run log.
//
// Handles share the session's state; they are used on one thread, the one that created the
// session.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <QUuid>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct PstContext;  // the open file and the session's state, shared by every handle
struct PstItemData;
struct PstTimeZoneData;

// Default-folder codes as Outlook's object model numbers them.
enum PstDefaultFolderCode : int {
    kPstDeletedItems = 3,
    kPstOutbox = 4,
    kPstSentItems = 5,
    kPstInbox = 6,
    kPstCalendar = 9,
    kPstContacts = 10,
    kPstJournal = 11,
    kPstNotes = 12,
    kPstTasks = 13,
    kPstDrafts = 16,
    kPstJunkEmail = 23,
    kPstRssFeeds = 25,
    kPstGroupLists = 28,  // where group lists are imported: the Contacts folder
};

// Import types of `PstItem::Import`.
enum PstImportType : int {
    kPstImportGroupText = 0,  // UTF-16 text: becomes the item's body
    kPstImportVcf = 6,
    kPstImportIcs = 8,
    kPstImportEml = 1024,
};

// The kind given when a subfolder is added: nothing (a mail folder), a default-folder code,
// or a container class such as "IPF.Task".
struct PstFolderKind {
    int defaultFolder = 0;
    QString containerClass;
    static PstFolderKind None() { return {}; }
    static PstFolderKind Default(int code) { return {code, {}}; }
    static PstFolderKind Class(const QString& cls) { return {0, cls}; }
};

// A time zone with its daylight rules, found by name (`PstSession::TimeZoneByName`).
class PstTimeZone {
  public:
    PstTimeZone() = default;
    bool IsEmpty() const { return !d_; }
    explicit operator bool() const { return !IsEmpty(); }
    QTimeZone Zone() const;  // invalid when empty
    QString Name() const;    // the key name Outlook shows, e.g. "W. Europe Standard Time"

  private:
    friend class PstSession;
    friend class PstItem;
    std::shared_ptr<const PstTimeZoneData> d_;
};

// The contact properties that `SetContactProperties` fills, one per contact field.
enum class PstContactText {
    AssistantName,
    AssistantPhone,
    Business2Phone,
    BusinessCity,
    BusinessCountry,
    BusinessPostalCode,
    BusinessState,
    BusinessStreet,
    BusinessFax,
    BusinessHomePage,
    BusinessPhone,
    Children,
    CompanyName,
    Department,
    Email1,
    Email2,
    Email3,
    FirstName,
    FullName,
    Home2Phone,
    HomeCity,
    HomeCountry,
    HomePostalCode,
    HomeState,
    HomeStreet,
    HomeFax,
    HomePhone,
    InstantMessaging,
    JobTitle,
    LastName,
    MailingAddress,  // the text "home", "business" or "other"
    ManagerName,
    MiddleName,
    MobilePhone,
    NickName,
    OfficeLocation,
    OtherCity,
    OtherCountry,
    OtherPostalCode,
    OtherState,
    OtherStreet,
    OtherPhone,  // the telephone the vCard writes as "TEL;TYPE=msg:"
    Pager,
    PrimaryPhone,
    Spouse,
    Suffix,
    Title,
    User1,
    User2,
    User3,
    MailingCity,
    MailingCountry,
    MailingPostalCode,
    MailingPostOfficeBox,
    MailingState,
    MailingStreet,
};
enum class PstContactDate { Anniversary, Birthday };

// One item, new and unsaved until `Save`.
class PstItem {
  public:
    PstItem() = default;
    bool IsEmpty() const { return !d_; }
    explicit operator bool() const { return !IsEmpty(); }
    QString MessageClass() const;

    // Fills the item from an interchange file (`PstImportType`). A file that does not parse
    // leaves the item as it was and returns false.
    bool Import(const QString& path, int type);

    // Common properties.
    void SetSubject(const QString& subject);
    void SetCategories(const QString& categories);  // entries joined with ";" or ","
    void SetImportance(int importance);             // 0 low, 1 normal, 2 high
    void SetRead(bool read);
    // The two flags every converted mail carries: sent (never shown as a draft or unsent) and
    // unmodified since delivery (shown as a received mail).
    void SetSent(bool sent);
    void SetUnmodified(bool unmodified);
    void SetMessageDate(const QDateTime& when);  // delivery and submit times
    void SetTo(const QString& addresses);        // a recipient row per person
    void SetCc(const QString& addresses);
    void SetBcc(const QString& addresses);
    void SetSender(const QString& address);      // the five sender properties
    void SetSenderName(const QString& address);  // the two name properties only
    void SetHtmlBody(const QString& html);
    void SetPlainBody(const QString& text);

    // Tasks.
    void SetTaskStartDate(const QDateTime& when);
    void SetTaskDueDate(const QDateTime& when);

    // Appointments.
    void SetLocation(const QString& location);
    void SetStart(const QDateTime& when);
    void SetEnd(const QDateTime& when);
    void SetRequiredAttendees(const QString& addresses);
    void SetOptionalAttendees(const QString& addresses);
    void SetReminderSet(bool on);
    void SetReminderMinutesBeforeStart(int minutes);
    void SetBusyStatus(int status);  // 0 free, 1 tentative, 2 busy, 3 out of office
    void SetStartTimeZone(const PstTimeZone& zone);
    void SetEndTimeZone(const PstTimeZone& zone);

    // Contacts.
    void SetContactText(PstContactText property, const QString& value);
    void SetContactDate(PstContactDate property, const QDateTime& when);
    void SetSelectedMailingAddress(int kind);  // 0 none, 1 home, 2 business, 3 other
    bool AddPicture(const QString& path);

    // A named string property of the caller's own (a property set and a name), kept on save.
    void SetNamedText(const QUuid& propertySet, const QString& name, const QString& value);

    // Group lists.
    void SetDistListName(const QString& name);
    // A member given by three texts: the name (a Notes name or an address), the address, the
    // address type; empty texts are derived from the first.
    void AddMember(const QString& name, const QString& address = {}, const QString& addressType = {});

    // Writes the item into its folder and commits it to the file (no disk sync; see
    // `PstStore::Flush`). An item is saved once; a second save does nothing.
    bool Save();

  private:
    friend class PstItems;
    std::shared_ptr<PstItemData> d_;
};

// The items of one folder.
class PstItems {
  public:
    PstItems() = default;
    bool IsEmpty() const { return !ctx_; }
    explicit operator bool() const { return !IsEmpty(); }
    // A new unsaved item of a message class such as "IPM.Note", "IPM.Task", "IPM.Contact",
    // "IPM.DistList" or "IPM.Appointment".
    PstItem Add(const QString& messageClass);
    int Count() const;
    // The values of a named string property (see PstItem::SetNamedText) over the folder's saved
    // items, in one pass; items without it give nothing.
    QStringList NamedTextValues(const QUuid& propertySet, const QString& name) const;

  private:
    friend class PstFolder;
    std::shared_ptr<PstContext> ctx_;
    uint32_t folder_ = 0;
};

class PstFolders;

class PstFolder {
  public:
    PstFolder() = default;
    bool IsEmpty() const { return !ctx_; }
    explicit operator bool() const { return !IsEmpty(); }
    QString Name() const;
    QString ContainerClass() const;
    // "\\" + store name + "\" + the names down to this folder; the top folder's path is
    // "\\" + store name.
    QString Path() const;
    PstFolders Folders() const;
    PstItems Items() const;
    uint32_t Id() const { return nid_; }  // the folder's node ID in the file

  private:
    friend class PstFolders;
    friend class PstStore;
    std::shared_ptr<PstContext> ctx_;
    uint32_t nid_ = 0;
};

// The subfolders of one folder.
class PstFolders {
  public:
    PstFolders() = default;
    bool IsEmpty() const { return !ctx_; }
    explicit operator bool() const { return !IsEmpty(); }
    int Count() const;
    PstFolder At(int index) const;
    PstFolder Item(const QString& name) const;  // letter case ignored
    // Adds a subfolder; an existing one of that name is returned unchanged.
    PstFolder Add(const QString& name, const PstFolderKind& kind = PstFolderKind::None());

  private:
    friend class PstFolder;
    std::shared_ptr<PstContext> ctx_;
    uint32_t parent_ = 0;
};

class PstStore {
  public:
    PstStore() = default;
    bool IsEmpty() const { return !ctx_; }
    explicit operator bool() const { return !IsEmpty(); }
    // Called once by the launcher right after opening: makes sure the folders Outlook expects
    // of a data file are there and the file is committed.
    bool Prepare();
    QString DisplayName() const;
    PstFolder TopFolder() const;
    PstFolder DefaultFolder(int code) const;            // PstDefaultFolderCode
    PstFolder FolderByPath(const QString& path) const;  // as `PstFolder::Path` gives it
    // Makes everything saved so far durable on disk (one sync).
    bool Flush();

  private:
    friend class PstSession;
    std::shared_ptr<PstContext> ctx_;
};

class PstSession {
  public:
    PstSession();
    ~PstSession();
    PstSession(const PstSession&) = delete;
    PstSession& operator=(const PstSession&) = delete;

    // Opens the file as the session's store; creates it when missing. Format code 1 is a
    // Unicode PST, the only one offered. An empty store means failure (see LastError).
    PstStore OpenStore(const QString& path, int formatCode = 1,
                       const QString& displayName = QStringLiteral("Personal Folders"));
    // The zone of a Notes zone text ("Z=-1$DO=1$DL=3 -1 1 10 -1 1$ZX=...$ZN=W. Europe") or a
    // zone name (IANA or Windows); empty when none matches.
    PstTimeZone TimeZoneByName(const QString& name) const;
    // Syncs and closes the store; handles still held then do nothing.
    void LogOff();

    QString LastError() const;
    // Receives the text of every failure as it happens (e.g. to write it to the run log).
    void SetErrorSink(std::function<void(const QString&)> sink);

  private:
    std::shared_ptr<PstContext> ctx_;
};
