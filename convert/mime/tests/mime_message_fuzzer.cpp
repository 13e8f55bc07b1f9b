// libFuzzer target for building and serialising a message (built with -DNSF_FUZZ=ON and clang).
#include "convert/mime/testsupport/MimeFuzz.h"
#include "convert/mime/Mime.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzMimeMessage(data, size);
}
