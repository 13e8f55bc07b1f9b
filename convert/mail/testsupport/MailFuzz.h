#pragma once
// Fuzz entry points for what the mail conversion reads from documents: address lists, table
// values and names (FuzzMailTexts: address translation, PickAddress, SmtpPattern, CleanName,
// DetachFileName, HTML items) and whole records (FuzzEmlWriter: the EML writer on fields taken
// from the bytes). Each checks the invariants its results must keep and aborts on a breach;
// it returns 0.

#include <cstddef>
#include <cstdint>

int FuzzMailTexts(const std::uint8_t* data, std::size_t size);
int FuzzEmlWriter(const std::uint8_t* data, std::size_t size);
