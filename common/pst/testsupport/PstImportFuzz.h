#pragma once
// Fuzz entry of the imports: the first byte picks the import type (EML, VCF, ICS, group TXT),
// the rest is the file. The file is imported into a new item of a scratch store, which is then
// saved. Returns 1 when the import took the file, 0 otherwise; a fault shows as a crash, a hang
// or a sanitizer report.

#include <cstddef>
#include <cstdint>

int FuzzPstImport(const std::uint8_t* data, std::size_t size);
