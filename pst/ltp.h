// Lists, tables and properties layer ([MS-PST] 2.3): the heap-on-node (HN), the B-tree-on-heap
// (BTH), property contexts (PC) and table contexts (TC), read from and built onto the node database.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "pst/ndb.h"

namespace pst {

using HID = uint32_t;  // [MS-PST] 2.3.1.1

// Property types ([MS-OXCDATA] 2.11.1).
enum PropType : uint16_t {
    PT_SHORT = 0x0002,
    PT_LONG = 0x0003,
    PT_FLOAT = 0x0004,
    PT_DOUBLE = 0x0005,
    PT_CURRENCY = 0x0006,
    PT_APPTIME = 0x0007,
    PT_ERROR = 0x000A,
    PT_BOOLEAN = 0x000B,
    PT_OBJECT = 0x000D,
    PT_I8 = 0x0014,
    PT_STRING8 = 0x001E,
    PT_UNICODE = 0x001F,
    PT_SYSTIME = 0x0040,
    PT_CLSID = 0x0048,
    PT_SVREID = 0x00FB,
    PT_SRESTRICT = 0x00FD,
    PT_ACTIONS = 0x00FE,
    PT_BINARY = 0x0102,
    PT_MV_SHORT = 0x1002,
    PT_MV_LONG = 0x1003,
    PT_MV_FLOAT = 0x1004,
    PT_MV_DOUBLE = 0x1005,
    PT_MV_I8 = 0x1014,
    PT_MV_STRING8 = 0x101E,
    PT_MV_UNICODE = 0x101F,
    PT_MV_SYSTIME = 0x1040,
    PT_MV_CLSID = 0x1048,
    PT_MV_BINARY = 0x1102,
};
constexpr uint32_t PropTag(uint16_t id, uint16_t type) {
    return (uint32_t(id) << 16) | type;
}

// Size of a fixed-size type in bytes, 0 for variable-size types.
size_t FixedSize(uint16_t type);
bool IsKnownType(uint16_t type);

// One property value in its stored form: fixed types as their little-endian bytes, strings as
// UTF-16LE without terminator, binary as is, multi-valued types as [MS-PST] 2.3.3.4.2 lays them out.
struct Prop {
    uint16_t type = 0;
    Bytes data;
};
using PropMap = std::map<uint16_t, Prop>;  // keyed by property ID

// A heap-on-node read into memory ([MS-PST] 2.3.1).
class Heap {
  public:
    bool Load(Ndb& db, BID bidData, std::string& err);
    bool Load(Bytes whole, const std::vector<size_t>& blockSizes, std::string& err);
    // The bytes of one allocation; false for a HID that names no allocation.
    bool Get(HID hid, const uint8_t*& p, size_t& n) const;
    uint8_t clientSig() const { return clientSig_; }
    HID userRoot() const { return userRoot_; }
    size_t blockCount() const { return blocks_.size(); }

  private:
    struct Block {
        Bytes data;
        std::vector<uint16_t> offsets;
    };
    std::vector<Block> blocks_;
    uint8_t clientSig_ = 0;
    HID userRoot_ = 0;
};

// Reads every record of a BTH as (key bytes, data bytes).
bool ReadBth(const Heap& heap, HID header, std::vector<std::pair<Bytes, Bytes>>& out, uint8_t& cbKey,
             uint8_t& cbEnt, std::string& err);

constexpr uint8_t kSigPc = 0xBC, kSigTc = 0x7C, kSigBth = 0xB5;

// Reads the property context of a node (its data tree and subnodes).
bool ReadPc(Ndb& db, BID bidData, BID bidSub, PropMap& out, std::string& err);

// A table context's column ([MS-PST] 2.3.4.2 TCOLDESC).
struct TcColumn {
    uint32_t tag = 0;
    uint16_t ib = 0;
    uint8_t cb = 0;
    uint8_t iBit = 0;
};
struct TcRow {
    uint32_t rowId = 0;
    PropMap props;  // the row's cells that are present (CEB bit set), in stored form
};
struct Table {
    std::vector<TcColumn> cols;
    uint16_t rgib[4] = {};  // TCI_4b, TCI_2b, TCI_1b, TCI_bm
    std::vector<TcRow> rows;
};
bool ReadTc(Ndb& db, BID bidData, BID bidSub, Table& out, std::string& err, size_t maxRows = 10'000'000);
// Lays out columns the way Outlook does: row ID and version first, then 8-, 4-, 2-, 1-byte
// cells, then the cell existence bitmap.
Table MakeTableLayout(const std::vector<uint32_t>& tags);

// Result of building an LTP structure: the node's data tree and subnode tree.
struct BuiltNode {
    BID bidData = 0;
    BID bidSub = 0;
};
// Builds a PC from properties; values too big for the heap go to subnodes.
// `external` names properties whose value already sits in one of the given subnodes.
BuiltNode BuildPc(Ndb& db, const PropMap& props, std::map<NID, std::pair<BID, BID>> extraSubnodes = {},
                  const std::map<uint16_t, NID>& external = {});
BuiltNode BuildTc(Ndb& db, const Table& t);
// Reads only a table's column layout (no rows).
bool ReadTcLayout(Ndb& db, BID bidData, Table& out, std::string& err);
// Appends rows (row IDs above every existing one) to a table node without rewriting what is
// there: only the heap's first and last blocks, the last row-matrix block and the block lists
// change. A table not yet in that append-friendly shape is rebuilt once into it. `old` is the
// node's current data and subnode trees (0, 0 for a new table, which then takes `layout`).
bool AppendTcRows(Ndb& db, BID oldData, BID oldSub, const Table& layout, const std::vector<TcRow>& rows,
                  BuiltNode& out, std::string& err);

// Writes a large value straight into blocks as it arrives, without holding it all in memory.
class StreamWriter {
  public:
    explicit StreamWriter(Ndb& db) : db_(db) {}
    void Write(const uint8_t* p, size_t n);
    BID Finish();  // the data tree of everything written
    uint64_t size() const { return total_; }

  private:
    Ndb& db_;
    Bytes pending_;
    std::vector<BID> leaves_;
    uint64_t total_ = 0;
};

// A GUID in its stored form ([MS-OXCDATA] 2.5.1, little-endian Data1-3).
struct Guid {
    uint8_t b[16] = {};
    bool operator<(const Guid& o) const;
    bool operator==(const Guid& o) const;
};

// Values in their stored form, one maker and one reader per property type. Readers return 0 /
// empty for a value of another size; multi-valued readers return the items they can decode.
Prop MakeShort(int16_t v);                                                // PT_SHORT
Prop MakeLong(uint32_t v);                                                // PT_LONG
Prop MakeFloat(float v);                                                  // PT_FLOAT
Prop MakeDouble(double v);                                                // PT_DOUBLE
Prop MakeBool(bool v);                                                    // PT_BOOLEAN
Prop MakeI8(uint64_t v, uint16_t type = PT_I8);                           // PT_I8, PT_CURRENCY, PT_SYSTIME
Prop MakeTime(uint64_t filetime);                                         // PT_SYSTIME (100 ns since 1601)
Prop MakeUnicode(const std::u16string& s);                                // PT_UNICODE
Prop MakeUtf8(const std::string& s);                                      // PT_UNICODE from UTF-8
Prop MakeBinary(const Bytes& b);                                          // PT_BINARY
Prop MakeGuid(const Guid& g);                                             // PT_CLSID
Prop MakeMvShort(const std::vector<int16_t>& v);                          // PT_MV_SHORT
Prop MakeMvLong(const std::vector<uint32_t>& v);                          // PT_MV_LONG
Prop MakeMvDouble(const std::vector<double>& v);                          // PT_MV_DOUBLE
Prop MakeMvI8(const std::vector<uint64_t>& v, uint16_t type = PT_MV_I8);  // PT_MV_I8, PT_MV_SYSTIME
Prop MakeMvTime(const std::vector<uint64_t>& filetimes);                  // PT_MV_SYSTIME
Prop MakeMvUnicode(const std::vector<std::string>& utf8);                 // PT_MV_UNICODE
Prop MakeMvBinary(const std::vector<Bytes>& v);                           // PT_MV_BINARY
Prop MakeMvGuid(const std::vector<Guid>& v);                              // PT_MV_CLSID

int16_t AsShort(const Prop& p);
uint32_t AsLong(const Prop& p);
float AsFloat(const Prop& p);
double AsDouble(const Prop& p);
bool AsBool(const Prop& p);
uint64_t AsI8(const Prop& p);  // also PT_SYSTIME and PT_CURRENCY
Guid AsGuid(const Prop& p);
std::string ToUtf8(const Prop& p);  // PT_UNICODE / PT_STRING8
std::vector<int16_t> AsMvShort(const Prop& p);
std::vector<uint32_t> AsMvLong(const Prop& p);
std::vector<double> AsMvDouble(const Prop& p);
std::vector<uint64_t> AsMvI8(const Prop& p);  // also PT_MV_SYSTIME
std::vector<Guid> AsMvGuid(const Prop& p);
std::vector<std::string> AsMvUtf8(const Prop& p);  // PT_MV_UNICODE / PT_MV_STRING8
std::vector<Bytes> AsMvBinary(const Prop& p);
// The items of a variable-size multi-valued value ([MS-PST] 2.3.3.4.2), raw.
std::vector<Bytes> MvItems(const Prop& p);

std::u16string Utf8ToUtf16(const std::string& s);
std::string Utf16ToUtf8(const uint8_t* p, size_t bytes);

}  // namespace pst
