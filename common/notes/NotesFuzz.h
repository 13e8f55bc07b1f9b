#pragma once
// Fuzz driver of the DXL reader: loads the bytes as a database and reads everything reachable
// in it (views, entries, documents, items, rich text, attachments into a scratch buffer).
// Returns 1 when the bytes opened as a database, 0 when they were refused; it never crashes,
// hangs or allocates without bound, whatever the bytes.

#include <cstddef>
#include <cstdint>

int FuzzDxlDatabase(const std::uint8_t* data, std::size_t size);
