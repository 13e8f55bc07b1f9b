// libFuzzer target of the DXL reader (built with -DNSF_FUZZ=ON and clang).
#include "common/notes/NotesFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzDxlDatabase(data, size);
    return 0;
}
