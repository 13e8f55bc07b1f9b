// Messaging layer: stores created and reopened, Outlook's own file extended, commits cut short
// at every write, and damaged files refused.
#include <array>
#include <cstdio>
#include <random>
#include <unistd.h>

#include "pst/tests/test_util.h"

namespace pst {
namespace {

using test::CheckBytes;
using test::Joined;
using test::SampleMessage;

std::unique_ptr<Store> CreateIn(std::shared_ptr<Bytes>& bytes) {
    bytes = std::make_shared<Bytes>();
    std::string err;
    auto s = test::Take(Store::CreateOn(std::make_unique<MemoryIo>(bytes), "Personal Folders"), err);
    EXPECT_TRUE(s) << err;
    return s;
}

std::unique_ptr<Store> OpenIn(const std::shared_ptr<Bytes>& bytes) {
    std::string err;
    auto s = test::Take(Store::OpenOn(std::make_unique<MemoryIo>(bytes), true), err);
    EXPECT_TRUE(s) << err;
    return s;
}

void ExpectSameMessage(const MessageData& got, const NewMessage& want) {
    for (auto& [id, p] : want.props) {
        ASSERT_TRUE(got.props.count(id)) << std::hex << id;
        EXPECT_EQ(got.props.at(id).data, p.data) << std::hex << id;
    }
    ASSERT_EQ(got.recipients.size(), want.recipients.size());
    for (size_t i = 0; i < want.recipients.size(); ++i)
        for (auto& [id, p] : want.recipients[i].props) EXPECT_EQ(got.recipients[i].at(id).data, p.data);
    ASSERT_EQ(got.attachments.size(), want.attachments.size());
    for (size_t i = 0; i < want.attachments.size(); ++i) {
        const auto& a = want.attachments[i];
        if (a.embedded) {
            ASSERT_TRUE(got.attachments[i].embedded);
            ExpectSameMessage(*got.attachments[i].embedded, *a.embedded);
        } else if (!a.stream) {
            EXPECT_EQ(got.attachments[i].data, a.data);
        }
    }
}

TEST(Store, NewStoreHasOutlooksSkeleton) {
    std::shared_ptr<Bytes> bytes;
    auto s = CreateIn(bytes);
    ASSERT_TRUE(s);
    std::string err;
    EXPECT_EQ(s->DisplayName(), "Personal Folders");
    auto top = s->Subfolders(s->Root());
    ASSERT_OK(top);
    std::vector<std::string> names;
    for (auto& f : *top) names.push_back(f.name);
    EXPECT_EQ(names, (std::vector<std::string>{"SPAM Search Folder 2", "Top of Outlook data file",
                                               "Search Root", "IPM_COMMON_VIEWS"}));
    // Outlook's search nodes: the spam search folder with its queue, criteria and table, listed
    // in the search activity list.
    for (NID n : {kNidSearchManagementQueue, kNidSearchDomainObject, kNidSearchActivityList, NID(0x2223),
                  NID(0x2226), NID(0x2227), NID(0x2230)})
        EXPECT_TRUE(s->ndb().FindNode(n)) << ToString(n);
    EXPECT_TRUE(s->FindSubfolder(s->IpmSubtree(), "deleted items"));
    EXPECT_TRUE(CheckBytes(bytes).ok()) << Joined(CheckBytes(bytes));
}

TEST(Store, MessagesReadBackWithEveryPart) {
    std::shared_ptr<Bytes> bytes;
    auto s = CreateIn(bytes);
    std::string err;
    auto inbox = s->AddFolder(s->IpmSubtree(), "Inbox", "IPF.Note");
    ASSERT_OK(inbox);
    auto sub = s->AddFolder(*inbox, "Projects", "IPF.Note");
    ASSERT_OK(sub);
    std::vector<NewMessage> sent;
    for (int i = 0; i < 5; ++i) sent.push_back(SampleMessage(i, i == 3 ? 300000 : 100));
    // Multi-valued, boolean and named properties, no attachment, and an embedded message.
    auto named = s->NamedPropId({PSETID_Common, std::nullopt, "X-Custom-Header"});
    ASSERT_OK(named);
    sent[1].props[*named] = MakeUtf8("custom");
    sent[1].props[0x9000] = MakeMvUnicode({"Red", "Blue"});
    sent[1].props[0x0057] = MakeBool(true);
    sent[2].attachments.clear();
    Attachment emb;
    emb.props[PidTagDisplayName] = MakeUtf8("Forwarded");
    emb.embedded = std::make_shared<NewMessage>(SampleMessage(99, 50));
    sent[4].attachments.push_back(emb);
    std::vector<NID> ids;
    for (auto& m : sent) {
        auto id = s->AddMessage(*sub, m);
        ASSERT_OK(id);
        ids.push_back(*id);
    }
    ASSERT_OK(s->Commit());
    ASSERT_TRUE(CheckBytes(bytes).ok()) << Joined(CheckBytes(bytes));

    s = OpenIn(bytes);
    auto f = s->GetFolder(*sub);
    ASSERT_OK(f);
    EXPECT_EQ(f->contentCount, 5u);
    EXPECT_EQ(f->containerClass, "IPF.Note");
    EXPECT_TRUE(s->GetFolder(*inbox)->hasSubfolders);
    auto listed = s->Messages(*sub);
    ASSERT_OK(listed);
    EXPECT_EQ(*listed, ids);
    for (size_t i = 0; i < ids.size(); ++i) {
        auto md = s->ReadMessage(ids[i]);
        ASSERT_OK(md);
        ExpectSameMessage(*md, sent[i]);
    }
    // Associated (hidden) messages go to their own table and leave the counts alone.
    NewMessage view = SampleMessage(50, 0);
    view.associated = true;
    view.props[PidTagMessageClass] = MakeUtf8("IPM.Microsoft.FolderDesign.NamedView");
    auto vid = s->AddMessage(*sub, view);
    ASSERT_OK(vid);
    ASSERT_OK(s->Commit());
    auto hidden = s->Messages(*sub, true);
    ASSERT_OK(hidden);
    EXPECT_EQ(*hidden, std::vector<NID>{*vid});
    EXPECT_EQ(NidTypeOf(*vid), kNidTypeAssocMessage);
    EXPECT_EQ(s->GetFolder(*sub)->contentCount, 5u);
    ASSERT_TRUE(CheckBytes(bytes).ok()) << Joined(CheckBytes(bytes));
    auto np = s->NameOf(*named);
    ASSERT_TRUE(np);
    EXPECT_EQ(np->name, "X-Custom-Header");
    EXPECT_EQ(*s->NamedPropId({PSETID_Common, std::nullopt, "X-Custom-Header"}), *named);
}

TEST(Store, ValuesThatDoNotFitTheirTypeAreRefused) {
    std::shared_ptr<Bytes> bytes;
    auto s = CreateIn(bytes);
    std::string err;
    const std::pair<const char*, Prop> bad[] = {{"short PT_LONG", Prop{PT_LONG, Bytes{1, 2}}},
                                                {"long PT_SYSTIME", Prop{PT_SYSTIME, Bytes(9)}},
                                                {"ragged PT_MV_LONG", Prop{PT_MV_LONG, Bytes(6)}},
                                                {"unknown type", Prop{0x0999, Bytes(4)}}};
    for (auto& [what, p] : bad) {
        NewMessage m = SampleMessage(1);
        // Deep inside an embedded message, after parts that would already have been written.
        auto inner = std::make_shared<NewMessage>(SampleMessage(2));
        inner->recipients[0].props[0x6000] = p;
        Attachment a;
        a.embedded = inner;
        m.attachments.push_back(a);
        auto added = s->AddMessage(s->IpmSubtree(), m);
        EXPECT_FALSE(added) << what;
        EXPECT_NE(added.error().find("0x6000"), std::string::npos) << what << ": " << added.error();
    }
    ASSERT_OK(s->Commit());
    EXPECT_EQ(s->GetFolder(s->IpmSubtree())->contentCount, 0u);
    EXPECT_TRUE(CheckBytes(bytes).ok()) << Joined(CheckBytes(bytes));
}

TEST(Store, StreamedAttachmentIsNotHeldWhole) {
    std::shared_ptr<Bytes> bytes;
    auto s = CreateIn(bytes);
    std::string err;
    NewMessage m = SampleMessage(1, 0);
    Attachment a;
    a.props[PidTagAttachLongFilename] = MakeUtf8("big.bin");
    const size_t kSize = 3 * 1024 * 1024 + 17;  // hundreds of blocks under one XBLOCK
    size_t produced = 0;
    a.stream = [&](uint8_t* buf, size_t cap) {
        size_t n = std::min(cap, kSize - produced);
        for (size_t i = 0; i < n; ++i) buf[i] = static_cast<uint8_t>((produced + i) % 251);
        produced += n;
        return n;
    };
    m.attachments.push_back(a);
    auto id = s->AddMessage(s->IpmSubtree(), m);
    ASSERT_OK(id);
    ASSERT_OK(s->Commit());
    auto read = s->ReadMessage(*id);
    ASSERT_OK(read);
    const MessageData& md = *read;
    ASSERT_EQ(md.attachments.size(), 1u);
    const Bytes& d = md.attachments[0].data;
    ASSERT_EQ(d.size(), kSize);
    for (size_t i = 0; i < kSize; i += 4093) ASSERT_EQ(d[i], i % 251);
    EXPECT_EQ(AsLong(md.attachments[0].props.at(PidTagAttachSize)), kSize);
    EXPECT_TRUE(CheckBytes(bytes).ok()) << Joined(CheckBytes(bytes));
}

TEST(Store, DefaultFoldersAreWhereOutlookLooks) {
    std::shared_ptr<Bytes> bytes;
    auto s = CreateIn(bytes);
    std::string err;
    auto inbox = *s->AddFolder(s->IpmSubtree(), "Inbox", "IPF.Note");
    auto cal = *s->AddFolder(s->IpmSubtree(), "Calendar", "IPF.Appointment");
    auto junk = *s->AddFolder(s->IpmSubtree(), "Junk E-mail", "IPF.Note");
    auto sent = *s->AddFolder(s->IpmSubtree(), "Sent Items", "IPF.Note");
    ASSERT_OK(s->SetDefaultFolder(DefaultFolder::Calendar, cal));
    ASSERT_OK(s->SetDefaultFolder(DefaultFolder::Inbox, inbox));
    ASSERT_OK(s->SetDefaultFolder(DefaultFolder::JunkEmail, junk));
    ASSERT_OK(s->SetDefaultFolder(DefaultFolder::SentItems, sent));
    ASSERT_OK(s->Commit());
    s = OpenIn(bytes);
    auto& db = s->ndb();
    PropMap store, root, in;
    auto node = [&](NID n, PropMap& p) {
        auto e = db.FindNode(n);
        ASSERT_TRUE(e);
        ASSERT_TRUE(ReadPc(db, e->bidData, e->bidSub, p, err)) << err;
    };
    node(kNidMessageStore, store);
    node(kNidRootFolder, root);
    node(inbox, in);
    EXPECT_EQ(store[0x35E4].data, s->EntryIdOf(sent));
    EXPECT_EQ(AsLong(store[0x35DF]) & 0x12, 0x12u);
    for (PropMap* p : {&root, &in}) {
        EXPECT_EQ((*p)[0x36D0].data, s->EntryIdOf(cal));
        const Bytes& mv = (*p)[0x36D8].data;
        ASSERT_GE(mv.size(), 4u);
        EXPECT_EQ(Rd32(mv.data()), 5u);
        EXPECT_EQ(Bytes(mv.begin() + Rd32(mv.data() + 20), mv.end()), s->EntryIdOf(junk));
    }
    EXPECT_TRUE(CheckBytes(bytes).ok()) << Joined(CheckBytes(bytes));
}

TEST(Store, ExtendsOutlooksOwnFile) {
    auto bytes = test::ReadWholeFile(test::ReferencePath());
    ASSERT_GT(bytes->size(), 0u);
    auto s = OpenIn(bytes);
    ASSERT_TRUE(s);
    std::string err;
    EXPECT_EQ(s->DisplayName(), "Empty");
    auto deleted = s->FindSubfolder(s->IpmSubtree(), "Deleted Items");
    ASSERT_TRUE(deleted);
    auto tasks = s->AddFolder(s->IpmSubtree(), "Tasks", "IPF.Task");
    ASSERT_OK(tasks);
    NewMessage m = SampleMessage(7);
    auto id = s->AddMessage(*tasks, m);
    ASSERT_OK(id);
    auto named = s->NamedPropId({PSETID_Task, 0x8101u, {}});  // already in Outlook's map
    ASSERT_TRUE(named);
    ASSERT_OK(s->AddMessage(deleted->nid, SampleMessage(8)));
    ASSERT_OK(s->Commit());
    ASSERT_TRUE(CheckBytes(bytes).ok()) << Joined(CheckBytes(bytes));
    s = OpenIn(bytes);
    auto md = s->ReadMessage(*id);
    ASSERT_OK(md);
    ExpectSameMessage(*md, m);
    EXPECT_EQ(s->GetFolder(deleted->nid)->contentCount, 1u);
    EXPECT_EQ(*s->NamedPropId({PSETID_Task, 0x8101u, {}}), *named);
    // Outlook's search folder and its other nodes are kept.
    EXPECT_TRUE(s->ndb().FindNode(0x2223));
}

// A writer killed at any write leaves a file that opens with everything committed before:
// for a file of ours and for Outlook's own (shared blocks, its table layouts).
TEST(Store, CommitCutShortAtEveryWriteKeepsLastCommit) {
    std::shared_ptr<Bytes> ours;
    {
        auto s = CreateIn(ours);
        std::string err;
        auto inbox = s->AddFolder(s->IpmSubtree(), "Deleted Items", "IPF.Note");
        ASSERT_TRUE(s->AddMessage(*inbox, SampleMessage(0)));
        ASSERT_OK(s->Commit());
    }
    struct Base {
        const char* what;
        std::shared_ptr<Bytes> bytes;
        uint32_t before;
    };
    const Base bases[] = {{"ours", ours, 1}, {"Outlook's", test::ReadWholeFile(test::ReferencePath()), 0}};
    for (const Base& base : bases) {
        long total = 0;
        for (long stopAt = 0;; ++stopAt) {
            auto bytes = std::make_shared<Bytes>(*base.bytes);
            auto io = std::make_unique<MemoryIo>(bytes);
            MemoryIo* raw = io.get();
            std::string err;
            auto s = test::Take(Store::OpenOn(std::move(io), true), err);
            ASSERT_TRUE(s) << err;
            raw->StopAfter(stopAt);
            raw->SplitWritesAt(4096);  // the library gathers blocks into large writes
            auto folder = s->FindSubfolder(s->IpmSubtree(), "Deleted Items");
            ASSERT_TRUE(folder) << base.what;
            (void)s->AddFolder(s->IpmSubtree(), "Later", "");
            for (int i = 1; i <= 3; ++i) (void)s->AddMessage(folder->nid, SampleMessage(i, 20000));
            bool committed = s->Commit().ok();
            s.reset();
            auto again = OpenIn(bytes);
            ASSERT_TRUE(again) << base.what << " stopped after " << stopAt << " writes";
            auto f = again->GetFolder(folder->nid);
            ASSERT_OK(f);
            EXPECT_EQ(f->contentCount, base.before + (committed ? 3u : 0u)) << base.what << " " << stopAt;
            CheckReport rep = CheckBytes(bytes);
            EXPECT_TRUE(rep.ok()) << base.what << " stopped after " << stopAt << ":\n" << Joined(rep);
            // Whatever was cut short, the reopened file takes new commits.
            ASSERT_OK(again->AddMessage(folder->nid, SampleMessage(9)));
            ASSERT_OK(again->Commit());
            rep = CheckBytes(bytes);
            EXPECT_TRUE(rep.ok()) << base.what << " after recovery from " << stopAt << ":\n" << Joined(rep);
            if (committed) {
                total = stopAt;
                break;
            }
        }
        EXPECT_GT(total, 5);
        std::printf("%s file: commit cut short at each of %ld writes\n", base.what, total);
    }
}

TEST(Store, OneWriterAtATime) {
    std::string path = ::testing::TempDir() + "pst-lock-" + std::to_string(::getpid()) + ".pst";
    std::string err;
    auto first = test::Take(Store::Create(path, "Personal Folders"), err);
    ASSERT_TRUE(first) << err;
    EXPECT_FALSE(test::Take(Store::Open(path), err));
    EXPECT_NE(err.find("another process"), std::string::npos) << err;
    EXPECT_TRUE(test::Take(Store::Open(path, false), err)) << err;  // readers are not kept out
    first.reset();
    EXPECT_TRUE(test::Take(Store::Open(path), err)) << err;
    std::remove(path.c_str());
}

TEST(Store, DamagedFilesAreRefused) {
    auto good = test::ReadWholeFile(test::ReferencePath());
    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
    };
    const Case cases[] = {
        {"empty file", [](Bytes& b) { b.clear(); }},
        {"cut inside the header", [](Bytes& b) { b.resize(300); }},
        {"cut short", [](Bytes& b) { b.resize(b.size() / 2); }},
        {"header CRC", [](Bytes& b) { b[100] ^= 1; }},
        {"wrong magic", [](Bytes& b) { b[0] = 'X'; }},
        {"node B-tree root page", [](Bytes& b) { b[0x9200 + 10] ^= 0x55; }},
        {"block B-tree root page", [](Bytes& b) { b[0x8400 + 3] ^= 0x55; }},
    };
    for (const Case& c : cases) {
        auto bytes = std::make_shared<Bytes>(*good);
        c.damage(*bytes);
        std::string err;
        auto s = test::Take(Store::OpenOn(std::make_unique<MemoryIo>(bytes), false), err);
        EXPECT_FALSE(s) << c.what;
        EXPECT_FALSE(err.empty()) << c.what;
        EXPECT_FALSE(CheckBytes(bytes).ok()) << c.what;
    }
}

// A B-tree page that points back at itself, and a block with an absurd size, in a file whose
// CRCs are all made consistent again: only the structure is wrong.
TEST(Store, StructuralLoopsAndAbsurdSizesAreRefused) {
    auto bytes = test::ReadWholeFile(test::ReferencePath());
    Bytes& b = *bytes;
    // The NBT root (level 1) gets an entry that points at itself.
    uint8_t* page = b.data() + 0x9200;
    Wr64(page + 24 + 8, Rd64(b.data() + 216));
    Wr64(page + 24 + 16, 0x9200);
    Wr32(page + 500, ComputeCrc(page, 496));
    std::string err;
    auto db = Ndb::Open(std::make_unique<MemoryIo>(bytes), false, err);
    if (db) {
        size_t n = 0;
        EXPECT_FALSE(db->ForEachNode([&](const NodeEntry&) { return ++n < 100000; }, err));
    }
    EXPECT_FALSE(CheckBytes(bytes).ok());
}

}  // namespace
}  // namespace pst

namespace pst {
namespace {

// Every value helper's output survives a write and a read, and reads back through its reader.
TEST(Store, EveryValueTypeRoundTrips) {
    std::shared_ptr<Bytes> bytes;
    auto s = CreateIn(bytes);
    Guid g = PSETID_Task;
    struct Case {
        uint16_t id;
        Prop value;
        std::function<bool(const Prop&)> readsBack;
    };
    const Case cases[] = {
        {0x6001, MakeShort(-7), [](const Prop& p) { return AsShort(p) == -7; }},
        {0x6002, MakeLong(0xDEADBEEF), [](const Prop& p) { return AsLong(p) == 0xDEADBEEF; }},
        {0x6003, MakeDouble(2.5), [](const Prop& p) { return AsDouble(p) == 2.5; }},
        {0x6004, MakeBool(true), [](const Prop& p) { return AsBool(p); }},
        {0x6005, MakeTime(133000000000000000ull),
         [](const Prop& p) { return AsI8(p) == 133000000000000000ull; }},
        {0x6006, MakeUtf8("Gr\xC3\xBC\xC3\x9F"),
         [](const Prop& p) { return ToUtf8(p) == "Gr\xC3\xBC\xC3\x9F"; }},
        {0x6007, MakeBinary({1, 2, 3}),
         [](const Prop& p) {
             return p.data == Bytes{1, 2, 3};
         }},
        {0x6008, MakeGuid(g), [g](const Prop& p) { return AsGuid(p) == g; }},
        {0x6009, MakeMvShort({1, -2}),
         [](const Prop& p) {
             return AsMvShort(p) == std::vector<int16_t>{1, -2};
         }},
        {0x600A, MakeMvLong({5, 6, 7}),
         [](const Prop& p) {
             return AsMvLong(p) == std::vector<uint32_t>{5, 6, 7};
         }},
        {0x600B, MakeMvDouble({0.5}),
         [](const Prop& p) { return AsMvDouble(p) == std::vector<double>{0.5}; }},
        {0x600C, MakeMvTime({1, 2}),
         [](const Prop& p) {
             return AsMvI8(p) == std::vector<uint64_t>{1, 2};
         }},
        {0x600D, MakeMvUnicode({"a", "", "\xE2\x82\xAC"}),
         [](const Prop& p) {
             return AsMvUtf8(p) == std::vector<std::string>{"a", "", "\xE2\x82\xAC"};
         }},
        {0x600E, MakeMvBinary({{1}, {}}),
         [](const Prop& p) {
             return AsMvBinary(p) == std::vector<Bytes>{{1}, {}};
         }},
        {0x600F, MakeMvGuid({g, PS_MAPI}),
         [g](const Prop& p) {
             return AsMvGuid(p) == std::vector<Guid>{g, PS_MAPI};
         }},
        {0x6010, MakeI8(1ull << 40), [](const Prop& p) { return AsI8(p) == 1ull << 40; }},
    };
    NewMessage m = SampleMessage(1, 0);
    for (auto& c : cases) m.props[c.id] = c.value;
    auto id = s->AddMessage(s->IpmSubtree(), m);
    ASSERT_OK(id);
    ASSERT_OK(s->Commit());
    s = OpenIn(bytes);
    auto md = s->ReadMessage(*id);
    ASSERT_OK(md);
    for (auto& c : cases) {
        ASSERT_TRUE(md->props.count(c.id)) << std::hex << c.id;
        const Prop& got = md->props.at(c.id);
        EXPECT_EQ(got.type, c.value.type) << std::hex << c.id;
        EXPECT_TRUE(c.readsBack(got)) << std::hex << c.id;
    }
    EXPECT_TRUE(s->ReadMessage(MakeNid(kNidTypeNormalMessage, 0x7777)).missing());
    EXPECT_TRUE(s->NameOf(0x8FFF).missing());
}

// Folder names compare as Outlook compares them: ignoring case beyond ASCII. A folder that
// exists with another container class is reported, not handed back as if it were the one asked for.
TEST(Store, AddFolderFindsNamesIgnoringCaseAndReportsClassMismatch) {
    std::shared_ptr<Bytes> bytes;
    auto s = CreateIn(bytes);
    struct Case {
        const char* created;
        const char* askedAs;
    };
    const Case cases[] = {
        {"\xC3\x89l\xC3\xA9ments envoy\xC3\xA9s", "\xC3\x89L\xC3\x89MENTS ENVOY\xC3\x89S"},  // Latin-1
        {"\xD0\x92\xD1\x85\xD0\xBE\xD0\xB4\xD1\x8F\xD1\x89\xD0\xB8\xD0\xB5",
         "\xD0\x92\xD0\xA5\xD0\x9E\xD0\x94\xD0\xAF\xD0\xA9\xD0\x98\xD0\x95"},  // Cyrillic
        {"\xCE\xB5\xCE\xB9\xCF\x83\xCE\xB5\xCF\x81\xCF\x87\xCF\x8C\xCE\xBC\xCE\xB5\xCE\xBD\xCE"
         "\xB1",
         "\xCE\x95\xCE\x99\xCE\xA3\xCE\x95\xCE\xA1\xCE\xA7\xCE\x8C\xCE\x9C\xCE\x95\xCE\x9D\xCE"
         "\x91"},  // Greek
        {"\xC5\x81\xC3\xB3"
         "d\xC5\xBA",
         "\xC5\x82\xC3\x93"
         "D\xC5\xB9"},  // Latin Extended-A
    };
    for (auto& c : cases) {
        auto made = s->AddFolder(s->IpmSubtree(), c.created, "IPF.Note");
        ASSERT_OK(made);
        auto again = s->AddFolder(s->IpmSubtree(), c.askedAs, "IPF.Note");
        ASSERT_OK(again);
        EXPECT_EQ(*again, *made) << c.askedAs;
        auto found = s->FindSubfolder(s->IpmSubtree(), c.askedAs);
        ASSERT_TRUE(found) << c.askedAs;
        EXPECT_EQ(found->name, c.created);
    }
    EXPECT_FALSE(SameFolderName("Inbox", "Inbox2"));
    EXPECT_TRUE(s->FindSubfolder(s->IpmSubtree(), "No such folder").missing());
    auto mismatch = s->AddFolder(s->IpmSubtree(),
                                 "\xC5\x82\xC3\xB3"
                                 "d\xC5\xBA",
                                 "IPF.Appointment");
    EXPECT_TRUE(mismatch.failed());
    EXPECT_NE(mismatch.error().find("IPF.Note"), std::string::npos) << mismatch.error();
    // A folder without a class is a mail folder.
    auto bare = s->AddFolder(s->IpmSubtree(), "Plain", "");
    ASSERT_OK(bare);
    EXPECT_EQ(*s->AddFolder(s->IpmSubtree(), "plain", "IPF.Note"), *bare);
    ASSERT_OK(s->Commit());
    EXPECT_TRUE(CheckBytes(bytes).ok()) << Joined(CheckBytes(bytes));
}

}  // namespace
}  // namespace pst

namespace pst {
namespace {

// What Outlook expects on every message is derived when the caller leaves it out.
TEST(Store, MessagesGetTheirDerivedProperties) {
    std::shared_ptr<Bytes> bytes;
    auto s = CreateIn(bytes);
    struct Case {
        const char* what;
        std::optional<uint32_t> flags;
        bool attachment;
        const char* subject;
        uint32_t wantFlags;
        const char* wantPrefix;
        const char* wantNormalized;
    };
    const Case cases[] = {
        {"no flags", std::nullopt, false, "RE: Budget", kMsgFlagRead, "RE: ", "Budget"},
        {"no flags, attachment", std::nullopt, true, "Budget", kMsgFlagRead | kMsgFlagHasAttach, "",
         "Budget"},
        {"unread", 0u, false, "AW: 2024: Plan", 0, "AW: ", "2024: Plan"},
        {"unread, attachment", 0u, true, "12: not a prefix", kMsgFlagHasAttach, "", "12: not a prefix"},
    };
    for (const Case& c : cases) {
        NewMessage m;
        m.props[PidTagSubject] = MakeUtf8(c.subject);
        if (c.flags) m.props[PidTagMessageFlags] = MakeLong(*c.flags);
        m.props[PidTagSenderName] = MakeUtf8("Alice");
        m.props[PidTagSenderEmailAddress] = MakeUtf8("alice@example.com");
        for (auto [name, type] : {std::pair{"Bob", kRecipientTo},
                                  {"Carol", kRecipientTo},
                                  {"Dan", kRecipientCc},
                                  {"Eve", kRecipientBcc}}) {
            Recipient r;
            r.props[PidTagDisplayName] = MakeUtf8(name);
            r.props[PidTagEmailAddress] = MakeUtf8(std::string(name) + "@example.com");
            r.props[PidTagRecipientType] = MakeLong(type);
            m.recipients.push_back(r);
        }
        if (c.attachment) m.attachments.emplace_back().data = {1, 2, 3};
        auto id = s->AddMessage(s->IpmSubtree(), m);
        ASSERT_OK(id);
        auto md = s->ReadMessage(*id);
        ASSERT_OK(md);
        const PropMap& p = md->props;
        EXPECT_EQ(AsLong(p.at(PidTagMessageFlags)), c.wantFlags) << c.what;
        EXPECT_EQ(ToUtf8(p.at(PidTagSubjectPrefix)), c.wantPrefix) << c.what;
        EXPECT_EQ(ToUtf8(p.at(PidTagNormalizedSubject)), c.wantNormalized) << c.what;
        EXPECT_EQ(ToUtf8(p.at(PidTagDisplayTo)), "Bob; Carol") << c.what;
        EXPECT_EQ(ToUtf8(p.at(PidTagDisplayCc)), "Dan") << c.what;
        EXPECT_EQ(ToUtf8(p.at(PidTagDisplayBcc)), "Eve") << c.what;
        for (uint16_t id16 :
             {PidTagMessageStatus, PidTagSearchKey, PidTagCreationTime, PidTagLastModificationTime,
              PidTagMessageSize, PidTagSenderAddressType, PidTagSenderEntryId, PidTagSenderSearchKey,
              PidTagSentRepresentingName, PidTagSentRepresentingEmailAddress,
              PidTagSentRepresentingAddressType, PidTagSentRepresentingEntryId})
            EXPECT_TRUE(p.count(id16)) << c.what << std::hex << " 0x" << id16;
        EXPECT_EQ(ToUtf8(p.at(PidTagSentRepresentingEmailAddress)), "alice@example.com");
        // Every column of the recipient table template, with a one-off entry ID Outlook can reply to.
        for (const PropMap& r : md->recipients) {
            for (uint16_t col :
                 {PidTagRecipientType, PidTagResponsibility, PidTagRecordKey, PidTagObjectType, PidTagEntryId,
                  PidTagDisplayName, PidTagAddressType, PidTagEmailAddress, PidTagSearchKey,
                  PidTagDisplayType, PidTagAddressBookDisplayNamePrintable, PidTagSendRichInfo})
                EXPECT_TRUE(r.count(col)) << std::hex << "0x" << col;
            const Bytes& eid = r.at(PidTagEntryId).data;
            ASSERT_GE(eid.size(), 24u);
            EXPECT_EQ(eid[4], 0x81);  // MAPI_ONE_OFF_UID
            EXPECT_EQ(Rd16(eid.data() + 22), 0x8001);
            std::string key(r.at(PidTagSearchKey).data.begin(), r.at(PidTagSearchKey).data.end());
            EXPECT_EQ(key.substr(0, 5), "SMTP:");
        }
    }
    ASSERT_OK(s->Commit());
    EXPECT_TRUE(CheckBytes(bytes).ok()) << Joined(CheckBytes(bytes));
}

}  // namespace
}  // namespace pst

namespace pst {
namespace {

Bytes SearchQueue(Store& s) {
    Bytes q;
    std::string err;
    auto n = s.ndb().FindNode(kNidSearchManagementQueue);
    EXPECT_TRUE(n);
    if (n && n->bidData) {
        EXPECT_TRUE(s.ndb().ReadDataTree(n->bidData, q, err)) << err;
    }
    return q;
}

// [MS-PST] 2.4.8.4.1: every folder and message added is queued for Outlook's search, in order,
// across commits and sessions, on our files and on Outlook's own.
TEST(Store, AdditionsAreQueuedForSearchInOrder) {
    std::shared_ptr<Bytes> ours;
    CreateIn(ours);
    for (auto bytes : {ours, test::ReadWholeFile(test::ReferencePath())}) {
        auto s = OpenIn(bytes);
        size_t before = SearchQueue(*s).size();
        std::vector<std::array<uint32_t, 3>> want;  // type, parent, object
        auto f = s->AddFolder(s->IpmSubtree(), "Queued", "IPF.Note");
        ASSERT_OK(f);
        want.push_back({kSudFolderAdded, s->IpmSubtree().value(), f->value()});
        for (int i = 0; i < 500; ++i) {  // more SUDs than one block holds
            auto m = s->AddMessage(*f, SampleMessage(i, 0));
            ASSERT_OK(m);
            want.push_back({kSudMessageAdded, f->value(), m->value()});
            if (i == 250) ASSERT_OK(s->Commit());
        }
        NewMessage hidden = SampleMessage(9, 0);
        hidden.associated = true;
        ASSERT_OK(s->AddMessage(*f, hidden));  // associated messages are not searched
        ASSERT_OK(s->Commit());
        s = OpenIn(bytes);
        Bytes q = SearchQueue(*s);
        ASSERT_EQ(q.size(), before + want.size() * kSudSize);
        for (size_t i = 0; i < want.size(); ++i) {
            const uint8_t* sud = q.data() + before + i * kSudSize;
            EXPECT_EQ(Rd16(sud + 2), want[i][0]) << i;
            EXPECT_EQ(Rd32(sud + 4), want[i][1]) << i;
            EXPECT_EQ(Rd32(sud + 8), want[i][2]) << i;
        }
        EXPECT_TRUE(CheckBytes(bytes).ok()) << Joined(CheckBytes(bytes));
    }
}

}  // namespace
}  // namespace pst

namespace pst {
namespace {

// pstcheck holds every message to what Outlook expects: a message node written by hand
// without the derived properties is reported, property by property.
TEST(Check, ReportsMessagesWithoutWhatOutlookExpects) {
    std::shared_ptr<Bytes> bytes;
    auto s = CreateIn(bytes);
    Ndb& db = s->ndb();
    PropMap bare;
    bare[PidTagSubject] = MakeUtf8("RE: bare");
    bare[PidTagSenderEmailAddress] = MakeUtf8("a@example.com");
    Table recips = MakeTableLayout({PropTag(PidTagDisplayName, PT_UNICODE)});
    recips.rows.push_back({0, {{PidTagDisplayName, MakeUtf8("Bob")}}});
    BuiltNode rt = BuildTc(db, recips);
    BuiltNode pc = BuildPc(db, bare, {{kNidRecipientTableTemplate, {rt.bidData, rt.bidSub}}});
    NID nid = db.AllocNid(kNidTypeNormalMessage);
    db.PutNode({nid, pc.bidData, pc.bidSub, s->IpmSubtree()});
    ASSERT_OK(s->Commit());
    std::string all = Joined(CheckBytes(bytes));
    for (const char* want :
         {"no message status", "no search key", "no display To", "no normalized subject",
          "sender address without address type", "lacks column 0x0FFF", "lacks column 0x300B"})
        EXPECT_NE(all.find(want), std::string::npos) << want << "\n" << all;
}

}  // namespace
}  // namespace pst
