// libFuzzer target (built with -DNSF_FUZZ=ON and clang): seed it with PST files.
#include "pst/testsupport/fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return pst::FuzzPstReader(data, size);
}
