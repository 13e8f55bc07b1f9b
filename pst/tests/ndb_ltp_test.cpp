// Node database and LTP layers: B-trees under load, data trees, heaps, property and table contexts.
#include <map>
#include <random>
#include <set>

#include "pst/tests/test_util.h"

namespace pst {
namespace {

using test::CheckBytes;
using test::Joined;

std::unique_ptr<Ndb> NewDb(std::shared_ptr<Bytes>& bytes) {
    bytes = std::make_shared<Bytes>();
    std::string err;
    auto db = Ndb::Create(std::make_unique<MemoryIo>(bytes), err);
    EXPECT_TRUE(db) << err;
    return db;
}

std::unique_ptr<Ndb> Reopen(const std::shared_ptr<Bytes>& bytes, bool writable = true) {
    std::string err;
    auto db = Ndb::Open(std::make_unique<MemoryIo>(bytes), writable, err);
    EXPECT_TRUE(db) << err;
    return db;
}

TEST(Ndb, ReadsOutlooksFileAndItsEncoding) {
    auto bytes = test::ReadWholeFile(test::ReferencePath());
    auto db = Reopen(bytes, false);
    ASSERT_TRUE(db);
    EXPECT_EQ(db->header().bCryptMethod, 1);
    PropMap store;
    std::string err;
    auto n = db->FindNode(kNidMessageStore);
    ASSERT_TRUE(n);
    ASSERT_TRUE(ReadPc(*db, n->bidData, n->bidSub, store, err)) << err;
    EXPECT_EQ(ToUtf8(store[0x3001]), "Empty");
    size_t count = 0;
    ASSERT_TRUE(db->ForEachNode([&](const NodeEntry&) { return ++count, true; }, err));
    EXPECT_EQ(count, 47u);
}

TEST(Ndb, PermuteEncodingIsAPermutation) {
    Bytes all(256);
    for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
    Bytes enc = all;
    PermuteEncode(enc.data(), enc.size());
    EXPECT_NE(enc, all);
    PermuteDecode(enc.data(), enc.size());
    EXPECT_EQ(enc, all);
}

// Random inserts and deletes across several commits must match a std::map, and every file
// state must pass the checker: this drives splits, root growth, page removal and collapse.
TEST(Ndb, NodeTreeMatchesModelThroughCommits) {
    std::shared_ptr<Bytes> bytes;
    auto db = NewDb(bytes);
    std::map<NID, BID> model;
    std::mt19937 rng(7);
    std::string err;
    for (int round = 0; round < 6; ++round) {
        for (int i = 0; i < 700; ++i) {
            NID nid = MakeNid(kNidTypeInternal, 0x10 + static_cast<uint32_t>(rng() % 5000));
            if (rng() % 4 == 0 && !model.empty()) {
                auto it = model.lower_bound(nid);
                if (it == model.end()) it = model.begin();
                db->DeleteNode(it->first);
                model.erase(it);
            } else {
                db->PutNode({nid, 0, 0, 0});
                model[nid] = 0;
            }
        }
        ASSERT_TRUE(db->Commit(err)) << err;
        db = Reopen(bytes);
        std::vector<NID> seen;
        ASSERT_TRUE(db->ForEachNode(
            [&](const NodeEntry& e) {
                seen.push_back(e.nid);
                return true;
            },
            err))
            << err;
        ASSERT_EQ(seen.size(), model.size());
        size_t k = 0;
        for (auto& [nid, v] : model) EXPECT_EQ(seen[k++], nid);
        for (int probe = 0; probe < 50; ++probe) {
            NID nid = MakeNid(kNidTypeInternal, 0x10 + static_cast<uint32_t>(rng() % 5000));
            EXPECT_EQ(db->FindNode(nid).ok(), model.count(nid) == 1);
        }
    }
}

TEST(Ndb, DataTreesOfEverySizeReadBack) {
    std::shared_ptr<Bytes> bytes;
    auto db = NewDb(bytes);
    std::string err;
    // One block, exactly one block, an XBLOCK, and an XXBLOCK (more than 1021 blocks).
    const size_t sizes[] = {
        0, 1, kMaxBlockData, kMaxBlockData + 1, 5 * kMaxBlockData + 3, 1022 * kMaxBlockData + 10};
    std::vector<std::pair<BID, Bytes>> written;
    uint32_t index = 0x100;
    for (size_t n : sizes) {
        Bytes d(n);
        for (size_t i = 0; i < n; ++i) d[i] = static_cast<uint8_t>(i * 31 + n);
        BID b = db->WriteDataTree(d.data(), d.size());
        db->PutNode({MakeNid(kNidTypeInternal, index++), b, 0, 0});
        written.emplace_back(b, std::move(d));
    }
    ASSERT_TRUE(db->Commit(err)) << err;
    db = Reopen(bytes);
    for (auto& [b, d] : written) {
        Bytes back;
        ASSERT_TRUE(db->ReadDataTree(b, back, err)) << err;
        EXPECT_EQ(back, d);
    }
    EXPECT_TRUE(CheckBytes(bytes).ok()) << Joined(CheckBytes(bytes));
}

// A data tree that names one small block thousands of times must not make the reader allocate
// gigabytes; the file size bounds it.
TEST(Ndb, RepeatedBlocksInADataTreeAreRefused) {
    std::shared_ptr<Bytes> bytes;
    auto db = NewDb(bytes);
    Bytes one(kMaxBlockData, 1);
    BID leaf = db->WriteExternalBlock(one.data(), one.size());
    BID tree = db->WriteDataTreeFromLeaves(std::vector<BID>(6000, leaf), 6000ull * kMaxBlockData);
    std::string err;
    Bytes out;
    EXPECT_FALSE(db->ReadDataTree(tree, out, err));
    EXPECT_NE(err.find("more blocks than the file"), std::string::npos) << err;
}

Prop Fixed(uint16_t type, size_t n, uint8_t seed) {
    Prop p{type, Bytes(n)};
    for (size_t i = 0; i < n; ++i) p.data[i] = static_cast<uint8_t>(seed + i);
    if (type == PT_BOOLEAN) p.data[0] = 1;
    return p;
}

TEST(Ltp, PropertyContextKeepsEveryType) {
    std::shared_ptr<Bytes> bytes;
    auto db = NewDb(bytes);
    PropMap in;
    in[0x1001] = Fixed(PT_SHORT, 2, 1);
    in[0x1002] = Fixed(PT_LONG, 4, 2);
    in[0x1003] = Fixed(PT_BOOLEAN, 1, 0);
    in[0x1004] = Fixed(PT_I8, 8, 3);
    in[0x1005] = Fixed(PT_SYSTIME, 8, 4);
    in[0x1006] = Fixed(PT_DOUBLE, 8, 5);
    in[0x1007] = Fixed(PT_CLSID, 16, 6);
    in[0x1008] = MakeUtf8("text \xE2\x82\xAC");
    in[0x1009] = MakeUtf8("");
    in[0x100A] = MakeBinary(Bytes(3000, 9));
    in[0x100B] = MakeBinary(Bytes(70000, 8));  // beyond a heap allocation: goes to a subnode
    in[0x100C] = MakeMvUnicode({"one", "", "three"});
    in[0x100D] = MakeMvBinary({Bytes{1, 2}, Bytes(5000, 3)});
    in[0x100E] = Fixed(PT_MV_LONG, 12, 7);
    // Enough further properties to need more than one heap block.
    for (uint16_t i = 0; i < 300; ++i)
        in[static_cast<uint16_t>(0x2000 + i)] = MakeUtf8(std::string(40, char('a' + i % 26)));
    auto built = BuildPc(*db, in);
    NID nid = MakeNid(kNidTypeInternal, 0x200);
    db->PutNode({nid, built.bidData, built.bidSub, 0});
    std::string err;
    ASSERT_TRUE(db->Commit(err)) << err;
    db = Reopen(bytes);
    auto n = db->FindNode(nid);
    ASSERT_TRUE(n);
    PropMap out;
    ASSERT_TRUE(ReadPc(*db, n->bidData, n->bidSub, out, err)) << err;
    ASSERT_EQ(out.size(), in.size());
    for (auto& [id, p] : in) {
        EXPECT_EQ(out[id].type, p.type) << std::hex << id;
        EXPECT_EQ(out[id].data, p.data) << std::hex << id;
    }
}

// A table beyond one heap block: many rows put the row matrix in a subnode and the row index
// in a BTH of more than one level.
TEST(Ltp, TableContextWithManyRows) {
    std::shared_ptr<Bytes> bytes;
    auto db = NewDb(bytes);
    Table t = MakeTableLayout({0x0037001F, 0x0E080003, 0x0E060040, 0x0057000B, 0x00710102});
    const uint32_t kRows = 3000;
    for (uint32_t i = 0; i < kRows; ++i) {
        TcRow r;
        r.rowId = 0x200004 + 32 * i;
        r.props[0x0037] = MakeUtf8("subject " + std::to_string(i));
        r.props[0x0E08] = MakeLong(i);
        if (i % 3) r.props[0x0E06] = MakeI8(1000 + i, PT_SYSTIME);
        r.props[0x0057] = MakeBool(i % 2);
        t.rows.push_back(std::move(r));
    }
    auto b = BuildTc(*db, t);
    NID nid = db->AllocNid(kNidTypeContentsTable);
    db->PutNode({nid, b.bidData, b.bidSub, 0});
    std::string err;
    ASSERT_TRUE(db->Commit(err)) << err;
    db = Reopen(bytes);
    auto n = db->FindNode(nid);
    ASSERT_TRUE(n);
    Table back;
    ASSERT_TRUE(ReadTc(*db, n->bidData, n->bidSub, back, err)) << err;
    ASSERT_EQ(back.rows.size(), kRows);
    for (uint32_t i = 0; i < kRows; i += 97) {
        const TcRow& r = back.rows[i];
        EXPECT_EQ(r.rowId, 0x200004 + 32 * i);
        EXPECT_EQ(ToUtf8(r.props.at(0x0037)), "subject " + std::to_string(i));
        EXPECT_EQ(AsLong(r.props.at(0x0E08)), i);
        EXPECT_EQ(r.props.count(0x0E06), i % 3 ? 1u : 0u);
        EXPECT_EQ(r.props.count(0x0071), 0u);
    }
    EXPECT_TRUE(CheckBytes(bytes).ok()) << Joined(CheckBytes(bytes));
}

// Rows appended over many commits: every state reads back whole, and a commit touches only a
// bounded number of blocks however many rows the table already holds.
TEST(Ltp, AppendedTableRewritesOnlyItsTail) {
    std::shared_ptr<Bytes> bytes;
    auto db = NewDb(bytes);
    Table layout = MakeTableLayout({0x0037001F, 0x0E080003, 0x0E060040});
    NID nid = db->AllocNid(kNidTypeContentsTable);
    std::string err;
    BID data = 0, sub = 0;
    uint32_t next = 1;
    std::set<BID> before;
    for (int round = 0; round < 25; ++round) {
        std::vector<TcRow> rows;
        for (int i = 0; i < 190; ++i, ++next) {
            TcRow r;
            r.rowId = next * 32 + 4;
            r.props[0x0037] = MakeUtf8(std::string(next % 50, 'x') + std::to_string(next));
            r.props[0x0E08] = MakeLong(next);
            rows.push_back(std::move(r));
        }
        if (round == 12) rows[5].props[0x0037] = MakeUtf8(std::string(5000, 'L'));  // a cell in a subnode
        BuiltNode b;
        ASSERT_TRUE(AppendTcRows(*db, data, sub, layout, rows, b, err)) << err;
        data = b.bidData;
        sub = b.bidSub;
        db->PutNode({nid, data, sub, 0});
        ASSERT_TRUE(db->Commit(err)) << err;
        std::set<BID> now;
        ASSERT_TRUE(db->ForEachBlock(
            [&](const BlockEntry& e) {
                now.insert(e.bid);
                return true;
            },
            err));
        if (round >= 2) {
            size_t gone = 0;
            for (BID x : before) gone += now.count(x) == 0;
            EXPECT_LE(gone, 10u) << "round " << round;
        }
        before = now;
        Table back;
        ASSERT_TRUE(ReadTc(*db, data, sub, back, err)) << err;
        ASSERT_EQ(back.rows.size(), next - 1);
        for (size_t i = 0; i < back.rows.size(); i += 53) {
            uint32_t id = static_cast<uint32_t>(i + 1);
            EXPECT_EQ(back.rows[i].rowId, id * 32 + 4);
            EXPECT_EQ(AsLong(back.rows[i].props.at(0x0E08)), id);
        }
        if (round >= 12) {
            EXPECT_EQ(ToUtf8(back.rows[12 * 190 + 5].props.at(0x0037)).size(), 5000u);
        }
    }
    CheckReport rep = CheckBytes(bytes);
    EXPECT_TRUE(rep.ok()) << Joined(rep);
}

}  // namespace
}  // namespace pst
