#include "pst/ltp.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace pst {

namespace {
constexpr size_t kMaxAlloc = 3580;  // [MS-PST] 2.3.1.1: largest heap allocation
constexpr uint8_t kHnSig = 0xEC;
constexpr uint32_t kTagRowId = 0x67F20003, kTagRowVer = 0x67F30003;

bool IsHid(uint32_t hnid) { return (hnid & 0x1F) == 0; }

// A heap block carries a full HNBITMAPHDR at index 8 and every 128 blocks after ([MS-PST] 2.3.1.6).
bool IsBitmapBlock(size_t i) { return i >= 8 && (i - 8) % 128 == 0; }
size_t BlockHeaderSize(size_t i) { return i == 0 ? 12 : (IsBitmapBlock(i) ? 66 : 2); }

uint8_t FillLevel(size_t freeBytes) {
  static const size_t kLimits[] = {3584, 2560, 2048, 1792, 1536, 1280, 1024, 768, 512, 256, 128, 64, 32, 16, 8};
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
  struct Blk { Bytes data; std::vector<uint16_t> offsets; };
  void NewBlock() {
    Blk b;
    b.data.assign(BlockHeaderSize(blocks_.size()), 0);
    blocks_.push_back(std::move(b));
  }
  uint8_t sig_;
  HID root_ = 0;
  std::vector<Blk> blocks_;
};

// Builds a BTH over sorted records and returns the HID of its BTHHEADER ([MS-PST] 2.3.2).
HID BuildBth(HeapBuilder& hb, uint8_t cbKey, uint8_t cbEnt, const std::vector<Bytes>& records) {
  Bytes hdr(8, 0);
  hdr[0] = kSigBth;
  hdr[1] = cbKey;
  hdr[2] = cbEnt;
  HID hdrHid = hb.Alloc(hdr);
  if (records.empty()) return hdrHid;
  // Each level is a run of allocations; an index level holds (first key, HID) per child.
  std::vector<std::pair<Bytes, HID>> level;
  size_t per = kMaxAlloc / (cbKey + cbEnt);
  for (size_t i = 0; i < records.size(); i += per) {
    Bytes chunk;
    size_t n = std::min(per, records.size() - i);
    for (size_t j = 0; j < n; ++j) chunk.insert(chunk.end(), records[i + j].begin(), records[i + j].end());
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
  return nid;
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
    if (!heap.Get(hnid, p, n)) { err = "value refers to a missing heap item"; return false; }
    out.assign(p, p + n);
    return true;
  }
  auto it = subs.find(hnid);
  if (it == subs.end()) { err = "value refers to a missing subnode"; return false; }
  return db.ReadDataTree(it->second.first, out, err);
}
}  // namespace

size_t FixedSize(uint16_t type) {
  switch (type) {
    case PT_SHORT: return 2;
    case PT_LONG: case PT_FLOAT: case PT_ERROR: return 4;
    case PT_BOOLEAN: return 1;
    case PT_DOUBLE: case PT_CURRENCY: case PT_APPTIME: case PT_I8: case PT_SYSTIME: return 8;
    case PT_CLSID: return 16;
    default: return 0;
  }
}

bool IsKnownType(uint16_t type) {
  switch (type & 0x0FFF) {
    case PT_SHORT: case PT_LONG: case PT_FLOAT: case PT_DOUBLE: case PT_CURRENCY: case PT_APPTIME:
    case PT_ERROR: case PT_BOOLEAN: case PT_OBJECT: case PT_I8: case PT_STRING8: case PT_UNICODE:
    case PT_SYSTIME: case PT_CLSID: case PT_SVREID: case PT_SRESTRICT: case PT_ACTIONS: case PT_BINARY:
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
  if (leaves.size() > 65535) { err = "heap has too many blocks"; return false; }
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
    b.data.assign(whole.begin() + static_cast<long>(off), whole.begin() + static_cast<long>(off + sizes[i]));
    off += sizes[i];
    const Bytes& d = b.data;
    if (d.size() < BlockHeaderSize(i) || d.size() < 2) { err = "heap block too short"; return false; }
    uint16_t ibHnpm = Rd16(d.data());
    if (ibHnpm < BlockHeaderSize(i) || size_t(ibHnpm) + 4 > d.size()) { err = "heap page map out of range"; return false; }
    uint16_t cAlloc = Rd16(d.data() + ibHnpm);
    if (size_t(ibHnpm) + 4 + 2 * (size_t(cAlloc) + 1) > d.size()) { err = "heap page map overruns its block"; return false; }
    for (size_t j = 0; j <= cAlloc; ++j) {
      uint16_t o = Rd16(d.data() + ibHnpm + 4 + 2 * j);
      if (o < BlockHeaderSize(i) || o > ibHnpm || (!b.offsets.empty() && o < b.offsets.back())) {
        err = "heap allocation offsets are inconsistent";
        return false;
      }
      b.offsets.push_back(o);
    }
    if (i == 0) {
      if (d[2] != kHnSig) { err = "heap signature missing"; return false; }
      clientSig_ = d[3];
      userRoot_ = Rd32(d.data() + 4);
    }
    blocks_.push_back(std::move(b));
  }
  if (blocks_.empty()) { err = "empty heap"; return false; }
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
  if (!heap.Get(header, p, n) || n < 8 || p[0] != kSigBth) { err = "BTH header missing or malformed"; return false; }
  cbKey = p[1];
  cbEnt = p[2];
  uint8_t levels = p[3];
  HID root = Rd32(p + 4);
  if (cbKey == 0 || cbKey > 16 || cbEnt > 32 || levels > 8) { err = "BTH header has impossible sizes"; return false; }
  if (root == 0) return true;
  size_t budget = 10'000'000;
  std::function<bool(HID, int)> walk = [&](HID h, int level) -> bool {
    const uint8_t* q;
    size_t m;
    if (!heap.Get(h, q, m)) { err = "BTH node missing"; return false; }
    size_t rec = level > 0 ? cbKey + 4u : cbKey + size_t(cbEnt);
    if (m % rec != 0) { err = "BTH node size is not a multiple of its records"; return false; }
    for (size_t i = 0; i < m / rec; ++i) {
      if (budget-- == 0) { err = "BTH too large"; return false; }
      const uint8_t* r = q + i * rec;
      if (level > 0) {
        if (!walk(Rd32(r + cbKey), level - 1)) return false;
      } else {
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
  if (heap.clientSig() != kSigPc) { err = "node is not a property context"; return false; }
  std::map<NID, std::pair<BID, BID>> subs;
  if (!db.ReadSubnodes(bidSub, subs, err)) return false;
  std::vector<std::pair<Bytes, Bytes>> recs;
  uint8_t cbKey, cbEnt;
  if (!ReadBth(heap, heap.userRoot(), recs, cbKey, cbEnt, err)) return false;
  if (cbKey != 2 || cbEnt != 6) { err = "property context BTH has the wrong record size"; return false; }
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
      if (fs > 0 && pr.data.size() != fs) { err = "fixed-size property has the wrong length"; return false; }
    }
    out[id] = std::move(pr);
  }
  return true;
}

BuiltNode BuildPc(Ndb& db, const PropMap& props, std::map<NID, std::pair<BID, BID>> subs,
                  const std::map<uint16_t, NID>& external) {
  HeapBuilder hb(kSigPc);
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
      Wr32(r.data() + 4, ext->second);
    } else {
      Wr32(r.data() + 4, StoreValue(db, hb, p.data, subs, nextSub));
    }
    recs.push_back(std::move(r));
  }
  hb.SetRoot(BuildBth(hb, 2, 6, recs));
  return WriteHeap(db, hb, subs);
}

// ---------------------------------------------------------------- TC ([MS-PST] 2.3.4)

bool ReadTc(Ndb& db, BID bidData, BID bidSub, Table& out, std::string& err, size_t maxRows) {
  out = Table{};
  Heap heap;
  if (!heap.Load(db, bidData, err)) return false;
  if (heap.clientSig() != kSigTc) { err = "node is not a table context"; return false; }
  const uint8_t* p;
  size_t n;
  if (!heap.Get(heap.userRoot(), p, n) || n < 22 || p[0] != kSigTc) { err = "TCINFO missing or malformed"; return false; }
  uint8_t cCols = p[1];
  if (n < 22 + 8 * size_t(cCols)) { err = "TCINFO shorter than its columns"; return false; }
  for (int i = 0; i < 4; ++i) out.rgib[i] = Rd16(p + 2 + 2 * i);
  HID hidRowIndex = Rd32(p + 10);
  uint32_t hnidRows = Rd32(p + 14);
  size_t rowSize = out.rgib[3];
  if (!(out.rgib[0] <= out.rgib[1] && out.rgib[1] <= out.rgib[2] && out.rgib[2] <= out.rgib[3]) || rowSize > kMaxBlockData) {
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
  if (index.size() > maxRows) { err = "table has too many rows"; return false; }
  if (index.empty()) return true;
  if (cbKey != 4 || rowSize == 0) { err = "row index has the wrong key size"; return false; }
  // Row matrix: in the heap or in a subnode whose blocks each hold whole rows.
  std::vector<Bytes> rowBlocks;
  if (hnidRows == 0) {
    err = "table has rows but no row matrix";
    return false;
  } else if (IsHid(hnidRows)) {
    if (!heap.Get(hnidRows, p, n)) { err = "row matrix missing"; return false; }
    rowBlocks.emplace_back(p, p + n);
  } else {
    auto it = subs.find(hnidRows);
    if (it == subs.end()) { err = "row matrix subnode missing"; return false; }
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
    if (blk >= rowBlocks.size() || off + rowSize > rowBlocks[blk].size()) { err = "row index points outside the row matrix"; return false; }
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
        if (c.cb != fs) { err = "table column width does not match its type"; return false; }
        pr.data.assign(r + c.ib, r + c.ib + fs);
      } else {
        if (c.cb != 4) { err = "table column width does not match its type"; return false; }
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

BuiltNode BuildTc(Ndb& db, const Table& t) {
  HeapBuilder hb(kSigTc);
  std::map<NID, std::pair<BID, BID>> subs;
  uint32_t nextSub = 1;
  size_t rowSize = t.rgib[3];
  size_t cebBytes = t.rgib[3] - t.rgib[2];
  Bytes tcinfo(22 + 8 * t.cols.size(), 0);
  HID infoHid = hb.Alloc(tcinfo);
  // Rows, with their variable-size cells stored first so their HNIDs are known.
  Bytes matrix;
  std::vector<Bytes> index;
  matrix.reserve(t.rows.size() * rowSize);
  for (size_t i = 0; i < t.rows.size(); ++i) {
    const TcRow& row = t.rows[i];
    Bytes r(rowSize, 0);
    uint8_t* ceb = r.data() + t.rgib[2];
    for (auto& c : t.cols) {
      uint16_t id = static_cast<uint16_t>(c.tag >> 16);
      const Prop* pr = nullptr;
      Prop rowId;
      if (c.tag == kTagRowId) {
        rowId = MakeLong(row.rowId);
        pr = &rowId;
      } else {
        auto it = row.props.find(id);
        if (it == row.props.end() || it->second.type != (c.tag & 0xFFFF)) continue;
        pr = &it->second;
      }
      size_t fs = FixedSize(pr->type);
      if (fs > 0 && fs <= 8) {
        if (!pr->data.empty()) std::memcpy(r.data() + c.ib, pr->data.data(), std::min<size_t>(c.cb, pr->data.size()));
      } else {
        Wr32(r.data() + c.ib, StoreValue(db, hb, pr->data, subs, nextSub));
      }
      if (c.iBit / 8 < cebBytes) ceb[c.iBit / 8] = static_cast<uint8_t>(ceb[c.iBit / 8] | (0x80 >> (c.iBit % 8)));
    }
    matrix.insert(matrix.end(), r.begin(), r.end());
    Bytes rec(8);
    Wr32(rec.data(), row.rowId);
    Wr32(rec.data() + 4, static_cast<uint32_t>(i));
    index.push_back(std::move(rec));
  }
  std::sort(index.begin(), index.end(), [](const Bytes& a, const Bytes& b) { return Rd32(a.data()) < Rd32(b.data()); });
  HID rowIndex = BuildBth(hb, 4, 4, index);
  uint32_t hnidRows = 0;
  if (!matrix.empty()) {
    if (matrix.size() <= kMaxAlloc) {
      hnidRows = hb.Alloc(matrix);
    } else {
      size_t perBlock = kMaxBlockData / rowSize;
      std::vector<BID> leaves;
      for (size_t off = 0; off < matrix.size(); off += perBlock * rowSize) {
        size_t len = std::min(perBlock * rowSize, matrix.size() - off);
        leaves.push_back(db.WriteExternalBlock(matrix.data() + off, len));
      }
      hnidRows = MakeNid(kNidTypeLtp, nextSub++);
      subs[hnidRows] = {db.WriteDataTreeFromLeaves(leaves, matrix.size()), 0};
    }
  }
  tcinfo[0] = kSigTc;
  tcinfo[1] = static_cast<uint8_t>(t.cols.size());
  for (int i = 0; i < 4; ++i) Wr16(tcinfo.data() + 2 + 2 * i, t.rgib[i]);
  Wr32(tcinfo.data() + 10, rowIndex);
  Wr32(tcinfo.data() + 14, hnidRows);
  for (size_t i = 0; i < t.cols.size(); ++i) {
    uint8_t* c = tcinfo.data() + 22 + 8 * i;
    Wr32(c, t.cols[i].tag);
    Wr16(c + 4, t.cols[i].ib);
    c[6] = t.cols[i].cb;
    c[7] = t.cols[i].iBit;
  }
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
  if (!pending_.empty() || leaves_.empty()) leaves_.push_back(db_.WriteExternalBlock(pending_.data(), pending_.size()));
  pending_.clear();
  return db_.WriteDataTreeFromLeaves(leaves_, total_);
}

// ---------------------------------------------------------------- values

std::u16string Utf8ToUtf16(const std::string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size();) {
    uint32_t c = static_cast<uint8_t>(s[i]);
    size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > s.size()) { out.push_back(u'\uFFFD'); ++i; continue; }
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

Prop MakeUnicode(const std::u16string& s) {
  Prop p{PT_UNICODE, Bytes(s.size() * 2)};
  for (size_t i = 0; i < s.size(); ++i) Wr16(p.data.data() + 2 * i, s[i]);
  return p;
}
Prop MakeUtf8(const std::string& s) { return MakeUnicode(Utf8ToUtf16(s)); }
Prop MakeLong(uint32_t v) {
  Prop p{PT_LONG, Bytes(4)};
  Wr32(p.data.data(), v);
  return p;
}
Prop MakeBool(bool v) { return Prop{PT_BOOLEAN, Bytes{static_cast<uint8_t>(v ? 1 : 0)}}; }
Prop MakeI8(uint64_t v, uint16_t type) {
  Prop p{type, Bytes(8)};
  Wr64(p.data.data(), v);
  return p;
}
Prop MakeBinary(const Bytes& b) { return Prop{PT_BINARY, b}; }

namespace {
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

Prop MakeMvUnicode(const std::vector<std::string>& utf8) {
  std::vector<Bytes> items;
  for (auto& s : utf8) items.push_back(MakeUtf8(s).data);
  return MakeMv(PT_MV_UNICODE, items);
}
Prop MakeMvBinary(const std::vector<Bytes>& v) { return MakeMv(PT_MV_BINARY, v); }

std::string ToUtf8(const Prop& p) {
  if (p.type == PT_STRING8) return std::string(p.data.begin(), p.data.end());
  return Utf16ToUtf8(p.data.data(), p.data.size());
}
uint32_t AsLong(const Prop& p) {
  if (p.data.size() >= 4) return Rd32(p.data.data());
  if (p.data.size() >= 2) return Rd16(p.data.data());
  return p.data.empty() ? 0 : p.data[0];
}
uint64_t AsI8(const Prop& p) { return p.data.size() >= 8 ? Rd64(p.data.data()) : AsLong(p); }

}  // namespace pst
