#pragma once
// Names of the project's DXL extension (docs/dxl-extension.md): what the Notes API offers
// and a DXL export does not carry.

namespace dxlext {
inline constexpr char kNamespace[] = "urn:x-nsfconvert:dxl-extension:1";
inline constexpr char kPrefix[] = "nx";
}  // namespace dxlext
