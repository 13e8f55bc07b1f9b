#pragma once
// Fuzz entry of the rich-text renderer: the bytes as UTF-8 DXL, rendered with pictures going to
// no file.

#include <cstddef>
#include <cstdint>

int FuzzRichTextHtml(const uint8_t* data, size_t size);
