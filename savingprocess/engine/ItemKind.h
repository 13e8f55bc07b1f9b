#pragma once
// The class of a Notes document by its exact form name, and what the folder dump does with it.

#include "savingprocess/engine/SaveStore.h"

#include <QString>

#include <optional>
#include <string_view>

enum class ItemKind { Mail, Task, Calendar, Contact, Group, Unknown };

struct ItemKindInfo {
    ItemKind kind;
    const char* extension;                    // of the interchange file; nullptr when none is written
    const char* messageClass;                 // of the PST item; nullptr when none is added
    std::optional<DefaultFolderCode> folder;  // nothing: the dumped folder's own items
    ImportType importType;
};

// Compared exactly and case-sensitively: "memo" is Unknown.
ItemKind ItemKindOf(std::string_view formName);
const ItemKindInfo& InfoOf(ItemKind kind);
// Whether the kind becomes an item during the folder dump.
bool IsConverted(ItemKind kind);
