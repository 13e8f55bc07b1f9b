#include "pst/check.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>

#include "pst/ltp.h"
#include "pst/messaging.h"

namespace pst {

namespace {

constexpr size_t kMaxFindings = 100;

struct Checker {
    Ndb& db;
    CheckReport& rep;
    std::map<uint64_t, std::pair<uint64_t, std::string>> ranges;  // ib -> (end, owner)
    std::map<BID, uint32_t> refs;                                 // block -> references found

    void Find(const std::string& s) {
        if (rep.findings.size() < kMaxFindings) rep.findings.push_back(s);
    }
    void Claim(uint64_t ib, uint64_t size, const std::string& owner) {
        uint64_t end = ib + ((size + 63) & ~uint64_t(63));
        if (ib < kFirstAMap || end > db.header().ibFileEof) {
            Find(owner + " lies outside the mapped file");
            return;
        }
        auto next = ranges.lower_bound(ib);
        if (next != ranges.end() && next->first < end) Find(owner + " overlaps " + next->second.second);
        if (next != ranges.begin()) {
            auto prev = std::prev(next);
            if (prev->second.first > ib) Find(owner + " overlaps " + prev->second.second);
        }
        ranges[ib] = {end, owner};
    }

    // Walks a data tree or subnode tree, counting references to the blocks it names.
    void Reference(BID bid, const std::string& owner, int depth = 0) {
        if (bid == 0) return;
        if (depth > 4) {
            Find(owner + ": block tree too deep");
            return;
        }
        if (refs[BlockKey(bid)]++ > 0 || !IsInternal(bid)) return;  // a shared block is walked once
        Bytes b;
        std::string err;
        if (!db.ReadBlock(bid, b, err)) {
            Find(owner + ": " + err);
            return;
        }
        if (b.size() < 8) {
            Find(owner + ": internal block too short");
            return;
        }
        uint16_t n = Rd16(b.data() + 2);
        size_t rec = b[0] == 0x01 ? 8 : (b[1] == 0 ? 24 : 16);
        if ((b[0] != 0x01 && b[0] != 0x02) || 8 + rec * n > b.size()) {
            Find(owner + ": malformed internal block");
            return;
        }
        for (size_t i = 0; i < n; ++i) {
            const uint8_t* e = b.data() + 8 + rec * i;
            if (b[0] == 0x01) {
                Reference(Rd64(e), owner, depth + 1);
            } else if (b[1] == 0) {
                Reference(Rd64(e + 8), owner, depth + 1);
                Reference(Rd64(e + 16), owner, depth + 1);
            } else {
                Reference(Rd64(e + 8), owner, depth + 1);
            }
        }
    }

    // What Outlook expects on every message ([MS-PST] 2.4.4.1 and the properties it shows).
    void CheckMessage(const std::string& owner, const PropMap& p) {
        static const std::pair<uint16_t, const char*> kRequired[] = {
            {PidTagMessageClass, "message class"}, {PidTagMessageFlags, "message flags"},
            {PidTagMessageSize, "message size"},   {PidTagMessageStatus, "message status"},
            {PidTagCreationTime, "creation time"}, {PidTagLastModificationTime, "modification time"},
            {PidTagSearchKey, "search key"},       {PidTagDisplayTo, "display To"},
            {PidTagDisplayCc, "display CC"},       {PidTagDisplayBcc, "display BCC"},
        };
        for (auto [id, what] : kRequired)
            if (!p.count(id)) Find(owner + ": message has no " + what);
        if (p.count(PidTagSubject) && !p.count(PidTagNormalizedSubject))
            Find(owner + ": message has a subject but no normalized subject");
        for (auto [address, type] : {std::pair{PidTagSenderEmailAddress, PidTagSenderAddressType},
                                     {PidTagSentRepresentingEmailAddress, PidTagSentRepresentingAddressType}})
            if (p.count(address) && !p.count(type)) Find(owner + ": sender address without address type");
    }

    // Every column of the recipient table template, so Outlook can show and reply to each.
    void CheckRecipients(const std::string& owner, const Table& t) {
        static const uint16_t kColumns[] = {PidTagRecipientType,
                                            PidTagResponsibility,
                                            PidTagRecordKey,
                                            PidTagObjectType,
                                            PidTagEntryId,
                                            PidTagDisplayName,
                                            PidTagAddressType,
                                            PidTagEmailAddress,
                                            PidTagSearchKey,
                                            PidTagDisplayType,
                                            PidTagAddressBookDisplayNamePrintable,
                                            PidTagSendRichInfo};
        for (auto& r : t.rows)
            for (uint16_t col : kColumns)
                if (!r.props.count(col)) {
                    char buf[16];
                    std::snprintf(buf, sizeof buf, "0x%04X", col);
                    Find(owner + ": recipient row " + std::to_string(r.rowId) + " lacks column " + buf);
                }
    }

    // Nodes whose data Outlook keeps as a heap: check the PC or TC reads back.
    void CheckLtp(const std::string& owner, uint8_t type, NID nid, BID data, BID sub, int depth = 0) {
        if (data == 0 || depth > 4) return;
        std::string err;
        bool pc = type == kNidTypeNormalFolder || type == kNidTypeSearchFolder ||
                  type == kNidTypeNormalMessage || type == kNidTypeAttachment ||
                  type == kNidTypeAssocMessage || nid == kNidMessageStore || nid == kNidNameToIdMap;
        bool tc = type == kNidTypeHierarchyTable || type == kNidTypeContentsTable ||
                  type == kNidTypeAssocContentsTable || type == kNidTypeAttachmentTable ||
                  type == kNidTypeRecipientTable || type == kNidTypeSearchContentsTable ||
                  type == kNidTypeReceiveFolderTable || type == kNidTypeOutgoingQueueTable;
        if (pc) {
            PropMap p;
            if (!ReadPc(db, data, sub, p, err))
                Find(owner + ": property context: " + err);
            else if (type == kNidTypeNormalMessage)
                CheckMessage(owner, p);
        } else if (tc) {
            Table t;
            if (!ReadTc(db, data, sub, t, err))
                Find(owner + ": table context: " + err);
            else if (type == kNidTypeRecipientTable)
                CheckRecipients(owner, t);
        }
        // Messages and attachments hold their tables, attachments and embedded messages as subnodes.
        if (sub &&
            (type == kNidTypeNormalMessage || type == kNidTypeAssocMessage || type == kNidTypeAttachment)) {
            std::map<NID, std::pair<BID, BID>> subs;
            if (!db.ReadSubnodes(sub, subs, err)) {
                Find(owner + ": subnodes: " + err);
                return;
            }
            for (auto& [snid, v] : subs)
                if (NidTypeOf(snid) != kNidTypeLtp)
                    CheckLtp(owner + " / subnode " + ToString(snid), NidTypeOf(snid), snid, v.first, v.second,
                             depth + 1);
        }
    }

    void Run() {
        const Header& h = db.header();
        std::string err;
        // Special pages of every interval.
        uint64_t intervals = (h.ibFileEof - kFirstAMap) / kAMapCoverage;
        if ((h.ibFileEof - kFirstAMap) % kAMapCoverage != 0)
            Find("file end is not on an AMap interval boundary");
        if (h.ibAMapLast != IntervalBase(intervals - 1)) Find("header's last AMap offset is wrong");
        uint64_t freeBits = 0;
        std::map<uint64_t, Bytes> amaps;
        for (uint64_t k = 0; k < intervals; ++k) {
            uint64_t base = IntervalBase(k);
            size_t special = (IntervalDataStart(k) - base) / kPageSize;
            for (size_t i = 0; i < special; ++i) {
                uint8_t page[kPageSize];
                uint64_t ib = base + i * kPageSize;
                if (!db.io().Read(ib, page, kPageSize)) {
                    Find("cannot read map page at " + std::to_string(ib));
                    continue;
                }
                if (page[496] != page[497] || page[496] < 0x82 || page[496] > 0x85)
                    Find("map page at " + std::to_string(ib) + " has a wrong type");
                if (Rd32(page + 500) != ComputeCrc(page, 496))
                    Find("map page at " + std::to_string(ib) + " fails its CRC");
                if (Rd64(page + 504) != ib) Find("map page at " + std::to_string(ib) + " has a wrong BID");
                if (i == 0) amaps[k].assign(page, page + 496);
                ++rep.pages;
            }
            ranges[base] = {IntervalDataStart(k), "map pages"};
            for (size_t b = 0; b < 496 * 8; ++b)
                if (!(amaps[k][b / 8] & (0x80 >> (b % 8)))) ++freeBits;
            for (size_t b = 0; b < special * 8; ++b)
                if (!(amaps[k][b / 8] & (0x80 >> (b % 8))))
                    Find("AMap does not reserve its own map pages in interval " + std::to_string(k));
        }
        // B-tree pages.
        for (bool nodes : {true, false}) {
            BTree t(db, nodes, nodes ? h.nbt : h.bbt);
            const char* name = nodes ? "node B-tree" : "block B-tree";
            bool ok = t.ForEachPage(
                [&](const Bref& r, uint8_t level, size_t entries) {
                    ++rep.pages;
                    // Only the root of an empty tree may be an empty page.
                    if (entries == 0 && (r.ib != (nodes ? h.nbt.ib : h.bbt.ib) || level > 0))
                        Find(std::string(name) + " page " + ToString(r.bid) + " is empty");
                    if (r.ib % kPageSize != 0) Find(std::string(name) + " page not 512-aligned");
                    Claim(r.ib, kPageSize, std::string(name) + " page " + ToString(r.bid));
                },
                err);
            if (!ok) {
                Find(std::string(name) + ": " + err);
                return;
            }
        }
        // Blocks.
        BID maxBid = 0;
        std::vector<BlockEntry> blocks;
        if (!db.ForEachBlock(
                [&](const BlockEntry& b) {
                    blocks.push_back(b);
                    return true;
                },
                err)) {
            Find("block B-tree: " + err);
            return;
        }
        for (auto& b : blocks) {
            ++rep.blocks;
            maxBid = std::max(maxBid, b.bid);
            Bytes d;
            if (!db.ReadBlock(b.bid, d, err)) Find(err);
            Claim(b.ib, b.cb + 16u, "block " + ToString(b.bid));
            if (b.cRef < 2) Find("block " + ToString(b.bid) + " has a reference count below 2");
        }
        if (maxBid >= h.bidNextB) Find("a block ID is not below the header's next block ID");
        // Nodes.
        std::vector<NodeEntry> nodes;
        if (!db.ForEachNode(
                [&](const NodeEntry& n) {
                    nodes.push_back(n);
                    return true;
                },
                err)) {
            Find("node B-tree: " + err);
            return;
        }
        std::map<NID, NID> parents;
        for (auto& n : nodes) {
            ++rep.nodes;
            std::string owner = "node " + ToString(n.nid);
            for (BID b : {n.bidData, n.bidSub}) {
                if (b && !db.FindBlock(b)) Find(owner + " refers to missing block " + ToString(b));
            }
            Reference(n.bidData, owner);
            Reference(n.bidSub, owner);
            parents[n.nid] = n.nidParent;
            uint8_t type = NidTypeOf(n.nid);
            if (type != kNidTypeInternal && type != kNidTypeHid && NidIndexOf(n.nid) > h.rgnid[type] &&
                NidIndexOf(n.nid) >= 0x400)
                Find(owner + " is above the header's NID counter for its type");
            CheckLtp(owner, type, n.nid, n.bidData, n.bidSub);
        }
        // Folders and messages name an existing parent folder.
        for (auto& [nid, parent] : parents) {
            uint8_t type = NidTypeOf(nid);
            if ((type == kNidTypeNormalFolder || type == kNidTypeNormalMessage ||
                 type == kNidTypeSearchFolder) &&
                parent && !parents.count(parent))
                Find("node " + ToString(nid) + " has a missing parent " + ToString(parent));
        }
        for (auto& b : blocks) {
            uint32_t r = refs.count(b.bid) ? refs[b.bid] : 0;
            if (r == 0)
                Find("block " + ToString(b.bid) + " is not referenced by any node");
            else if (b.cRef < r + 1)
                Find("block " + ToString(b.bid) + " has fewer references counted than it has");
        }
        // Allocation map against what is allocated.
        if (h.fAMapValid == kAMapValid) {
            uint64_t used = 0;
            for (auto& [ib, v] : ranges) {
                uint64_t k = (ib - kFirstAMap) / kAMapCoverage;
                for (uint64_t o = ib; o < v.first; o += 64) {
                    uint64_t bit = (o - IntervalBase(k)) / 64;
                    if (bit >= 496 * 8 || !(amaps[k][bit / 8] & (0x80 >> (bit % 8)))) {
                        Find(v.second + " is not marked allocated in the AMap");
                        break;
                    }
                }
                used += v.first - ib;
            }
            uint64_t allocatedBits = intervals * 496 * 8 - freeBits;
            if (allocatedBits * 64 > used) {
                // Outlook leaves no such space behind in a file it closed, and neither may we.
                rep.leakedBytes = allocatedBits * 64 - used;
                Find(std::to_string(rep.leakedBytes) + " bytes are marked allocated but nothing uses them");
            }
            if (h.cbAMapFree != freeBits * 64) Find("header's free byte count does not match the AMaps");
        }
    }
};

}  // namespace

CheckReport CheckPst(std::unique_ptr<FileIo> io) {
    CheckReport rep;
    std::string err;
    auto db = Ndb::Open(std::move(io), false, err);
    if (!db) {
        rep.findings.push_back(err);
        return rep;
    }
    Checker c{*db, rep, {}, {}};
    c.Run();
    return rep;
}

CheckReport CheckPstFile(const std::string& path) {
    std::string err;
    auto io = OpenPosixFile(path, false, false, err);
    if (!io) {
        CheckReport rep;
        rep.findings.push_back(err);
        return rep;
    }
    return CheckPst(std::move(io));
}

}  // namespace pst
