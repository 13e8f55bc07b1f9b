// Entry point that drives the whole reader over untrusted bytes: open, walk both B-trees, read
// every node as a property or table context, read every message, and run the checker.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pst {
int FuzzPstReader(const uint8_t* data, size_t size);
}
