// libFuzzer entry; NSF_FUZZ_ENTRY names the HandoffFuzz function this target drives.
#include "common/handoff/fuzz/HandoffFuzz.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (NSF_FUZZ_ENTRY(data, size) != 0) std::abort();
    return 0;
}
