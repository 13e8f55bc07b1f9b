#include "pst/messaging.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

#include "pst/casefold.h"

namespace pst {

namespace {

Guid G(uint32_t a, uint16_t b, uint16_t c, std::initializer_list<uint8_t> d) {
    Guid g;
    Wr32(g.b, a);
    Wr16(g.b + 4, b);
    Wr16(g.b + 6, c);
    size_t i = 8;
    for (uint8_t x : d) g.b[i++] = x;
    return g;
}

// Columns of the tables Outlook creates ([MS-PST] 2.4.4.5, 2.4.5, 2.4.6, and the templates of a
// new file). Names from [MS-OXPROPS]; the few Outlook-internal ones are named for their place.
enum : uint16_t {
    PidTagMessageToMe = 0x0057,
    PidTagMessageCcMe = 0x0058,
    PidTagParentDisplay = 0x0E05,
    PidTagSpoolerStatus = 0x0E10,
    PidTagSubmitFlags = 0x0E14,
    PidTagExchangeRemoteHeader = 0x0E2A,
    PidTagReplItemid = 0x0E30,
    PidTagReplChangenum = 0x0E33,
    PidTagReplCopiedfromVersionhistory = 0x0E3C,
    PidTagReplCopiedfromItemid = 0x0E3D,
    PidTagItemTemporaryFlags = 0x1097,
    PidTagChangeKey = 0x3013,
    PidTagSecureSubmitFlags = 0x65C6,
    PidTagPstHiddenItemCount = 0x6635,
    PidTagPstHiddenUnreadCount = 0x6636,
    PidTagLtpParentNid = 0x67F1,
    // Associated contents (folder views and forms).
    PidTagOfflineAddressBookName = 0x6800,
    PidTagSendOutlookRecallReport = 0x6803,
    PidTagOfflineAddressBookTruncatedProperties = 0x6805,
    PidTagAssocContentsColumn682F = 0x682F,
    PidTagViewDescriptorFlags = 0x7003,
    PidTagViewDescriptorLinkTo = 0x7004,
    PidTagViewDescriptorViewFolder = 0x7005,
    PidTagViewDescriptorName = 0x7006,
    PidTagViewDescriptorVersion = 0x7007,
};

std::vector<uint32_t> Tags(std::initializer_list<std::pair<uint16_t, uint16_t>> cols) {
    std::vector<uint32_t> v;
    for (auto [id, type] : cols) v.push_back(PropTag(id, type));
    return v;
}

const std::vector<uint32_t> kHierarchyCols = Tags({{PidTagReplItemid, PT_BINARY},
                                                   {PidTagReplChangenum, PT_I8},
                                                   {PidTagReplVersionhistory, PT_BINARY},
                                                   {PidTagReplFlags, PT_LONG},
                                                   {PidTagDisplayName, PT_UNICODE},
                                                   {PidTagContentCount, PT_LONG},
                                                   {PidTagContentUnreadCount, PT_LONG},
                                                   {PidTagSubfolders, PT_BOOLEAN},
                                                   {PidTagContainerClass, PT_UNICODE},
                                                   {PidTagPstHiddenItemCount, PT_LONG},
                                                   {PidTagPstHiddenUnreadCount, PT_LONG}});
const std::vector<uint32_t> kContentsCols = Tags({{PidTagImportance, PT_LONG},
                                                  {PidTagMessageClass, PT_UNICODE},
                                                  {PidTagSensitivity, PT_LONG},
                                                  {PidTagSubject, PT_UNICODE},
                                                  {PidTagClientSubmitTime, PT_SYSTIME},
                                                  {PidTagSentRepresentingName, PT_UNICODE},
                                                  {PidTagMessageToMe, PT_BOOLEAN},
                                                  {PidTagMessageCcMe, PT_BOOLEAN},
                                                  {PidTagConversationTopic, PT_UNICODE},
                                                  {PidTagConversationIndex, PT_BINARY},
                                                  {PidTagDisplayCc, PT_UNICODE},
                                                  {PidTagDisplayTo, PT_UNICODE},
                                                  {PidTagMessageDeliveryTime, PT_SYSTIME},
                                                  {PidTagMessageFlags, PT_LONG},
                                                  {PidTagMessageSize, PT_LONG},
                                                  {PidTagMessageStatus, PT_LONG},
                                                  {PidTagReplItemid, PT_BINARY},
                                                  {PidTagReplChangenum, PT_I8},
                                                  {PidTagReplVersionhistory, PT_BINARY},
                                                  {PidTagReplFlags, PT_LONG},
                                                  {PidTagReplCopiedfromVersionhistory, PT_BINARY},
                                                  {PidTagReplCopiedfromItemid, PT_BINARY},
                                                  {PidTagItemTemporaryFlags, PT_LONG},
                                                  {PidTagLastModificationTime, PT_SYSTIME},
                                                  {PidTagChangeKey, PT_BINARY},
                                                  {PidTagSecureSubmitFlags, PT_LONG}});
const std::vector<uint32_t> kAssocCols = Tags({{PidTagMessageClass, PT_UNICODE},
                                               {PidTagMessageFlags, PT_LONG},
                                               {PidTagMessageStatus, PT_LONG},
                                               {PidTagDisplayName, PT_UNICODE},
                                               {PidTagOfflineAddressBookName, PT_UNICODE},
                                               {PidTagSendOutlookRecallReport, PT_BOOLEAN},
                                               {PidTagOfflineAddressBookTruncatedProperties, PT_MV_LONG},
                                               {PidTagAssocContentsColumn682F, PT_UNICODE},
                                               {PidTagViewDescriptorFlags, PT_LONG},
                                               {PidTagViewDescriptorLinkTo, PT_BINARY},
                                               {PidTagViewDescriptorViewFolder, PT_BINARY},
                                               {PidTagViewDescriptorName, PT_UNICODE},
                                               {PidTagViewDescriptorVersion, PT_LONG}});
const std::vector<uint32_t> kSearchContentsCols = Tags({{PidTagImportance, PT_LONG},
                                                        {PidTagMessageClass, PT_UNICODE},
                                                        {PidTagSensitivity, PT_LONG},
                                                        {PidTagSubject, PT_UNICODE},
                                                        {PidTagSentRepresentingName, PT_UNICODE},
                                                        {PidTagMessageToMe, PT_BOOLEAN},
                                                        {PidTagMessageCcMe, PT_BOOLEAN},
                                                        {PidTagDisplayCc, PT_UNICODE},
                                                        {PidTagDisplayTo, PT_UNICODE},
                                                        {PidTagParentDisplay, PT_UNICODE},
                                                        {PidTagMessageDeliveryTime, PT_SYSTIME},
                                                        {PidTagMessageFlags, PT_LONG},
                                                        {PidTagMessageSize, PT_LONG},
                                                        {PidTagMessageStatus, PT_LONG},
                                                        {PidTagExchangeRemoteHeader, PT_BOOLEAN},
                                                        {PidTagLastModificationTime, PT_SYSTIME},
                                                        {PidTagLtpParentNid, PT_LONG}});
const std::vector<uint32_t> kReceiveCols =
    Tags({{PidTagMessageClass, PT_UNICODE}, {PidTagReceiveFolderNid, PT_LONG}});
const std::vector<uint32_t> kOutgoingCols = Tags(
    {{PidTagClientSubmitTime, PT_SYSTIME}, {PidTagSpoolerStatus, PT_LONG}, {PidTagSubmitFlags, PT_LONG}});
const std::vector<uint32_t> kAttachCols = Tags({{PidTagAttachSize, PT_LONG},
                                                {PidTagAttachFilename, PT_UNICODE},
                                                {PidTagAttachMethod, PT_LONG},
                                                {PidTagRenderingPosition, PT_LONG}});
const std::vector<uint32_t> kRecipCols = Tags({{PidTagRecipientType, PT_LONG},
                                               {PidTagResponsibility, PT_BOOLEAN},
                                               {PidTagRecordKey, PT_BINARY},
                                               {PidTagObjectType, PT_LONG},
                                               {PidTagEntryId, PT_BINARY},
                                               {PidTagDisplayName, PT_UNICODE},
                                               {PidTagAddressType, PT_UNICODE},
                                               {PidTagEmailAddress, PT_UNICODE},
                                               {PidTagSearchKey, PT_BINARY},
                                               {PidTagDisplayType, PT_LONG},
                                               {PidTagAddressBookDisplayNamePrintable, PT_UNICODE},
                                               {PidTagSendRichInfo, PT_BOOLEAN}});

constexpr NID kNidRecipientTable = 0x692;   // subnode of a message ([MS-PST] 2.4.5)
constexpr NID kNidAttachmentTable = 0x671;  // subnode of a message ([MS-PST] 2.4.6)

uint64_t NowFiletime() {
    auto now = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(now).count()) * 10 +
           116444736000000000ull;
}

bool IsNameMapBucket(uint16_t id) {
    return id >= kNameMapFirstBucket && id < kNameMapFirstBucket + kNameMapBuckets;
}

NID SiblingTable(NID folder, uint8_t type) {
    return MakeNid(type, NidIndexOf(folder));
}

using Subnodes = std::map<NID, std::pair<BID, BID>>;

// The name-to-ID map of a new Outlook file, in its order (property IDs 0x8000-0x8022).
const std::vector<NamedProp>& OutlookInitialNames() {
    static const Guid kGuidMentions =
        G(0x41F28F13, 0x83F4, 0x4114, {0xA5, 0x84, 0xEE, 0xDB, 0x5A, 0x6B, 0x0B, 0xFF});
    static const Guid kPsetidRemote = G(0x00062014, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46});
    static const std::vector<NamedProp> names = {
        {PSETID_Appointment, 0x8205u, {}},                         // 0x8000
        {PSETID_Appointment, 0x8223u, {}},                         // 0x8001
        {PSETID_Appointment, 0x8231u, {}},                         // 0x8002
        {PSETID_Appointment, 0x8216u, {}},                         // 0x8003
        {PSETID_Appointment, 0x820Du, {}},                         // 0x8004
        {PSETID_Appointment, 0x820Eu, {}},                         // 0x8005
        {PSETID_Appointment, 0x8235u, {}},                         // 0x8006
        {PSETID_Appointment, 0x8236u, {}},                         // 0x8007
        {PSETID_Appointment, 0x8233u, {}},                         // 0x8008
        {PS_INTERNET_HEADERS, std::nullopt, "content-class"},      // 0x8009
        {PS_PUBLIC_STRINGS, std::nullopt, "DRMLicense"},           // 0x800A
        {PS_INTERNET_HEADERS, std::nullopt, "x-cr-hashedpuzzle"},  // 0x800B
        {PS_INTERNET_HEADERS, std::nullopt, "x-cr-puzzleid"},      // 0x800C
        {PSETID_Common, 0x8580u, {}},                              // 0x800D
        {PSETID_Common, 0x8581u, {}},                              // 0x800E
        {PS_PUBLIC_STRINGS, std::nullopt,
         "urn:schemas-microsoft-com:office:outlook#storetypeprivate"},                 // 0x800F
        {PSETID_Common, 0x8510u, {}},                                                  // 0x8010
        {PSETID_Common, 0x8578u, {}},                                                  // 0x8011
        {kGuidMentions, std::nullopt, "IsMentioned"},                                  // 0x8012
        {PS_PUBLIC_STRINGS, std::nullopt, "Keywords"},                                 // 0x8013
        {kPsetidRemote, 0x8F05u, {}},                                                  // 0x8014
        {PSETID_Common, 0x8514u, {}},                                                  // 0x8015
        {kPsetidRemote, 0x8F07u, {}},                                                  // 0x8016
        {PSETID_Common, 0x8503u, {}},                                                  // 0x8017
        {PSETID_Common, 0x85A8u, {}},                                                  // 0x8018
        {PSETID_Common, 0x8502u, {}},                                                  // 0x8019
        {PSETID_Task, 0x8104u, {}},                                                    // 0x801A
        {PSETID_Task, 0x8105u, {}},                                                    // 0x801B
        {PSETID_Task, 0x811Cu, {}},                                                    // 0x801C
        {PS_INTERNET_HEADERS, std::nullopt, "x-ms-exchange-organization-authdomain"},  // 0x801D
        {PS_PUBLIC_STRINGS, std::nullopt, "DoNotForward"},                             // 0x801E
        {PSETID_Common, 0x8570u, {}},                                                  // 0x801F
        {PSETID_Task, 0x8101u, {}},                                                    // 0x8020
        {PSETID_Common, 0x85E0u, {}},                                                  // 0x8021
        {PSETID_Common, 0x8552u, {}},                                                  // 0x8022
    };
    return names;
}

}  // namespace

const Guid PS_MAPI = G(0x00020328, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46});
const Guid PS_PUBLIC_STRINGS = G(0x00020329, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46});
const Guid PSETID_Common = G(0x00062008, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46});
const Guid PSETID_Address = G(0x00062004, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46});
const Guid PSETID_Appointment = G(0x00062002, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46});
const Guid PSETID_Task = G(0x00062003, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46});
const Guid PS_INTERNET_HEADERS = G(0x00020386, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46});

// ---------------------------------------------------------------- state kept per transaction

struct Store::FolderState {
    NodeEntry node;
    PropMap pc;
    Table hier, contents, assoc;
    bool pcDirty = false, hierDirty = false, contentsDirty = false, assocDirty = false;
};

// The name-to-ID map ([MS-PST] 2.4.7) held in memory; it is small (one entry per named property).
struct Store::NameMap {
    struct Entry {
        uint16_t guidIndex;  // 1 PS_MAPI, 2 PS_PUBLIC_STRINGS, 3+ the GUID stream
        bool isString;
        uint32_t lid;
        std::u16string name;
        uint16_t propIdx;  // property ID minus 0x8000
    };
    std::vector<Guid> guids;
    std::vector<Entry> entries;
    PropMap other;  // properties of the map node that are kept as found
    bool dirty = false;
};

Store::Store() = default;
Store::~Store() = default;

Result<std::unique_ptr<Store>> Store::Create(const std::string& path, const std::string& displayName) {
    std::string err;
    auto io = OpenPosixFile(path, true, true, err);
    if (!io) return Fail(err);
    return CreateOn(std::move(io), displayName);
}

Result<std::unique_ptr<Store>> Store::Open(const std::string& path, bool writable) {
    std::string err;
    auto io = OpenPosixFile(path, writable, false, err);
    if (!io) return Fail(err);
    return OpenOn(std::move(io), writable);
}

Result<std::unique_ptr<Store>> Store::CreateOn(std::unique_ptr<FileIo> io, const std::string& displayName) {
    std::unique_ptr<Store> s(new Store());
    std::string err;
    s->db_ = Ndb::Create(std::move(io), err);
    if (!s->db_) return Fail(err);
    if (!s->Build(displayName, err) || !s->Init(err)) return Fail(err);
    // Readers expect every stream of the map to hold something (pst-extractor refuses an empty
    // string stream, libpff an empty map): a new store starts with the names Outlook's own new
    // file has, under the same property IDs.
    for (const NamedProp& np : OutlookInitialNames())
        if (auto id = s->NamedPropId(np); !id) return Fail(id.error());
    if (auto st = s->Commit(); !st) return Fail(st.error());
    return s;
}

Result<std::unique_ptr<Store>> Store::OpenOn(std::unique_ptr<FileIo> io, bool writable) {
    std::unique_ptr<Store> s(new Store());
    std::string err;
    s->db_ = Ndb::Open(std::move(io), writable, err);
    if (!s->db_ || !s->Init(err)) return Fail(err);
    return s;
}

bool Store::Init(std::string& err) {
    auto n = db_->FindNode(kNidMessageStore);
    if (!n) {
        err = "message store node missing" + (n.failed() ? ": " + n.error() : "");
        return false;
    }
    PropMap p;
    if (!ReadPc(*db_, n->bidData, n->bidSub, p, err)) {
        err = "message store unreadable: " + err;
        return false;
    }
    auto rk = p.find(PidTagRecordKey);
    if (rk == p.end() || rk->second.data.size() != 16) {
        err = "message store has no record key";
        return false;
    }
    recordKey_ = rk->second.data;
    auto sub = p.find(PidTagIpmSubtreeEntryId);
    if (sub == p.end() || sub->second.data.size() != 24) {
        err = "message store has no IPM subtree";
        return false;
    }
    ipmSubtree_ = Rd32(sub->second.data.data() + 20);
    if (auto root = db_->FindNode(kNidRootFolder); !root) {
        err = "root folder missing" + (root.failed() ? ": " + root.error() : "");
        return false;
    }
    return true;
}

std::string Store::DisplayName() const {
    std::string err;
    auto n = db_->FindNode(kNidMessageStore);
    PropMap p;
    if (!n || !ReadPc(*db_, n->bidData, n->bidSub, p, err)) return {};
    auto it = p.find(PidTagDisplayName);
    return it == p.end() ? std::string() : ToUtf8(it->second);
}

Bytes Store::EntryIdOf(NID nid) const {
    // [MS-PST] 2.4.3.3: four flag bytes, the store's record key, the NID.
    Bytes e(24, 0);
    std::memcpy(e.data() + 4, recordKey_.data(), 16);
    Wr32(e.data() + 20, nid.value());
    return e;
}

// ---------------------------------------------------------------- creating a store

namespace {

void PutTable(Ndb& db, NID nid, const std::vector<uint32_t>& cols, const std::vector<TcRow>& rows) {
    Table t = MakeTableLayout(cols);
    t.rows = rows;
    auto b = BuildTc(db, t);
    db.PutNode({nid, b.bidData, b.bidSub, 0});
}

// The folders and the search folder of a new Outlook file, with the NIDs Outlook gives them.
struct NewFolder {
    NID nid;
    NID parent;
    const char* name;
    const char* comment;
    bool hasSubfolders;
};
constexpr NID kNidIpmSubtree = MakeNid(kNidTypeNormalFolder, 0x401);
constexpr NID kNidFinder = MakeNid(kNidTypeNormalFolder, 0x402);
constexpr NID kNidDeletedItems = MakeNid(kNidTypeNormalFolder, 0x403);
constexpr NID kNidCommonViews = MakeNid(kNidTypeNormalFolder, 0x404);
constexpr NID kNidSpamSearchFolder = MakeNid(kNidTypeSearchFolder, 0x111);
const NewFolder kNewFolders[] = {
    {kNidRootFolder, kNidRootFolder, "", nullptr, true},
    {kNidSpamSearchFolder, kNidRootFolder, "SPAM Search Folder 2", nullptr, false},
    {kNidIpmSubtree, kNidRootFolder, "Top of Outlook data file", nullptr, true},
    {kNidFinder, kNidRootFolder, "Search Root", nullptr, false},
    {kNidDeletedItems, kNidIpmSubtree, "Deleted Items", "Deleted Items folder", false},
    {kNidCommonViews, kNidRootFolder, "IPM_COMMON_VIEWS", "", false},
};

PropMap FolderPc(const NewFolder& f) {
    PropMap pc;
    pc[PidTagDisplayName] = MakeUtf8(f.name);
    if (f.comment) pc[PidTagComment] = MakeUtf8(f.comment);
    pc[PidTagContentCount] = MakeLong(0);
    pc[PidTagContentUnreadCount] = MakeLong(0);
    pc[PidTagSubfolders] = MakeBool(f.hasSubfolders);
    return pc;
}

}  // namespace

bool Store::Build(const std::string& displayName, std::string& err) {
    Ndb& db = *db_;
    recordKey_.resize(16);
    for (auto& b : recordKey_) b = static_cast<uint8_t>(random_());
    ipmSubtree_ = kNidIpmSubtree;
    Header& h = db.mutableHeader();
    for (uint8_t t :
         {kNidTypeNormalFolder, kNidTypeHierarchyTable, kNidTypeContentsTable, kNidTypeAssocContentsTable})
        h.rgnid[t] = NidIndexOf(kNidCommonViews);
    BuildStoreNode(displayName);
    BuildTemplates();
    BuildSearchNodes();
    BuildFolders();
    if (db.failed()) {
        err = db.failure();
        return false;
    }
    return true;
}

void Store::BuildStoreNode(const std::string& displayName) {
    PropMap store;
    Bytes recordKeyEid(24, 0);  // as in Outlook's new file: 1, the record key, 1
    recordKeyEid[0] = 1;
    std::memcpy(recordKeyEid.data() + 4, recordKey_.data(), 16);
    recordKeyEid[20] = 1;
    store[PidTagReplVersionhistory] = MakeBinary(recordKeyEid);
    store[PidTagReplFlags] = MakeLong(0);
    store[PidTagRecordKey] = MakeBinary(recordKey_);
    store[PidTagDisplayName] = MakeUtf8(displayName);
    store[PidTagIpmSubtreeEntryId] = MakeBinary(EntryIdOf(ipmSubtree_));
    store[PidTagIpmWastebasketEntryId] = MakeBinary(EntryIdOf(kNidDeletedItems));
    store[PidTagFinderEntryId] = MakeBinary(EntryIdOf(kNidFinder));
    store[PidTagCommonViewsEntryId] = MakeBinary(EntryIdOf(kNidCommonViews));
    store[PidTagValidFolderMask] =
        MakeLong(kFolderMaskSubtree | kFolderMaskWastebasket | kFolderMaskFinder | kFolderMaskCommonViews);
    store[PidTagPstBestBodyProptag] = MakeBool(true);
    store[PidTagPstHiddenCount] = MakeLong(0x000E0011);
    store[PidTagPstPassword] = MakeLong(0);  // no password
    auto built = BuildPc(*db_, store);
    db_->PutNode({kNidMessageStore, built.bidData, built.bidSub, 0});

    // An empty name-to-ID map with Outlook's bucket count; the names follow in CreateOn.
    PropMap names;
    names[kNameMapBucketCount] = MakeLong(kNameMapBuckets);
    for (uint16_t stream : {kNameMapGuidStream, kNameMapEntryStream, kNameMapStringStream})
        names[stream] = MakeBinary({});
    built = BuildPc(*db_, names);
    db_->PutNode({kNidNameToIdMap, built.bidData, built.bidSub, 0});
}

void Store::BuildTemplates() {
    Ndb& db = *db_;
    PutTable(db, kNidHierarchyTableTemplate, kHierarchyCols, {});
    PutTable(db, kNidContentsTableTemplate, kContentsCols, {});
    PutTable(db, kNidAssocContentsTableTemplate, kAssocCols, {});
    PutTable(db, kNidSearchContentsTableTemplate, kSearchContentsCols, {});
    PutTable(db, kNidAttachmentTableTemplate, kAttachCols, {});
    PutTable(db, kNidRecipientTableTemplate, kRecipCols, {});
    PutTable(db, kNidOutgoingQueueTable, kOutgoingCols, {});
    // The receive folder table sends every message class to the root until an Inbox is named.
    TcRow recv;
    recv.rowId = 1;
    recv.props[PidTagMessageClass] = MakeUtf8("");
    recv.props[PidTagReceiveFolderNid] = MakeLong(kNidRootFolder.value());
    PutTable(db, kNidReceiveFolderTable, kReceiveCols, {recv});
}

// The search nodes of [MS-PST] 2.4.8 as Outlook lays them down: an empty management queue and
// search domain, and the spam search folder with its update queue, criteria and contents
// table, listed in the search activity list.
void Store::BuildSearchNodes() {
    Ndb& db = *db_;
    for (NID nid : {kNidSearchManagementQueue, kNidSearchDomainObject}) db.PutNode({nid, 0, 0, 0});
    uint8_t sal[4];
    Wr32(sal, kNidSpamSearchFolder.value());
    db.PutNode({kNidSearchActivityList, db.WriteDataTree(sal, sizeof sal), 0, 0});
    db.PutNode({SiblingTable(kNidSpamSearchFolder, kNidTypeSearchUpdateQueue), 0, 0, 0});
    PropMap criteria;
    criteria[PidTagSearchFolderStorageType] = MakeLong(0);
    auto built = BuildPc(db, criteria);
    db.PutNode({SiblingTable(kNidSpamSearchFolder, kNidTypeSearchCriteria), built.bidData, built.bidSub, 0});
    PutTable(db, SiblingTable(kNidSpamSearchFolder, kNidTypeSearchContentsTable), kSearchContentsCols, {});
}

void Store::BuildFolders() {
    Ndb& db = *db_;
    for (const NewFolder& f : kNewFolders) {
        auto b = BuildPc(db, FolderPc(f));
        db.PutNode({f.nid, b.bidData, b.bidSub, f.parent});
        if (NidTypeOf(f.nid) != kNidTypeNormalFolder) continue;
        std::vector<TcRow> rows;
        for (const NewFolder& c : kNewFolders) {
            if (c.parent != f.nid || c.nid == f.nid) continue;
            TcRow r;
            r.rowId = c.nid.value();
            for (auto& [id, v] : FolderPc(c))
                if (id != PidTagComment) r.props[id] = v;
            rows.push_back(std::move(r));
        }
        PutTable(db, SiblingTable(f.nid, kNidTypeHierarchyTable), kHierarchyCols, rows);
        PutTable(db, SiblingTable(f.nid, kNidTypeContentsTable), kContentsCols, {});
        PutTable(db, SiblingTable(f.nid, kNidTypeAssocContentsTable), kAssocCols, {});
    }
}

// ---------------------------------------------------------------- folders

Store::FolderState* Store::LoadFolder(NID nid, std::string& err) {
    auto it = folders_.find(nid);
    if (it != folders_.end()) return it->second.get();
    auto n = db_->FindNode(nid);
    if (!n) {
        err = n.failed() ? n.error() : "folder " + ToString(nid) + " not found";
        return nullptr;
    }
    uint8_t t = NidTypeOf(nid);
    if (t != kNidTypeNormalFolder && t != kNidTypeSearchFolder) {
        err = "node is not a folder";
        return nullptr;
    }
    auto f = std::make_unique<FolderState>();
    f->node = *n;
    if (!ReadPc(*db_, n->bidData, n->bidSub, f->pc, err)) return nullptr;
    // Contents tables can be huge: only their columns are read; new rows are appended at commit.
    auto loadTable = [&](uint8_t type, Table& tbl, const std::vector<uint32_t>& cols) -> bool {
        auto tn = db_->FindNode(SiblingTable(nid, type));
        if (!tn) {
            if (tn.failed()) return err = tn.error(), false;
            tbl = MakeTableLayout(cols);
            return true;
        }
        if (type != kNidTypeHierarchyTable) return ReadTcLayout(*db_, tn->bidData, tbl, err);
        return ReadTc(*db_, tn->bidData, tn->bidSub, tbl, err);
    };
    if (t == kNidTypeNormalFolder && (!loadTable(kNidTypeHierarchyTable, f->hier, kHierarchyCols) ||
                                      !loadTable(kNidTypeContentsTable, f->contents, kContentsCols) ||
                                      !loadTable(kNidTypeAssocContentsTable, f->assoc, kAssocCols)))
        return nullptr;
    auto* raw = f.get();
    folders_[nid] = std::move(f);
    return raw;
}

namespace {
FolderInfo InfoFrom(NID nid, const PropMap& p) {
    FolderInfo fi;
    fi.nid = nid;
    if (auto it = p.find(PidTagDisplayName); it != p.end()) fi.name = ToUtf8(it->second);
    if (auto it = p.find(PidTagContainerClass); it != p.end()) fi.containerClass = ToUtf8(it->second);
    if (auto it = p.find(PidTagContentCount); it != p.end()) fi.contentCount = AsLong(it->second);
    if (auto it = p.find(PidTagContentUnreadCount); it != p.end()) fi.unreadCount = AsLong(it->second);
    if (auto it = p.find(PidTagSubfolders); it != p.end()) fi.hasSubfolders = AsLong(it->second) != 0;
    return fi;
}

}  // namespace

std::u16string FoldCase(std::u16string s) {
    for (auto& c : s) {
        // Runs are sorted by their first code point; the table is small enough to scan.
        for (const CaseRun& r : kLowerRuns) {
            if (c < r.first) break;
            if (c <= r.last && (c - r.first) % r.stride == 0) {
                c = static_cast<char16_t>(c + r.delta);
                break;
            }
        }
    }
    return s;
}

bool SameFolderName(const std::string& a, const std::string& b) {
    return a == b || FoldCase(Utf8ToUtf16(a)) == FoldCase(Utf8ToUtf16(b));
}

Result<FolderInfo> Store::GetFolder(NID folder) {
    std::string err;
    if (auto n = db_->FindNode(folder); !n)
        return n.failed() ? Result<FolderInfo>(Fail(n.error())) : kNotThere;
    FolderState* f = LoadFolder(folder, err);
    if (!f) return Fail(err);
    return InfoFrom(folder, f->pc);
}

Result<std::vector<FolderInfo>> Store::Subfolders(NID folder) {
    std::string err;
    FolderState* f = LoadFolder(folder, err);
    if (!f) return Fail(err);
    std::vector<FolderInfo> out;
    for (auto& r : f->hier.rows) out.push_back(InfoFrom(r.rowId, r.props));
    return out;
}

Result<FolderInfo> Store::FindSubfolder(NID parent, const std::string& name) {
    auto subs = Subfolders(parent);
    if (!subs) return Fail(subs.error());
    // Outlook treats folder names without regard to case.
    std::u16string want = FoldCase(Utf8ToUtf16(name));
    for (auto& s : *subs)
        if (FoldCase(Utf8ToUtf16(s.name)) == want) return s;
    return kNotThere;
}

namespace {
// Outlook shows a folder without PR_CONTAINER_CLASS as a mail folder.
std::string EffectiveClass(const std::string& cls) {
    return cls.empty() ? "IPF.Note" : cls;
}
}  // namespace

Result<NID> Store::AddFolder(NID parent, const std::string& name, const std::string& containerClass) {
    if (name.empty()) return Fail("folder name is empty");
    auto existing = FindSubfolder(parent, name);
    if (existing.failed()) return Fail(existing.error());
    if (existing) {
        if (!SameFolderName(EffectiveClass(existing->containerClass), EffectiveClass(containerClass)))
            return Fail("folder \"" + existing->name + "\" exists with container class \"" +
                        EffectiveClass(existing->containerClass) + "\", not \"" +
                        EffectiveClass(containerClass) + "\"");
        return existing->nid;
    }
    std::string err;
    FolderState* p = LoadFolder(parent, err);
    if (!p) return Fail(err);
    if (NidTypeOf(parent) != kNidTypeNormalFolder) return Fail("cannot add a folder under a search folder");
    // The grandparent's hierarchy row shows the parent's subfolder flag.
    FolderState* gp = nullptr;
    if (p->node.nidParent && p->node.nidParent != parent && !(gp = LoadFolder(p->node.nidParent, err)))
        return Fail(err);
    NID nid = db_->AllocNid(kNidTypeNormalFolder);
    for (uint8_t t : {kNidTypeHierarchyTable, kNidTypeContentsTable, kNidTypeAssocContentsTable})
        db_->ReserveNidIndex(t, NidIndexOf(nid));
    auto f = std::make_unique<FolderState>();
    f->node = {nid, 0, 0, parent};
    f->pc[PidTagDisplayName] = MakeUtf8(name);
    f->pc[PidTagContentCount] = MakeLong(0);
    f->pc[PidTagContentUnreadCount] = MakeLong(0);
    f->pc[PidTagSubfolders] = MakeBool(false);
    if (!containerClass.empty()) f->pc[PidTagContainerClass] = MakeUtf8(containerClass);
    f->hier = MakeTableLayout(kHierarchyCols);
    f->contents = MakeTableLayout(kContentsCols);
    f->assoc = MakeTableLayout(kAssocCols);
    f->pcDirty = f->hierDirty = f->contentsDirty = f->assocDirty = true;
    TcRow row;
    row.rowId = nid.value();
    for (uint16_t id : {PidTagDisplayName, PidTagContentCount, PidTagContentUnreadCount, PidTagSubfolders,
                        PidTagContainerClass})
        if (auto it = f->pc.find(id); it != f->pc.end()) row.props[id] = it->second;
    p->hier.rows.push_back(std::move(row));
    p->hierDirty = true;
    p->pc[PidTagSubfolders] = MakeBool(true);
    p->pcDirty = true;
    folders_[nid] = std::move(f);
    QueueSearchUpdate(kSudFolderAdded, parent, nid);
    if (gp) {
        for (auto& r : gp->hier.rows)
            if (r.rowId == parent.value()) r.props[PidTagSubfolders] = MakeBool(true);
        gp->hierDirty = true;
    }
    return nid;
}

// ---------------------------------------------------------------- messages

namespace {
// A value whose length does not fit its type would make the whole message unreadable later.
bool ValidProps(const PropMap& props, const char* where, std::string& err) {
    for (auto& [id, p] : props) {
        size_t fs = FixedSize(p.type);
        bool mv = (p.type & 0x1000) != 0;
        if (!IsKnownType(p.type) || (fs > 0 && p.data.size() != fs) ||
            (mv && FixedSize(p.type & 0x0FFF) > 0 && p.data.size() % FixedSize(p.type & 0x0FFF) != 0)) {
            char buf[96];
            std::snprintf(buf, sizeof buf, "%s property 0x%04X has %zu bytes, which type 0x%04X cannot hold",
                          where, id, p.data.size(), p.type);
            err = buf;
            return false;
        }
    }
    return true;
}
}  // namespace

// Checked before anything is written, so a refused message leaves no blocks behind.
static bool ValidMessage(const NewMessage& msg, int depth, std::string& err) {
    if (depth > 8) {
        err = "embedded messages nested too deeply";
        return false;
    }
    if (!ValidProps(msg.props, "message", err)) return false;
    for (auto& r : msg.recipients)
        if (!ValidProps(r.props, "recipient", err)) return false;
    for (auto& a : msg.attachments) {
        if (!ValidProps(a.props, "attachment", err)) return false;
        if (a.embedded && !ValidMessage(*a.embedded, depth + 1, err)) return false;
    }
    return true;
}

namespace {

// [MS-OXCDATA] 2.2.5.1 One-Off EntryID: flags, MAPI_ONE_OFF_UID, version, flags (Unicode, no
// rich text for Internet addresses), then display name, address type and address as
// NUL-terminated UTF-16.
Bytes OneOffEntryId(const std::string& name, const std::string& addrType, const std::string& address) {
    static const uint8_t kOneOffUid[16] = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
                                           0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};
    constexpr uint16_t kOneOffUnicode = 0x8000, kOneOffNoRichInfo = 0x0001;
    Bytes e(24, 0);
    std::memcpy(e.data() + 4, kOneOffUid, 16);
    Wr16(e.data() + 22, kOneOffUnicode | kOneOffNoRichInfo);  // version 0 before it
    for (const std::string* s : {&name, &addrType, &address}) {
        Bytes u = MakeUtf8(*s).data;
        size_t at = e.size();
        e.resize(at + u.size() + 2, 0);
        if (!u.empty()) std::memcpy(e.data() + at, u.data(), u.size());
    }
    return e;
}

// [MS-OXCPRPT] search key of an address: "TYPE:ADDRESS" in capitals, NUL-terminated.
Bytes AddressSearchKey(const std::string& addrType, const std::string& address) {
    std::string k = addrType + ":" + address;
    for (auto& c : k) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    Bytes b(k.begin(), k.end());
    b.push_back(0);
    return b;
}

std::string Text(const PropMap& p, uint16_t id) {
    auto it = p.find(id);
    return it == p.end() ? std::string() : ToUtf8(it->second);
}

void SetIfMissing(PropMap& p, uint16_t id, const Prop& v) {
    p.emplace(id, v);
}

// Every column of the recipient table template, derived where the caller left it out, so
// Outlook can show and reply to the recipient.
void CompleteRecipient(PropMap& r) {
    SetIfMissing(r, PidTagRecipientType, MakeLong(kRecipientTo));
    SetIfMissing(r, PidTagObjectType, MakeLong(kObjectTypeMailUser));
    SetIfMissing(r, PidTagDisplayType, MakeLong(0));
    SetIfMissing(r, PidTagResponsibility, MakeBool(true));
    SetIfMissing(r, PidTagSendRichInfo, MakeBool(false));
    SetIfMissing(r, PidTagAddressType, MakeUtf8("SMTP"));
    std::string address = Text(r, PidTagEmailAddress), type = Text(r, PidTagAddressType);
    SetIfMissing(r, PidTagEmailAddress, MakeUtf8(address));
    SetIfMissing(r, PidTagDisplayName, MakeUtf8(address));
    std::string name = Text(r, PidTagDisplayName);
    SetIfMissing(r, PidTagAddressBookDisplayNamePrintable, MakeUtf8(name));
    SetIfMissing(r, PidTagEntryId, MakeBinary(OneOffEntryId(name, type, address)));
    SetIfMissing(r, PidTagRecordKey, r.at(PidTagEntryId));
    SetIfMissing(r, PidTagSearchKey, MakeBinary(AddressSearchKey(type, address)));
}

// Sender and represented sender: each completes the other, with address type, entry ID and
// search key, as Outlook has them on every received message.
void CompleteSender(PropMap& p) {
    struct Party {
        uint16_t name, type, address, entryId, searchKey;
    };
    const Party sender{PidTagSenderName, PidTagSenderAddressType, PidTagSenderEmailAddress,
                       PidTagSenderEntryId, PidTagSenderSearchKey};
    const Party repr{PidTagSentRepresentingName, PidTagSentRepresentingAddressType,
                     PidTagSentRepresentingEmailAddress, PidTagSentRepresentingEntryId,
                     PidTagSentRepresentingSearchKey};
    auto has = [&](const Party& x) { return p.count(x.name) || p.count(x.address); };
    auto copy = [&](const Party& from, const Party& to) {
        for (auto [f, t] : {std::pair{from.name, to.name}, {from.type, to.type}, {from.address, to.address}})
            if (auto it = p.find(f); it != p.end()) SetIfMissing(p, t, it->second);
    };
    if (has(sender) && !has(repr)) copy(sender, repr);
    if (has(repr) && !has(sender)) copy(repr, sender);
    for (const Party& x : {sender, repr}) {
        if (!has(x)) continue;
        std::string address = Text(p, x.address);
        SetIfMissing(p, x.type, MakeUtf8(address.empty() ? "" : "SMTP"));
        std::string type = Text(p, x.type), name = Text(p, x.name);
        SetIfMissing(p, x.entryId, MakeBinary(OneOffEntryId(name.empty() ? address : name, type, address)));
        SetIfMissing(p, x.searchKey, MakeBinary(AddressSearchKey(type, address)));
    }
}

// [MS-OXCMSG] 2.2.1.9: a prefix is 1-3 characters (no digits or spaces) ending in ": ".
void CompleteSubject(PropMap& p) {
    auto it = p.find(PidTagSubject);
    if (it == p.end()) return;
    std::u16string subject = Utf8ToUtf16(ToUtf8(it->second));
    size_t prefixEnd = 0;
    for (size_t i = 0; i < subject.size() && i < 4; ++i) {
        char16_t c = subject[i];
        if (c == u':' && i > 0 && i + 1 < subject.size() && subject[i + 1] == u' ') {
            prefixEnd = i + 2;
            break;
        }
        if (c == u' ' || (c >= u'0' && c <= u'9')) break;
    }
    SetIfMissing(p, PidTagSubjectPrefix, MakeUnicode(subject.substr(0, prefixEnd)));
    SetIfMissing(p, PidTagNormalizedSubject, MakeUnicode(subject.substr(prefixEnd)));
}

// PR_DISPLAY_TO / CC / BCC: the display names of the recipients of each type, "; " between.
void CompleteDisplayLists(PropMap& p, const std::vector<TcRow>& recipients) {
    const std::pair<uint32_t, uint16_t> lists[] = {
        {kRecipientTo, PidTagDisplayTo}, {kRecipientCc, PidTagDisplayCc}, {kRecipientBcc, PidTagDisplayBcc}};
    for (auto [type, id] : lists) {
        std::string text;
        for (auto& r : recipients) {
            if (AsLong(r.props.at(PidTagRecipientType)) != type) continue;
            if (!text.empty()) text += "; ";
            text += Text(r.props, PidTagDisplayName);
        }
        SetIfMissing(p, id, MakeUtf8(text));
    }
}

}  // namespace

// The minimum message properties of [MS-PST] 2.4.4.1 and what Outlook shows from them, derived
// where the caller did not give them. A message without flags is read.
void Store::CompleteMessage(PropMap& p, const std::vector<TcRow>& recipients, bool hasAttachments) {
    uint32_t flags = p.count(PidTagMessageFlags) ? AsLong(p[PidTagMessageFlags]) : kMsgFlagRead;
    if (hasAttachments) flags |= kMsgFlagHasAttach;
    p[PidTagMessageFlags] = MakeLong(flags);
    if (hasAttachments) p[PidTagHasAttachments] = MakeBool(true);
    SetIfMissing(p, PidTagMessageClass, MakeUtf8("IPM.Note"));
    SetIfMissing(p, PidTagMessageStatus, MakeLong(0));
    uint64_t now = NowFiletime();
    SetIfMissing(p, PidTagCreationTime, MakeTime(now));
    SetIfMissing(p, PidTagLastModificationTime, MakeTime(now));
    Bytes key(16);
    for (auto& b : key) b = static_cast<uint8_t>(random_());
    SetIfMissing(p, PidTagSearchKey, MakeBinary(key));
    CompleteSubject(p);
    CompleteSender(p);
    CompleteDisplayLists(p, recipients);
}

Table Store::RecipientTable(const NewMessage& msg, uint64_t& size) {
    Table rt = MakeTableLayout(kRecipCols);
    for (size_t i = 0; i < msg.recipients.size(); ++i) {
        TcRow r;
        r.rowId = static_cast<uint32_t>(i);
        r.props = msg.recipients[i].props;
        CompleteRecipient(r.props);
        for (auto& [id, p] : r.props) size += p.data.size();
        rt.rows.push_back(std::move(r));
    }
    return rt;
}

// One attachment object: its PC (with the data, streamed, or an embedded message) as a
// subnode of the message. An embedded message is a subnode of the attachment, where libpst,
// libpff and Outlook's readers look, and the same subnode (shared blocks) is listed in the
// message's own subnode tree under the same NID, where [MS-PST] 2.4.6.2 and readers written
// from it look.
bool Store::WriteAttachment(const Attachment& a, NID anid, Subnodes& messageSubs, TcRow& row, uint64_t& size,
                            std::string& err) {
    Ndb& db = *db_;
    PropMap ap = a.props;
    Subnodes asubs;
    uint64_t dataSize = 0;
    std::map<uint16_t, NID> external;
    if (a.embedded) {
        BuiltNode eb;
        PropMap eprops;
        if (!WriteMessage(*a.embedded, &eprops, eb, dataSize, err)) return false;
        NID enid = MakeNid(kNidTypeNormalMessage, NidIndexOf(anid));
        asubs[enid] = {eb.bidData, eb.bidSub};
        messageSubs[enid] = {eb.bidData, eb.bidSub};
        db.AddRef(eb.bidData);
        db.AddRef(eb.bidSub);
        Prop obj{PT_OBJECT, Bytes(8)};
        Wr32(obj.data.data(), enid.value());
        Wr32(obj.data.data() + 4, static_cast<uint32_t>(dataSize));
        ap[PidTagAttachDataObject] = obj;
        ap[PidTagAttachMethod] = MakeLong(kAttachEmbeddedMessage);
        if (auto it = eprops.find(PidTagSubject); it != eprops.end())
            SetIfMissing(ap, PidTagDisplayName, it->second);
    } else if (a.stream) {
        // A streamed source goes straight into blocks and never sits in memory whole.
        StreamWriter w(db);
        Bytes buf(1 << 16);
        for (size_t got; (got = a.stream(buf.data(), buf.size())) > 0;)
            w.Write(buf.data(), std::min(got, buf.size()));
        dataSize = w.size();
        if (dataSize > 0xFFFFFFFFull) {
            err = "attachment larger than 4 GiB";
            return false;
        }
        NID dnid = MakeNid(kNidTypeLtp, 0x7FFF);
        asubs[dnid] = {w.Finish(), 0};
        ap[PidTagAttachDataBinary] = Prop{PT_BINARY, {}};
        external[PidTagAttachDataBinary] = dnid;
    } else {
        ap[PidTagAttachDataBinary] = MakeBinary(a.data);
        dataSize = a.data.size();
    }
    SetIfMissing(ap, PidTagAttachMethod, MakeLong(kAttachByValue));
    ap[PidTagAttachSize] = MakeLong(static_cast<uint32_t>(std::min<uint64_t>(dataSize, 0xFFFFFFFF)));
    SetIfMissing(ap, PidTagRenderingPosition, MakeLong(0xFFFFFFFF));
    SetIfMissing(ap, PidTagObjectType, MakeLong(kObjectTypeAttachment));
    BuiltNode ab = BuildPc(db, ap, asubs, external);
    ap.erase(PidTagAttachDataBinary);
    messageSubs[anid] = {ab.bidData, ab.bidSub};
    row.rowId = anid.value();
    row.props = std::move(ap);
    size += dataSize;
    return true;
}

bool Store::WriteMessage(const NewMessage& msg, PropMap* finalProps, BuiltNode& out, uint64_t& size,
                         std::string& err) {
    Ndb& db = *db_;
    Subnodes subs;
    PropMap props = msg.props;
    uint64_t total = 0;
    for (auto& [id, p] : props) total += p.data.size() + 8;
    Table rt = RecipientTable(msg, total);
    auto rb = BuildTc(db, rt);
    subs[kNidRecipientTable] = {rb.bidData, rb.bidSub};
    if (!msg.attachments.empty()) {
        Table at = MakeTableLayout(kAttachCols);
        uint32_t attIndex = 0;
        for (auto& a : msg.attachments) {
            TcRow row;
            if (!WriteAttachment(a, MakeNid(kNidTypeAttachment, ++attIndex), subs, row, total, err))
                return false;
            at.rows.push_back(std::move(row));
        }
        auto ab = BuildTc(db, at);
        subs[kNidAttachmentTable] = {ab.bidData, ab.bidSub};
    }
    CompleteMessage(props, rt.rows, !msg.attachments.empty());
    size = total;
    props[PidTagMessageSize] = MakeLong(static_cast<uint32_t>(std::min<uint64_t>(total, 0x7FFFFFFF)));
    out = BuildPc(db, props, subs);
    if (finalProps) *finalProps = std::move(props);
    if (db.failed()) {
        err = db.failure();
        return false;
    }
    return true;
}

Result<NID> Store::AddMessage(NID folder, const NewMessage& msg) {
    std::string err;
    FolderState* f = LoadFolder(folder, err);
    if (!f) return Fail(err);
    if (NidTypeOf(folder) != kNidTypeNormalFolder) return Fail("cannot add a message to a search folder");
    if (!ValidMessage(msg, 0, err)) return Fail(err);
    // The parent's hierarchy row repeats the folder's counts.
    FolderState* parent = nullptr;
    if (!msg.associated && f->node.nidParent != folder && !(parent = LoadFolder(f->node.nidParent, err)))
        return Fail(err);
    NID nid = db_->AllocNid(msg.associated ? kNidTypeAssocMessage : kNidTypeNormalMessage);
    BuiltNode b;
    uint64_t size = 0;
    PropMap props;
    if (!WriteMessage(msg, &props, b, size, err)) return Fail(err);
    db_->PutNode({nid, b.bidData, b.bidSub, folder});
    if (!msg.associated) QueueSearchUpdate(kSudMessageAdded, folder, nid);
    // The folder's table row repeats the summary properties of the message.
    bool read = AsLong(props[PidTagMessageFlags]) & kMsgFlagRead;
    props[PidTagLtpRowVer] = MakeLong(++db_->mutableHeader().dwUnique);
    // Only the table's columns are kept: a folder of many messages must not hold their bodies.
    TcRow row;
    row.rowId = nid.value();
    for (auto& c : (msg.associated ? f->assoc : f->contents).cols) {
        auto it = props.find(static_cast<uint16_t>(c.tag >> 16));
        if (it != props.end() && it->second.type == (c.tag & 0xFFFF)) row.props.insert(*it);
    }
    if (msg.associated) {
        f->assoc.rows.push_back(std::move(row));
        f->assocDirty = true;
    } else {
        f->contents.rows.push_back(std::move(row));
        f->contentsDirty = true;
        f->pc[PidTagContentCount] = MakeLong(AsLong(f->pc[PidTagContentCount]) + 1);
        if (!read) f->pc[PidTagContentUnreadCount] = MakeLong(AsLong(f->pc[PidTagContentUnreadCount]) + 1);
        f->pcDirty = true;
        if (parent) {
            for (auto& r : parent->hier.rows) {
                if (r.rowId != folder.value()) continue;
                r.props[PidTagContentCount] = f->pc[PidTagContentCount];
                r.props[PidTagContentUnreadCount] = f->pc[PidTagContentUnreadCount];
                parent->hierDirty = true;
            }
        }
    }
    return nid;
}

Result<std::vector<NID>> Store::Messages(NID folder, bool associated) {
    std::string err;
    FolderState* f = LoadFolder(folder, err);
    if (!f) return Fail(err);
    std::vector<NID> out;
    auto tn =
        db_->FindNode(SiblingTable(folder, associated ? kNidTypeAssocContentsTable : kNidTypeContentsTable));
    if (tn.failed()) return Fail(tn.error());
    if (tn) {
        Table t;
        if (!ReadTc(*db_, tn->bidData, tn->bidSub, t, err)) return Fail(err);
        for (auto& r : t.rows) out.push_back(r.rowId);
    }
    for (auto& r : (associated ? f->assoc : f->contents).rows) out.push_back(r.rowId);
    return out;
}

bool Store::ReadMessageNode(BID bidData, BID bidSub, MessageData& out, int depth, std::string& err) {
    if (depth > 8) {
        err = "embedded messages nested too deeply";
        return false;
    }
    if (!ReadPc(*db_, bidData, bidSub, out.props, err)) return false;
    Subnodes subs;
    if (!db_->ReadSubnodes(bidSub, subs, err)) return false;
    if (auto it = subs.find(kNidRecipientTable); it != subs.end()) {
        Table t;
        if (!ReadTc(*db_, it->second.first, it->second.second, t, err)) return false;
        for (auto& r : t.rows) out.recipients.push_back(r.props);
    }
    if (auto it = subs.find(kNidAttachmentTable); it != subs.end()) {
        Table t;
        if (!ReadTc(*db_, it->second.first, it->second.second, t, err)) return false;
        for (auto& r : t.rows) {
            auto an = subs.find(r.rowId);
            if (an == subs.end()) {
                err = "attachment table names a missing attachment";
                return false;
            }
            MessageData::Att a;
            if (!ReadPc(*db_, an->second.first, an->second.second, a.props, err)) return false;
            auto data = a.props.find(PidTagAttachDataBinary);
            if (data != a.props.end() && data->second.type == PT_OBJECT && data->second.data.size() >= 4) {
                Subnodes asubs;
                if (!db_->ReadSubnodes(an->second.second, asubs, err)) return false;
                auto en = asubs.find(Rd32(data->second.data.data()));
                if (en == asubs.end()) {
                    err = "embedded message subnode missing";
                    return false;
                }
                a.embedded = std::make_unique<MessageData>();
                if (!ReadMessageNode(en->second.first, en->second.second, *a.embedded, depth + 1, err))
                    return false;
            } else if (data != a.props.end()) {
                a.data = data->second.data;
            }
            out.attachments.push_back(std::move(a));
        }
    }
    return true;
}

Result<MessageData> Store::ReadMessage(NID message) {
    auto n = db_->FindNode(message);
    if (!n) return n.failed() ? Result<MessageData>(Fail(n.error())) : kNotThere;
    MessageData out;
    std::string err;
    if (!ReadMessageNode(n->bidData, n->bidSub, out, 0, err)) return Fail(err);
    return out;
}

// ---------------------------------------------------------------- search queue

void Store::QueueSearchUpdate(uint16_t sudType, NID a, NID b) {
    uint8_t sud[kSudSize] = {};
    Wr16(sud + 2, sudType);
    Wr32(sud + 4, a.value());  // SUD_MSG_ADD / SUD_FLD_ADD: parent, then the object
    Wr32(sud + 8, b.value());
    pendingSuds_.insert(pendingSuds_.end(), sud, sud + kSudSize);
}

// Appends the queued SUDs to the search management queue, a plain data node whose bytes are
// the SUDs in order ([MS-PST] 2.4.8.3). Only the queue's last block and its block list change.
void Store::FlushSearchQueue() {
    if (pendingSuds_.empty()) return;
    Ndb& db = *db_;
    std::string err;
    std::vector<BID> leaves;
    Bytes tail;
    uint64_t kept = 0;
    auto old = db.FindNode(kNidSearchManagementQueue);
    if (old.failed()) return db.Fail(old.error());
    if (old && old->bidData) {
        if (!db.DataTreeLeaves(old->bidData, leaves, err) || leaves.empty() ||
            !db.ReadBlock(leaves.back(), tail, err))
            return db.Fail("search management queue unreadable: " + err);
        auto last = db.FindBlock(leaves.back());
        if (!last) return db.Fail("search management queue unreadable");
        tail.resize(last->cb);
        if (IsInternal(old->bidData)) db.FreeBlock(old->bidData);
        db.FreeBlock(leaves.back());
        leaves.pop_back();
        for (BID leaf : leaves)
            if (auto be = db.FindBlock(leaf)) kept += be->cb;
    }
    tail.insert(tail.end(), pendingSuds_.begin(), pendingSuds_.end());
    for (size_t off = 0; off < tail.size(); off += kMaxBlockData) {
        size_t n = std::min(kMaxBlockData, tail.size() - off);
        leaves.push_back(db.WriteExternalBlock(tail.data() + off, n));
    }
    db.PutNode({kNidSearchManagementQueue, db.WriteDataTreeFromLeaves(leaves, kept + tail.size()), 0, 0});
}

// ---------------------------------------------------------------- commit

bool Store::FlushFolders(std::string& err) {
    Ndb& db = *db_;
    for (auto& [nid, f] : folders_) {
        auto replace = [&](NID tnid, const Table& t) {
            if (auto old = db.FindNode(tnid)) {
                db.FreeBlockTree(old->bidData);
                db.FreeBlockTree(old->bidSub);
            }
            auto b = BuildTc(db, t);
            db.PutNode({tnid, b.bidData, b.bidSub, 0});
        };
        if (f->hierDirty) replace(SiblingTable(nid, kNidTypeHierarchyTable), f->hier);
        auto append = [&](NID tnid, const Table& t) -> bool {
            auto old = db.FindNode(tnid);
            if (old.failed()) return err = old.error(), false;
            BuiltNode b;
            if (!AppendTcRows(db, old ? old->bidData : 0, old ? old->bidSub : 0, t, t.rows, b, err))
                return false;
            db.PutNode({tnid, b.bidData, b.bidSub, 0});
            return true;
        };
        if (f->contentsDirty && !append(SiblingTable(nid, kNidTypeContentsTable), f->contents)) return false;
        if (f->assocDirty && !append(SiblingTable(nid, kNidTypeAssocContentsTable), f->assoc)) return false;
        if (f->pcDirty) {
            if (f->node.bidData) db.FreeBlockTree(f->node.bidData);
            if (f->node.bidSub) db.FreeBlockTree(f->node.bidSub);
            auto b = BuildPc(db, f->pc);
            f->node.bidData = b.bidData;
            f->node.bidSub = b.bidSub;
            db.PutNode(f->node);
        }
    }
    if (db.failed()) {
        err = db.failure();
        return false;
    }
    return true;
}

// Rebuilds the name-to-ID map node from the entries ([MS-PST] 2.4.7).
void Store::WriteNameMap() {
    // Rebuild the map node from the entries ([MS-PST] 2.4.7).
    PropMap p = names_->other;
    p[kNameMapBucketCount] = MakeLong(kNameMapBuckets);
    Bytes guids, entries, strings;
    std::map<uint16_t, Bytes> buckets;
    for (auto& g : names_->guids) guids.insert(guids.end(), g.b, g.b + 16);
    for (auto& e : names_->entries) {
        uint8_t rec[8];
        uint16_t wGuid = static_cast<uint16_t>((e.guidIndex << 1) | (e.isString ? 1 : 0));
        uint32_t id = e.lid;
        uint32_t hashKey = e.lid;
        if (e.isString) {
            id = static_cast<uint32_t>(strings.size());
            Bytes s(4 + 2 * e.name.size());
            Wr32(s.data(), static_cast<uint32_t>(2 * e.name.size()));
            for (size_t i = 0; i < e.name.size(); ++i) Wr16(s.data() + 4 + 2 * i, e.name[i]);
            strings.insert(strings.end(), s.begin(), s.end());
            while (strings.size() % 4) strings.push_back(0);
            hashKey = ComputeCrc(s.data() + 4, s.size() - 4);
        }
        Wr32(rec, id);
        Wr16(rec + 4, wGuid);
        Wr16(rec + 6, e.propIdx);
        entries.insert(entries.end(), rec, rec + 8);
        Wr32(rec, hashKey);
        auto& b = buckets[static_cast<uint16_t>(kNameMapFirstBucket + (hashKey ^ wGuid) % kNameMapBuckets)];
        b.insert(b.end(), rec, rec + 8);
    }
    p[kNameMapGuidStream] = MakeBinary(guids);
    p[kNameMapEntryStream] = MakeBinary(entries);
    p[kNameMapStringStream] = MakeBinary(strings);
    for (auto it = p.begin(); it != p.end();) it = IsNameMapBucket(it->first) ? p.erase(it) : std::next(it);
    for (auto& [id, b] : buckets) p[id] = MakeBinary(b);
    if (auto old = db_->FindNode(kNidNameToIdMap)) {
        db_->FreeBlockTree(old->bidData);
        db_->FreeBlockTree(old->bidSub);
    }
    auto b = BuildPc(*db_, p);
    db_->PutNode({kNidNameToIdMap, b.bidData, b.bidSub, 0});
}

// Merges the pending store properties into the message store node.
Status Store::WriteStoreProps() {
    std::string err;
    auto n = db_->FindNode(kNidMessageStore);
    PropMap p;
    if (!n) return Fail(n.failed() ? n.error() : "message store missing");
    if (!ReadPc(*db_, n->bidData, n->bidSub, p, err)) return Fail(err);
    for (auto& [id, v] : pendingStoreProps_) p[id] = v;
    db_->FreeBlockTree(n->bidData);
    db_->FreeBlockTree(n->bidSub);
    auto b = BuildPc(*db_, p);
    db_->PutNode({kNidMessageStore, b.bidData, b.bidSub, 0});
    return {};
}

Status Store::Commit() {
    std::string err;
    if (!FlushFolders(err)) return Fail(err);
    FlushSearchQueue();
    if (names_ && names_->dirty) WriteNameMap();
    if (!pendingStoreProps_.empty())
        if (auto st = WriteStoreProps(); !st) return st;
    if (!db_->Commit(err)) return Fail(err);
    folders_.clear();
    pendingStoreProps_.clear();
    pendingSuds_.clear();
    if (names_) names_->dirty = false;
    return {};
}

}  // namespace pst

namespace pst {

// ---------------------------------------------------------------- named properties

bool Store::LoadNameMap(std::string& err) {
    if (names_) return true;
    auto nm = std::make_unique<NameMap>();
    auto n = db_->FindNode(kNidNameToIdMap);
    if (!n) {
        err = n.failed() ? n.error() : "name-to-ID map missing";
        return false;
    }
    PropMap p;
    if (!ReadPc(*db_, n->bidData, n->bidSub, p, err)) return false;
    const Bytes& g = p[kNameMapGuidStream].data;
    const Bytes& e = p[kNameMapEntryStream].data;
    const Bytes& st = p[kNameMapStringStream].data;
    for (size_t i = 0; i + 16 <= g.size(); i += 16) {
        Guid x;
        std::memcpy(x.b, g.data() + i, 16);
        nm->guids.push_back(x);
    }
    for (size_t i = 0; i + 8 <= e.size(); i += 8) {
        NameMap::Entry en{};
        uint32_t id = Rd32(e.data() + i);
        uint16_t wGuid = Rd16(e.data() + i + 4);
        en.guidIndex = static_cast<uint16_t>(wGuid >> 1);
        en.isString = wGuid & 1;
        en.propIdx = Rd16(e.data() + i + 6);
        if (en.isString) {
            if (size_t(id) + 4 > st.size() || size_t(id) + 4 + Rd32(st.data() + id) > st.size()) {
                err = "named property string out of range";
                return false;
            }
            uint32_t len = Rd32(st.data() + id);
            for (size_t k = 0; k + 1 < len; k += 2)
                en.name.push_back(static_cast<char16_t>(Rd16(st.data() + id + 4 + k)));
        } else {
            en.lid = id;
        }
        nm->entries.push_back(std::move(en));
    }
    for (auto& [id, v] : p)
        if (id != kNameMapGuidStream && id != kNameMapEntryStream && id != kNameMapStringStream &&
            !IsNameMapBucket(id))
            nm->other[id] = v;
    names_ = std::move(nm);
    return true;
}

Result<uint16_t> Store::NamedPropId(const NamedProp& np) {
    std::string err;
    if (!LoadNameMap(err)) return Fail(err);
    uint16_t gi;
    if (np.guid == PS_MAPI) {
        gi = 1;
    } else if (np.guid == PS_PUBLIC_STRINGS) {
        gi = 2;
    } else {
        auto it = std::find(names_->guids.begin(), names_->guids.end(), np.guid);
        if (it == names_->guids.end()) {
            names_->guids.push_back(np.guid);
            it = names_->guids.end() - 1;
        }
        gi = static_cast<uint16_t>(3 + (it - names_->guids.begin()));
    }
    std::u16string name = np.lid ? std::u16string() : Utf8ToUtf16(np.name);
    uint16_t maxIdx = 0;
    for (auto& e : names_->entries) {
        maxIdx = std::max<uint16_t>(maxIdx, static_cast<uint16_t>(e.propIdx + 1));
        if (e.guidIndex != gi || e.isString == bool(np.lid)) continue;
        if ((np.lid && e.lid == *np.lid) || (!np.lid && e.name == name))
            return static_cast<uint16_t>(0x8000 + e.propIdx);
    }
    if (maxIdx >= 0x7FFF) return Fail("name-to-ID map is full");
    names_->entries.push_back({gi, !np.lid, np.lid.value_or(0), name, maxIdx});
    names_->dirty = true;
    return static_cast<uint16_t>(0x8000 + maxIdx);
}

Result<NamedProp> Store::NameOf(uint16_t propId) {
    std::string err;
    if (propId < 0x8000) return kNotThere;
    if (!LoadNameMap(err)) return Fail(err);
    for (auto& e : names_->entries) {
        if (e.propIdx != propId - 0x8000) continue;
        NamedProp np;
        if (e.guidIndex == 1)
            np.guid = PS_MAPI;
        else if (e.guidIndex == 2)
            np.guid = PS_PUBLIC_STRINGS;
        else if (size_t(e.guidIndex - 3) < names_->guids.size())
            np.guid = names_->guids[e.guidIndex - 3];
        if (e.isString) {
            std::string s;
            Bytes b;
            for (char16_t c : e.name) {
                b.push_back(static_cast<uint8_t>(c));
                b.push_back(static_cast<uint8_t>(c >> 8));
            }
            np.name = Utf16ToUtf8(b.data(), b.size());
        } else {
            np.lid = e.lid;
        }
        return np;
    }
    return kNotThere;
}

// ---------------------------------------------------------------- default folders

Status Store::SetDefaultFolder(DefaultFolder kind, NID folder) {
    std::string err;
    if (!SetDefault(kind, folder, err)) return Fail(err);
    return {};
}

bool Store::SetDefault(DefaultFolder kind, NID folder, std::string& err) {
    if (!LoadFolder(folder, err)) return false;
    Bytes eid = EntryIdOf(folder);
    auto n = db_->FindNode(kNidMessageStore);
    PropMap store;
    if (!n) {
        err = n.failed() ? n.error() : "message store missing";
        return false;
    }
    if (!ReadPc(*db_, n->bidData, n->bidSub, store, err)) return false;
    for (auto& [id, v] : pendingStoreProps_) store[id] = v;
    uint32_t mask = store.count(PidTagValidFolderMask) ? AsLong(store[PidTagValidFolderMask]) : 0;
    auto setStore = [&](uint16_t id, uint32_t bit) {
        pendingStoreProps_[id] = MakeBinary(eid);
        pendingStoreProps_[PidTagValidFolderMask] = MakeLong(mask | bit);
    };
    // Properties Outlook reads from the root folder and from the Inbox.
    NID inbox;
    auto rn = db_->FindNode(kNidReceiveFolderTable);
    if (rn.failed()) return err = rn.error(), false;
    if (rn) {
        Table t;
        if (!ReadTc(*db_, rn->bidData, rn->bidSub, t, err)) return false;
        for (auto& r : t.rows)
            if (r.props.count(PidTagReceiveFolderNid) &&
                AsLong(r.props[PidTagReceiveFolderNid]) != kNidRootFolder.value())
                inbox = AsLong(r.props[PidTagReceiveFolderNid]);
    }
    auto setOnRootAndInbox = [&](uint16_t id, const Prop& v) -> bool {
        for (NID target : {kNidRootFolder, inbox}) {
            if (!target) continue;
            FolderState* f = LoadFolder(target, err);
            if (!f) return false;
            f->pc[id] = v;
            f->pcDirty = true;
        }
        return true;
    };
    auto setMvSlot = [&](size_t slot) -> bool {
        FolderState* root = LoadFolder(kNidRootFolder, err);
        if (!root) return false;
        std::vector<Bytes> items(5);
        if (auto it = root->pc.find(PidTagAdditionalRenEntryIds);
            it != root->pc.end() && it->second.data.size() >= 4) {
            const Bytes& d = it->second.data;
            uint32_t cnt = std::min<uint32_t>(Rd32(d.data()), 16);
            for (uint32_t i = 0; i < cnt && 4 + 4 * (i + 1) <= d.size(); ++i) {
                uint32_t a = Rd32(d.data() + 4 + 4 * i);
                uint32_t b = i + 1 < cnt && 8 + 4 * i <= d.size() ? Rd32(d.data() + 8 + 4 * i)
                                                                  : static_cast<uint32_t>(d.size());
                if (a <= b && b <= d.size() && i < items.size())
                    items[i].assign(d.begin() + a, d.begin() + b);
            }
        }
        items[slot] = eid;
        return setOnRootAndInbox(PidTagAdditionalRenEntryIds, MakeMvBinary(items));
    };
    switch (kind) {
        case DefaultFolder::Inbox: {
            Table t = MakeTableLayout(kReceiveCols);
            for (const char* cls : {"", "IPM", "REPORT.IPM"}) {
                TcRow r;
                r.rowId = static_cast<uint32_t>(t.rows.size() + 1);
                r.props[PidTagMessageClass] = MakeUtf8(cls);
                r.props[PidTagReceiveFolderNid] = MakeLong(folder.value());
                t.rows.push_back(r);
            }
            if (rn) {
                db_->FreeBlockTree(rn->bidData);
                db_->FreeBlockTree(rn->bidSub);
            }
            auto b = BuildTc(*db_, t);
            db_->PutNode({kNidReceiveFolderTable, b.bidData, b.bidSub, 0});
            pendingStoreProps_[PidTagValidFolderMask] = MakeLong(mask | kFolderMaskInbox);
            // The Inbox repeats what the root folder says about the other default folders.
            FolderState* root = LoadFolder(kNidRootFolder, err);
            FolderState* in = LoadFolder(folder, err);
            if (!root || !in) return false;
            for (auto& [id, v] : root->pc)
                if (id >= PidTagFirstDefaultFolderEntryId && id <= PidTagLastDefaultFolderEntryId)
                    in->pc[id] = v;
            in->pcDirty = true;
            break;
        }
        case DefaultFolder::Outbox:
            setStore(PidTagIpmOutboxEntryId, kFolderMaskOutbox);
            break;
        case DefaultFolder::SentItems:
            setStore(PidTagIpmSentMailEntryId, kFolderMaskSentMail);
            break;
        case DefaultFolder::DeletedItems:
            setStore(PidTagIpmWastebasketEntryId, kFolderMaskWastebasket);
            break;
        case DefaultFolder::Calendar:
            return setOnRootAndInbox(PidTagIpmAppointmentEntryId, MakeBinary(eid));
        case DefaultFolder::Contacts:
            return setOnRootAndInbox(PidTagIpmContactEntryId, MakeBinary(eid));
        case DefaultFolder::Journal:
            return setOnRootAndInbox(PidTagIpmJournalEntryId, MakeBinary(eid));
        case DefaultFolder::Notes:
            return setOnRootAndInbox(PidTagIpmNoteEntryId, MakeBinary(eid));
        case DefaultFolder::Tasks:
            return setOnRootAndInbox(PidTagIpmTaskEntryId, MakeBinary(eid));
        case DefaultFolder::Drafts:
            return setOnRootAndInbox(PidTagIpmDraftsEntryId, MakeBinary(eid));
        case DefaultFolder::Conflicts:
            return setMvSlot(0);
        case DefaultFolder::SyncIssues:
            return setMvSlot(1);
        case DefaultFolder::LocalFailures:
            return setMvSlot(2);
        case DefaultFolder::ServerFailures:
            return setMvSlot(3);
        case DefaultFolder::JunkEmail:
            return setMvSlot(4);
        case DefaultFolder::RssFeeds: {
            // PersistData block RSF_PID_RSS_SUBSCRIPTION with one RSF_ELID_ENTRYID element, then the
            // sentinel.
            Bytes v(8 + eid.size() + 4, 0);
            Wr16(v.data(), 0x8001);
            Wr16(v.data() + 2, static_cast<uint16_t>(4 + eid.size()));
            Wr16(v.data() + 4, 0x0001);
            Wr16(v.data() + 6, static_cast<uint16_t>(eid.size()));
            std::memcpy(v.data() + 8, eid.data(), eid.size());
            return setOnRootAndInbox(PidTagAdditionalRenEntryIdsEx, MakeBinary(v));
        }
    }
    return true;
}

}  // namespace pst
