// pstcheck FILE: exit status 0 for a sound PST file, 1 and a list of findings otherwise.
#include <cstdio>

#include "pst/check.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pstcheck FILE\n");
        return 2;
    }
    pst::CheckReport r = pst::CheckPstFile(argv[1]);
    for (auto& f : r.findings) std::printf("%s\n", f.c_str());
    if (!r.ok()) return 1;
    std::printf("%s: sound (%zu nodes, %zu blocks, %zu pages, %llu bytes allocated but unused)\n", argv[1],
                r.nodes, r.blocks, r.pages, static_cast<unsigned long long>(r.leakedBytes));
    return 0;
}
