#include "pst/testsupport/fuzz.h"

#include "pst/check.h"
#include "pst/messaging.h"
#include "pst/testsupport/memio.h"

namespace pst {

int FuzzPstReader(const uint8_t* data, size_t size) {
    auto bytes = std::make_shared<Bytes>(data, data + size);
    std::string err;
    auto db = Ndb::Open(std::make_unique<MemoryIo>(bytes), false, err);
    if (db) {
        std::vector<NodeEntry> nodes;
        db->ForEachNode(
            [&](const NodeEntry& n) {
                nodes.push_back(n);
                return nodes.size() < 5000;
            },
            err);
        for (auto& n : nodes) {
            PropMap p;
            Table t;
            std::string e;
            if (!ReadPc(*db, n.bidData, n.bidSub, p, e)) ReadTc(*db, n.bidData, n.bidSub, t, e, 100000);
        }
    }
    auto store = Store::OpenOn(std::make_unique<MemoryIo>(bytes), false);
    if (store) {
        if (auto folders = (*store)->Subfolders((*store)->IpmSubtree())) {
            for (auto& f : *folders) {
                auto msgs = (*store)->Messages(f.nid);
                if (!msgs) continue;
                for (NID m : *msgs) (void)(*store)->ReadMessage(m);
            }
        }
    }
    CheckPst(std::make_unique<MemoryIo>(bytes));
    return 0;
}

}  // namespace pst
