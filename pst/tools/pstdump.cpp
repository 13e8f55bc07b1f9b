// pstdump FILE: prints every node with its properties or table rows (a developer's aid).
#include <cstdio>

#include "pst/ltp.h"

using namespace pst;

static void PrintProps(const PropMap& m, const char* indent) {
    for (auto& [id, p] : m) {
        std::printf("%s%04X/%04X (%zu)", indent, id, p.type, p.data.size());
        if (p.type == PT_UNICODE || p.type == PT_STRING8)
            std::printf(" \"%s\"", ToUtf8(p).c_str());
        else if (p.data.size() <= 8)
            std::printf(" = %llx", static_cast<unsigned long long>(AsI8(p)));
        else {
            std::printf(" =");
            for (size_t i = 0; i < p.data.size() && i < 48; ++i) std::printf(" %02x", p.data[i]);
        }
        std::printf("\n");
    }
}

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    std::string err;
    auto io = OpenPosixFile(argv[1], false, false, err);
    if (!io) {
        std::fprintf(stderr, "%s\n", err.c_str());
        return 1;
    }
    auto db = Ndb::Open(std::move(io), false, err);
    if (!db) {
        std::fprintf(stderr, "%s\n", err.c_str());
        return 1;
    }
    const Header& h = db->header();
    std::printf("bidNextP=%llx bidNextB=%llx unique=%x eof=%llx amaplast=%llx free=%llx\n",
                (unsigned long long)h.bidNextP, (unsigned long long)h.bidNextB, h.dwUnique,
                (unsigned long long)h.ibFileEof, (unsigned long long)h.ibAMapLast,
                (unsigned long long)h.cbAMapFree);
    for (int i = 0; i < 32; ++i) std::printf("%x ", h.rgnid[i]);
    std::printf("\n");
    db->ForEachBlock(
        [&](const BlockEntry& b) {
            std::printf("block %llx ib=%llx cb=%u cRef=%u\n", (unsigned long long)b.bid.value(),
                        (unsigned long long)b.ib, b.cb, b.cRef);
            return true;
        },
        err);
    std::vector<NodeEntry> nodes;
    db->ForEachNode(
        [&](const NodeEntry& n) {
            nodes.push_back(n);
            return true;
        },
        err);
    for (auto& n : nodes) {
        std::printf("node %x type %x data %llx sub %llx parent %x\n", n.nid.value(), NidTypeOf(n.nid),
                    (unsigned long long)n.bidData.value(), (unsigned long long)n.bidSub.value(),
                    n.nidParent.value());
        if (!n.bidData) continue;
        Heap hp;
        std::string e;
        if (!hp.Load(*db, n.bidData, e)) {
            std::printf("  (not a heap: %s)\n", e.c_str());
            continue;
        }
        if (hp.clientSig() == kSigPc) {
            PropMap m;
            if (ReadPc(*db, n.bidData, n.bidSub, m, e))
                PrintProps(m, "  ");
            else
                std::printf("  PC error %s\n", e.c_str());
        } else if (hp.clientSig() == kSigTc) {
            Table t;
            if (!ReadTc(*db, n.bidData, n.bidSub, t, e)) {
                std::printf("  TC error %s\n", e.c_str());
                continue;
            }
            std::printf("  TC rgib %u %u %u %u cols:", t.rgib[0], t.rgib[1], t.rgib[2], t.rgib[3]);
            for (auto& c : t.cols) std::printf(" %08X@%u/%u/%u", c.tag, c.ib, c.cb, c.iBit);
            std::printf("\n");
            for (auto& r : t.rows) {
                std::printf("  row %x\n", r.rowId);
                PrintProps(r.props, "    ");
            }
        } else {
            std::printf("  heap sig %x\n", hp.clientSig());
        }
        if (n.bidSub) {
            std::map<NID, std::pair<BID, BID>> subs;
            if (db->ReadSubnodes(n.bidSub, subs, e))
                for (auto& [sn, v] : subs)
                    std::printf("  sub %x data %llx sub %llx\n", sn.value(),
                                (unsigned long long)v.first.value(), (unsigned long long)v.second.value());
        }
    }
    if (!err.empty()) std::printf("error: %s\n", err.c_str());
    return 0;
}
