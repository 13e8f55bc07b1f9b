#include "pst/ltp.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>

namespace pst {

namespace {
constexpr size_t kMaxAlloc = 3580;  // [MS-PST] 2.3.1.1: largest heap allocation
constexpr uint8_t kHnSig = 0xEC;
constexpr uint32_t kTagRowId = 0x67F20003, kTagRowVer = 0x67F30003;

bool IsHid(uint32_t hnid) {
    return (hnid & 0x1F) == 0;
}

// A heap block carries a full HNBITMAPHDR at index 8 and every 128 blocks after ([MS-PST] 2.3.1.6).
bool IsBitmapBlock(size_t i) {
    return i >= 8 && (i - 8) % 128 == 0;
}
size_t BlockHeaderSize(size_t i) {
    return i == 0 ? 12 : (IsBitmapBlock(i) ? 66 : 2);
}

uint8_t FillLevel(size_t freeBytes) {
    static const size_t kLimits[] = {3584, 2560, 2048, 1792, 1536, 1280, 1024, 768,
                                     512,  256,  128,  64,   32,   16,   8};
    for (uint8_t i = 0; i < 15; ++i)
        if (freeBytes >= kLimits[i]) return i;
    return 15;
}

// Builds the blocks of a heap: allocations fill one block after another.
class HeapBuilder {
  public:
    explicit HeapBuilder(uint8_t clientSig) : sig_(clientSig) { NewBlock(); }
    HID Alloc(const uint8_t* p, size_t n) {
        if (n > kMaxAlloc) n = kMaxAlloc;  // callers never pass more; guard against layout overflow
        Blk* b = &blocks_.back();
        // Room needed: data + one more page-map offset, plus the page map's fixed part.
        auto fits = [&](const Blk& x) {
            size_t used = x.data.size() + n;
            size_t map = 4 + 2 * (x.offsets.size() + 2);
            return used + (used & 1) + map <= kMaxBlockData;
        };
        if (!fits(*b) || b->offsets.size() >= 2047) {
            NewBlock();
            b = &blocks_.back();
        }
        b->offsets.push_back(static_cast<uint16_t>(b->data.size()));
        b->data.insert(b->data.end(), p, p + n);
        return (static_cast<HID>(blocks_.size() - 1) << 16) | (static_cast<HID>(b->offsets.size()) << 5);
    }
    HID Alloc(const Bytes& b) { return Alloc(b.data(), b.size()); }
    void Patch(HID hid, const Bytes& v) {
        Blk& b = blocks_[hid >> 16];
        size_t idx = ((hid >> 5) & 0x7FF) - 1;
        std::memcpy(b.data.data() + b.offsets[idx], v.data(), v.size());
    }
    void SetRoot(HID h) { root_ = h; }
    std::vector<Bytes> Finish() {
        std::vector<Bytes> out;
        std::vector<uint8_t> fill;
        for (size_t i = 0; i < blocks_.size(); ++i) {
            Blk& b = blocks_[i];
            Bytes d = b.data;
            if (d.size() & 1) d.push_back(0);
            uint16_t ibHnpm = static_cast<uint16_t>(d.size());
            Bytes map(4 + 2 * (b.offsets.size() + 1));
            Wr16(map.data(), static_cast<uint16_t>(b.offsets.size()));
            Wr16(map.data() + 2, 0);
            for (size_t j = 0; j < b.offsets.size(); ++j) Wr16(map.data() + 4 + 2 * j, b.offsets[j]);
            Wr16(map.data() + 4 + 2 * b.offsets.size(), static_cast<uint16_t>(b.data.size()));
            d.insert(d.end(), map.begin(), map.end());
            Wr16(d.data(), ibHnpm);
            fill.push_back(FillLevel(kMaxBlockData - d.size()));
            out.push_back(std::move(d));
        }
        // Block 0 carries the fill levels of blocks 0-7, bitmap blocks those of the next 128.
        Bytes& h = out[0];
        h[2] = kHnSig;
        h[3] = sig_;
        Wr32(h.data() + 4, root_);
        for (size_t i = 0; i < 8 && i < fill.size(); ++i)
            h[8 + i / 2] = static_cast<uint8_t>(h[8 + i / 2] | (fill[i] << (4 * (i % 2))));
        for (size_t i = 8; i < out.size(); ++i) {
            if (!IsBitmapBlock(i)) continue;
            for (size_t j = 0; j < 128 && i + j < fill.size(); ++j)
                out[i][2 + j / 2] = static_cast<uint8_t>(out[i][2 + j / 2] | (fill[i + j] << (4 * (j % 2))));
        }
        return out;
    }

  private:
    struct Blk {
        Bytes data;
        std::vector<uint16_t> offsets;
    };
    void NewBlock() {
        Blk b;
        b.data.assign(BlockHeaderSize(blocks_.size()), 0);
        blocks_.push_back(std::move(b));
    }
    uint8_t sig_;
    HID root_ = 0;
    std::vector<Blk> blocks_;
};

// Reserves a BTHHEADER. Outlook puts it first in the heap (HID 0x20), and readers written after
// the Java libpst look for it there in every PC and TC.
HID ReserveBthHeader(HeapBuilder& hb) {
    return hb.Alloc(Bytes(8, 0));
}

// Builds a BTH over sorted records under a reserved header ([MS-PST] 2.3.2).
HID BuildBth(HeapBuilder& hb, HID hdrHid, uint8_t cbKey, uint8_t cbEnt, const std::vector<Bytes>& records) {
    Bytes hdr(8, 0);
    hdr[0] = kSigBth;
    hdr[1] = cbKey;
    hdr[2] = cbEnt;
    hb.Patch(hdrHid, hdr);
    if (records.empty()) return hdrHid;
    // Each level is a run of allocations; an index level holds (first key, HID) per child.
    std::vector<std::pair<Bytes, HID>> level;
    size_t per = kMaxAlloc / (cbKey + cbEnt);
    for (size_t i = 0; i < records.size(); i += per) {
        Bytes chunk;
        size_t n = std::min(per, records.size() - i);
        for (size_t j = 0; j < n; ++j)
            chunk.insert(chunk.end(), records[i + j].begin(), records[i + j].end());
        level.emplace_back(Bytes(records[i].begin(), records[i].begin() + cbKey), hb.Alloc(chunk));
    }
    uint8_t levels = 0;
    size_t perIdx = kMaxAlloc / (cbKey + 4u);
    while (level.size() > 1) {
        std::vector<std::pair<Bytes, HID>> up;
        for (size_t i = 0; i < level.size(); i += perIdx) {
            Bytes chunk;
            size_t n = std::min(perIdx, level.size() - i);
            for (size_t j = 0; j < n; ++j) {
                chunk.insert(chunk.end(), level[i + j].first.begin(), level[i + j].first.end());
                uint8_t h[4];
                Wr32(h, level[i + j].second);
                chunk.insert(chunk.end(), h, h + 4);
            }
            up.emplace_back(level[i].first, hb.Alloc(chunk));
        }
        level = std::move(up);
        ++levels;
    }
    hdr[3] = levels;
    Wr32(hdr.data() + 4, level[0].second);
    hb.Patch(hdrHid, hdr);
    return hdrHid;
}

BuiltNode WriteHeap(Ndb& db, HeapBuilder& hb, const std::map<NID, std::pair<BID, BID>>& subs) {
    auto blocks = hb.Finish();
    std::vector<BID> leaves;
    uint64_t total = 0;
    for (auto& b : blocks) {
        leaves.push_back(db.WriteExternalBlock(b.data(), b.size()));
        total += b.size();
    }
    BuiltNode n;
    n.bidData = db.WriteDataTreeFromLeaves(leaves, total);
    n.bidSub = db.WriteSubnodeTree(subs);
    return n;
}

// Stores a variable-size value: in the heap when it fits, else in a new subnode.
uint32_t StoreValue(Ndb& db, HeapBuilder& hb, const Bytes& v, std::map<NID, std::pair<BID, BID>>& subs,
                    uint32_t& nextSub) {
    if (v.empty()) return 0;
    if (v.size() <= kMaxAlloc) return hb.Alloc(v);
    NID nid = MakeNid(kNidTypeLtp, nextSub++);
    subs[nid] = {db.WriteDataTree(v.data(), v.size()), 0};
    return nid.value();
}

uint32_t FirstFreeSubIndex(const std::map<NID, std::pair<BID, BID>>& subs) {
    uint32_t next = 1;
    for (auto& [nid, v] : subs) next = std::max(next, NidIndexOf(nid) + 1);
    return next;
}

bool LoadValue(Ndb& db, const Heap& heap, const std::map<NID, std::pair<BID, BID>>& subs, uint32_t hnid,
               Bytes& out, std::string& err) {
    out.clear();
    if (hnid == 0) return true;
    if (IsHid(hnid)) {
        const uint8_t* p;
        size_t n;
        if (!heap.Get(hnid, p, n)) {
            err = "value refers to a missing heap item";
            return false;
        }
        out.assign(p, p + n);
        return true;
    }
    auto it = subs.find(hnid);
    if (it == subs.end()) {
        err = "value refers to a missing subnode";
        return false;
    }
    return db.ReadDataTree(it->second.first, out, err);
}
}  // namespace

size_t FixedSize(uint16_t type) {
    switch (type) {
        case PT_SHORT:
            return 2;
        case PT_LONG:
        case PT_FLOAT:
        case PT_ERROR:
            return 4;
        case PT_BOOLEAN:
            return 1;
        case PT_DOUBLE:
        case PT_CURRENCY:
        case PT_APPTIME:
        case PT_I8:
        case PT_SYSTIME:
            return 8;
        case PT_CLSID:
            return 16;
        default:
            return 0;
    }
}

bool IsKnownType(uint16_t type) {
    switch (type & 0x0FFF) {
        case PT_SHORT:
        case PT_LONG:
        case PT_FLOAT:
        case PT_DOUBLE:
        case PT_CURRENCY:
        case PT_APPTIME:
        case PT_ERROR:
        case PT_BOOLEAN:
        case PT_OBJECT:
        case PT_I8:
        case PT_STRING8:
        case PT_UNICODE:
        case PT_SYSTIME:
        case PT_CLSID:
        case PT_SVREID:
        case PT_SRESTRICT:
        case PT_ACTIONS:
        case PT_BINARY:
        case 0x0001:
            return true;
        default:
            return false;
    }
}

// ---------------------------------------------------------------- HN

bool Heap::Load(Ndb& db, BID bidData, std::string& err) {
    std::vector<BID> leaves;
    if (!db.DataTreeLeaves(bidData, leaves, err)) return false;
    if (leaves.size() > 65535 || leaves.size() * kMaxBlockData > db.header().ibFileEof * 2) {
        err = "heap has too many blocks";
        return false;
    }
    blocks_.clear();
    for (size_t i = 0; i < leaves.size(); ++i) {
        Block b;
        if (!db.ReadBlock(leaves[i], b.data, err)) return false;
        blocks_.push_back(std::move(b));
    }
    std::vector<size_t> sizes;
    Bytes all;
    for (auto& b : blocks_) {
        sizes.push_back(b.data.size());
        all.insert(all.end(), b.data.begin(), b.data.end());
    }
    return Load(std::move(all), sizes, err);
}

bool Heap::Load(Bytes whole, const std::vector<size_t>& sizes, std::string& err) {
    blocks_.clear();
    size_t off = 0;
    for (size_t i = 0; i < sizes.size(); ++i) {
        Block b;
        b.data.assign(whole.begin() + static_cast<long>(off),
                      whole.begin() + static_cast<long>(off + sizes[i]));
        off += sizes[i];
        const Bytes& d = b.data;
        if (d.size() < BlockHeaderSize(i) || d.size() < 2) {
            err = "heap block too short";
            return false;
        }
        uint16_t ibHnpm = Rd16(d.data());
        if (ibHnpm < BlockHeaderSize(i) || size_t(ibHnpm) + 4 > d.size()) {
            err = "heap page map out of range";
            return false;
        }
        uint16_t cAlloc = Rd16(d.data() + ibHnpm);
        if (size_t(ibHnpm) + 4 + 2 * (size_t(cAlloc) + 1) > d.size()) {
            err = "heap page map overruns its block";
            return false;
        }
        for (size_t j = 0; j <= cAlloc; ++j) {
            uint16_t o = Rd16(d.data() + ibHnpm + 4 + 2 * j);
            if (o < BlockHeaderSize(i) || o > ibHnpm || (!b.offsets.empty() && o < b.offsets.back())) {
                err = "heap allocation offsets are inconsistent";
                return false;
            }
            b.offsets.push_back(o);
        }
        if (i == 0) {
            if (d[2] != kHnSig) {
                err = "heap signature missing";
                return false;
            }
            clientSig_ = d[3];
            userRoot_ = Rd32(d.data() + 4);
        }
        blocks_.push_back(std::move(b));
    }
    if (blocks_.empty()) {
        err = "empty heap";
        return false;
    }
    return true;
}

bool Heap::Get(HID hid, const uint8_t*& p, size_t& n) const {
    if ((hid & 0x1F) != 0) return false;
    size_t blk = hid >> 16, idx = (hid >> 5) & 0x7FF;
    if (blk >= blocks_.size() || idx == 0 || idx >= blocks_[blk].offsets.size()) return false;
    const Block& b = blocks_[blk];
    p = b.data.data() + b.offsets[idx - 1];
    n = b.offsets[idx] - b.offsets[idx - 1];
    return true;
}

// ---------------------------------------------------------------- BTH

bool ReadBth(const Heap& heap, HID header, std::vector<std::pair<Bytes, Bytes>>& out, uint8_t& cbKey,
             uint8_t& cbEnt, std::string& err) {
    out.clear();
    const uint8_t* p;
    size_t n;
    if (!heap.Get(header, p, n) || n < 8 || p[0] != kSigBth) {
        err = "BTH header missing or malformed";
        return false;
    }
    cbKey = p[1];
    cbEnt = p[2];
    uint8_t levels = p[3];
    HID root = Rd32(p + 4);
    if (cbKey == 0 || cbKey > 16 || cbEnt > 32 || levels > 8) {
        err = "BTH header has impossible sizes";
        return false;
    }
    if (root == 0) return true;
    size_t budget = 10'000'000;
    std::function<bool(HID, int)> walk = [&](HID h, int level) -> bool {
        const uint8_t* q;
        size_t m;
        if (!heap.Get(h, q, m)) {
            err = "BTH node missing";
            return false;
        }
        size_t rec = level > 0 ? cbKey + 4u : cbKey + size_t(cbEnt);
        if (m % rec != 0) {
            err = "BTH node size is not a multiple of its records";
            return false;
        }
        for (size_t i = 0; i < m / rec; ++i) {
            if (budget-- == 0) {
                err = "BTH too large";
                return false;
            }
            const uint8_t* r = q + i * rec;
            if (level > 0) {
                if (!walk(Rd32(r + cbKey), level - 1)) return false;
            } else {
                // Keys rise strictly ([MS-PST] 2.3.2.3); this also stops a damaged index that names
                // the same node twice from multiplying its records.
                if (!out.empty()) {
                    const Bytes& prev = out.back().first;
                    bool greater = false;
                    for (size_t k = cbKey; k-- > 0;) {
                        if (r[k] != prev[k]) {
                            greater = r[k] > prev[k];
                            break;
                        }
                    }
                    if (!greater) {
                        err = "BTH keys are out of order";
                        return false;
                    }
                }
                out.emplace_back(Bytes(r, r + cbKey), Bytes(r + cbKey, r + rec));
            }
        }
        return true;
    };
    return walk(root, levels);
}

// ---------------------------------------------------------------- PC ([MS-PST] 2.3.3)

bool ReadPc(Ndb& db, BID bidData, BID bidSub, PropMap& out, std::string& err) {
    out.clear();
    Heap heap;
    if (!heap.Load(db, bidData, err)) return false;
    if (heap.clientSig() != kSigPc) {
        err = "node is not a property context";
        return false;
    }
    std::map<NID, std::pair<BID, BID>> subs;
    if (!db.ReadSubnodes(bidSub, subs, err)) return false;
    std::vector<std::pair<Bytes, Bytes>> recs;
    uint8_t cbKey, cbEnt;
    if (!ReadBth(heap, heap.userRoot(), recs, cbKey, cbEnt, err)) return false;
    if (cbKey != 2 || cbEnt != 6) {
        err = "property context BTH has the wrong record size";
        return false;
    }
    for (auto& [k, v] : recs) {
        uint16_t id = Rd16(k.data());
        Prop pr;
        pr.type = Rd16(v.data());
        uint32_t hnid = Rd32(v.data() + 2);
        size_t fs = FixedSize(pr.type);
        if (fs > 0 && fs <= 4) {
            pr.data.assign(v.data() + 2, v.data() + 2 + fs);
        } else {
            if (!LoadValue(db, heap, subs, hnid, pr.data, err)) return false;
            if (fs > 0 && pr.data.size() != fs) {
                err = "fixed-size property has the wrong length";
                return false;
            }
        }
        out[id] = std::move(pr);
    }
    return true;
}

BuiltNode BuildPc(Ndb& db, const PropMap& props, std::map<NID, std::pair<BID, BID>> subs,
                  const std::map<uint16_t, NID>& external) {
    HeapBuilder hb(kSigPc);
    HID header = ReserveBthHeader(hb);
    uint32_t nextSub = FirstFreeSubIndex(subs);
    std::vector<Bytes> recs;
    for (auto& [id, p] : props) {
        Bytes r(8, 0);
        Wr16(r.data(), id);
        Wr16(r.data() + 2, p.type);
        size_t fs = FixedSize(p.type);
        if (fs > 0 && fs <= 4) {
            if (!p.data.empty()) std::memcpy(r.data() + 4, p.data.data(), std::min(fs, p.data.size()));
        } else if (auto ext = external.find(id); ext != external.end()) {
            Wr32(r.data() + 4, ext->second.value());
        } else {
            Wr32(r.data() + 4, StoreValue(db, hb, p.data, subs, nextSub));
        }
        recs.push_back(std::move(r));
    }
    hb.SetRoot(BuildBth(hb, header, 2, 6, recs));
    return WriteHeap(db, hb, subs);
}

// ---------------------------------------------------------------- TC ([MS-PST] 2.3.4)

bool ReadTc(Ndb& db, BID bidData, BID bidSub, Table& out, std::string& err, size_t maxRows) {
    out = Table{};
    Heap heap;
    if (!heap.Load(db, bidData, err)) return false;
    if (heap.clientSig() != kSigTc) {
        err = "node is not a table context";
        return false;
    }
    const uint8_t* p;
    size_t n;
    if (!heap.Get(heap.userRoot(), p, n) || n < 22 || p[0] != kSigTc) {
        err = "TCINFO missing or malformed";
        return false;
    }
    uint8_t cCols = p[1];
    if (n < 22 + 8 * size_t(cCols)) {
        err = "TCINFO shorter than its columns";
        return false;
    }
    for (int i = 0; i < 4; ++i) out.rgib[i] = Rd16(p + 2 + 2 * i);
    HID hidRowIndex = Rd32(p + 10);
    uint32_t hnidRows = Rd32(p + 14);
    size_t rowSize = out.rgib[3];
    if (!(out.rgib[0] <= out.rgib[1] && out.rgib[1] <= out.rgib[2] && out.rgib[2] <= out.rgib[3]) ||
        rowSize > kMaxBlockData) {
        err = "TCINFO row layout is inconsistent";
        return false;
    }
    for (size_t i = 0; i < cCols; ++i) {
        const uint8_t* c = p + 22 + 8 * i;
        TcColumn col{Rd32(c), Rd16(c + 4), c[6], c[7]};
        if (size_t(col.ib) + col.cb > out.rgib[2] || col.iBit / 8 >= out.rgib[3] - out.rgib[2] + 1u) {
            err = "table column lies outside the row";
            return false;
        }
        out.cols.push_back(col);
    }
    std::map<NID, std::pair<BID, BID>> subs;
    if (!db.ReadSubnodes(bidSub, subs, err)) return false;
    std::vector<std::pair<Bytes, Bytes>> index;
    uint8_t cbKey, cbEnt;
    if (!ReadBth(heap, hidRowIndex, index, cbKey, cbEnt, err)) return false;
    if (index.size() > maxRows) {
        err = "table has too many rows";
        return false;
    }
    if (index.empty()) return true;
    if (cbKey != 4 || rowSize == 0) {
        err = "row index has the wrong key size";
        return false;
    }
    // Row matrix: in the heap or in a subnode whose blocks each hold whole rows.
    std::vector<Bytes> rowBlocks;
    if (hnidRows == 0) {
        err = "table has rows but no row matrix";
        return false;
    } else if (IsHid(hnidRows)) {
        if (!heap.Get(hnidRows, p, n)) {
            err = "row matrix missing";
            return false;
        }
        rowBlocks.emplace_back(p, p + n);
    } else {
        auto it = subs.find(hnidRows);
        if (it == subs.end()) {
            err = "row matrix subnode missing";
            return false;
        }
        std::vector<BID> leaves;
        if (!db.DataTreeLeaves(it->second.first, leaves, err)) return false;
        for (BID b : leaves) {
            Bytes d;
            if (!db.ReadBlock(b, d, err)) return false;
            rowBlocks.push_back(std::move(d));
        }
    }
    size_t perBlock = kMaxBlockData / rowSize;
    for (auto& [k, v] : index) {
        uint32_t rowId = Rd32(k.data());
        uint32_t rowIndex = v.size() >= 4 ? Rd32(v.data()) : Rd16(v.data());
        size_t blk = rowIndex / perBlock, off = (rowIndex % perBlock) * rowSize;
        if (blk >= rowBlocks.size() || off + rowSize > rowBlocks[blk].size()) {
            err = "row index points outside the row matrix";
            return false;
        }
        const uint8_t* r = rowBlocks[blk].data() + off;
        TcRow row;
        row.rowId = rowId;
        const uint8_t* ceb = r + out.rgib[2];
        for (auto& c : out.cols) {
            if (!(ceb[c.iBit / 8] & (0x80 >> (c.iBit % 8)))) continue;
            Prop pr;
            pr.type = static_cast<uint16_t>(c.tag & 0xFFFF);
            size_t fs = FixedSize(pr.type);
            if (fs > 0 && fs <= 8) {
                if (c.cb != fs) {
                    err = "table column width does not match its type";
                    return false;
                }
                pr.data.assign(r + c.ib, r + c.ib + fs);
            } else {
                if (c.cb != 4) {
                    err = "table column width does not match its type";
                    return false;
                }
                if (!LoadValue(db, heap, subs, Rd32(r + c.ib), pr.data, err)) return false;
            }
            row.props[static_cast<uint16_t>(c.tag >> 16)] = std::move(pr);
        }
        out.rows.push_back(std::move(row));
    }
    return true;
}

Table MakeTableLayout(const std::vector<uint32_t>& tagsIn) {
    std::vector<uint32_t> tags{kTagRowId, kTagRowVer};
    for (uint32_t t : tagsIn)
        if (t != kTagRowId && t != kTagRowVer) tags.push_back(t);
    auto width = [](uint32_t tag) -> uint8_t {
        size_t fs = FixedSize(static_cast<uint16_t>(tag & 0xFFFF));
        return static_cast<uint8_t>(fs > 0 && fs <= 8 ? fs : 4);
    };
    Table t;
    uint16_t ib = 8;
    std::vector<TcColumn> cols;
    cols.push_back({kTagRowId, 0, 4, 0});
    cols.push_back({kTagRowVer, 4, 4, 1});
    uint8_t bit = 2;
    for (uint8_t w : {uint8_t(8), uint8_t(4), uint8_t(2), uint8_t(1)}) {
        for (size_t i = 2; i < tags.size(); ++i) {
            if (width(tags[i]) != w) continue;
            cols.push_back({tags[i], ib, w, bit++});
            ib = static_cast<uint16_t>(ib + w);
        }
        if (w == 4) t.rgib[0] = ib;
        if (w == 2) t.rgib[1] = ib;
        if (w == 1) t.rgib[2] = ib;
    }
    t.rgib[3] = static_cast<uint16_t>(t.rgib[2] + (bit + 7) / 8);
    std::sort(cols.begin(), cols.end(), [](const TcColumn& a, const TcColumn& b) { return a.tag < b.tag; });
    t.cols = cols;
    return t;
}

// One row of a TC's row matrix ([MS-PST] 2.3.4.4.1): fixed-size cells in place, variable-size
// cells as the HNID that storeVariable gives for their value, and the cell existence bitmap.
template <typename StoreVariable>
Bytes LayOutRow(const Table& layout, const TcRow& row, StoreVariable storeVariable) {
    Bytes r(layout.rgib[3], 0);
    uint8_t* ceb = r.data() + layout.rgib[2];
    size_t cebBytes = layout.rgib[3] - layout.rgib[2];
    for (auto& c : layout.cols) {
        uint16_t id = static_cast<uint16_t>(c.tag >> 16);
        Prop rowIdProp;
        const Prop* pr = nullptr;
        if (c.tag == kTagRowId) {
            rowIdProp = MakeLong(row.rowId);
            pr = &rowIdProp;
        } else {
            auto it = row.props.find(id);
            if (it == row.props.end() || it->second.type != (c.tag & 0xFFFF)) continue;
            pr = &it->second;
        }
        size_t fs = FixedSize(pr->type);
        if (fs > 0 && fs <= 8) {
            if (!pr->data.empty())
                std::memcpy(r.data() + c.ib, pr->data.data(), std::min<size_t>(c.cb, pr->data.size()));
        } else {
            Wr32(r.data() + c.ib, storeVariable(pr->data));
        }
        if (c.iBit / 8 < cebBytes)
            ceb[c.iBit / 8] = static_cast<uint8_t>(ceb[c.iBit / 8] | (0x80 >> (c.iBit % 8)));
    }
    return r;
}

namespace {
// TCINFO ([MS-PST] 2.3.4.1) without the row index and row matrix HNIDs, which follow at +10, +14.
Bytes MakeTcInfo(const Table& t) {
    Bytes info(22 + 8 * t.cols.size(), 0);
    info[0] = kSigTc;
    info[1] = static_cast<uint8_t>(t.cols.size());
    for (int i = 0; i < 4; ++i) Wr16(info.data() + 2 + 2 * i, t.rgib[i]);
    for (size_t i = 0; i < t.cols.size(); ++i) {
        uint8_t* c = info.data() + 22 + 8 * i;
        Wr32(c, t.cols[i].tag);
        Wr16(c + 4, t.cols[i].ib);
        c[6] = t.cols[i].cb;
        c[7] = t.cols[i].iBit;
    }
    return info;
}
}  // namespace

BuiltNode BuildTc(Ndb& db, const Table& t) {
    HeapBuilder hb(kSigTc);
    std::map<NID, std::pair<BID, BID>> subs;
    uint32_t nextSub = 1;
    size_t rowSize = t.rgib[3];
    HID indexHeader = ReserveBthHeader(hb);
    Bytes tcinfo(22 + 8 * t.cols.size(), 0);
    HID infoHid = hb.Alloc(tcinfo);
    // Rows, with their variable-size cells stored first so their HNIDs are known.
    Bytes matrix;
    std::vector<Bytes> index;
    matrix.reserve(t.rows.size() * rowSize);
    for (size_t i = 0; i < t.rows.size(); ++i) {
        const TcRow& row = t.rows[i];
        Bytes r = LayOutRow(t, row, [&](const Bytes& v) { return StoreValue(db, hb, v, subs, nextSub); });
        matrix.insert(matrix.end(), r.begin(), r.end());
        Bytes rec(8);
        Wr32(rec.data(), row.rowId);
        Wr32(rec.data() + 4, static_cast<uint32_t>(i));
        index.push_back(std::move(rec));
    }
    std::sort(index.begin(), index.end(),
              [](const Bytes& a, const Bytes& b) { return Rd32(a.data()) < Rd32(b.data()); });
    HID rowIndex = BuildBth(hb, indexHeader, 4, 4, index);
    uint32_t hnidRows = 0;
    if (!matrix.empty()) {
        if (matrix.size() <= kMaxAlloc) {
            hnidRows = hb.Alloc(matrix);
        } else {
            // [MS-PST] 2.3.4.4: rows never span blocks; every block but the last is padded to
            // kMaxBlockData, which readers use to find row n.
            size_t perBlock = kMaxBlockData / rowSize;
            std::vector<BID> leaves;
            uint64_t total = 0;
            for (size_t off = 0; off < matrix.size(); off += perBlock * rowSize) {
                size_t len = std::min(perBlock * rowSize, matrix.size() - off);
                Bytes block(matrix.begin() + off, matrix.begin() + off + len);
                if (off + len < matrix.size()) block.resize(kMaxBlockData, 0);
                leaves.push_back(db.WriteExternalBlock(block.data(), block.size()));
                total += block.size();
            }
            hnidRows = MakeNid(kNidTypeLtp, nextSub++).value();
            subs[hnidRows] = {db.WriteDataTreeFromLeaves(leaves, total), 0};
        }
    }
    tcinfo = MakeTcInfo(t);
    Wr32(tcinfo.data() + 10, rowIndex);
    Wr32(tcinfo.data() + 14, hnidRows);
    hb.Patch(infoHid, tcinfo);
    hb.SetRoot(infoHid);
    return WriteHeap(db, hb, subs);
}

// ---------------------------------------------------------------- streaming values

void StreamWriter::Write(const uint8_t* p, size_t n) {
    total_ += n;
    while (n > 0) {
        size_t take = std::min(n, kMaxBlockData - pending_.size());
        pending_.insert(pending_.end(), p, p + take);
        p += take;
        n -= take;
        if (pending_.size() == kMaxBlockData) {
            leaves_.push_back(db_.WriteExternalBlock(pending_.data(), pending_.size()));
            pending_.clear();
        }
    }
}

BID StreamWriter::Finish() {
    if (!pending_.empty() || leaves_.empty())
        leaves_.push_back(db_.WriteExternalBlock(pending_.data(), pending_.size()));
    pending_.clear();
    return db_.WriteDataTreeFromLeaves(leaves_, total_);
}

// ---------------------------------------------------------------- values

std::u16string Utf8ToUtf16(const std::string& s) {
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        uint32_t c = static_cast<uint8_t>(s[i]);
        size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > s.size()) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        if (len > 1) {
            c &= (0x7F >> len);
            for (size_t j = 1; j < len; ++j) c = (c << 6) | (static_cast<uint8_t>(s[i + j]) & 0x3F);
        }
        i += len;
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

std::string Utf16ToUtf8(const uint8_t* p, size_t bytes) {
    std::string out;
    for (size_t i = 0; i + 1 < bytes; i += 2) {
        uint32_t c = Rd16(p + i);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes) {
            uint32_t d = Rd16(p + i + 2);
            if (d >= 0xDC00 && d < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00);
                i += 2;
            }
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

namespace {
Prop Fixed(uint16_t type, const void* v, size_t n) {
    Prop p{type, Bytes(n)};
    std::memcpy(p.data.data(), v, n);  // the host is little-endian like the file
    return p;
}
template <class T>
Prop FixedMv(uint16_t type, const std::vector<T>& v) {
    return Fixed(type, v.data(), v.size() * sizeof(T));
}
template <class T>
T FixedAt(const Prop& p, size_t i = 0) {
    T v{};
    if (p.data.size() >= (i + 1) * sizeof(T)) std::memcpy(&v, p.data.data() + i * sizeof(T), sizeof(T));
    return v;
}
template <class T>
std::vector<T> FixedItems(const Prop& p) {
    std::vector<T> v(p.data.size() / sizeof(T));
    for (size_t i = 0; i < v.size(); ++i) v[i] = FixedAt<T>(p, i);
    return v;
}
Prop MakeMv(uint16_t type, const std::vector<Bytes>& items) {
    Prop p{type, Bytes(4 + 4 * items.size())};
    Wr32(p.data.data(), static_cast<uint32_t>(items.size()));
    for (size_t i = 0; i < items.size(); ++i) {
        Wr32(p.data.data() + 4 + 4 * i, static_cast<uint32_t>(p.data.size()));
        p.data.insert(p.data.end(), items[i].begin(), items[i].end());
    }
    return p;
}
}  // namespace

static_assert(std::endian::native == std::endian::little, "stored values are copied as they are");

bool Guid::operator<(const Guid& o) const {
    return std::memcmp(b, o.b, 16) < 0;
}
bool Guid::operator==(const Guid& o) const {
    return std::memcmp(b, o.b, 16) == 0;
}

Prop MakeUnicode(const std::u16string& s) {
    Prop p{PT_UNICODE, Bytes(s.size() * 2)};
    for (size_t i = 0; i < s.size(); ++i) Wr16(p.data.data() + 2 * i, s[i]);
    return p;
}
Prop MakeUtf8(const std::string& s) {
    return MakeUnicode(Utf8ToUtf16(s));
}
Prop MakeShort(int16_t v) {
    return Fixed(PT_SHORT, &v, 2);
}
Prop MakeLong(uint32_t v) {
    return Fixed(PT_LONG, &v, 4);
}
Prop MakeFloat(float v) {
    return Fixed(PT_FLOAT, &v, 4);
}
Prop MakeDouble(double v) {
    return Fixed(PT_DOUBLE, &v, 8);
}
Prop MakeBool(bool v) {
    return Prop{PT_BOOLEAN, Bytes{static_cast<uint8_t>(v ? 1 : 0)}};
}
Prop MakeI8(uint64_t v, uint16_t type) {
    return Fixed(type, &v, 8);
}
Prop MakeTime(uint64_t filetime) {
    return MakeI8(filetime, PT_SYSTIME);
}
Prop MakeBinary(const Bytes& b) {
    return Prop{PT_BINARY, b};
}
Prop MakeGuid(const Guid& g) {
    return Fixed(PT_CLSID, g.b, 16);
}
Prop MakeMvShort(const std::vector<int16_t>& v) {
    return FixedMv(PT_MV_SHORT, v);
}
Prop MakeMvLong(const std::vector<uint32_t>& v) {
    return FixedMv(PT_MV_LONG, v);
}
Prop MakeMvDouble(const std::vector<double>& v) {
    return FixedMv(PT_MV_DOUBLE, v);
}
Prop MakeMvI8(const std::vector<uint64_t>& v, uint16_t type) {
    return FixedMv(type, v);
}
Prop MakeMvTime(const std::vector<uint64_t>& filetimes) {
    return FixedMv(PT_MV_SYSTIME, filetimes);
}
Prop MakeMvGuid(const std::vector<Guid>& v) {
    return FixedMv(PT_MV_CLSID, v);
}
Prop MakeMvUnicode(const std::vector<std::string>& utf8) {
    std::vector<Bytes> items;
    for (auto& s : utf8) items.push_back(MakeUtf8(s).data);
    return MakeMv(PT_MV_UNICODE, items);
}
Prop MakeMvBinary(const std::vector<Bytes>& v) {
    return MakeMv(PT_MV_BINARY, v);
}

std::string ToUtf8(const Prop& p) {
    if ((p.type & 0x0FFF) == PT_STRING8) return std::string(p.data.begin(), p.data.end());
    return Utf16ToUtf8(p.data.data(), p.data.size());
}
int16_t AsShort(const Prop& p) {
    return FixedAt<int16_t>(p);
}
uint32_t AsLong(const Prop& p) {
    if (p.data.size() >= 4) return Rd32(p.data.data());
    if (p.data.size() >= 2) return Rd16(p.data.data());
    return p.data.empty() ? 0 : p.data[0];
}
float AsFloat(const Prop& p) {
    return FixedAt<float>(p);
}
double AsDouble(const Prop& p) {
    return FixedAt<double>(p);
}
bool AsBool(const Prop& p) {
    return AsLong(p) != 0;
}
uint64_t AsI8(const Prop& p) {
    return p.data.size() >= 8 ? Rd64(p.data.data()) : AsLong(p);
}
Guid AsGuid(const Prop& p) {
    Guid g;
    if (p.data.size() >= 16) std::memcpy(g.b, p.data.data(), 16);
    return g;
}
std::vector<int16_t> AsMvShort(const Prop& p) {
    return FixedItems<int16_t>(p);
}
std::vector<uint32_t> AsMvLong(const Prop& p) {
    return FixedItems<uint32_t>(p);
}
std::vector<double> AsMvDouble(const Prop& p) {
    return FixedItems<double>(p);
}
std::vector<uint64_t> AsMvI8(const Prop& p) {
    return FixedItems<uint64_t>(p);
}
std::vector<Guid> AsMvGuid(const Prop& p) {
    std::vector<Guid> v(p.data.size() / 16);
    for (size_t i = 0; i < v.size(); ++i) std::memcpy(v[i].b, p.data.data() + 16 * i, 16);
    return v;
}
std::vector<Bytes> MvItems(const Prop& p) {
    std::vector<Bytes> out;
    const Bytes& d = p.data;
    if (d.size() < 4) return out;
    uint32_t n = Rd32(d.data());
    if (n > (d.size() - 4) / 4) return out;
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t a = Rd32(d.data() + 4 + 4 * i);
        uint32_t b = i + 1 < n ? Rd32(d.data() + 8 + 4 * i) : static_cast<uint32_t>(d.size());
        if (a > b || b > d.size()) break;
        out.emplace_back(d.begin() + a, d.begin() + b);
    }
    return out;
}
std::vector<std::string> AsMvUtf8(const Prop& p) {
    std::vector<std::string> out;
    for (auto& item : MvItems(p))
        out.push_back(ToUtf8(Prop{static_cast<uint16_t>(p.type & 0x0FFF), std::move(item)}));
    return out;
}
std::vector<Bytes> AsMvBinary(const Prop& p) {
    return MvItems(p);
}

}  // namespace pst

namespace pst {

// ---------------------------------------------------------------- appendable tables
//
// Shape of a table written by AppendTcRows: heap block 0 holds only TCINFO (HID 0x20) and the
// row-index BTH header (HID 0x40); the middle blocks hold cell values and full BTH nodes and
// never change once full; the last heap block holds only the right-hand spine of the row
// index, leaf first. The row matrix always lives in a subnode. Appending rewrites block 0, the
// last value block, the spine block and the last row-matrix block, nothing older.

namespace {

constexpr HID kBthHeaderHid = 0x20, kTcInfoHid = 0x40;  // where Outlook puts them
constexpr size_t kIndexRec = 8;                         // dwRowID + dwRowIndex
constexpr size_t kLeafMax = kMaxAlloc / kIndexRec;      // 447 records in a full node
constexpr uint8_t kFillFull = 0xFF;                     // hints "no room" for every block

Bytes SerializeHeapBlock(size_t index, const std::vector<Bytes>& allocs, HID userRoot) {
    Bytes d(BlockHeaderSize(index), 0);
    std::vector<uint16_t> offs;
    for (auto& a : allocs) {
        offs.push_back(static_cast<uint16_t>(d.size()));
        d.insert(d.end(), a.begin(), a.end());
    }
    uint16_t end = static_cast<uint16_t>(d.size());
    if (d.size() & 1) d.push_back(0);
    uint16_t ibHnpm = static_cast<uint16_t>(d.size());
    Bytes map(4 + 2 * (offs.size() + 1));
    Wr16(map.data(), static_cast<uint16_t>(offs.size()));
    for (size_t j = 0; j < offs.size(); ++j) Wr16(map.data() + 4 + 2 * j, offs[j]);
    Wr16(map.data() + 4 + 2 * offs.size(), end);
    d.insert(d.end(), map.begin(), map.end());
    Wr16(d.data(), ibHnpm);
    if (index == 0) {
        d[2] = kHnSig;
        d[3] = kSigTc;
        Wr32(d.data() + 4, userRoot);
        for (int i = 0; i < 4; ++i) d[8 + i] = kFillFull;
    } else if (IsBitmapBlock(index)) {
        for (int i = 0; i < 64; ++i) d[2 + i] = kFillFull;
    }
    return d;
}

size_t BlockBytes(size_t index, const std::vector<Bytes>& allocs, size_t extra) {
    size_t n = BlockHeaderSize(index) + extra;
    for (auto& a : allocs) n += a.size();
    n += n & 1;
    return n + 4 + 2 * (allocs.size() + (extra ? 2 : 1));
}

bool SplitHeapBlock(const Bytes& d, size_t index, std::vector<Bytes>& allocs) {
    allocs.clear();
    if (d.size() < BlockHeaderSize(index) + 4) return false;
    uint16_t ibHnpm = Rd16(d.data());
    if (size_t(ibHnpm) + 4 > d.size()) return false;
    uint16_t c = Rd16(d.data() + ibHnpm);
    if (size_t(ibHnpm) + 4 + 2 * (size_t(c) + 1) > d.size()) return false;
    for (size_t j = 0; j < c; ++j) {
        uint16_t a = Rd16(d.data() + ibHnpm + 4 + 2 * j), b = Rd16(d.data() + ibHnpm + 6 + 2 * j);
        if (a > b || b > ibHnpm) return false;
        allocs.emplace_back(d.begin() + a, d.begin() + b);
    }
    return true;
}

HID MakeHid(size_t block, size_t index1) {
    return static_cast<HID>((block << 16) | (index1 << 5));
}

constexpr size_t kIndexMax = 200;  // entries of an index node, so three spine nodes fit one block

// Frees the internal blocks of a data tree or subnode tree, not the data they lead to.
void FreeTreeBlocks(Ndb& db, BID bid) {
    if (!IsInternal(bid)) return;
    Bytes b;
    std::string err;
    if (db.ReadBlock(bid, b, err) && b.size() >= 8 && b[1] >= 1) {
        uint16_t n = Rd16(b.data() + 2);
        size_t rec = b[0] == 0x01 ? 8 : 16, off = b[0] == 0x01 ? 0 : 8;
        if (b[0] == 0x02 || b[1] == 2)
            for (size_t i = 0; i < n && 8 + rec * (i + 1) <= b.size(); ++i)
                db.FreeBlock(Rd64(b.data() + 8 + rec * i + off));
    }
    db.FreeBlock(bid);
}

struct Appender {
    explicit Appender(Ndb& d) : db(&d) {}
    Ndb* db;
    Table layout;
    Bytes tcinfo;
    struct Frozen {
        BID bid = 0;
        Bytes bytes;
    };
    std::vector<Frozen> frozen;  // heap blocks 1 .. openIndex-1
    size_t openIndex = 0;        // heap block index of the open value block (0: none yet)
    std::vector<Bytes> openAllocs;
    BID openBid = 0;  // the open block as it is on disk, if unchanged
    bool openDirty = false;
    std::vector<std::vector<Bytes>> spine;  // per level: leaf records / frozen index entries
    std::vector<BID> matrixLeaves;
    Bytes matrixTail;
    NID matrixNid = 0;
    uint32_t rowCount = 0;
    uint32_t lastKey = 0;
    std::map<NID, std::pair<BID, BID>> subs;
    std::vector<BID> toFree, treesToFree;

    size_t TailIndex() const { return openIndex == 0 ? 1 : openIndex + 1; }

    HID AllocValue(const Bytes& v) {
        if (openIndex == 0 || BlockBytes(openIndex, openAllocs, v.size()) > kMaxBlockData ||
            openAllocs.size() >= 2000) {
            if (openIndex != 0) {
                Frozen f;
                if (openDirty) {
                    f.bytes = SerializeHeapBlock(openIndex, openAllocs, 0);
                    if (openBid) toFree.push_back(openBid);
                } else {
                    f.bid = openBid;
                }
                frozen.push_back(std::move(f));
            }
            openIndex = TailIndex();
            openAllocs.clear();
            openBid = 0;
        }
        openAllocs.push_back(v);
        openDirty = true;
        return MakeHid(openIndex, openAllocs.size());
    }

    uint32_t StoreCell(const Bytes& v) {
        if (v.empty()) return 0;
        if (v.size() <= kMaxAlloc) return AllocValue(v);
        NID nid = MakeNid(kNidTypeLtp, FirstFreeSubIndex(subs));
        subs[nid] = {db->WriteDataTree(v.data(), v.size()), 0};
        return nid.value();
    }

    // Adds an entry at a level of the right-hand spine; a full node is frozen into a value block
    // and named one level up. A live index node keeps room for the entry of its spine child.
    void PushIndex(size_t level, const Bytes& rec) {
        if (spine.size() <= level) spine.emplace_back();
        size_t cap = level == 0 ? kLeafMax : kIndexMax - 1;
        if (spine[level].size() >= cap) {
            Bytes all;
            for (auto& r : spine[level]) all.insert(all.end(), r.begin(), r.end());
            HID h = AllocValue(all);
            Bytes up(8);
            std::memcpy(up.data(), all.data(), 4);
            Wr32(up.data() + 4, h);
            spine[level].clear();
            PushIndex(level + 1, up);
        }
        spine[level].push_back(rec);
    }

    void AddRow(const TcRow& row) {
        size_t rowSize = layout.rgib[3];
        Bytes r = LayOutRow(layout, row, [&](const Bytes& v) { return StoreCell(v); });
        size_t perBlock = kMaxBlockData / rowSize;
        if (matrixTail.size() / rowSize >= perBlock) {
            matrixTail.resize(kMaxBlockData, 0);  // full blocks are padded, as Outlook writes them
            matrixLeaves.push_back(db->WriteExternalBlock(matrixTail.data(), matrixTail.size()));
            matrixTail.clear();
        }
        matrixTail.insert(matrixTail.end(), r.begin(), r.end());
        Bytes rec(8);
        Wr32(rec.data(), row.rowId);
        Wr32(rec.data() + 4, rowCount++);
        lastKey = row.rowId;
        PushIndex(0, rec);
    }

    BuiltNode Finish() {
        Ndb& d = *db;
        // The open block stays as it is on disk unless something was added to it.
        size_t tailIndex = TailIndex();
        std::vector<Bytes> tail;
        for (size_t L = 0; L < spine.size() && rowCount > 0; ++L) {
            Bytes all;
            for (auto& r : spine[L]) all.insert(all.end(), r.begin(), r.end());
            if (L > 0) {
                Bytes e(8);
                std::memcpy(e.data(), tail[L - 1].data(), 4);
                Wr32(e.data() + 4, MakeHid(tailIndex, L));
                all.insert(all.end(), e.begin(), e.end());
            }
            tail.push_back(std::move(all));
        }
        Bytes bth(8, 0);
        bth[0] = kSigBth;
        bth[1] = 4;
        bth[2] = 4;
        if (!tail.empty()) {
            bth[3] = static_cast<uint8_t>(tail.size() - 1);
            Wr32(bth.data() + 4, MakeHid(tailIndex, tail.size()));
        }
        if (matrixNid == 0) matrixNid = MakeNid(kNidTypeLtp, FirstFreeSubIndex(subs));
        Wr32(tcinfo.data() + 10, kBthHeaderHid);
        Wr32(tcinfo.data() + 14, rowCount ? matrixNid.value() : 0);
        Bytes b0 = SerializeHeapBlock(0, {bth, tcinfo}, kTcInfoHid);
        std::vector<BID> leaves{d.WriteExternalBlock(b0.data(), b0.size())};
        for (auto& f : frozen)
            leaves.push_back(f.bid ? f.bid : d.WriteExternalBlock(f.bytes.data(), f.bytes.size()));
        if (openIndex) {
            if (openDirty || !openBid) {
                if (openBid) toFree.push_back(openBid);
                Bytes ob = SerializeHeapBlock(openIndex, openAllocs, 0);
                leaves.push_back(d.WriteExternalBlock(ob.data(), ob.size()));
            } else {
                leaves.push_back(openBid);
            }
        }
        if (!tail.empty()) {
            Bytes t = SerializeHeapBlock(tailIndex, tail, 0);
            leaves.push_back(d.WriteExternalBlock(t.data(), t.size()));
        }
        uint64_t total = 0;
        for (BID b : leaves)
            if (auto be = d.FindBlock(b)) total += be->cb;
        BuiltNode n;
        n.bidData = d.WriteDataTreeFromLeaves(leaves, total);
        if (rowCount) {
            std::vector<BID> m = matrixLeaves;
            if (!matrixTail.empty()) m.push_back(d.WriteExternalBlock(matrixTail.data(), matrixTail.size()));
            subs[matrixNid] = {d.WriteDataTreeFromLeaves(
                                   m, uint64_t(matrixLeaves.size()) * kMaxBlockData + matrixTail.size()),
                               0};
        }
        n.bidSub = d.WriteSubnodeTree(subs);
        for (BID b : toFree) d.FreeBlock(b);
        for (BID b : treesToFree) FreeTreeBlocks(d, b);
        return n;
    }
};

// Loads an existing table in append shape; false if it is not in that shape.
bool LoadAppendable(Ndb& db, BID bidData, BID bidSub, Appender& a, std::string& err) {
    std::vector<BID> leaves;
    if (!db.DataTreeLeaves(bidData, leaves, err) || leaves.size() < 2) return false;
    Bytes b0;
    std::vector<Bytes> a0;
    if (!db.ReadBlock(leaves[0], b0, err) || !SplitHeapBlock(b0, 0, a0) || a0.size() != 2 ||
        b0[3] != kSigTc || Rd32(b0.data() + 4) != kTcInfoHid)
        return false;
    const Bytes& bth = a0[0];
    const Bytes& info = a0[1];
    if (bth.size() != 8 || bth[0] != kSigBth || bth[1] != 4 || bth[2] != 4) return false;
    if (info.size() < 22 || Rd32(info.data() + 10) != kBthHeaderHid) return false;
    uint32_t hnidRows = Rd32(info.data() + 14);
    if (hnidRows == 0 || IsHid(hnidRows)) return false;
    size_t tailIndex = leaves.size() - 1;
    Bytes tb;
    std::vector<Bytes> tail;
    if (!db.ReadBlock(leaves[tailIndex], tb, err) || !SplitHeapBlock(tb, tailIndex, tail) || tail.empty())
        return false;
    if (Rd32(bth.data() + 4) != MakeHid(tailIndex, tail.size()) || bth[3] != tail.size() - 1) return false;
    // Every index level ends with the entry of the spine node below it.
    for (size_t L = 0; L < tail.size(); ++L) {
        if (tail[L].empty() || tail[L].size() % 8 != 0) return false;
        if (L > 0 && Rd32(tail[L].data() + tail[L].size() - 4) != MakeHid(tailIndex, L)) return false;
    }
    if (!db.ReadSubnodes(bidSub, a.subs, err)) return false;
    auto m = a.subs.find(hnidRows);
    if (m == a.subs.end()) return false;
    std::vector<BID> mleaves;
    if (!db.DataTreeLeaves(m->second.first, mleaves, err) || mleaves.empty()) return false;
    Table layout;
    if (!ReadTcLayout(db, bidData, layout, err)) return false;
    size_t rowSize = layout.rgib[3];
    if (rowSize == 0) return false;
    Bytes last;
    if (!db.ReadBlock(mleaves.back(), last, err) || last.size() % rowSize != 0) return false;
    size_t perBlock = kMaxBlockData / rowSize;
    a.layout = layout;
    a.tcinfo = a0[1];
    a.matrixNid = hnidRows;
    a.matrixTail = last;
    a.toFree.push_back(mleaves.back());
    mleaves.pop_back();
    for (BID b : mleaves) a.matrixLeaves.push_back(b);
    a.rowCount = static_cast<uint32_t>(mleaves.size() * perBlock + last.size() / rowSize);
    // Heap: block 0 and the spine block are rewritten; the last value block stays open.
    a.toFree.push_back(leaves[0]);
    a.toFree.push_back(leaves[tailIndex]);
    for (size_t i = 1; i + 1 < tailIndex; ++i) a.frozen.push_back({leaves[i], {}});
    if (tailIndex > 1) {
        a.openIndex = tailIndex - 1;
        a.openBid = leaves[a.openIndex];
        Bytes ob;
        if (!db.ReadBlock(a.openBid, ob, err) || !SplitHeapBlock(ob, a.openIndex, a.openAllocs)) return false;
    }
    for (size_t L = 0; L < tail.size(); ++L) {
        a.spine.emplace_back();
        size_t n = tail[L].size() / 8 - (L > 0 ? 1 : 0);
        for (size_t i = 0; i < n; ++i)
            a.spine[L].emplace_back(tail[L].begin() + 8 * i, tail[L].begin() + 8 * i + 8);
    }
    a.lastKey = Rd32(tail[0].data() + tail[0].size() - 8);
    // The block lists of the heap, the row matrix and the subnodes are replaced too.
    a.treesToFree.push_back(bidData);
    a.treesToFree.push_back(m->second.first);
    a.treesToFree.push_back(bidSub);
    return true;
}

}  // namespace

bool ReadTcLayout(Ndb& db, BID bidData, Table& out, std::string& err) {
    out = Table{};
    std::vector<BID> leaves;
    if (!db.DataTreeLeaves(bidData, leaves, err) || leaves.empty()) {
        if (err.empty()) err = "table has no data";
        return false;
    }
    Bytes b0;
    if (!db.ReadBlock(leaves[0], b0, err)) return false;
    Heap h;
    if (!h.Load(b0, {b0.size()}, err)) return false;
    const uint8_t* p;
    size_t n;
    if (h.clientSig() != kSigTc || !h.Get(h.userRoot(), p, n) || n < 22 || p[0] != kSigTc ||
        n < 22 + 8 * size_t(p[1])) {
        err = "TCINFO missing or malformed";
        return false;
    }
    for (int i = 0; i < 4; ++i) out.rgib[i] = Rd16(p + 2 + 2 * i);
    for (size_t i = 0; i < p[1]; ++i) {
        const uint8_t* c = p + 22 + 8 * i;
        out.cols.push_back({Rd32(c), Rd16(c + 4), c[6], c[7]});
    }
    return true;
}

bool AppendTcRows(Ndb& db, BID oldData, BID oldSub, const Table& layout, const std::vector<TcRow>& rows,
                  BuiltNode& out, std::string& err) {
    auto a = std::make_unique<Appender>(db);
    a->layout = layout;
    bool appendable = oldData && LoadAppendable(db, oldData, oldSub, *a, err);
    // Row IDs must keep rising for the row index to stay sorted; otherwise rebuild in order.
    if (appendable && !rows.empty() && a->rowCount > 0 && rows.front().rowId <= a->lastKey)
        appendable = false;
    for (size_t i = 1; appendable && i < rows.size(); ++i)
        if (rows[i].rowId <= rows[i - 1].rowId) appendable = false;
    err.clear();
    std::vector<TcRow> all;
    if (!appendable) {
        // Rebuild once into the append shape, keeping the rows and columns already there.
        a = std::make_unique<Appender>(db);
        a->layout = layout;
        if (oldData) {
            Table old;
            if (!ReadTc(db, oldData, oldSub, old, err)) return false;
            a->layout.cols = old.cols;
            std::copy(old.rgib, old.rgib + 4, a->layout.rgib);
            all = std::move(old.rows);
            db.FreeBlockTree(oldData);
            db.FreeBlockTree(oldSub);
        }
        a->tcinfo = MakeTcInfo(a->layout);
        all.insert(all.end(), rows.begin(), rows.end());
        std::stable_sort(all.begin(), all.end(),
                         [](const TcRow& x, const TcRow& y) { return x.rowId < y.rowId; });
        all.erase(std::unique(all.begin(), all.end(),
                              [](const TcRow& x, const TcRow& y) { return x.rowId == y.rowId; }),
                  all.end());
    } else {
        all = rows;
    }
    if (a->layout.rgib[3] == 0 || a->layout.rgib[3] > kMaxBlockData) {
        err = "table row layout is unusable";
        return false;
    }
    for (auto& r : all) a->AddRow(r);
    out = a->Finish();
    if (db.failed()) {
        err = db.failure();
        return false;
    }
    return true;
}

}  // namespace pst
