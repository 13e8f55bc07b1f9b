// Messaging layer ([MS-PST] 2.4): the message store, folders, messages, recipients,
// attachments and named properties, on top of the LTP layer.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "pst/ltp.h"

namespace pst {

// Property IDs the library itself reads or writes ([MS-OXPROPS]).
enum : uint16_t {
    PidTagImportance = 0x0017,
    PidTagMessageClass = 0x001A,
    PidTagSensitivity = 0x0036,
    PidTagSubject = 0x0037,
    PidTagClientSubmitTime = 0x0039,
    PidTagSentRepresentingSearchKey = 0x003B,
    PidTagSubjectPrefix = 0x003D,
    PidTagSentRepresentingEntryId = 0x0041,
    PidTagSentRepresentingName = 0x0042,
    PidTagSentRepresentingAddressType = 0x0064,
    PidTagSentRepresentingEmailAddress = 0x0065,
    PidTagConversationTopic = 0x0070,
    PidTagConversationIndex = 0x0071,
    PidTagDisplayBcc = 0x0E02,
    PidTagDisplayCc = 0x0E03,
    PidTagDisplayTo = 0x0E04,
    PidTagMessageDeliveryTime = 0x0E06,
    PidTagMessageFlags = 0x0E07,
    PidTagMessageSize = 0x0E08,
    PidTagMessageStatus = 0x0E17,
    PidTagHasAttachments = 0x0E1B,
    PidTagNormalizedSubject = 0x0E1D,
    PidTagAttachSize = 0x0E20,
    PidTagRecipientType = 0x0C15,
    PidTagSenderEntryId = 0x0C19,
    PidTagSenderName = 0x0C1A,
    PidTagSenderSearchKey = 0x0C1D,
    PidTagSenderAddressType = 0x0C1E,
    PidTagSenderEmailAddress = 0x0C1F,
    PidTagResponsibility = 0x0E0F,
    PidTagRecordKey = 0x0FF9,
    PidTagObjectType = 0x0FFE,
    PidTagEntryId = 0x0FFF,
    PidTagBody = 0x1000,
    PidTagHtml = 0x1013,
    PidTagDisplayName = 0x3001,
    PidTagAddressType = 0x3002,
    PidTagEmailAddress = 0x3003,
    PidTagComment = 0x3004,
    PidTagCreationTime = 0x3007,
    PidTagLastModificationTime = 0x3008,
    PidTagSearchKey = 0x300B,
    PidTagContentCount = 0x3602,
    PidTagContentUnreadCount = 0x3603,
    PidTagSubfolders = 0x360A,
    PidTagContainerClass = 0x3613,
    PidTagAttachDataBinary = 0x3701,
    PidTagAttachDataObject = 0x3701,  // the same property as PT_OBJECT
    PidTagAttachFilename = 0x3704,
    PidTagAttachMethod = 0x3705,
    PidTagAttachLongFilename = 0x3707,
    PidTagAttachMimeTag = 0x370E,
    PidTagRenderingPosition = 0x370B,
    PidTagDisplayType = 0x3900,
    PidTagAddressBookDisplayNamePrintable = 0x39FF,
    PidTagSendRichInfo = 0x3A40,
    // Message store ([MS-PST] 2.4.3.1, [MS-OXPROPS]).
    PidTagReplVersionhistory = 0x0E34,
    PidTagReplFlags = 0x0E38,
    PidTagValidFolderMask = 0x35DF,
    PidTagIpmSubtreeEntryId = 0x35E0,
    PidTagIpmOutboxEntryId = 0x35E2,
    PidTagIpmWastebasketEntryId = 0x35E3,
    PidTagIpmSentMailEntryId = 0x35E4,
    PidTagCommonViewsEntryId = 0x35E6,
    PidTagFinderEntryId = 0x35E7,
    PidTagPstBestBodyProptag = 0x6633,
    PidTagPstHiddenCount = 0x66FA,
    PidTagPstPassword = 0x67FF,
    // Default folders named on the root folder and the Inbox.
    PidTagIpmAppointmentEntryId = 0x36D0,
    PidTagIpmContactEntryId = 0x36D1,
    PidTagIpmJournalEntryId = 0x36D2,
    PidTagIpmNoteEntryId = 0x36D3,
    PidTagIpmTaskEntryId = 0x36D4,
    PidTagIpmDraftsEntryId = 0x36D7,
    PidTagAdditionalRenEntryIds = 0x36D8,
    PidTagAdditionalRenEntryIdsEx = 0x36D9,
    PidTagFirstDefaultFolderEntryId = PidTagIpmAppointmentEntryId,
    PidTagLastDefaultFolderEntryId = PidTagAdditionalRenEntryIdsEx,
    // Receive folder table: the folder of a message class; search criteria.
    PidTagReceiveFolderNid = 0x6605,
    PidTagSearchFolderStorageType = 0x660B,
    PidTagLtpRowId = 0x67F2,
    PidTagLtpRowVer = 0x67F3,
};
// Name-to-ID map properties ([MS-PST] 2.4.7).
constexpr uint16_t kNameMapBucketCount = 0x0001, kNameMapGuidStream = 0x0002, kNameMapEntryStream = 0x0003,
                   kNameMapStringStream = 0x0004, kNameMapFirstBucket = 0x1000;
constexpr uint32_t kNameMapBuckets = 251;
// PidTagValidFolderMask bits ([MS-PST] 2.4.3.1).
constexpr uint32_t kFolderMaskSubtree = 0x01, kFolderMaskInbox = 0x02, kFolderMaskOutbox = 0x04,
                   kFolderMaskWastebasket = 0x08, kFolderMaskSentMail = 0x10, kFolderMaskViews = 0x20,
                   kFolderMaskCommonViews = 0x40, kFolderMaskFinder = 0x80;
// Search update descriptors ([MS-PST] 2.4.8.1): 2 bytes flags, 2 bytes type, 16 bytes data.
constexpr size_t kSudSize = 20;
constexpr uint16_t kSudMessageAdded = 0x0001, kSudFolderAdded = 0x0005;
constexpr uint32_t kAttachByValue = 1, kAttachEmbeddedMessage = 5;
constexpr uint32_t kRecipientTo = 1, kRecipientCc = 2, kRecipientBcc = 3;  // PidTagRecipientType
constexpr uint32_t kObjectTypeMailUser = 6, kObjectTypeAttachment = 7;     // PidTagObjectType
constexpr uint32_t kMsgFlagRead = 0x1, kMsgFlagUnmodified = 0x2, kMsgFlagHasAttach = 0x10;

extern const Guid PS_MAPI, PS_PUBLIC_STRINGS, PSETID_Common, PSETID_Address, PSETID_Appointment, PSETID_Task,
    PS_INTERNET_HEADERS;

// A named property ([MS-OXCDATA] 2.6.1): a GUID with a numeric ID or a string name.
struct NamedProp {
    Guid guid;
    std::optional<uint32_t> lid;
    std::string name;  // UTF-8, when lid is empty
};

struct Recipient {
    PropMap props;  // PidTagDisplayName, PidTagEmailAddress, PidTagAddressType, PidTagRecipientType...
};

struct NewMessage;
struct Attachment {
    PropMap props;  // PidTagAttachFilename, PidTagAttachLongFilename, PidTagAttachMimeTag, ...
    Bytes data;     // for attachments by value held in memory
    // For large attachments: called repeatedly to fill buf; returns the bytes given, 0 at the end.
    std::function<size_t(uint8_t* buf, size_t cap)> stream;
    std::shared_ptr<NewMessage> embedded;  // set for an embedded-message attachment
};

struct NewMessage {
    PropMap props;
    std::vector<Recipient> recipients;
    std::vector<Attachment> attachments;
    bool associated = false;  // goes to the folder's associated contents table
};

struct FolderInfo {
    NID nid;
    std::string name;
    std::string containerClass;
    uint32_t contentCount = 0, unreadCount = 0;
    bool hasSubfolders = false;
};

// A message as read back.
struct MessageData {
    PropMap props;
    std::vector<PropMap> recipients;
    struct Att {
        PropMap props;
        Bytes data;
        std::unique_ptr<MessageData> embedded;
    };
    std::vector<Att> attachments;
};

// The default folders Outlook finds through store, root and Inbox properties.
enum class DefaultFolder {
    Inbox,
    Outbox,
    SentItems,
    DeletedItems,
    Calendar,
    Contacts,
    Tasks,
    Journal,
    Notes,
    Drafts,
    JunkEmail,
    RssFeeds,
    Conflicts,
    SyncIssues,
    LocalFailures,
    ServerFailures
};

// Every call returns Result<T> (a value, "not there" for lookups, or a failure with its text) or
// Status; nothing throws. See docs/pst.md, "Error contract".
class Store {
  public:
    ~Store();
    static Result<std::unique_ptr<Store>> Create(const std::string& path, const std::string& displayName);
    static Result<std::unique_ptr<Store>> Open(const std::string& path, bool writable = true);
    static Result<std::unique_ptr<Store>> CreateOn(std::unique_ptr<FileIo> io,
                                                   const std::string& displayName);
    static Result<std::unique_ptr<Store>> OpenOn(std::unique_ptr<FileIo> io, bool writable);

    NID Root() const { return kNidRootFolder; }
    NID IpmSubtree() const { return ipmSubtree_; }
    std::string DisplayName() const;
    const Bytes& RecordKey() const { return recordKey_; }
    Bytes EntryIdOf(NID nid) const;

    Result<std::vector<FolderInfo>> Subfolders(NID folder);
    // Not there when parent has no subfolder of that name (compared as Outlook does, ignoring case).
    Result<FolderInfo> FindSubfolder(NID parent, const std::string& name);
    // Not there when no folder has that NID.
    Result<FolderInfo> GetFolder(NID folder);
    // Adds a folder under parent. A folder of that name that exists already is returned when its
    // container class is the one asked for (a folder without one counts as "IPF.Note"); with
    // another class the call fails and says which class it has.
    Result<NID> AddFolder(NID parent, const std::string& name, const std::string& containerClass);
    Result<NID> AddMessage(NID folder, const NewMessage& msg);
    Result<std::vector<NID>> Messages(NID folder, bool associated = false);
    // Not there when no message has that NID.
    Result<MessageData> ReadMessage(NID message);
    // Marks a folder as one of Outlook's default folders (entry IDs where Outlook looks for them).
    Status SetDefaultFolder(DefaultFolder kind, NID folder);

    // Maps a named property to its property ID (0x8000 and up), adding it to the map if new.
    Result<uint16_t> NamedPropId(const NamedProp& np);
    // Not there for a property ID that names no named property.
    Result<NamedProp> NameOf(uint16_t propId);

    Status Commit();
    Ndb& ndb() { return *db_; }

  private:
    struct FolderState;
    struct NameMap;
    Store();
    bool Init(std::string& err);
    bool Build(const std::string& displayName, std::string& err);
    void BuildStoreNode(const std::string& displayName);
    void BuildTemplates();
    void BuildSearchNodes();
    void BuildFolders();
    // [MS-PST] 2.4.8.4.1: every change is queued for Outlook's search as a SUD.
    void QueueSearchUpdate(uint16_t sudType, NID a, NID b);
    void FlushSearchQueue();
    FolderState* LoadFolder(NID nid, std::string& err);
    using Subnodes = std::map<NID, std::pair<BID, BID>>;
    bool WriteMessage(const NewMessage& msg, PropMap* finalProps, BuiltNode& out, uint64_t& size,
                      std::string& err);
    Table RecipientTable(const NewMessage& msg, uint64_t& size);
    bool WriteAttachment(const Attachment& a, NID anid, Subnodes& messageSubs, TcRow& row, uint64_t& size,
                         std::string& err);
    void CompleteMessage(PropMap& p, const std::vector<TcRow>& recipients, bool hasAttachments);
    bool ReadMessageNode(BID bidData, BID bidSub, MessageData& out, int depth, std::string& err);
    bool LoadNameMap(std::string& err);
    bool SetDefault(DefaultFolder kind, NID folder, std::string& err);
    bool FlushFolders(std::string& err);
    void WriteNameMap();
    Status WriteStoreProps();
    bool UpdateStoreProps(const PropMap& add, std::string& err);

    std::unique_ptr<Ndb> db_;
    NID ipmSubtree_;
    Bytes recordKey_;
    std::map<NID, std::unique_ptr<FolderState>> folders_;
    std::unique_ptr<NameMap> names_;
    PropMap pendingStoreProps_;
    Bytes pendingSuds_;
    std::mt19937_64 random_{std::random_device{}()};
};

// Folder names as Outlook compares them: equal without regard to case, in all of Unicode's
// simple case mappings (not only ASCII).
bool SameFolderName(const std::string& a, const std::string& b);
std::u16string FoldCase(std::u16string s);

}  // namespace pst
