// Folders, default folders and item collections of the store.
#include <QStringList>

#include "common/pst/PstContext.h"
#include "common/pst/PstItemData.h"
#include "common/pst/PstStore.h"

namespace {

enum class EidPlace { None, Store, Root, RootMvSlot4, RootRss, ReceiveTable };

struct DefaultFolderInfo {
    int code;
    pst::DefaultFolder kind;
    const char* name;
    const char* containerClass;
    EidPlace place;
    uint16_t prop;
};

// Outlook's standard names and classes, and where a store says which folder is the default one.
constexpr DefaultFolderInfo kDefaults[] = {
    {kPstDeletedItems, pst::DefaultFolder::DeletedItems, "Deleted Items", "IPF.Note", EidPlace::Store,
     0x35E3},
    {kPstOutbox, pst::DefaultFolder::Outbox, "Outbox", "IPF.Note", EidPlace::Store, 0x35E2},
    {kPstSentItems, pst::DefaultFolder::SentItems, "Sent Items", "IPF.Note", EidPlace::Store, 0x35E4},
    {kPstInbox, pst::DefaultFolder::Inbox, "Inbox", "IPF.Note", EidPlace::ReceiveTable, 0},
    {kPstCalendar, pst::DefaultFolder::Calendar, "Calendar", "IPF.Appointment", EidPlace::Root, 0x36D0},
    {kPstContacts, pst::DefaultFolder::Contacts, "Contacts", "IPF.Contact", EidPlace::Root, 0x36D1},
    {kPstJournal, pst::DefaultFolder::Journal, "Journal", "IPF.Journal", EidPlace::Root, 0x36D2},
    {kPstNotes, pst::DefaultFolder::Notes, "Notes", "IPF.StickyNote", EidPlace::Root, 0x36D3},
    {kPstTasks, pst::DefaultFolder::Tasks, "Tasks", "IPF.Task", EidPlace::Root, 0x36D4},
    {kPstDrafts, pst::DefaultFolder::Drafts, "Drafts", "IPF.Note", EidPlace::Root, 0x36D7},
    {kPstJunkEmail, pst::DefaultFolder::JunkEmail, "Junk E-mail", "IPF.Note", EidPlace::RootMvSlot4, 0x36D8},
    {kPstRssFeeds, pst::DefaultFolder::RssFeeds, "RSS Feeds", "IPF.Note.OutlookHomepage", EidPlace::RootRss,
     0x36D9},
};

const DefaultFolderInfo* FindDefault(int code) {
    if (code == kPstGroupLists) code = kPstContacts;  // distribution lists belong with the contacts
    for (const auto& d : kDefaults)
        if (d.code == code) return &d;
    return nullptr;
}

bool ReadNodeProps(pst::Store& s, pst::NID nid, pst::PropMap& out, std::string& err) {
    auto n = s.ndb().FindNode(nid);
    return n && pst::ReadPc(s.ndb(), n->bidData, n->bidSub, out, err);
}

// The folder an entry ID names, when it is one of this store's and the folder exists.
pst::NID FolderOfEntryId(pst::Store& s, const uint8_t* p, size_t n) {
    const pst::Bytes& key = s.RecordKey();
    if (n != 4 + key.size() + 4 || !std::equal(key.begin(), key.end(), p + 4)) return {};
    pst::NID nid = pst::Rd32(p + n - 4);
    return pst::NidTypeOf(nid) == pst::kNidTypeNormalFolder && s.GetFolder(nid) ? nid : pst::NID();
}

// A folder of that name: the one there already, whatever its class, or a new one.
std::optional<pst::NID> AddOrFind(pst::Store& s, pst::NID parent, const std::string& name,
                                  const std::string& cls, std::string& err) {
    auto added = s.AddFolder(parent, name, cls);
    if (added) return *added;
    if (auto existing = s.FindSubfolder(parent, name)) return existing->nid;
    err = added.error();
    return std::nullopt;
}

pst::NID StoredDefault(pst::Store& s, const DefaultFolderInfo& d) {
    std::string err;
    pst::PropMap props;
    switch (d.place) {
        case EidPlace::None:
            return {};
        case EidPlace::Store:
        case EidPlace::Root: {
            if (!ReadNodeProps(s, d.place == EidPlace::Store ? pst::kNidMessageStore : pst::kNidRootFolder,
                               props, err))
                return {};
            auto it = props.find(d.prop);
            return it == props.end() ? 0 : FolderOfEntryId(s, it->second.data.data(), it->second.data.size());
        }
        case EidPlace::RootMvSlot4: {
            if (!ReadNodeProps(s, pst::kNidRootFolder, props, err)) return {};
            auto it = props.find(d.prop);
            if (it == props.end() || it->second.data.size() < 4) return {};
            const pst::Bytes& v = it->second.data;
            uint32_t count = pst::Rd32(v.data());
            if (count <= 4 || v.size() < 4 + 4 * size_t(count)) return {};
            uint32_t a = pst::Rd32(v.data() + 4 + 16),
                     b = count > 5 ? pst::Rd32(v.data() + 24) : uint32_t(v.size());
            return a <= b && b <= v.size() ? FolderOfEntryId(s, v.data() + a, b - a) : 0;
        }
        case EidPlace::RootRss: {
            if (!ReadNodeProps(s, pst::kNidRootFolder, props, err)) return {};
            auto it = props.find(d.prop);
            if (it == props.end() || it->second.data.size() < 8) return {};
            const pst::Bytes& v = it->second.data;
            size_t len = pst::Rd16(v.data() + 6);
            return 8 + len <= v.size() ? FolderOfEntryId(s, v.data() + 8, len) : 0;
        }
        case EidPlace::ReceiveTable: {
            auto n = s.ndb().FindNode(0x62B);
            pst::Table t;
            if (!n || !pst::ReadTc(s.ndb(), n->bidData, n->bidSub, t, err, 1000)) return {};
            for (auto& r : t.rows) {
                auto c = r.props.find(pst::PidTagMessageClass), f = r.props.find(0x6605);
                if (c != r.props.end() && f != r.props.end() && pst::ToUtf8(c->second).empty()) {
                    pst::NID nid = pst::AsLong(f->second);
                    if (nid != pst::kNidRootFolder && s.GetFolder(nid)) return nid;
                }
            }
            return {};
        }
    }
    return {};
}

}  // namespace

// ---- store: default folders, paths ----

bool PstStore::Prepare() {
    if (!ctx_ || !ctx_->store) return false;
    // Outlook's own files and ours both hold "Deleted Items"; a file that lost it gets it back.
    if (!DefaultFolder(kPstDeletedItems)) return false;
    return ctx_->Commit(QStringLiteral("PST file cannot be committed"));
}

PstFolder PstStore::DefaultFolder(int code) const {
    PstFolder f;
    if (!ctx_ || !ctx_->store) return f;
    const DefaultFolderInfo* d = FindDefault(code);
    if (!d) {
        ctx_->Fail(QStringLiteral("unknown default folder %1").arg(code), {});
        return f;
    }
    pst::Store& s = *ctx_->store;
    pst::NID nid = StoredDefault(s, *d);
    if (!nid) {
        // First use: a top-level folder of the standard name becomes the default one, so that
        // items never land in a second folder of that name.
        std::optional<pst::NID> made;
        Twice(*ctx_, QStringLiteral("default folder cannot be created: ") + QString::fromLatin1(d->name),
              [&](std::string& err) {
                  made = AddOrFind(s, s.IpmSubtree(), d->name, d->containerClass, err);
                  if (!made) return false;
                  auto st = s.SetDefaultFolder(d->kind, *made);
                  err = st.error();
                  return st.ok();
              });
        if (!made || !ctx_->Commit(QStringLiteral("PST file cannot be committed"))) return f;
        nid = *made;
    }
    f.ctx_ = ctx_;
    f.nid_ = nid.value();
    return f;
}

PstFolder PstStore::FolderByPath(const QString& path) const {
    PstFolder f = TopFolder();
    if (f.IsEmpty()) return f;
    QStringList parts = path.split(QLatin1Char('\\'));
    // "\\Store name\a\b": the first named part is the top folder itself.
    if (path.startsWith(QLatin1String("\\\\"))) parts = parts.mid(3);
    for (const QString& part : parts) {
        if (part.isEmpty()) continue;
        PstFolder next = f.Folders().Item(part);
        // The launcher names folders after the record path with the characters a file name
        // cannot hold as blanks, while the path it hands on keeps them.
        if (next.IsEmpty()) {
            QString blanked = part;
            for (QChar& c : blanked)
                if (QStringLiteral("\n\r/:*?<>|\"\t").contains(c)) c = u' ';
            if (blanked != part) next = f.Folders().Item(blanked);
        }
        f = next;
        if (f.IsEmpty()) {
            ctx_->Fail(QStringLiteral("folder not found: ") + path, {});
            return f;
        }
    }
    return f;
}

// ---- folders ----

QString PstFolder::Name() const {
    if (!ctx_ || !ctx_->store) return {};
    auto info = ctx_->store->GetFolder(nid_);
    if (!info) ctx_->Fail(QStringLiteral("folder cannot be read"), info.error());
    return info ? QString::fromStdString(info->name) : QString();
}

QString PstFolder::ContainerClass() const {
    if (!ctx_ || !ctx_->store) return {};
    auto info = ctx_->store->GetFolder(nid_);
    if (!info) ctx_->Fail(QStringLiteral("folder cannot be read"), info.error());
    return info ? QString::fromStdString(info->containerClass) : QString();
}

QString PstFolder::Path() const {
    if (!ctx_ || !ctx_->store) return {};
    pst::Store& s = *ctx_->store;
    QStringList names;
    pst::NID nid = nid_;
    for (int depth = 0; nid != s.IpmSubtree(); ++depth) {
        auto info = s.GetFolder(nid);
        auto node = s.ndb().FindNode(nid);
        if (!info || !node || depth > 1000 || node->nidParent == nid) {
            ctx_->Fail(QStringLiteral("folder path cannot be read"), !info ? info.error() : node.error());
            return {};
        }
        names.prepend(QString::fromStdString(info->name));
        nid = node->nidParent;
    }
    names.prepend(QStringLiteral("\\\\") + QString::fromStdString(s.DisplayName()));
    return names.join(QLatin1Char('\\'));
}

PstFolders PstFolder::Folders() const {
    PstFolders out;
    if (!ctx_ || !ctx_->store) return out;
    out.ctx_ = ctx_;
    out.parent_ = nid_;
    return out;
}

PstItems PstFolder::Items() const {
    PstItems out;
    if (!ctx_ || !ctx_->store) return out;
    out.ctx_ = ctx_;
    out.folder_ = nid_;
    return out;
}

// ---- subfolder collections ----

namespace {
std::vector<pst::FolderInfo> ListSubfolders(PstContext& ctx, pst::NID parent) {
    std::vector<pst::FolderInfo> out;
    Twice(ctx, QStringLiteral("subfolders cannot be read"), [&](std::string& err) {
        auto r = ctx.store->Subfolders(parent);
        if (!r)
            err = r.error();
        else
            out = std::move(*r);
        return r.ok();
    });
    return out;
}
}  // namespace

int PstFolders::Count() const {
    if (!ctx_ || !ctx_->store) return {};
    return static_cast<int>(ListSubfolders(*ctx_, parent_).size());
}

PstFolder PstFolders::At(int index) const {
    PstFolder f;
    if (!ctx_ || !ctx_->store || index < 0) return f;
    auto list = ListSubfolders(*ctx_, parent_);
    if (size_t(index) >= list.size()) return f;
    f.ctx_ = ctx_;
    f.nid_ = list[size_t(index)].nid.value();
    return f;
}

PstFolder PstFolders::Item(const QString& name) const {
    PstFolder f;
    if (!ctx_ || !ctx_->store) return f;
    std::optional<pst::FolderInfo> found;
    Twice(*ctx_, QStringLiteral("subfolder cannot be looked up: ") + name, [&](std::string& err) {
        auto r = ctx_->store->FindSubfolder(parent_, name.toStdString());
        if (r) found = *r;
        err = r.failed() ? r.error() : std::string();
        return !r.failed();  // not there is an answer, not a failure
    });
    if (!found) return f;
    f.ctx_ = ctx_;
    f.nid_ = found->nid.value();
    return f;
}

PstFolder PstFolders::Add(const QString& name, const PstFolderKind& kind) {
    PstFolder f;
    if (!ctx_ || !ctx_->store) return f;
    pst::Store& s = *ctx_->store;
    const DefaultFolderInfo* d = kind.defaultFolder ? FindDefault(kind.defaultFolder) : nullptr;
    if (kind.defaultFolder && !d) {
        ctx_->Fail(QStringLiteral("unknown default folder %1").arg(kind.defaultFolder), {});
        return f;
    }
    const std::string cls = d                               ? d->containerClass
                            : kind.containerClass.isEmpty() ? "IPF.Note"
                                                            : kind.containerClass.toStdString();
    std::optional<pst::NID> made;
    bool ok = Twice(*ctx_, QStringLiteral("folder cannot be added: ") + name, [&](std::string& err) {
        made = AddOrFind(s, parent_, name.toStdString(), cls, err);
        if (!made) return false;
        // The first folder of a default kind becomes that default folder.
        if (d && !StoredDefault(s, *d)) {
            auto st = s.SetDefaultFolder(d->kind, *made);
            err = st.error();
            return st.ok();
        }
        return true;
    });
    if (!ok || !ctx_->Commit(QStringLiteral("PST file cannot be committed"))) return f;
    f.ctx_ = ctx_;
    f.nid_ = made->value();
    return f;
}

// ---- item collections ----

int PstItems::Count() const {
    if (!ctx_ || !ctx_->store) return {};
    auto info = ctx_->store->GetFolder(folder_);
    if (!info) ctx_->Fail(QStringLiteral("folder cannot be read"), info.error());
    return info ? static_cast<int>(info->contentCount) : 0;
}

PstItem PstItems::Add(const QString& messageClass) {
    PstItem item;
    if (!ctx_ || !ctx_->store) return item;
    if (!messageClass.startsWith(QLatin1String("IPM"))) {
        ctx_->Fail(QStringLiteral("not a message class: ") + messageClass, {});
        return item;
    }
    auto d = std::make_shared<PstItemData>();
    d->ctx = ctx_;
    d->folder = folder_;
    d->messageClass = messageClass;
    auto& p = d->msg.props;
    p[pst::PidTagMessageClass] = pst::MakeUtf8(messageClass.toStdString());
    const uint64_t now = ToFileTime(QDateTime::currentDateTimeUtc());
    p[pst::PidTagCreationTime] = pst::MakeI8(now, pst::PT_SYSTIME);
    p[pst::PidTagLastModificationTime] = pst::MakeI8(now, pst::PT_SYSTIME);
    // A new mail is unsent until told otherwise, like one made in Outlook; other items are read.
    p[pst::PidTagMessageFlags] =
        pst::MakeLong(messageClass == QLatin1String("IPM.Note") ? 0x8 : pst::kMsgFlagRead);
    item.d_ = std::move(d);
    return item;
}
