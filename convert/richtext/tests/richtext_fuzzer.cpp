// libFuzzer target for the DXL rich-text renderer (configure with -DNSF_FUZZ=ON, CXX=clang++).
#include "convert/richtext/RichTextHtml.h"
#include "convert/richtext/testsupport/RichTextFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzRichTextHtml(data, size);
}
