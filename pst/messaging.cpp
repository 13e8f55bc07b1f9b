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

// Column sets of the tables Outlook creates ([MS-PST] 2.7.2, and the templates of a new file).
const std::vector<uint32_t> kHierarchyCols = {0x0E300102, 0x0E330014, 0x0E340102, 0x0E380003,
                                              0x3001001F, 0x36020003, 0x36030003, 0x360A000B,
                                              0x3613001F, 0x66350003, 0x66360003};
const std::vector<uint32_t> kContentsCols = {
    0x00170003, 0x001A001F, 0x00360003, 0x0037001F, 0x00390040, 0x0042001F, 0x0057000B,
    0x0058000B, 0x0070001F, 0x00710102, 0x0E03001F, 0x0E04001F, 0x0E060040, 0x0E070003,
    0x0E080003, 0x0E170003, 0x0E300102, 0x0E330014, 0x0E340102, 0x0E380003, 0x0E3C0102,
    0x0E3D0102, 0x10970003, 0x30080040, 0x30130102, 0x65C60003};
const std::vector<uint32_t> kAssocCols = {0x001A001F, 0x0E070003, 0x0E170003, 0x3001001F, 0x6800001F,
                                          0x6803000B, 0x68051003, 0x682F001F, 0x70030003, 0x70040102,
                                          0x70050102, 0x7006001F, 0x70070003};
const std::vector<uint32_t> kSearchContentsCols = {0x00170003, 0x001A001F, 0x00360003, 0x0037001F, 0x0042001F,
                                                   0x0057000B, 0x0058000B, 0x0E03001F, 0x0E04001F, 0x0E05001F,
                                                   0x0E060040, 0x0E070003, 0x0E080003, 0x0E170003, 0x0E2A000B,
                                                   0x30080040, 0x67F10003};
const std::vector<uint32_t> kReceiveCols = {0x001A001F, 0x66050003};
const std::vector<uint32_t> kOutgoingCols = {0x00390040, 0x0E100003, 0x0E140003};
const std::vector<uint32_t> kAttachCols = {0x0E200003, 0x3704001F, 0x37050003, 0x370B0003};
const std::vector<uint32_t> kRecipCols = {0x0C150003, 0x0E0F000B, 0x0FF90102, 0x0FFE0003,
                                          0x0FFF0102, 0x3001001F, 0x3002001F, 0x3003001F,
                                          0x300B0102, 0x39000003, 0x39FF001F, 0x3A40000B};

constexpr NID kNidRecipientTable = 0x692;   // subnode of a message ([MS-PST] 2.4.5)
constexpr NID kNidAttachmentTable = 0x671;  // subnode of a message ([MS-PST] 2.4.6)

uint64_t NowFiletime() {
    auto now = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(now).count()) * 10 +
           116444736000000000ull;
}

NID SiblingTable(NID folder, uint8_t type) {
    return MakeNid(type, NidIndexOf(folder));
}

using Subnodes = std::map<NID, std::pair<BID, BID>>;

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
    // A map with no entries is refused by some readers; Outlook's own first entries are these
    // common PSETID_Common properties (reminder and start/end of items).
    for (uint32_t lid : {0x8503u, 0x8502u, 0x8516u, 0x8517u, 0x8560u})
        if (auto id = s->NamedPropId({PSETID_Common, lid, {}}); !id) return Fail(id.error());
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
    auto sub = p.find(0x35E0);
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

bool Store::Build(const std::string& displayName, std::string& err) {
    Ndb& db = *db_;
    recordKey_.resize(16);
    std::random_device rd;
    for (auto& b : recordKey_) b = static_cast<uint8_t>(rd());
    // The folders a new Outlook file has, with the NIDs Outlook gives them.
    ipmSubtree_ = MakeNid(kNidTypeNormalFolder, 0x401);
    NID finder = MakeNid(kNidTypeNormalFolder, 0x402);
    NID deleted = MakeNid(kNidTypeNormalFolder, 0x403);
    NID views = MakeNid(kNidTypeNormalFolder, 0x404);
    Header& h = db.mutableHeader();
    h.rgnid[kNidTypeNormalFolder] = 0x404;
    h.rgnid[kNidTypeHierarchyTable] = 0x404;
    h.rgnid[kNidTypeContentsTable] = 0x404;
    h.rgnid[kNidTypeAssocContentsTable] = 0x404;

    PropMap store;
    store[0x0E34] = MakeBinary(Bytes(24, 0));
    store[0x0E34].data[0] = 1;
    std::memcpy(store[0x0E34].data.data() + 4, recordKey_.data(), 16);
    store[0x0E34].data[20] = 1;
    store[0x0E38] = MakeLong(0);
    store[PidTagRecordKey] = MakeBinary(recordKey_);
    store[PidTagDisplayName] = MakeUtf8(displayName);
    store[0x35DF] = MakeLong(0x89);  // valid folder mask: IPM subtree, wastebasket, finder
    store[0x35E0] = MakeBinary(EntryIdOf(ipmSubtree_));
    store[0x35E3] = MakeBinary(EntryIdOf(deleted));
    store[0x35E7] = MakeBinary(EntryIdOf(finder));
    store[0x35E6] = MakeBinary(EntryIdOf(views));
    store[0x35DF] = MakeLong(0xC9);
    store[0x6633] = MakeBool(true);
    store[0x66FA] = MakeLong(0x000E0011);
    store[0x67FF] = MakeLong(0);  // no password
    auto built = BuildPc(db, store);
    db.PutNode({kNidMessageStore, built.bidData, built.bidSub, 0});

    // An empty name-to-ID map with Outlook's bucket count.
    PropMap names;
    names[0x0001] = MakeLong(251);
    names[0x0002] = MakeBinary({});
    names[0x0003] = MakeBinary({});
    names[0x0004] = MakeBinary({});
    built = BuildPc(db, names);
    db.PutNode({kNidNameToIdMap, built.bidData, built.bidSub, 0});

    auto putTable = [&](NID nid, const std::vector<uint32_t>& cols, const std::vector<TcRow>& rows) {
        Table t = MakeTableLayout(cols);
        t.rows = rows;
        auto b = BuildTc(db, t);
        db.PutNode({nid, b.bidData, b.bidSub, 0});
    };
    putTable(kNidHierarchyTableTemplate, kHierarchyCols, {});
    putTable(kNidContentsTableTemplate, kContentsCols, {});
    putTable(kNidAssocContentsTableTemplate, kAssocCols, {});
    putTable(kNidSearchContentsTableTemplate, kSearchContentsCols, {});
    putTable(kNidAttachmentTableTemplate, kAttachCols, {});
    putTable(kNidRecipientTableTemplate, kRecipCols, {});
    putTable(0x64C, kOutgoingCols, {});  // NID_OUTGOING_QUEUE_TABLE... of the store
    // Search management nodes exist but are empty until a search runs.
    for (NID nid : {kNidSearchManagementQueue, kNidSearchDomainObject}) db.PutNode({nid, 0, 0, 0});

    struct F {
        NID nid;
        NID parent;
        const char* name;
        const char* comment;
    };
    const F folders[] = {{kNidRootFolder, kNidRootFolder, "", nullptr},
                         {ipmSubtree_, kNidRootFolder, "Top of Outlook data file", nullptr},
                         {finder, kNidRootFolder, "Search Root", nullptr},
                         {deleted, ipmSubtree_, "Deleted Items", "Deleted Items folder"},
                         {views, kNidRootFolder, "IPM_COMMON_VIEWS", ""}};
    for (const F& f : folders) {
        PropMap pc;
        pc[PidTagDisplayName] = MakeUtf8(f.name);
        if (f.comment) pc[PidTagComment] = MakeUtf8(f.comment);
        pc[PidTagContentCount] = MakeLong(0);
        pc[PidTagContentUnreadCount] = MakeLong(0);
        bool subs = false;
        std::vector<TcRow> rows;
        for (const F& c : folders) {
            if (c.parent != f.nid || c.nid == f.nid) continue;
            subs = true;
            TcRow r;
            r.rowId = c.nid.value();
            r.props[PidTagDisplayName] = MakeUtf8(c.name);
            r.props[PidTagContentCount] = MakeLong(0);
            r.props[PidTagContentUnreadCount] = MakeLong(0);
            r.props[PidTagSubfolders] = MakeBool(c.nid == ipmSubtree_);
            rows.push_back(r);
        }
        pc[PidTagSubfolders] = MakeBool(subs);
        auto b = BuildPc(db, pc);
        db.PutNode({f.nid, b.bidData, b.bidSub, f.parent});
        putTable(SiblingTable(f.nid, kNidTypeHierarchyTable), kHierarchyCols, rows);
        putTable(SiblingTable(f.nid, kNidTypeContentsTable), kContentsCols, {});
        putTable(SiblingTable(f.nid, kNidTypeAssocContentsTable), kAssocCols, {});
    }
    // The receive folder table sends every message class to the root until an Inbox is named.
    TcRow recv;
    recv.rowId = 1;
    recv.props[PidTagMessageClass] = MakeUtf8("");
    recv.props[0x6605] = MakeLong(kNidRootFolder.value());
    putTable(0x62B, kReceiveCols, {recv});
    if (db.failed()) {
        err = db.failure();
        return false;
    }
    return true;
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

bool Store::WriteMessage(const NewMessage& msg, PropMap* finalProps, BuiltNode& out, uint64_t& size,
                         std::string& err) {
    Ndb& db = *db_;
    Subnodes subs;
    PropMap props = msg.props;
    uint64_t total = 0;
    for (auto& [id, p] : props) total += p.data.size() + 8;
    // Recipient table.
    Table rt = MakeTableLayout(kRecipCols);
    for (size_t i = 0; i < msg.recipients.size(); ++i) {
        TcRow r;
        r.rowId = static_cast<uint32_t>(i);
        r.props = msg.recipients[i].props;
        if (!r.props.count(PidTagObjectType)) r.props[PidTagObjectType] = MakeLong(6);  // MAPI_MAILUSER
        if (!r.props.count(PidTagDisplayType)) r.props[PidTagDisplayType] = MakeLong(0);
        if (!r.props.count(PidTagRecipientType)) r.props[PidTagRecipientType] = MakeLong(1);
        if (!r.props.count(PidTagResponsibility)) r.props[PidTagResponsibility] = MakeBool(true);
        if (!r.props.count(PidTagAddressType)) r.props[PidTagAddressType] = MakeUtf8("SMTP");
        if (auto it = r.props.find(PidTagDisplayName);
            it != r.props.end() && !r.props.count(PidTagAddressBookDisplayNamePrintable))
            r.props[PidTagAddressBookDisplayNamePrintable] = it->second;
        for (auto& [id, p] : r.props) total += p.data.size();
        rt.rows.push_back(std::move(r));
    }
    auto rb = BuildTc(db, rt);
    subs[kNidRecipientTable] = {rb.bidData, rb.bidSub};
    // Attachments: one PC subnode each plus the attachment table.
    if (!msg.attachments.empty()) {
        Table at = MakeTableLayout(kAttachCols);
        uint32_t attIndex = 0;
        for (auto& a : msg.attachments) {
            NID anid = MakeNid(kNidTypeAttachment, ++attIndex);
            PropMap ap = a.props;
            Subnodes asubs;
            uint64_t dataSize = 0;
            std::map<uint16_t, NID> external;
            if (a.embedded) {
                BuiltNode eb;
                uint64_t esize = 0;
                if (!WriteMessage(*a.embedded, nullptr, eb, esize, err)) return false;
                NID enid = MakeNid(kNidTypeNormalMessage, 1);
                asubs[enid] = {eb.bidData, eb.bidSub};
                Prop obj{PT_OBJECT, Bytes(8)};
                Wr32(obj.data.data(), enid.value());
                Wr32(obj.data.data() + 4, static_cast<uint32_t>(esize));
                ap[PidTagAttachDataBinary] = obj;
                ap[PidTagAttachMethod] = MakeLong(kAttachEmbeddedMessage);
                dataSize = esize;
            } else {
                if (a.stream) {
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
                if (!ap.count(PidTagAttachMethod)) ap[PidTagAttachMethod] = MakeLong(kAttachByValue);
            }
            ap[PidTagAttachSize] = MakeLong(static_cast<uint32_t>(std::min<uint64_t>(dataSize, 0xFFFFFFFF)));
            if (!ap.count(PidTagRenderingPosition)) ap[PidTagRenderingPosition] = MakeLong(0xFFFFFFFF);
            if (!ap.count(PidTagObjectType)) ap[PidTagObjectType] = MakeLong(7);  // MAPI_ATTACH
            BuiltNode ab = BuildPc(db, ap, asubs, external);
            ap.erase(PidTagAttachDataBinary);
            subs[anid] = {ab.bidData, ab.bidSub};
            TcRow row;
            row.rowId = anid.value();
            row.props = ap;
            at.rows.push_back(std::move(row));
            total += dataSize;
        }
        auto ab = BuildTc(db, at);
        subs[kNidAttachmentTable] = {ab.bidData, ab.bidSub};
        uint32_t flags = props.count(PidTagMessageFlags) ? AsLong(props[PidTagMessageFlags]) : 0;
        props[PidTagMessageFlags] = MakeLong(flags | kMsgFlagHasAttach);
        props[PidTagHasAttachments] = MakeBool(true);
    }
    if (!props.count(PidTagMessageFlags)) props[PidTagMessageFlags] = MakeLong(kMsgFlagRead);
    if (!props.count(PidTagMessageClass)) props[PidTagMessageClass] = MakeUtf8("IPM.Note");
    uint64_t now = NowFiletime();
    if (!props.count(PidTagCreationTime)) props[PidTagCreationTime] = MakeI8(now, PT_SYSTIME);
    if (!props.count(PidTagLastModificationTime)) props[PidTagLastModificationTime] = MakeI8(now, PT_SYSTIME);
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

Status Store::Commit() {
    std::string err;
    if (!FlushFolders(err)) return Fail(err);
    if (names_ && names_->dirty) {
        // Rebuild the map node from the entries ([MS-PST] 2.4.7).
        PropMap p = names_->other;
        p[0x0001] = MakeLong(251);
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
            auto& b = buckets[static_cast<uint16_t>(0x1000 + (hashKey ^ wGuid) % 251)];
            b.insert(b.end(), rec, rec + 8);
        }
        p[0x0002] = MakeBinary(guids);
        p[0x0003] = MakeBinary(entries);
        p[0x0004] = MakeBinary(strings);
        for (auto it = p.begin(); it != p.end();)
            it = (it->first >= 0x1000 && it->first < 0x1000 + 251) ? p.erase(it) : std::next(it);
        for (auto& [id, b] : buckets) p[id] = MakeBinary(b);
        if (auto old = db_->FindNode(kNidNameToIdMap)) {
            db_->FreeBlockTree(old->bidData);
            db_->FreeBlockTree(old->bidSub);
        }
        auto b = BuildPc(*db_, p);
        db_->PutNode({kNidNameToIdMap, b.bidData, b.bidSub, 0});
    }
    if (!pendingStoreProps_.empty()) {
        auto n = db_->FindNode(kNidMessageStore);
        PropMap p;
        if (!n) return Fail(n.failed() ? n.error() : "message store missing");
        if (!ReadPc(*db_, n->bidData, n->bidSub, p, err)) return Fail(err);
        for (auto& [id, v] : pendingStoreProps_) p[id] = v;
        db_->FreeBlockTree(n->bidData);
        db_->FreeBlockTree(n->bidSub);
        auto b = BuildPc(*db_, p);
        db_->PutNode({kNidMessageStore, b.bidData, b.bidSub, 0});
    }
    if (!db_->Commit(err)) return Fail(err);
    folders_.clear();
    pendingStoreProps_.clear();
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
    const Bytes& g = p[0x0002].data;
    const Bytes& e = p[0x0003].data;
    const Bytes& st = p[0x0004].data;
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
        if (id != 0x0002 && id != 0x0003 && id != 0x0004 && !(id >= 0x1000 && id < 0x1000 + 251))
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
    uint32_t mask = store.count(0x35DF) ? AsLong(store[0x35DF]) : 0;
    auto setStore = [&](uint16_t id, uint32_t bit) {
        pendingStoreProps_[id] = MakeBinary(eid);
        pendingStoreProps_[0x35DF] = MakeLong(mask | bit);
    };
    // Properties Outlook reads from the root folder and from the Inbox.
    NID inbox;
    auto rn = db_->FindNode(0x62B);
    if (rn.failed()) return err = rn.error(), false;
    if (rn) {
        Table t;
        if (!ReadTc(*db_, rn->bidData, rn->bidSub, t, err)) return false;
        for (auto& r : t.rows)
            if (r.props.count(0x6605) && AsLong(r.props[0x6605]) != kNidRootFolder.value())
                inbox = AsLong(r.props[0x6605]);
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
        if (auto it = root->pc.find(0x36D8); it != root->pc.end() && it->second.data.size() >= 4) {
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
        return setOnRootAndInbox(0x36D8, MakeMvBinary(items));
    };
    switch (kind) {
        case DefaultFolder::Inbox: {
            Table t = MakeTableLayout(kReceiveCols);
            for (const char* cls : {"", "IPM", "REPORT.IPM"}) {
                TcRow r;
                r.rowId = static_cast<uint32_t>(t.rows.size() + 1);
                r.props[PidTagMessageClass] = MakeUtf8(cls);
                r.props[0x6605] = MakeLong(folder.value());
                t.rows.push_back(r);
            }
            if (rn) {
                db_->FreeBlockTree(rn->bidData);
                db_->FreeBlockTree(rn->bidSub);
            }
            auto b = BuildTc(*db_, t);
            db_->PutNode({0x62B, b.bidData, b.bidSub, 0});
            pendingStoreProps_[0x35DF] = MakeLong(mask | 0x2);
            // The Inbox repeats what the root folder says about the other default folders.
            FolderState* root = LoadFolder(kNidRootFolder, err);
            FolderState* in = LoadFolder(folder, err);
            if (!root || !in) return false;
            for (auto& [id, v] : root->pc)
                if (id >= 0x36D0 && id <= 0x36D9) in->pc[id] = v;
            in->pcDirty = true;
            break;
        }
        case DefaultFolder::Outbox:
            setStore(0x35E2, 0x4);
            break;
        case DefaultFolder::SentItems:
            setStore(0x35E4, 0x10);
            break;
        case DefaultFolder::DeletedItems:
            setStore(0x35E3, 0x8);
            break;
        case DefaultFolder::Calendar:
            return setOnRootAndInbox(0x36D0, MakeBinary(eid));
        case DefaultFolder::Contacts:
            return setOnRootAndInbox(0x36D1, MakeBinary(eid));
        case DefaultFolder::Journal:
            return setOnRootAndInbox(0x36D2, MakeBinary(eid));
        case DefaultFolder::Notes:
            return setOnRootAndInbox(0x36D3, MakeBinary(eid));
        case DefaultFolder::Tasks:
            return setOnRootAndInbox(0x36D4, MakeBinary(eid));
        case DefaultFolder::Drafts:
            return setOnRootAndInbox(0x36D7, MakeBinary(eid));
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
            return setOnRootAndInbox(0x36D9, MakeBinary(v));
        }
    }
    return true;
}

}  // namespace pst
