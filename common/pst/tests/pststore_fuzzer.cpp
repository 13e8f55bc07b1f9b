// libFuzzer entry for the imports (built with -DNSF_FUZZ=ON).
#include "common/pst/testsupport/PstImportFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzPstImport(data, size);
    return 0;
}
