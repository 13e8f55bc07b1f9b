#pragma once
// The store port over the PST store interface (common/pst).

#include "savingprocess/engine/SaveStore.h"

#include <QUuid>

#include <memory>

// The named property that carries a saved item's source: the universal ID of its Notes document
// as 32 upper-case hex digits, a PT_UNICODE property named "NotesUniversalID" in a property set
// of our own.
inline const QUuid kSourcePropertySet{0x8C4B2E61, 0x3F0A, 0x4D5C, 0x9B, 0x7E, 0x2A,
                                      0x1D,       0x6F,   0x30,   0xC5, 0xE8};
inline constexpr char kSourcePropertyName[] = "NotesUniversalID";

// A session that opens PST files through common/pst. Failures of the store go to the standard
// error stream; the run log keeps its own lines.
std::unique_ptr<StoreSession> CreatePstStoreSession();
