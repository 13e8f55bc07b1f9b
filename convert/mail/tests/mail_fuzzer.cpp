// libFuzzer target (built with -DNSF_FUZZ=ON and clang): MAIL_FUZZ_ENTRY picks the entry point.
#include "convert/mail/testsupport/MailFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return MAIL_FUZZ_ENTRY(data, size);
}
