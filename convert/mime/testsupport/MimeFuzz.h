#pragma once
// Fuzz entries of the MIME builder, for the seeded mutation tests and the libFuzzer targets.

#include <cstddef>
#include <cstdint>

// Runs the field decoders and the decoding transfer codecs over the bytes.
int FuzzFieldDecoder(const uint8_t* data, size_t size);

// Builds a message from the bytes (fields, charsets, parameters, content and parts taken from
// NUL-separated pieces) and checks that it serialises within MeasureSize.
int FuzzMimeMessage(const uint8_t* data, size_t size);
