// libFuzzer target for the header-field decoders (built with -DNSF_FUZZ=ON and clang).
#include "convert/mime/testsupport/MimeFuzz.h"
#include "convert/mime/FieldCode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzFieldDecoder(data, size);
}
