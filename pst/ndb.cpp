#include "pst/ndb.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace pst {

namespace {

// Eight tables for slicing-by-8: table k gives the CRC of a byte followed by k zero bytes.
std::array<std::array<uint32_t, 256>, 8> MakeCrcTables() {
    std::array<std::array<uint32_t, 256>, 8> t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (0xEDB88320u ^ (c >> 1)) : (c >> 1);
        t[0][i] = c;
    }
    for (size_t k = 1; k < 8; ++k)
        for (uint32_t i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    return t;
}

// [MS-PST] 5.1 mpbbR, the encoding permutation; decoding uses its inverse.
constexpr uint8_t kPermuteR[256] = {
    65,  54,  19,  98,  168, 33,  110, 187, 244, 22,  204, 4,   127, 100, 232, 93,  30,  242, 203, 42,
    116, 197, 94,  53,  210, 149, 71,  158, 150, 45,  154, 136, 76,  125, 132, 63,  219, 172, 49,  182,
    72,  95,  246, 196, 216, 57,  139, 231, 35,  59,  56,  142, 200, 193, 223, 37,  177, 32,  165, 70,
    96,  78,  156, 251, 170, 211, 86,  81,  69,  124, 85,  0,   7,   201, 43,  157, 133, 155, 9,   160,
    143, 173, 179, 15,  99,  171, 137, 75,  215, 167, 21,  90,  113, 102, 66,  191, 38,  74,  107, 152,
    250, 234, 119, 83,  178, 112, 5,   44,  253, 89,  58,  134, 126, 206, 6,   235, 130, 120, 87,  199,
    141, 67,  175, 180, 28,  212, 91,  205, 226, 233, 39,  79,  195, 8,   114, 128, 207, 176, 239, 245,
    40,  109, 190, 48,  77,  52,  146, 213, 14,  60,  34,  50,  229, 228, 249, 159, 194, 209, 10,  129,
    18,  225, 238, 145, 131, 118, 227, 151, 230, 97,  138, 23,  121, 164, 183, 220, 144, 122, 92,  140,
    2,   166, 202, 105, 222, 80,  26,  17,  147, 185, 82,  135, 88,  252, 237, 29,  55,  73,  27,  106,
    224, 41,  51,  153, 189, 108, 217, 148, 243, 64,  84,  111, 240, 198, 115, 184, 214, 62,  101, 24,
    68,  31,  221, 103, 16,  241, 12,  25,  236, 174, 3,   161, 20,  123, 169, 11,  255, 248, 163, 192,
    162, 1,   247, 46,  188, 36,  104, 117, 13,  254, 186, 47,  181, 208, 218, 61};

std::array<uint8_t, 256> MakeInverse() {
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i) t[kPermuteR[i]] = static_cast<uint8_t>(i);
    return t;
}

const std::array<std::array<uint32_t, 256>, 8> kCrc = MakeCrcTables();
const std::array<uint8_t, 256> kPermuteI = MakeInverse();

constexpr uint8_t kPtypeBbt = 0x80, kPtypeNbt = 0x81, kPtypeFMap = 0x82, kPtypePMap = 0x83, kPtypeAMap = 0x84,
                  kPtypeFPMap = 0x85, kPtypeDList = 0x86;
constexpr uint64_t kDListOffset = 0x4200;
constexpr int kMaxTreeDepth = 8;

class PosixFile final : public FileIo {
  public:
    explicit PosixFile(int fd) : fd_(fd) {}
    ~PosixFile() override { ::close(fd_); }
    bool Read(uint64_t off, void* buf, size_t n) override {
        auto* p = static_cast<uint8_t*>(buf);
        while (n > 0) {
            ssize_t r = ::pread(fd_, p, n, static_cast<off_t>(off));
            if (r <= 0) return false;
            p += r;
            off += static_cast<uint64_t>(r);
            n -= static_cast<size_t>(r);
        }
        return true;
    }
    bool Write(uint64_t off, const void* buf, size_t n) override {
        auto* p = static_cast<const uint8_t*>(buf);
        while (n > 0) {
            ssize_t r = ::pwrite(fd_, p, n, static_cast<off_t>(off));
            if (r <= 0) return false;
            p += r;
            off += static_cast<uint64_t>(r);
            n -= static_cast<size_t>(r);
        }
        return true;
    }
    bool Sync() override { return ::fdatasync(fd_) == 0; }
    uint64_t Size() override {
        struct stat st {};
        return ::fstat(fd_, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
    }

  private:
    int fd_;
};

// Special pages at the start of interval k, in the order they sit in the file.
std::vector<uint8_t> SpecialPages(uint64_t k) {
    std::vector<uint8_t> v{kPtypeAMap};
    if (k % 8 == 0) v.push_back(kPtypePMap);
    if (k >= 128 && (k - 128) % 496 == 0) v.push_back(kPtypeFMap);
    if (k >= 8192 && (k - 8192) % (496 * 8 * 8) == 0) v.push_back(kPtypeFPMap);
    return v;
}

void SealPage(uint8_t* page, uint8_t ptype, uint64_t ib, BID bid, bool sig) {
    page[496] = ptype;
    page[497] = ptype;
    Wr16(page + 498, sig ? ComputeSig(ib, bid.value()) : 0);
    Wr32(page + 500, ComputeCrc(page, 496));
    Wr64(page + 504, bid.value());
}

}  // namespace

uint32_t ComputeCrc(const uint8_t* data, size_t n, uint32_t crc) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint32_t lo = crc ^ Rd32(data + i), hi = Rd32(data + i + 4);
        crc = kCrc[7][lo & 0xFF] ^ kCrc[6][(lo >> 8) & 0xFF] ^ kCrc[5][(lo >> 16) & 0xFF] ^
              kCrc[4][lo >> 24] ^ kCrc[3][hi & 0xFF] ^ kCrc[2][(hi >> 8) & 0xFF] ^
              kCrc[1][(hi >> 16) & 0xFF] ^ kCrc[0][hi >> 24];
    }
    for (; i < n; ++i) crc = kCrc[0][(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

uint16_t ComputeSig(uint64_t ib, uint64_t bid) {
    uint64_t v = ib ^ bid;
    return static_cast<uint16_t>(static_cast<uint16_t>(v >> 16) ^ static_cast<uint16_t>(v));
}

void PermuteEncode(uint8_t* data, size_t n) {
    for (size_t i = 0; i < n; ++i) data[i] = kPermuteR[data[i]];
}
void PermuteDecode(uint8_t* data, size_t n) {
    for (size_t i = 0; i < n; ++i) data[i] = kPermuteI[data[i]];
}

std::string ToString(NID nid) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", nid.value());
    return buf;
}
std::string ToString(BID bid) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(bid.value()));
    return buf;
}

uint64_t IntervalBase(uint64_t k) {
    return kFirstAMap + k * kAMapCoverage;
}
uint64_t IntervalDataStart(uint64_t k) {
    return IntervalBase(k) + SpecialPages(k).size() * kPageSize;
}

std::unique_ptr<FileIo> OpenPosixFile(const std::string& path, bool writable, bool create, std::string& err) {
    int flags = writable ? O_RDWR : O_RDONLY;
    if (create) flags |= O_CREAT | O_TRUNC;
    int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) {
        err = "cannot open " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    // Two writers appending to one file would each take the other's free space for their own.
    if (writable && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        err = "cannot open " + path + ": another process is writing to it";
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<PosixFile>(fd);
}

// ---------------------------------------------------------------- header ([MS-PST] 2.2.2.6)

bool ParseHeader(const uint8_t* p, size_t n, Header& h, std::string& err) {
    if (n < kHeaderSize) {
        err = "file too short for a PST header";
        return false;
    }
    if (std::memcmp(p, "!BDN", 4) != 0) {
        err = "not a PST file (bad magic)";
        return false;
    }
    if (std::memcmp(p + 8, "SM", 2) != 0) {
        err = "not a PST file (bad client magic)";
        return false;
    }
    uint16_t ver = Rd16(p + 10);
    if (ver < 23) {
        err = "ANSI PST files (version " + std::to_string(ver) + ") are not supported";
        return false;
    }
    if (ver > 23) {
        err = "unsupported PST version " + std::to_string(ver);
        return false;
    }
    if (Rd32(p + 4) != ComputeCrc(p + 8, 471)) {
        err = "header CRC (partial) mismatch";
        return false;
    }
    if (Rd32(p + 524) != ComputeCrc(p + 8, 516)) {
        err = "header CRC (full) mismatch";
        return false;
    }
    h.wVerClient = Rd16(p + 12);
    h.bPlatformCreate = p[14];
    h.bPlatformAccess = p[15];
    h.dwReserved1 = Rd32(p + 16);
    h.dwReserved2 = Rd32(p + 20);
    h.bidUnused = Rd64(p + 24);
    h.bidNextP = Rd64(p + 32);
    h.dwUnique = Rd32(p + 40);
    for (int i = 0; i < 32; ++i) h.rgnid[i] = Rd32(p + 44 + 4 * i);
    h.ibFileEof = Rd64(p + 184);
    h.ibAMapLast = Rd64(p + 192);
    h.cbAMapFree = Rd64(p + 200);
    h.cbPMapFree = Rd64(p + 208);
    h.nbt = {Rd64(p + 216), Rd64(p + 224)};
    h.bbt = {Rd64(p + 232), Rd64(p + 240)};
    h.fAMapValid = p[248];
    std::memcpy(h.rgbFM, p + 256, 128);
    std::memcpy(h.rgbFP, p + 384, 128);
    if (p[512] != 0x80) {
        err = "bad header sentinel";
        return false;
    }
    h.bCryptMethod = p[513];
    if (h.bCryptMethod > 1) {
        err = "unsupported encoding " + std::to_string(h.bCryptMethod);
        return false;
    }
    h.bidNextB = Rd64(p + 516);
    std::memcpy(h.reservedTail, p + 528, 36);
    return true;
}

void SerializeHeader(const Header& h, uint8_t* p) {
    std::memset(p, 0, kHeaderSize);
    std::memcpy(p, "!BDN", 4);
    std::memcpy(p + 8, "SM", 2);
    Wr16(p + 10, 23);
    Wr16(p + 12, h.wVerClient);
    p[14] = h.bPlatformCreate;
    p[15] = h.bPlatformAccess;
    Wr32(p + 16, h.dwReserved1);
    Wr32(p + 20, h.dwReserved2);
    Wr64(p + 24, h.bidUnused);
    Wr64(p + 32, h.bidNextP);
    Wr32(p + 40, h.dwUnique);
    for (int i = 0; i < 32; ++i) Wr32(p + 44 + 4 * i, h.rgnid[i]);
    Wr64(p + 184, h.ibFileEof);
    Wr64(p + 192, h.ibAMapLast);
    Wr64(p + 200, h.cbAMapFree);
    Wr64(p + 208, h.cbPMapFree);
    Wr64(p + 216, h.nbt.bid.value());
    Wr64(p + 224, h.nbt.ib);
    Wr64(p + 232, h.bbt.bid.value());
    Wr64(p + 240, h.bbt.ib);
    p[248] = h.fAMapValid;
    std::memcpy(p + 256, h.rgbFM, 128);
    std::memcpy(p + 384, h.rgbFP, 128);
    p[512] = 0x80;
    p[513] = h.bCryptMethod;
    Wr64(p + 516, h.bidNextB);
    std::memcpy(p + 528, h.reservedTail, 36);
    Wr32(p + 4, ComputeCrc(p + 8, 471));
    Wr32(p + 524, ComputeCrc(p + 8, 516));
}

// ---------------------------------------------------------------- B-trees ([MS-PST] 2.2.2.7.7)

struct BTree::Node {
    uint8_t level = 0;
    bool dirty = false;
    Bref ref;  // where the page was read from; {0,0} for a page never written
    std::vector<BtEntry> ents;
    std::vector<std::unique_ptr<Node>> kids;  // loaded children, parallel to ents when level > 0
};

BTree::BTree(Ndb& db, bool nodeTree, Bref root) : db_(db), nodeTree_(nodeTree), rootRef_(root) {}
BTree::~BTree() = default;

size_t BTree::MaxEntries(uint8_t level) const {
    if (level > 0) return 488 / 24;
    return nodeTree_ ? 488 / 32 : 488 / 24;
}

void BTree::StartEmpty() {
    root_ = std::make_unique<Node>();
    root_->dirty = true;
}

bool BTree::dirty() const {
    return root_ && root_->dirty;
}

void BTree::DropCache() {
    if (root_ && !root_->dirty) root_.reset();
}

bool BTree::ReadPage(const Bref& ref, int expectLevel, Node& out, std::string& err) {
    uint8_t page[kPageSize];
    if (ref.ib % 64 != 0 || !db_.ReadRaw(ref.ib, page, kPageSize)) {
        err = "cannot read B-tree page at " + std::to_string(ref.ib);
        return false;
    }
    uint8_t want = nodeTree_ ? kPtypeNbt : kPtypeBbt;
    if (page[496] != want || page[497] != want) {
        err = "B-tree page at " + std::to_string(ref.ib) + " has a wrong type";
        return false;
    }
    if (Rd32(page + 500) != ComputeCrc(page, 496)) {
        err = "B-tree page at " + std::to_string(ref.ib) + " fails its CRC";
        return false;
    }
    if (Rd64(page + 504) != ref.bid) {
        err = "B-tree page at " + std::to_string(ref.ib) + " has an unexpected BID";
        return false;
    }
    if (Rd16(page + 498) != ComputeSig(ref.ib, ref.bid.value())) {
        err = "B-tree page at " + std::to_string(ref.ib) + " has a wrong signature";
        return false;
    }
    uint8_t cEnt = page[488], cEntMax = page[489], cbEnt = page[490], cLevel = page[491];
    if (expectLevel >= 0 && cLevel != expectLevel) {
        err = "B-tree page at " + std::to_string(ref.ib) + " has an unexpected level";
        return false;
    }
    if (cLevel > kMaxTreeDepth) {
        err = "B-tree too deep";
        return false;
    }
    size_t wantCb = cLevel > 0 ? 24 : (nodeTree_ ? 32 : 24);
    if (cbEnt != wantCb || cEntMax != 488 / wantCb || cEnt > cEntMax) {
        err = "B-tree page at " + std::to_string(ref.ib) + " has a bad entry layout";
        return false;
    }
    out.level = cLevel;
    out.ref = ref;
    out.ents.clear();
    out.kids.clear();
    for (size_t i = 0; i < cEnt; ++i) {
        const uint8_t* e = page + i * cbEnt;
        BtEntry b;
        if (cLevel > 0) {
            b.key = Rd64(e);
            b.v1 = Rd64(e + 8);
            b.v2 = Rd64(e + 16);
        } else if (nodeTree_) {
            b.key = Rd64(e);
            b.v1 = Rd64(e + 8);
            b.v2 = Rd64(e + 16);
            b.v3 = Rd32(e + 24);
        } else {
            b.key = Rd64(e);
            b.v1 = Rd64(e + 8);
            b.v4 = Rd16(e + 16);
            b.v3 = Rd16(e + 18);
        }
        if (!out.ents.empty() && b.key <= out.ents.back().key) {
            err = "B-tree page at " + std::to_string(ref.ib) + " is out of order";
            return false;
        }
        out.ents.push_back(b);
    }
    if (cLevel > 0) out.kids.resize(out.ents.size());
    return true;
}

bool BTree::LoadRoot(std::string& err) {
    if (root_) return true;
    auto n = std::make_unique<Node>();
    if (!ReadPage(rootRef_, -1, *n, err)) return false;
    root_ = std::move(n);
    return true;
}

bool BTree::LoadChild(Node& n, size_t i, std::string& err) {
    if (n.kids[i]) return true;
    auto c = std::make_unique<Node>();
    if (!ReadPage({n.ents[i].v1, n.ents[i].v2}, n.level - 1, *c, err)) return false;
    if (!c->ents.empty() && c->ents.front().key < n.ents[i].key) {
        err = "B-tree child page keys below their parent entry";
        return false;
    }
    n.kids[i] = std::move(c);
    return true;
}

namespace {
size_t ChildFor(const std::vector<BtEntry>& ents, uint64_t key) {
    // The last entry whose key is <= key; 0 when key is below all of them.
    size_t lo = 0, hi = ents.size();
    while (hi - lo > 1) {
        size_t mid = (lo + hi) / 2;
        if (ents[mid].key <= key)
            lo = mid;
        else
            hi = mid;
    }
    return lo;
}
}  // namespace

bool BTree::Find(uint64_t key, BtEntry& out, bool& found, std::string& err) {
    found = false;
    if (!LoadRoot(err)) return false;
    Node* n = root_.get();
    while (n->level > 0) {
        if (n->ents.empty()) return true;
        size_t i = ChildFor(n->ents, key);
        if (!LoadChild(*n, i, err)) return false;
        n = n->kids[i].get();
    }
    auto it = std::lower_bound(n->ents.begin(), n->ents.end(), key,
                               [](const BtEntry& e, uint64_t k) { return e.key < k; });
    if (it != n->ents.end() && it->key == key) {
        out = *it;
        found = true;
    }
    return true;
}

bool BTree::Insert(Node& n, const BtEntry& e, std::unique_ptr<Node>& split, std::string& err) {
    n.dirty = true;
    if (n.level == 0) {
        auto it = std::lower_bound(n.ents.begin(), n.ents.end(), e.key,
                                   [](const BtEntry& a, uint64_t k) { return a.key < k; });
        if (it != n.ents.end() && it->key == e.key) {
            *it = e;
            return true;
        }
        n.ents.insert(it, e);
    } else {
        size_t i = ChildFor(n.ents, e.key);
        if (!LoadChild(n, i, err)) return false;
        std::unique_ptr<Node> childSplit;
        if (!Insert(*n.kids[i], e, childSplit, err)) return false;
        n.ents[i].key = n.kids[i]->ents.front().key;
        if (childSplit) {
            BtEntry sep;
            sep.key = childSplit->ents.front().key;
            n.ents.insert(n.ents.begin() + static_cast<long>(i) + 1, sep);
            n.kids.insert(n.kids.begin() + static_cast<long>(i) + 1, std::move(childSplit));
        }
    }
    if (n.ents.size() > MaxEntries(n.level)) {
        // Appends come in rising key order (new NIDs and BIDs), so a split that leaves the left page
        // full keeps the tree dense; other inserts split in the middle.
        bool atEnd = n.ents.back().key == e.key;
        size_t keep = atEnd ? MaxEntries(n.level) : n.ents.size() / 2;
        split = std::make_unique<Node>();
        split->level = n.level;
        split->dirty = true;
        split->ents.assign(n.ents.begin() + static_cast<long>(keep), n.ents.end());
        n.ents.resize(keep);
        if (n.level > 0) {
            for (size_t j = keep; j < n.kids.size(); ++j) split->kids.push_back(std::move(n.kids[j]));
            n.kids.resize(keep);
        }
    }
    return true;
}

bool BTree::Put(const BtEntry& e, std::string& err) {
    if (!LoadRoot(err)) return false;
    std::unique_ptr<Node> split;
    if (!Insert(*root_, e, split, err)) return false;
    if (split) {
        auto top = std::make_unique<Node>();
        top->level = static_cast<uint8_t>(root_->level + 1);
        top->dirty = true;
        BtEntry a, b;
        a.key = root_->ents.front().key;
        b.key = split->ents.front().key;
        top->ents = {a, b};
        top->kids.push_back(std::move(root_));
        top->kids.push_back(std::move(split));
        root_ = std::move(top);
    }
    return true;
}

bool BTree::Remove(Node& n, uint64_t key, bool& removed, std::string& err) {
    if (n.level == 0) {
        auto it = std::lower_bound(n.ents.begin(), n.ents.end(), key,
                                   [](const BtEntry& a, uint64_t k) { return a.key < k; });
        if (it == n.ents.end() || it->key != key) return true;
        n.ents.erase(it);
        n.dirty = true;
        removed = true;
        return true;
    }
    if (n.ents.empty()) return true;
    size_t i = ChildFor(n.ents, key);
    if (!LoadChild(n, i, err)) return false;
    if (!Remove(*n.kids[i], key, removed, err)) return false;
    if (!removed) return true;
    n.dirty = true;
    Node& c = *n.kids[i];
    if (c.ents.empty()) {
        if (c.ref.bid) db_.FreeSpace(c.ref.ib, kPageSize);
        n.ents.erase(n.ents.begin() + static_cast<long>(i));
        n.kids.erase(n.kids.begin() + static_cast<long>(i));
    } else {
        n.ents[i].key = c.ents.front().key;
    }
    return true;
}

bool BTree::Erase(uint64_t key, std::string& err) {
    if (!LoadRoot(err)) return false;
    bool removed = false;
    if (!Remove(*root_, key, removed, err)) return false;
    // Collapse a root left with a single child so the tree stays as shallow as its content.
    while (root_->level > 0 && root_->ents.size() == 1) {
        if (!LoadChild(*root_, 0, err)) return false;
        if (root_->ref.bid) db_.FreeSpace(root_->ref.ib, kPageSize);
        auto c = std::move(root_->kids[0]);
        root_ = std::move(c);
        root_->dirty = true;
    }
    if (root_->level > 0 && root_->ents.empty()) {
        if (root_->ref.bid) db_.FreeSpace(root_->ref.ib, kPageSize);
        root_ = std::make_unique<Node>();
        root_->dirty = true;
    }
    return true;
}

bool BTree::Walk(Node& n, const std::function<bool(const BtEntry&)>& f, bool& stop, std::string& err) {
    for (size_t i = 0; i < n.ents.size() && !stop; ++i) {
        if (n.level == 0) {
            if (!f(n.ents[i])) stop = true;
            continue;
        }
        bool loaded = n.kids[i] != nullptr;
        if (!LoadChild(n, i, err)) return false;
        if (!Walk(*n.kids[i], f, stop, err)) return false;
        if (!loaded && !n.kids[i]->dirty) n.kids[i].reset();  // a full walk must not pin the file in memory
    }
    return true;
}

bool BTree::ForEach(const std::function<bool(const BtEntry&)>& f, std::string& err) {
    if (!LoadRoot(err)) return false;
    bool stop = false;
    return Walk(*root_, f, stop, err);
}

bool BTree::ForEachPage(const std::function<void(const Bref&, uint8_t, size_t)>& f, std::string& err) {
    std::function<bool(const Bref&, int)> visit = [&](const Bref& ref, int level) -> bool {
        Node n;
        if (!ReadPage(ref, level, n, err)) return false;
        f(ref, n.level, n.ents.size());
        for (size_t i = 0; i < n.ents.size() && n.level > 0; ++i) {
            if (!visit({n.ents[i].v1, n.ents[i].v2}, n.level - 1)) return false;
        }
        return true;
    };
    return visit(rootRef_, -1);
}

bool BTree::FlushNode(Node& n, std::string& err) {
    for (size_t i = 0; i < n.kids.size(); ++i) {
        if (n.kids[i] && n.kids[i]->dirty) {
            if (!FlushNode(*n.kids[i], err)) return false;
            n.ents[i].v1 = n.kids[i]->ref.bid.value();
            n.ents[i].v2 = n.kids[i]->ref.ib;
        }
    }
    uint8_t page[kPageSize] = {};
    size_t cb = n.level > 0 ? 24 : (nodeTree_ ? 32 : 24);
    for (size_t i = 0; i < n.ents.size(); ++i) {
        uint8_t* e = page + i * cb;
        const BtEntry& b = n.ents[i];
        Wr64(e, b.key);
        if (n.level > 0) {
            Wr64(e + 8, b.v1);
            Wr64(e + 16, b.v2);
        } else if (nodeTree_) {
            Wr64(e + 8, b.v1);
            Wr64(e + 16, b.v2);
            Wr32(e + 24, b.v3);
        } else {
            Wr64(e + 8, b.v1);
            Wr16(e + 16, b.v4);
            Wr16(e + 18, static_cast<uint16_t>(b.v3));
        }
    }
    page[488] = static_cast<uint8_t>(n.ents.size());
    page[489] = static_cast<uint8_t>(488 / cb);
    page[490] = static_cast<uint8_t>(cb);
    page[491] = n.level;
    if (n.ref.bid) db_.FreeSpace(n.ref.ib, kPageSize);
    Bref ref;
    ref.bid = db_.header_.bidNextP++;
    ref.ib = db_.Allocate(kPageSize, kPageSize);
    SealPage(page, nodeTree_ ? kPtypeNbt : kPtypeBbt, ref.ib, ref.bid, true);
    if (!db_.WriteRaw(ref.ib, page, kPageSize)) {
        err = "cannot write a B-tree page";
        return false;
    }
    n.ref = ref;
    n.dirty = false;
    return true;
}

bool BTree::Flush(Bref& root, std::string& err) {
    if (root_ && root_->dirty) {
        if (!FlushNode(*root_, err)) return false;
        rootRef_ = root_->ref;
    }
    root = rootRef_;
    return true;
}

// ---------------------------------------------------------------- Ndb

Ndb::~Ndb() = default;

void Ndb::Fail(const std::string& why) {
    if (!failed_) failure_ = why;
    failed_ = true;
}

// Blocks are allocated one after another, so their writes are gathered into one buffer and
// reach the file in large writes; FlushWrites empties it before a read of that range and
// before every sync.
bool Ndb::WriteRaw(uint64_t off, const uint8_t* p, size_t n) {
    uint8_t* out = ReserveWrite(off, n);
    if (out && n) std::memcpy(out, p, n);
    return out != nullptr;
}

uint8_t* Ndb::ReserveWrite(uint64_t off, size_t n) {
    if (failed_) return nullptr;
    if (!wbuf_.empty() && (off != wbufAt_ + wbuf_.size() || wbuf_.size() + n > kWriteBuffer) &&
        !FlushWrites())
        return nullptr;
    if (wbuf_.empty()) {
        wbufAt_ = off;
        wbuf_.reserve(kWriteBuffer + kMaxBlockSize);
    }
    size_t at = wbuf_.size();
    wbuf_.resize(at + n);
    return wbuf_.data() + at;
}

bool Ndb::FlushWrites() {
    if (failed_) return false;
    if (wbuf_.empty()) return true;
    bool ok = io_->Write(wbufAt_, wbuf_.data(), wbuf_.size());
    if (!ok) Fail("write failed at offset " + std::to_string(wbufAt_));
    wbuf_.clear();
    return ok;
}

bool Ndb::ReadRaw(uint64_t off, void* buf, size_t n) {
    if (!wbuf_.empty() && off < wbufAt_ + wbuf_.size() && wbufAt_ < off + n && !FlushWrites()) return false;
    return io_->Read(off, buf, n);
}

// One 564-byte write of the header, then a sync: the step that moves the file between states.
bool Ndb::WriteHeaderDurably(const Header& h, const char* what, std::string& err) {
    uint8_t hb[kHeaderSize];
    SerializeHeader(h, hb);
    if (!WriteRaw(0, hb, kHeaderSize) || !SyncWrites()) {
        Fail(what);
        err = failure_;
        return false;
    }
    return true;
}

bool Ndb::SyncWrites() {
    return FlushWrites() && io_->Sync();
}

std::unique_ptr<Ndb> Ndb::Open(std::unique_ptr<FileIo> io, bool writable, std::string& err) {
    std::unique_ptr<Ndb> db(new Ndb());
    db->io_ = std::move(io);
    db->writable_ = writable;
    if (!db->Load(err)) return nullptr;
    return db;
}

bool Ndb::Load(std::string& err) {
    uint8_t h[kHeaderSize];
    uint64_t size = io_->Size();
    if (size < kHeaderSize || !io_->Read(0, h, kHeaderSize)) {
        err = "file too short for a PST header";
        return false;
    }
    if (!ParseHeader(h, kHeaderSize, header_, err)) return false;
    if (header_.ibFileEof > size) {
        err = "file is cut short: header says " + std::to_string(header_.ibFileEof) + " bytes, file has " +
              std::to_string(size);
        return false;
    }
    if (header_.ibFileEof < IntervalBase(1) || header_.ibAMapLast < kFirstAMap ||
        (header_.ibAMapLast - kFirstAMap) % kAMapCoverage != 0 || header_.ibAMapLast >= header_.ibFileEof) {
        err = "header has an impossible file size or AMap position";
        return false;
    }
    if (header_.nbt.ib >= header_.ibFileEof || header_.bbt.ib >= header_.ibFileEof) {
        err = "header points outside the file";
        return false;
    }
    nbt_ = std::make_unique<BTree>(*this, true, header_.nbt);
    bbt_ = std::make_unique<BTree>(*this, false, header_.bbt);
    std::string e;
    BtEntry dummy;
    bool found;
    if (!nbt_->Find(0, dummy, found, e) || !bbt_->Find(0, dummy, found, e)) {
        err = "B-tree root unreadable: " + e;
        return false;
    }
    if (!writable_) return true;
    // Appending starts after the last allocated slot of the last interval.
    uint64_t last = (header_.ibAMapLast - kFirstAMap) / kAMapCoverage;
    Bytes amap;
    if (!ReadAMap(last, amap)) {
        err = "cannot read the last AMap page";
        return false;
    }
    uint64_t used = 0;
    for (size_t bit = 0; bit < 496 * 8; ++bit)
        if (amap[bit / 8] & (0x80 >> (bit % 8))) used = bit + 1;
    hwm_ = std::max<uint64_t>(IntervalBase(last) + used * 64, IntervalDataStart(last));
    if (header_.fAMapValid != kAMapValid) amapRebuild_ = true;
    return true;
}

std::unique_ptr<Ndb> Ndb::Create(std::unique_ptr<FileIo> io, std::string& err) {
    std::unique_ptr<Ndb> db(new Ndb());
    db->io_ = std::move(io);
    db->writable_ = true;
    Header& h = db->header_;
    // Counters start where Outlook's do in a new file.
    h.bidNextP = 0x100;
    h.bidNextB = 0x100;  // internal and external BIDs count up by 4 from here
    h.dwUnique = 1;
    for (int i = 0; i < 32; ++i) h.rgnid[i] = 0x400;
    h.rgnid[kNidTypeSearchFolder] = 0x4000;
    h.rgnid[kNidTypeNormalMessage] = 0x10000;
    h.rgnid[kNidTypeAssocMessage] = 0x8000;
    std::memset(h.rgbFM, 0xFF, 128);
    std::memset(h.rgbFP, 0xFF, 128);
    h.bCryptMethod = 1;
    h.fAMapValid = kAMapValid;
    h.ibAMapLast = kFirstAMap;
    h.ibFileEof = IntervalBase(1);
    h.cbAMapFree = kAMapCoverage - 2 * kPageSize;
    // The region before the first AMap: header then zeros, with the density list at 0x4200.
    Bytes zero(kFirstAMap, 0);
    uint8_t dl[kPageSize] = {};
    BID dlBid = h.bidNextP;
    h.bidNextP++;
    SealPage(dl, kPtypeDList, kDListOffset, dlBid, true);
    std::memcpy(zero.data() + kDListOffset, dl, kPageSize);
    if (!db->io_->Write(0, zero.data(), zero.size())) {
        err = "cannot write the new file";
        return nullptr;
    }
    Bytes amap(496, 0);
    amap[0] = 0xFF;
    amap[1] = 0xFF;
    db->amaps_[0] = amap;
    db->hwm_ = IntervalDataStart(0);
    // Stretch the file to its first full interval so readers see the whole mapped range.
    uint8_t last = 0;
    if (!db->io_->Write(h.ibFileEof - 1, &last, 1)) {
        err = "cannot extend the new file";
        return nullptr;
    }
    db->nbt_ = std::make_unique<BTree>(*db, true, Bref{});
    db->bbt_ = std::make_unique<BTree>(*db, false, Bref{});
    db->nbt_->StartEmpty();
    db->bbt_->StartEmpty();
    return db;
}

bool Ndb::ReadAMap(uint64_t k, Bytes& out) {
    auto it = amaps_.find(k);
    if (it != amaps_.end()) {
        out = it->second;
        return true;
    }
    uint8_t page[kPageSize];
    if (!ReadRaw(IntervalBase(k), page, kPageSize)) return false;
    out.assign(page, page + 496);
    return true;
}

void Ndb::EnsureInterval(uint64_t k) {
    // The file grows by whole intervals ([MS-PST] 2.6.1.1.2); each new one starts with its
    // special pages reserved in its own AMap.
    while (IntervalBase(k) >= header_.ibFileEof) {
        uint64_t nk = (header_.ibFileEof - kFirstAMap) / kAMapCoverage;
        Bytes amap(496, 0);
        size_t special = SpecialPages(nk).size() * 8;
        for (size_t b = 0; b < special; ++b) amap[b / 8] |= static_cast<uint8_t>(0x80 >> (b % 8));
        amaps_[nk] = std::move(amap);
        header_.ibAMapLast = IntervalBase(nk);
        header_.ibFileEof = IntervalBase(nk + 1);
        header_.cbAMapFree += kAMapCoverage - special * 64;
    }
}

uint64_t Ndb::Allocate(size_t size, size_t align) {
    size = (size + 63) & ~size_t(63);
    for (;;) {
        uint64_t k = (hwm_ - kFirstAMap) / kAMapCoverage;
        EnsureInterval(k);
        uint64_t start = (hwm_ + align - 1) / align * align;
        if (start < IntervalDataStart(k)) start = IntervalDataStart(k);
        if (start + size > IntervalBase(k + 1)) {
            hwm_ = IntervalBase(k + 1);
            continue;
        }
        hwm_ = start + size;
        Bytes amap;
        if (!ReadAMap(k, amap)) {
            Fail("cannot read an AMap page");
            return start;
        }
        uint64_t first = (start - IntervalBase(k)) / 64, n = size / 64;
        for (uint64_t b = first; b < first + n; ++b) amap[b / 8] |= static_cast<uint8_t>(0x80 >> (b % 8));
        amaps_[k] = std::move(amap);
        header_.cbAMapFree -= size;
        return start;
    }
}

void Ndb::FreeSpace(uint64_t ib, size_t size) {
    // Space stays reserved until the commit: the committed state still references it.
    pendingFree_.push_back({ib, (size + 63) & ~size_t(63)});
}

BID Ndb::NextBid(bool internal) {
    uint64_t b = header_.bidNextB;
    header_.bidNextB += 4;
    return internal ? (b | kBidInternal) : b;
}

NID Ndb::AllocNid(uint8_t type) {
    uint32_t idx = ++header_.rgnid[type & 0x1F];
    return MakeNid(type, idx);
}

void Ndb::ReserveNidIndex(uint8_t type, uint32_t index) {
    uint32_t& c = header_.rgnid[type & 0x1F];
    c = std::max(c, index);
}

BID Ndb::WriteBlock(const uint8_t* data, size_t n, bool internal) {
    size_t total = BlockExtent(n);
    BID bid = NextBid(internal);
    uint64_t ib = Allocate(total, kBlockAlign);
    // The block is laid out, encoded and sealed where it waits to be written.
    uint8_t* out = ReserveWrite(ib, total);
    if (!out) return bid;
    if (n > 0) std::memcpy(out, data, n);
    if (!internal && header_.bCryptMethod == 1) PermuteEncode(out, n);
    uint8_t* t = out + total - kBlockTrailerSize;
    Wr16(t, static_cast<uint16_t>(n));
    Wr16(t + 2, ComputeSig(ib, bid.value()));
    Wr32(t + 4, ComputeCrc(out, n));
    Wr64(t + 8, bid.value());
    BtEntry e;
    e.key = bid.value();
    e.v1 = ib;
    e.v4 = static_cast<uint16_t>(n);
    e.v3 = 2;  // one reference from the owning node, one held by the store, as Outlook counts
    std::string err;
    if (!bbt_->Put(e, err)) Fail(err);
    return bid;
}

BID Ndb::WriteExternalBlock(const uint8_t* data, size_t n) {
    return WriteBlock(data, n, false);
}

BID Ndb::WriteDataTreeFromLeaves(const std::vector<BID>& leaves, uint64_t total) {
    if (leaves.size() == 1) return leaves[0];
    constexpr size_t kPer = (kMaxBlockData - 8) / 8;  // 1021 BIDs per XBLOCK
    auto xblock = [&](uint8_t level, const BID* b, size_t n, uint64_t bytes) {
        Bytes x(8 + 8 * n);
        x[0] = 0x01;
        x[1] = level;
        Wr16(x.data() + 2, static_cast<uint16_t>(n));
        Wr32(x.data() + 4, static_cast<uint32_t>(bytes));
        for (size_t i = 0; i < n; ++i) Wr64(x.data() + 8 + 8 * i, b[i].value());
        return WriteBlock(x.data(), x.size(), true);
    };
    if (leaves.size() <= kPer) return xblock(1, leaves.data(), leaves.size(), total);
    std::vector<BID> mids;
    for (size_t i = 0; i < leaves.size(); i += kPer) {
        size_t n = std::min(kPer, leaves.size() - i);
        uint64_t bytes = std::min<uint64_t>(total - i * kMaxBlockData, uint64_t(n) * kMaxBlockData);
        mids.push_back(xblock(1, leaves.data() + i, n, bytes));
    }
    if (mids.size() > kPer) {
        Fail("data tree too large");
        return 0;
    }
    return xblock(2, mids.data(), mids.size(), total);
}

BID Ndb::WriteDataTree(const uint8_t* data, size_t n) {
    std::vector<BID> leaves;
    size_t off = 0;
    do {
        size_t len = std::min(kMaxBlockData, n - off);
        leaves.push_back(WriteBlock(data + off, len, false));
        off += len;
    } while (off < n);
    return WriteDataTreeFromLeaves(leaves, n);
}

BID Ndb::WriteSubnodeTree(const std::map<NID, std::pair<BID, BID>>& subs) {
    if (subs.empty()) return 0;
    constexpr size_t kLeaf = (kMaxBlockData - 8) / 24;  // SLENTRYs per SLBLOCK
    constexpr size_t kInner = (kMaxBlockData - 8) / 16;
    std::vector<std::pair<NID, BID>> level;
    std::vector<std::tuple<NID, BID, BID>> all;
    for (auto& [nid, v] : subs) all.emplace_back(nid, v.first, v.second);
    for (size_t i = 0; i < all.size(); i += kLeaf) {
        size_t n = std::min(kLeaf, all.size() - i);
        Bytes b(8 + 24 * n, 0);
        b[0] = 0x02;
        b[1] = 0;
        Wr16(b.data() + 2, static_cast<uint16_t>(n));
        for (size_t j = 0; j < n; ++j) {
            auto& [nid, d, s] = all[i + j];
            Wr64(b.data() + 8 + 24 * j, nid.value());
            Wr64(b.data() + 16 + 24 * j, d.value());
            Wr64(b.data() + 24 + 24 * j, s.value());
        }
        level.emplace_back(std::get<0>(all[i]), WriteBlock(b.data(), b.size(), true));
    }
    if (level.size() == 1) return level[0].second;
    if (level.size() > kInner) {
        Fail("too many subnodes");
        return 0;
    }
    Bytes b(8 + 16 * level.size(), 0);
    b[0] = 0x02;
    b[1] = 1;
    Wr16(b.data() + 2, static_cast<uint16_t>(level.size()));
    for (size_t j = 0; j < level.size(); ++j) {
        Wr64(b.data() + 8 + 16 * j, level[j].first.value());
        Wr64(b.data() + 16 + 16 * j, level[j].second.value());
    }
    return WriteBlock(b.data(), b.size(), true);
}

void Ndb::PutNode(const NodeEntry& n) {
    BtEntry e;
    e.key = n.nid.value();
    e.v1 = n.bidData.value();
    e.v2 = n.bidSub.value();
    e.v3 = n.nidParent.value();
    std::string err;
    if (!nbt_->Put(e, err)) Fail(err);
}

void Ndb::DeleteNode(NID nid) {
    std::string err;
    if (!nbt_->Erase(nid.value(), err)) Fail(err);
}

void Ndb::FreeBlockTree(BID bid) {
    if (!bid) return;
    std::string err;
    auto be = FindBlock(bid);
    if (!be) {
        if (be.failed()) Fail(be.error());
        return;
    }
    if (IsInternal(bid)) {
        Bytes b;
        if (ReadBlock(bid, b, err) && b.size() >= 8) {
            uint16_t n = Rd16(b.data() + 2);
            if (b[0] == 0x01) {
                for (size_t i = 0; i < n && 8 + 8 * i + 8 <= b.size(); ++i)
                    FreeBlockTree(Rd64(b.data() + 8 + 8 * i));
            } else if (b[0] == 0x02 && b[1] == 0) {
                for (size_t i = 0; i < n && 8 + 24 * i + 24 <= b.size(); ++i) {
                    FreeBlockTree(Rd64(b.data() + 16 + 24 * i));
                    FreeBlockTree(Rd64(b.data() + 24 + 24 * i));
                }
            } else if (b[0] == 0x02) {
                for (size_t i = 0; i < n && 8 + 16 * i + 16 <= b.size(); ++i)
                    FreeBlockTree(Rd64(b.data() + 16 + 16 * i));
            }
        }
    }
    FreeBlock(bid);
}

void Ndb::AddRef(BID bid) {
    if (!bid) return;
    auto be = FindBlock(bid);
    if (!be) return Fail(be.failed() ? be.error() : "reference to missing block " + ToString(bid));
    std::string err;
    BtEntry e{be->bid.value(), be->ib, 0, static_cast<uint32_t>(be->cRef + 1), be->cb};
    if (!bbt_->Put(e, err)) Fail(err);
}

void Ndb::FreeBlock(BID bid) {
    if (!bid) return;
    std::string err;
    auto be = FindBlock(bid);
    if (!be) {
        if (be.failed()) Fail(be.error());
        return;
    }
    if (be->cRef > 2) {
        BtEntry e{be->bid.value(), be->ib, 0, static_cast<uint32_t>(be->cRef - 1), be->cb};
        if (!bbt_->Put(e, err)) Fail(err);
        return;
    }
    FreeSpace(be->ib, be->cb + kBlockTrailerSize);
    if (!bbt_->Erase(be->bid.value(), err)) Fail(err);
}

namespace {
NodeEntry NodeFrom(const BtEntry& e) {
    return NodeEntry{NID(static_cast<uint32_t>(e.key)), BID(e.v1), BID(e.v2), NID(e.v3)};
}
BlockEntry BlockFrom(const BtEntry& e) {
    return BlockEntry{BID(e.key), e.v1, e.v4, static_cast<uint16_t>(e.v3)};
}
}  // namespace

Result<NodeEntry> Ndb::FindNode(NID nid) {
    BtEntry e;
    bool found = false;
    std::string err;
    if (!nbt_->Find(nid.value(), e, found, err)) return pst::Fail(err);
    if (!found) return kNotThere;
    return NodeFrom(e);
}

Result<BlockEntry> Ndb::FindBlock(BID bid) {
    BtEntry e;
    bool found = false;
    std::string err;
    if (!bbt_->Find(BlockKey(bid).value(), e, found, err)) return pst::Fail(err);
    if (!found) return kNotThere;
    return BlockFrom(e);
}

bool Ndb::ForEachNode(const std::function<bool(const NodeEntry&)>& f, std::string& err) {
    return nbt_->ForEach([&](const BtEntry& e) { return f(NodeFrom(e)); }, err);
}

bool Ndb::ForEachBlock(const std::function<bool(const BlockEntry&)>& f, std::string& err) {
    return bbt_->ForEach([&](const BtEntry& e) { return f(BlockFrom(e)); }, err);
}

bool Ndb::ReadBlock(BID bid, Bytes& out, std::string& err) {
    auto be = FindBlock(bid);
    if (!be) {
        err = be.failed() ? be.error() : "block " + ToString(bid) + " is not in the block B-tree";
        return false;
    }
    size_t total = BlockExtent(be->cb);
    if (be->cb > kMaxBlockData || be->ib + total > header_.ibFileEof) {
        err = "block " + ToString(bid) + " has an impossible size or position";
        return false;
    }
    out.resize(total);
    if (!ReadRaw(be->ib, out.data(), total)) {
        err = "cannot read block " + ToString(bid);
        return false;
    }
    const uint8_t* t = out.data() + total - 16;
    if (Rd16(t) != be->cb || BlockKey(Rd64(t + 8)) != BlockKey(bid)) {
        err = "block " + ToString(bid) + " has a trailer that does not match the block B-tree";
        return false;
    }
    if (Rd32(t + 4) != ComputeCrc(out.data(), be->cb)) {
        err = "block " + ToString(bid) + " fails its CRC";
        return false;
    }
    if (Rd16(t + 2) != ComputeSig(be->ib, Rd64(t + 8))) {
        err = "block " + ToString(bid) + " has a wrong signature";
        return false;
    }
    out.resize(be->cb);
    if (!IsInternal(bid) && header_.bCryptMethod == 1) PermuteDecode(out.data(), out.size());
    return true;
}

bool Ndb::DataTreeLeaves(BID bid, std::vector<BID>& out, std::string& err) {
    out.clear();
    if (!IsInternal(bid)) {
        out.push_back(bid);
        return true;
    }
    Bytes b;
    if (!ReadBlock(bid, b, err)) return false;
    if (b.size() < 8 || b[0] != 0x01 || b[1] < 1 || b[1] > 2 ||
        8 + 8 * size_t(Rd16(b.data() + 2)) > b.size()) {
        err = "data tree block " + ToString(bid) + " is malformed";
        return false;
    }
    uint16_t n = Rd16(b.data() + 2);
    for (size_t i = 0; i < n; ++i) {
        BID c = Rd64(b.data() + 8 + 8 * i);
        if (b[1] == 1) {
            if (IsInternal(c)) {
                err = "XBLOCK refers to an internal block";
                return false;
            }
            out.push_back(c);
        } else {
            Bytes x;
            if (!IsInternal(c) || !ReadBlock(c, x, err) || x.size() < 8 || x[0] != 0x01 || x[1] != 1 ||
                8 + 8 * size_t(Rd16(x.data() + 2)) > x.size()) {
                if (err.empty()) err = "XXBLOCK child is malformed";
                return false;
            }
            for (size_t j = 0; j < Rd16(x.data() + 2); ++j) {
                BID l = Rd64(x.data() + 8 + 8 * j);
                if (IsInternal(l)) {
                    err = "XBLOCK refers to an internal block";
                    return false;
                }
                out.push_back(l);
            }
        }
        // Each block takes at least 64 bytes of the file: more leaves than that means repeats.
        if (out.size() > header_.ibFileEof / 64) {
            err = "data tree names more blocks than the file can hold";
            return false;
        }
    }
    return true;
}

bool Ndb::ReadDataTree(BID bid, Bytes& out, std::string& err, size_t maxBytes) {
    out.clear();
    // No honest data tree holds more than the file does; a damaged one may repeat its blocks.
    maxBytes = static_cast<size_t>(std::min<uint64_t>(maxBytes, header_.ibFileEof));
    std::vector<BID> leaves;
    if (!DataTreeLeaves(bid, leaves, err)) return false;
    Bytes b;
    for (BID l : leaves) {
        if (!ReadBlock(l, b, err)) return false;
        if (out.size() + b.size() > maxBytes) {
            err = "node data larger than allowed";
            return false;
        }
        out.insert(out.end(), b.begin(), b.end());
    }
    return true;
}

bool Ndb::ReadSubnodes(BID bidSub, std::map<NID, std::pair<BID, BID>>& out, std::string& err) {
    out.clear();
    if (bidSub == 0) return true;
    std::function<bool(BID, int)> walk = [&](BID b, int depth) -> bool {
        if (depth > 2) {
            err = "subnode tree too deep";
            return false;
        }
        Bytes d;
        if (!ReadBlock(b, d, err)) return false;
        if (d.size() < 8 || d[0] != 0x02) {
            err = "subnode block is malformed";
            return false;
        }
        uint16_t n = Rd16(d.data() + 2);
        if (d[1] == 0) {
            if (8 + 24 * size_t(n) > d.size()) {
                err = "subnode block is malformed";
                return false;
            }
            for (size_t i = 0; i < n; ++i)
                out[NID(static_cast<uint32_t>(Rd64(d.data() + 8 + 24 * i)))] = {Rd64(d.data() + 16 + 24 * i),
                                                                                Rd64(d.data() + 24 + 24 * i)};
        } else if (d[1] == 1) {
            if (8 + 16 * size_t(n) > d.size()) {
                err = "subnode block is malformed";
                return false;
            }
            for (size_t i = 0; i < n; ++i)
                if (!walk(Rd64(d.data() + 16 + 16 * i), depth + 1)) return false;
        } else {
            err = "subnode block has a bad level";
            return false;
        }
        return true;
    };
    return walk(bidSub, 0);
}

bool Ndb::RebuildAMaps(std::string& err) {
    // Recompute every AMap from what the two B-trees reference ([MS-PST] 2.6.2.1.1 does the same).
    uint64_t intervals = (header_.ibFileEof - kFirstAMap) / kAMapCoverage;
    std::map<uint64_t, Bytes> maps;
    for (uint64_t k = 0; k < intervals; ++k) {
        Bytes m(496, 0);
        size_t special = SpecialPages(k).size() * 8;
        for (size_t b = 0; b < special; ++b) m[b / 8] |= static_cast<uint8_t>(0x80 >> (b % 8));
        maps[k] = std::move(m);
    }
    auto mark = [&](uint64_t ib, uint64_t size) {
        if (ib < kFirstAMap) return;
        uint64_t k = (ib - kFirstAMap) / kAMapCoverage;
        auto it = maps.find(k);
        if (it == maps.end()) return;
        uint64_t first = (ib - IntervalBase(k)) / 64, n = (size + 63) / 64;
        for (uint64_t b = first; b < first + n && b < 496 * 8; ++b)
            it->second[b / 8] |= static_cast<uint8_t>(0x80 >> (b % 8));
    };
    bool ok = nbt_->ForEachPage([&](const Bref& r, uint8_t, size_t) { mark(r.ib, kPageSize); }, err) &&
              bbt_->ForEachPage([&](const Bref& r, uint8_t, size_t) { mark(r.ib, kPageSize); }, err) &&
              bbt_->ForEach(
                  [&](const BtEntry& e) {
                      mark(e.v1, e.v4 + 16u);
                      return true;
                  },
                  err);
    if (!ok) return false;
    header_.cbAMapFree = 0;
    uint64_t lastUsed = IntervalDataStart(intervals - 1);
    for (auto& [k, m] : maps) {
        for (size_t b = 0; b < 496 * 8; ++b) {
            if (m[b / 8] & (0x80 >> (b % 8))) {
                if (k == intervals - 1)
                    lastUsed = std::max<uint64_t>(lastUsed, IntervalBase(k) + (b + 1) * 64);
            } else {
                header_.cbAMapFree += 64;
            }
        }
    }
    // Keep appends clear of anything the pending transaction already wrote.
    hwm_ = std::max(hwm_, lastUsed);
    for (auto& [k, m] : maps) amaps_[k] = m;
    amapRebuild_ = false;
    return true;
}

bool Ndb::Commit(std::string& err) {
    if (!writable_) {
        err = "store is read-only";
        return false;
    }
    if (failed_) {
        err = failure_;
        return false;
    }
    Bref nroot, broot;
    // B-tree pages are written first among the pages; freeing BBT entries while flushing the NBT is
    // not possible because page writes never touch the BBT.
    if (!nbt_->Flush(nroot, err) || !bbt_->Flush(broot, err)) {
        Fail(err);
        return false;
    }
    if (amapRebuild_ && !RebuildAMaps(err)) {
        Fail(err);
        return false;
    }
    // Release what this transaction replaced: it is unreachable from the new roots.
    for (auto& [ib, size] : pendingFree_) {
        uint64_t k = (ib - kFirstAMap) / kAMapCoverage;
        Bytes amap;
        if (!ReadAMap(k, amap)) {
            Fail("cannot read an AMap page");
            err = failure_;
            return false;
        }
        uint64_t first = (ib - IntervalBase(k)) / 64, n = size / 64;
        for (uint64_t b = first; b < first + n && b < 496 * 8; ++b) {
            uint8_t bit = static_cast<uint8_t>(0x80 >> (b % 8));
            if (amap[b / 8] & bit) {
                amap[b / 8] = static_cast<uint8_t>(amap[b / 8] & ~bit);
                header_.cbAMapFree += 64;
            }
        }
        amaps_[k] = std::move(amap);
    }
    std::vector<std::pair<uint64_t, size_t>> released;
    released.swap(pendingFree_);
    if (!SyncWrites()) {
        Fail("sync failed");
        err = failure_;
        return false;
    }
    // The AMaps of the committed state are about to change in place: flag them as invalid in the
    // header first, so that a crash before the final header write leaves a file whose maps a
    // reader knows to rebuild, still pointing at the previous roots.
    bool touchesOld = false;
    uint64_t oldIntervals = 0;
    {
        uint8_t cur[kHeaderSize];
        Header old;
        std::string e2;
        if (ReadRaw(0, cur, kHeaderSize) && ParseHeader(cur, kHeaderSize, old, e2)) {
            oldIntervals = (old.ibFileEof - kFirstAMap) / kAMapCoverage;
            for (auto& [k, m] : amaps_)
                if (k < oldIntervals) touchesOld = true;
            if (touchesOld && old.fAMapValid == kAMapValid) {
                old.fAMapValid = 0;
                if (!WriteHeaderDurably(old, "cannot flag the allocation maps", err)) return false;
            }
        }
    }
    for (auto& [k, m] : amaps_) {
        uint8_t page[kPageSize] = {};
        std::memcpy(page, m.data(), 496);
        uint64_t ib = IntervalBase(k);
        SealPage(page, kPtypeAMap, ib, ib, false);
        if (!WriteRaw(ib, page, kPageSize)) {
            err = failure_;
            return false;
        }
        // New intervals also need their other special pages in place.
        if (k >= oldIntervals) {
            auto types = SpecialPages(k);
            for (size_t i = 1; i < types.size(); ++i) {
                uint8_t sp[kPageSize];
                std::memset(sp, types[i] == kPtypeFMap ? 0x00 : 0xFF, 496);
                uint64_t o = ib + i * kPageSize;
                SealPage(sp, types[i], o, o, false);
                if (!WriteRaw(o, sp, kPageSize)) {
                    err = failure_;
                    return false;
                }
            }
        }
    }
    // The last interval may not have been written to; make the file span it.
    if (!FlushWrites()) {
        err = failure_;
        return false;
    }
    if (io_->Size() < header_.ibFileEof) {
        uint8_t z = 0;
        if (!WriteRaw(header_.ibFileEof - 1, &z, 1)) {
            err = failure_;
            return false;
        }
    }
    if (!SyncWrites()) {
        Fail("sync failed");
        err = failure_;
        return false;
    }
    header_.nbt = nroot;
    header_.bbt = broot;
    header_.fAMapValid = kAMapValid;
    if (!WriteHeaderDurably(header_, "cannot write the header", err)) return false;
    // Wipe what the new state no longer references, so that readers which scan free space for
    // lost items do not find stale copies of replaced nodes. Safe now: the new header is durable.
    // Best effort: the commit is already complete, so a failure here loses nothing.
    for (auto& [ib, size] : released) {
        Bytes zero(size, 0);
        if (!io_->Write(ib, zero.data(), size)) break;
    }
    amaps_.clear();
    nbt_->DropCache();
    bbt_->DropCache();
    return true;
}

}  // namespace pst
