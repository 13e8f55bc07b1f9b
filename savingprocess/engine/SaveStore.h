#pragma once
// What nsfsave needs of a PST store: folders by path or default-folder code, new items of a
// message class, their properties, the import of an interchange file and the save. The engine
// writes only through this port; StorePort.cpp adapts it to the PST store interface, and tests
// give it a store of their own.
//
// Like the store interface below it, nothing here throws: a setter that the store refuses
// answers false and changes nothing, an operation that cannot be done gives an empty result.
//
// Every item nsfsave saves carries the universal ID of the Notes document it was made from
// (SetSourceId). A folder lists those stamps (SourceIds), so that a process resuming after a
// crash can tell the entries that were already saved from those that were not.

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <memory>
#include <unordered_set>

// The Outlook default-folder codes the dumps use.
enum class DefaultFolderCode : int { Calendar = 9, Contacts = 10, Tasks = 13, GroupLists = 28 };

// The import types of the interchange files.
enum class ImportType : int { GroupText = 0, Vcf = 6, Ics = 8, Eml = 1024 };

// Item properties the dumps set. The store decides which MAPI properties stand behind each.
enum class ItemProp : int {
    // mail, task, appointment
    Importance,   // number 0 low, 1 normal, 2 high
    MessageDate,  // date
    To,
    From,  // the sender texts (five properties on a mail, two on an appointment)
    Cc,
    Bcc,
    Subject,
    HtmlBody,
    PlainBody,
    Categories,      // texts joined with ";"
    Read,            // bool
    MailFlagFirst,   // bool, always true on a mail
    MailFlagSecond,  // bool, always true on a mail
    // task
    TaskStartDate,
    TaskDueDate,
    // appointment
    Location,
    OptionalAttendees,
    RequiredAttendees,
    ReminderSet,      // bool
    ReminderMinutes,  // number
    Start,            // date
    End,              // date
    StartTimeZone,    // a zone text, looked up in the store's list of time zones
    EndTimeZone,
    // contact
    Anniversary,  // date
    Birthday,     // date
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
    MailingAddress,  // "home", "business" or "other"
    MailingCity,
    MailingCountry,
    MailingPostalCode,
    MailingPostOfficeBox,
    MailingState,
    MailingStreet,
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
    MessagingPhone,  // the telephone the vCard writes as "TEL;TYPE=msg:"
    Pager,
    PrimaryPhone,
    SelectedMailingAddress,  // number 0..3
    Spouse,
    Suffix,
    Title,
    User1,
    User2,
    User3,
    // group list
    ListName,
};

class StoreItem {
  public:
    virtual ~StoreItem() = default;
    virtual bool SetText(ItemProp prop, const QString& value) = 0;
    virtual bool SetNumber(ItemProp prop, std::int64_t value) = 0;
    virtual bool SetBool(ItemProp prop, bool value) = 0;
    virtual bool SetDate(ItemProp prop, const QDateTime& value) = 0;
    // A group-list member: the Notes name as given, then two more texts.
    virtual bool AddMember(const QString& name, const QString& second, const QString& third) = 0;
    // A contact's picture from a file.
    virtual bool AddPicture(const QString& path) = 0;
    // Fills the item from an interchange file.
    virtual bool Import(const QString& path, ImportType type) = 0;
    // The universal ID of the Notes document, kept in the item's own named property.
    virtual bool SetSourceId(const QString& universalId) = 0;
    virtual bool Save() = 0;
};

class StoreFolder {
  public:
    virtual ~StoreFolder() = default;
    // A new unsaved item, or nothing.
    virtual std::unique_ptr<StoreItem> AddItem(const QString& messageClass) = 0;
    // The source IDs stamped on the folder's saved items, read in one pass over the folder.
    virtual std::unordered_set<QString> SourceIds() = 0;
};

class StoreSession {
  public:
    virtual ~StoreSession() = default;
    // Opens the existing PST as the session's store ("Personal Folders").
    virtual bool Open(const QString& pstPath) = 0;
    // The folder whose full path the launcher wrote into "setting.txt", or nothing.
    virtual std::unique_ptr<StoreFolder> FolderByPath(const QString& path) = 0;
    virtual std::unique_ptr<StoreFolder> DefaultFolder(DefaultFolderCode code) = 0;
    // Closes the store; everything saved is on disk afterwards.
    virtual void LogOff() = 0;
};
