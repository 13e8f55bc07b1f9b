#include "nsfview/core/FolderTree.h"

#include "common/saveoptions/SaveOptions.h"

#include <array>
#include <utility>

namespace {

// The first name part found decides; nested levels use the first 17 rows.
constexpr std::array<std::pair<const char*, int>, 20> kIconRules = {{
    {"Junk E-mail", kIconJunk},      {"Inbox", kIconInbox},
    {"Outbox", kIconOutbox},         {"RSS Feeds", kIconFeed},
    {"Sent Items", kIconSent},       {"Drafts", kIconDrafts},
    {"Deleted Items", kIconDeleted}, {"Large Mail", kIconSearch},
    {"Unread Mail", kIconSearch},    {"Categorized Mail", kIconSearch},
    {"Search Folders", kIconSearch}, {"Search", kIconSearch},
    {"Calendar", kIconCalendar},     {"Tasks", kIconTasks},
    {"Journal", kIconJournal},       {"Notes", kIconNote},
    {"Contacts", kIconContact},      {"$Alarms", kIconCalendar},
    {"$ByCategory", kIconSearch},    {"$Inbox-Categorized1", kIconSearch},
}};
constexpr std::size_t kNestedRules = 17;

}  // namespace

int FolderIconFor(const QString& name, bool nestedLevel) {
    const std::size_t rules = nestedLevel ? kNestedRules : kIconRules.size();
    for (std::size_t i = 0; i < rules; ++i)
        if (name.contains(QLatin1String(kIconRules[i].first), Qt::CaseSensitive)) return kIconRules[i].second;
    return kIconFolder;
}

int FolderTree::Insert(int parent, const QString& text, int icon, std::uint32_t noteId) {
    const int index = Size();
    TreeItem item;
    item.text = text;
    item.icon = icon;
    item.noteId = noteId;
    item.parent = parent;
    items_.push_back(std::move(item));
    if (parent >= 0) {
        items_[static_cast<std::size_t>(parent)].children.push_back(index);
        Recount(index);
    }
    return index;
}

int FolderTree::AddRoot(const QString& databasePath) {
    items_.clear();
    const qsizetype cut =
        std::max(databasePath.lastIndexOf(QLatin1Char('\\')), databasePath.lastIndexOf(QLatin1Char('/')));
    const int root = Insert(-1, cut < 0 ? databasePath : databasePath.mid(cut + 1), kIconDatabase, 0);
    SetChecked(root, true);
    return root;
}

std::vector<int> FolderTree::AddFolder(const ScannedFolder& folder) {
    std::vector<int> created;
    if (items_.empty()) return created;
    if (!folder.name.contains(QLatin1Char('\\'))) {
        const int item = Insert(0, folder.name, FolderIconFor(folder.name, false), folder.noteId);
        created.push_back(item);
        if (folder.hasEntries) {
            if (!folder.name.contains(QLatin1String("($All)"))) SetChecked(item, true);
            items_[static_cast<std::size_t>(item)].bold = true;
        } else {
            SetChecked(item, false);
        }
        return created;
    }
    int parent = 0;
    for (const QString& level : folder.name.split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
        int found = -1;
        for (int child : items_[static_cast<std::size_t>(parent)].children)
            if (items_[static_cast<std::size_t>(child)].text == level) {
                found = child;
                break;
            }
        if (found < 0) {
            found = Insert(parent, level, FolderIconFor(level, true), folder.noteId);
            created.push_back(found);
            SetChecked(found, true);
        }
        parent = found;
    }
    if (folder.hasEntries)
        items_[static_cast<std::size_t>(parent)].bold = true;
    else
        SetChecked(parent, false);
    return created;
}

void FolderTree::SetSubtree(int index, bool checked) {
    TreeItem& item = items_[static_cast<std::size_t>(index)];
    item.flag = checked;
    for (int child : item.children) SetSubtree(child, checked);
}

void FolderTree::SetChecked(int index, bool checked) {
    if (index < 0 || index >= Size()) return;
    SetSubtree(index, checked);
    Recount(index);
}

void FolderTree::Toggle(int index) {
    if (index < 0 || index >= Size()) return;
    SetChecked(index, State(index) != CheckState::Checked);
}

bool FolderTree::AllDescendantsFlagged(int index) const {
    for (int child : Item(index).children)
        if (!Item(child).flag || !AllDescendantsFlagged(child)) return false;
    return true;
}

void FolderTree::Recount(int index) {
    for (int at = Item(index).parent; at >= 0; at = Item(at).parent)
        items_[static_cast<std::size_t>(at)].flag = AllDescendantsFlagged(at);
}

CheckState FolderTree::State(int index) const {
    const TreeItem& item = Item(index);
    if (item.children.empty()) return item.flag ? CheckState::Checked : CheckState::Unchecked;
    int total = 0;
    int flagged = 0;
    std::vector<int> pending(item.children.begin(), item.children.end());
    while (!pending.empty()) {
        const int at = pending.back();
        pending.pop_back();
        ++total;
        if (Item(at).flag) ++flagged;
        pending.insert(pending.end(), Item(at).children.begin(), Item(at).children.end());
    }
    if (flagged == 0) return CheckState::Unchecked;
    return flagged == total ? CheckState::Checked : CheckState::Mixed;
}

std::vector<int> FolderTree::TreeOrder() const {
    std::vector<int> order;
    if (items_.empty()) return order;
    std::vector<int> pending{0};
    while (!pending.empty()) {
        const int at = pending.back();
        pending.pop_back();
        order.push_back(at);
        const auto& children = Item(at).children;
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return order;
}

int FolderTree::ExportedCount() const {
    int count = 0;
    for (int i = 0; i < Size(); ++i)
        if (IsExported(i)) ++count;
    return count;
}

std::vector<FolderRecord> FolderTree::SelectionRecords(const std::vector<ScannedFolder>& scanned,
                                                       const RunOptions& options) const {
    std::vector<FolderRecord> records;
    for (int index : TreeOrder()) {
        if (index == 0 || !IsExported(index)) continue;
        QStringList levels;
        for (int at = index; at > 0; at = Item(at).parent) levels.prepend(Item(at).text);
        QString path;
        for (const QString& level : levels) {
            if (!path.isEmpty() && !path.endsWith(QLatin1Char('\\'))) path += QLatin1Char('\\');
            path += saveoptions::CleanAndMapLevel(level, options);
        }
        std::uint8_t hasEntries = 1;
        for (const ScannedFolder& folder : scanned)
            if (folder.noteId == Item(index).noteId) {
                hasEntries = folder.hasEntries;
                break;
            }
        records.push_back({path, hasEntries, Item(index).noteId});
    }
    return records;
}
