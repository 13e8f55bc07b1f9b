// Node database layer of a Unicode PST file ([MS-PST] 2.2): the header, pages, blocks, the node
// and block B-trees and the allocation maps. Everything above this layer sees nodes (NID ->
// data tree + subnode tree) and blocks (BID -> bytes).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "pst/result.h"

namespace pst {

using Bytes = std::vector<uint8_t>;

// A number that names one kind of thing in the file. It is made from a raw number (as read
// from the file, or a constant) but never turns back into one, nor into an ID of another kind,
// without value(): a block ID cannot be passed where a node ID is expected.
template <class Tag, class Raw>
class TypedId {
  public:
    constexpr TypedId() = default;
    constexpr TypedId(Raw v) : v_(v) {}  // NOLINT: raw numbers come from the file
    constexpr Raw value() const { return v_; }
    constexpr explicit operator bool() const { return v_ != 0; }
    constexpr auto operator<=>(const TypedId&) const = default;

  private:
    Raw v_ = 0;
};
using NID = TypedId<struct NidTag, uint32_t>;  // [MS-PST] 2.2.2.1
using BID = TypedId<struct BidTag, uint64_t>;  // [MS-PST] 2.2.2.2

// Little-endian helpers; every structure in the file is little-endian.
inline uint16_t Rd16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t Rd32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t Rd64(const uint8_t* p) {
    return Rd32(p) | (static_cast<uint64_t>(Rd32(p + 4)) << 32);
}
inline void Wr16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void Wr32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void Wr64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// [MS-PST] 5.3: CRC-32 with the reflected 0xEDB88320 polynomial, seed 0, no final inversion.
uint32_t ComputeCrc(const uint8_t* data, size_t n, uint32_t crc = 0);
// [MS-PST] 5.5: the signature of a page or block from its offset and BID.
uint16_t ComputeSig(uint64_t ib, uint64_t bid);
// [MS-PST] 5.1 NDB_CRYPT_PERMUTE.
void PermuteEncode(uint8_t* data, size_t n);
void PermuteDecode(uint8_t* data, size_t n);

// [MS-PST] 2.2.2.1 NID types.
enum NidType : uint8_t {
    kNidTypeHid = 0x00,
    kNidTypeInternal = 0x01,
    kNidTypeNormalFolder = 0x02,
    kNidTypeSearchFolder = 0x03,
    kNidTypeNormalMessage = 0x04,
    kNidTypeAttachment = 0x05,
    kNidTypeSearchUpdateQueue = 0x06,
    kNidTypeSearchCriteria = 0x07,
    kNidTypeAssocMessage = 0x08,
    kNidTypeContentsTableIndex = 0x0A,
    kNidTypeReceiveFolderTable = 0x0B,
    kNidTypeOutgoingQueueTable = 0x0C,
    kNidTypeHierarchyTable = 0x0D,
    kNidTypeContentsTable = 0x0E,
    kNidTypeAssocContentsTable = 0x0F,
    kNidTypeSearchContentsTable = 0x10,
    kNidTypeAttachmentTable = 0x11,
    kNidTypeRecipientTable = 0x12,
    kNidTypeSearchTableIndex = 0x13,
    kNidTypeLtp = 0x1F,
};
constexpr NID MakeNid(uint8_t type, uint32_t index) {
    return NID((index << 5) | type);
}
constexpr uint8_t NidTypeOf(NID nid) {
    return static_cast<uint8_t>(nid.value() & 0x1F);
}
constexpr uint32_t NidIndexOf(NID nid) {
    return nid.value() >> 5;
}
std::string ToString(NID nid);  // "0x122"
std::string ToString(BID bid);

// [MS-PST] 2.4.1 special internal NIDs.
constexpr NID kNidMessageStore = 0x21;
constexpr NID kNidNameToIdMap = 0x61;
constexpr NID kNidNormalFolderTemplate = 0xA1;
constexpr NID kNidSearchFolderTemplate = 0xC1;
constexpr NID kNidRootFolder = 0x122;
constexpr NID kNidSearchManagementQueue = 0x1E1;
constexpr NID kNidSearchActivityList = 0x201;
constexpr NID kNidSearchDomainObject = 0x261;
constexpr NID kNidSearchGathererQueue = 0x281;
constexpr NID kNidSearchGathererDescriptor = 0x2A1;
constexpr NID kNidSearchGathererFolderQueue = 0x321;
constexpr NID kNidHierarchyTableTemplate = 0x60D;
constexpr NID kNidContentsTableTemplate = 0x60E;
constexpr NID kNidAssocContentsTableTemplate = 0x60F;
constexpr NID kNidSearchContentsTableTemplate = 0x610;
constexpr NID kNidSmpTemplate = 0x611;
constexpr NID kNidTombstoneTableTemplate = 0x612;
constexpr NID kNidLreTemplate = 0x613;
constexpr NID kNidReceiveFolderTable = 0x62B;
constexpr NID kNidOutgoingQueueTable = 0x64C;
constexpr NID kNidAttachmentTableTemplate = 0x671;
constexpr NID kNidRecipientTableTemplate = 0x692;

constexpr uint64_t kBidInternal = 0x2;
constexpr bool IsInternal(BID bid) {
    return (bid.value() & kBidInternal) != 0;
}
// The block B-tree is keyed with the reserved low bit clear ([MS-PST] 2.2.2.2).
constexpr BID BlockKey(BID bid) {
    return BID(bid.value() & ~uint64_t(1));
}
// [MS-PST] 2.2.2.2: the i bit marks internal blocks
constexpr size_t kBlockTrailerSize = 16;                             // [MS-PST] 2.2.2.8.1 BLOCKTRAILER
constexpr size_t kMaxBlockSize = 8192;                               // a block with its trailer
constexpr size_t kMaxBlockData = kMaxBlockSize - kBlockTrailerSize;  // 8176
constexpr size_t kBlockAlign = 64;                                   // blocks start and end on 64 bytes
// Bytes a block takes in the file: data and trailer, rounded up to kBlockAlign.
constexpr size_t BlockExtent(size_t dataBytes) {
    return (dataBytes + kBlockTrailerSize + kBlockAlign - 1) & ~(kBlockAlign - 1);
}
constexpr size_t kPageSize = 512;
constexpr uint64_t kFirstAMap = 0x4400;
constexpr uint64_t kAMapCoverage = 496 * 8 * 64;  // 253,952 bytes per AMap page

struct Bref {
    BID bid = 0;
    uint64_t ib = 0;
};

// One entry of the node B-tree ([MS-PST] 2.2.2.7.7.4 NBTENTRY).
struct NodeEntry {
    NID nid = 0;
    BID bidData = 0;
    BID bidSub = 0;
    NID nidParent = 0;
};
// One entry of the block B-tree ([MS-PST] 2.2.2.7.7.3 BBTENTRY).
struct BlockEntry {
    BID bid = 0;
    uint64_t ib = 0;
    uint16_t cb = 0;
    uint16_t cRef = 0;
};

// The byte store under a PST file. Tests substitute a layer that fails or stops after a number
// of writes, to show that a commit cut short leaves the last committed state readable.
class FileIo {
  public:
    virtual ~FileIo() = default;
    virtual bool Read(uint64_t off, void* buf, size_t n) = 0;
    virtual bool Write(uint64_t off, const void* buf, size_t n) = 0;
    virtual bool Sync() = 0;
    virtual uint64_t Size() = 0;
};
std::unique_ptr<FileIo> OpenPosixFile(const std::string& path, bool writable, bool create, std::string& err);

// [MS-PST] 2.2.2.6 HEADER (Unicode) as kept in memory.
struct Header {
    uint16_t wVerClient = 19;
    uint8_t bPlatformCreate = 1, bPlatformAccess = 1;
    uint32_t dwReserved1 = 0, dwReserved2 = 0;
    uint64_t bidUnused = 0;  // BID counters: raw numbers, not references
    uint64_t bidNextP = 0;
    uint32_t dwUnique = 0;
    uint32_t rgnid[32] = {};
    uint64_t ibFileEof = 0, ibAMapLast = 0, cbAMapFree = 0, cbPMapFree = 0;
    Bref nbt, bbt;
    uint8_t fAMapValid = 2;
    uint8_t rgbFM[128] = {}, rgbFP[128] = {};
    uint8_t bCryptMethod = 1;
    uint64_t bidNextB = 0;
    uint8_t reservedTail[36] = {};  // rgbReserved2, bReserved, rgbReserved3, kept as found
};
constexpr size_t kHeaderSize = 564;
constexpr uint8_t kAMapValid = 2;
bool ParseHeader(const uint8_t* p, size_t n, Header& h, std::string& err);
void SerializeHeader(const Header& h, uint8_t out[kHeaderSize]);

class Ndb;

// A node or block B-tree ([MS-PST] 2.2.2.7.7) with copy-on-write pages: pages touched by a
// change are kept in memory and written to fresh space by Flush(); clean pages are read on demand.
struct BtEntry {
    uint64_t key = 0;
    uint64_t v1 = 0, v2 = 0;  // NBT: bidData, bidSub; BBT: ib, -; interior: child bid, child ib
    uint32_t v3 = 0;          // NBT: nidParent; BBT: cRef
    uint16_t v4 = 0;          // BBT: cb
};
class BTree {
  public:
    BTree(Ndb& db, bool nodeTree, Bref root);
    ~BTree();
    bool Find(uint64_t key, BtEntry& out, bool& found, std::string& err);
    bool Put(const BtEntry& e, std::string& err);
    bool Erase(uint64_t key, std::string& err);
    bool ForEach(const std::function<bool(const BtEntry&)>& f, std::string& err);
    // Writes the changed pages and returns the new root; frees the pages they replace.
    bool Flush(Bref& root, std::string& err);
    // Visits every page reference of the tree (for the checker and the AMap rebuild).
    bool ForEachPage(const std::function<void(const Bref&, uint8_t level, size_t entries)>& f,
                     std::string& err);
    void StartEmpty();
    bool dirty() const;
    void DropCache();
    struct Node;

  private:
    bool LoadRoot(std::string& err);
    bool LoadChild(Node& n, size_t i, std::string& err);
    bool ReadPage(const Bref& ref, int expectLevel, Node& out, std::string& err);
    bool Insert(Node& n, const BtEntry& e, std::unique_ptr<Node>& split, std::string& err);
    bool Remove(Node& n, uint64_t key, bool& removed, std::string& err);
    bool Walk(Node& n, const std::function<bool(const BtEntry&)>& f, bool& stop, std::string& err);
    bool FlushNode(Node& n, std::string& err);
    size_t MaxEntries(uint8_t level) const;

    Ndb& db_;
    bool nodeTree_;
    Bref rootRef_;
    std::unique_ptr<Node> root_;
};

// The node database: reads and writes nodes and blocks, and commits a batch of changes so that
// the file on disk moves from one consistent state to the next (see Commit()).
class Ndb {
  public:
    ~Ndb();
    static std::unique_ptr<Ndb> Open(std::unique_ptr<FileIo> io, bool writable, std::string& err);
    // Lays down a new file: header, density list, first AMap and PMap, empty B-trees.
    static std::unique_ptr<Ndb> Create(std::unique_ptr<FileIo> io, std::string& err);

    const Header& header() const { return header_; }
    FileIo& io() { return *io_; }

    // Not there when the B-tree has no such key; failed when the B-tree cannot be read.
    Result<NodeEntry> FindNode(NID nid);
    Result<BlockEntry> FindBlock(BID bid);
    // Reads one block and checks its trailer; external blocks come back decoded.
    bool ReadBlock(BID bid, Bytes& out, std::string& err);
    // Reads the whole data tree of a node (XBLOCK/XXBLOCK followed) up to maxBytes.
    bool ReadDataTree(BID bid, Bytes& out, std::string& err, size_t maxBytes = size_t(1) << 30);
    // The leaf blocks of a data tree in order, without reading them.
    bool DataTreeLeaves(BID bid, std::vector<BID>& out, std::string& err);
    // Subnodes of a subnode tree ([MS-PST] 2.2.2.8.3.3): nid -> (bidData, bidSub).
    bool ReadSubnodes(BID bidSub, std::map<NID, std::pair<BID, BID>>& out, std::string& err);
    // Visits every node-B-tree entry in NID order; the visitor returns false to stop.
    bool ForEachNode(const std::function<bool(const NodeEntry&)>& f, std::string& err);
    bool ForEachBlock(const std::function<bool(const BlockEntry&)>& f, std::string& err);

    // --- changes (kept until Commit) ---
    BID WriteExternalBlock(const uint8_t* data, size_t n);
    // Writes bytes as a data tree: one block, or an XBLOCK / XXBLOCK over many ([MS-PST] 2.2.2.8.3.2).
    BID WriteDataTree(const uint8_t* data, size_t n);
    BID WriteDataTreeFromLeaves(const std::vector<BID>& leaves, uint64_t total);
    BID WriteSubnodeTree(const std::map<NID, std::pair<BID, BID>>& subs);
    void PutNode(const NodeEntry& e);
    void DeleteNode(NID nid);
    // Releases a block and everything it references (data-tree and subnode-tree children).
    void FreeBlockTree(BID bid);
    // One more owner of a block (a subnode listed in two subnode trees); FreeBlock undoes it.
    void AddRef(BID bid);
    // Releases one block only (its children stay in use elsewhere).
    void FreeBlock(BID bid);
    NID AllocNid(uint8_t type);
    // Raises a type's NID counter to at least index (tables share their folder's index).
    void ReserveNidIndex(uint8_t type, uint32_t index);
    Header& mutableHeader() { return header_; }
    bool failed() const { return failed_; }
    // Records a failure found while changing the file; Commit refuses to go on after one.
    void Fail(const std::string& why);
    const std::string& failure() const { return failure_; }
    // Makes every change durable in the order blocks, B-tree pages, allocation maps, header.
    bool Commit(std::string& err);

  private:
    Ndb() = default;
    bool Load(std::string& err);
    BID NextBid(bool internal);
    uint64_t Allocate(size_t size, size_t align);
    void EnsureInterval(uint64_t k);
    void FreeSpace(uint64_t ib, size_t size);
    bool WriteRaw(uint64_t off, const uint8_t* p, size_t n);
    bool FlushWrites();
    uint8_t* ReserveWrite(uint64_t off, size_t n);  // n bytes at off in the write buffer
    bool SyncWrites();
    bool WriteHeaderDurably(const Header& h, const char* what, std::string& err);
    bool ReadRaw(uint64_t off, void* buf, size_t n);
    BID WriteBlock(const uint8_t* data, size_t n, bool internal);
    bool ReadAMap(uint64_t interval, Bytes& out);
    bool RebuildAMaps(std::string& err);

    static constexpr size_t kWriteBuffer = size_t(1) << 20;
    std::unique_ptr<FileIo> io_;
    Bytes wbuf_;  // writes not yet passed to io_, starting at wbufAt_
    uint64_t wbufAt_ = 0;
    Header header_;
    bool writable_ = false;
    std::unique_ptr<BTree> nbt_, bbt_;
    uint64_t hwm_ = 0;                 // next free byte for appending allocations
    std::map<uint64_t, Bytes> amaps_;  // interval -> AMap bits changed in this transaction
    std::vector<std::pair<uint64_t, size_t>> pendingFree_;
    bool amapRebuild_ = false;
    bool failed_ = false;
    std::string failure_;
    friend class BTree;
};

// Interval layout: an AMap at the start of every 253,952 bytes, a PMap after every eighth,
// an FMap / FPMap at their longer strides ([MS-PST] 2.2.2.7).
uint64_t IntervalBase(uint64_t k);
uint64_t IntervalDataStart(uint64_t k);

}  // namespace pst
