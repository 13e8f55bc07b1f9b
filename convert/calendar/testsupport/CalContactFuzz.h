#pragma once
// Fuzz entry of the calendar, contact and group conversion: the bytes are taken as a DXL
// database, and every document of it is read as a calendar entry and as a contact and written
// as ICS, VCF and group TXT into a private scratch folder. Returns 1 when the bytes opened as a
// database and 0 otherwise; a fault shows as a crash, a hang or a sanitizer report.

#include <cstddef>
#include <cstdint>

int FuzzCalendarContactConversion(const std::uint8_t* data, std::size_t size);
