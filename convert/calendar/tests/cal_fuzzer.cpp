// libFuzzer entry for the calendar, contact and group conversion (built with -DNSF_FUZZ=ON).
#include "convert/calendar/testsupport/CalContactFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzCalendarContactConversion(data, size);
    return 0;
}
