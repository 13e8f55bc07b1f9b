// A strict consistency check of a PST file: header, pages, blocks, both B-trees, allocation
// maps, heaps and tables. Used by the `pstcheck` tool and by every test that writes a file.
#pragma once

#include <string>
#include <vector>

#include "pst/ndb.h"

namespace pst {

struct CheckReport {
    std::vector<std::string> findings;  // empty for a sound file
    size_t nodes = 0, blocks = 0, pages = 0;
    uint64_t leakedBytes = 0;  // allocated in the AMaps but referenced by nothing
    bool ok() const { return findings.empty(); }
};

CheckReport CheckPst(std::unique_ptr<FileIo> io);
CheckReport CheckPstFile(const std::string& path);

}  // namespace pst
