#include "savingprocess/engine/ItemKind.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<std::string_view, ItemKind>, 11> kForms{{
    {"Memo", ItemKind::Mail},
    {"NonDelivery Report", ItemKind::Mail},
    {"Reply", ItemKind::Mail},
    {"Return Receipt", ItemKind::Mail},
    {"Task", ItemKind::Task},
    {"Appointment", ItemKind::Calendar},
    {"Notice", ItemKind::Calendar},
    {"(ReplyNotice)", ItemKind::Calendar},
    {"Person", ItemKind::Contact},
    {"Group", ItemKind::Group},
    {"", ItemKind::Unknown},
}};

const std::array<ItemKindInfo, 6> kInfo{{
    {ItemKind::Mail, ".eml", "IPM.Note", std::nullopt, ImportType::Eml},
    {ItemKind::Task, ".eml", "IPM.Task", DefaultFolderCode::Tasks, ImportType::Eml},
    {ItemKind::Calendar, nullptr, nullptr, std::nullopt, ImportType::Ics},
    {ItemKind::Contact, ".vcf", "IPM.Contact", DefaultFolderCode::Contacts, ImportType::Vcf},
    {ItemKind::Group, ".txt", "IPM.DistList", DefaultFolderCode::GroupLists, ImportType::GroupText},
    {ItemKind::Unknown, nullptr, nullptr, std::nullopt, ImportType::Eml},
}};

}  // namespace

ItemKind ItemKindOf(std::string_view formName) {
    if (formName.empty()) return ItemKind::Unknown;
    for (const auto& [name, kind] : kForms) {
        if (name == formName) return kind;
    }
    return ItemKind::Unknown;
}

const ItemKindInfo& InfoOf(ItemKind kind) {
    return kInfo[static_cast<std::size_t>(kind)];
}

bool IsConverted(ItemKind kind) {
    return InfoOf(kind).messageClass != nullptr;
}
