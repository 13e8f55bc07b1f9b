#pragma once
// The check-box tree of the preview as plain data: the database item, one item per folder level,
// the icon of each, and the tri-state check rules. The window shows this tree; the selection
// handed to the launcher is read from it.

#include "common/handoff/FolderList.h"
#include "common/handoff/RunOptions.h"
#include "nsfview/core/NsfScanner.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

enum class CheckState { Unchecked, Checked, Mixed };

// The icons of the tree, by index (9, 12 and 13 are not used).
enum FolderIcon : int {
    kIconDatabase = 0,
    kIconCalendar = 1,
    kIconDrafts = 2,
    kIconInbox = 3,
    kIconJournal = 4,
    kIconNote = 5,
    kIconOutbox = 6,
    kIconSent = 7,
    kIconTasks = 8,
    kIconFolder = 10,
    kIconContact = 11,
    kIconJunk = 14,
    kIconSearch = 15,
    kIconDeleted = 16,
    kIconFeed = 17,
    kIconCount = 18,
};

// The icon of a shown folder name: the first name part it contains decides. A level of a nested
// folder is matched against the first seventeen rules only.
int FolderIconFor(const QString& name, bool nestedLevel);

struct TreeItem {
    QString text;
    int icon = kIconFolder;
    std::uint32_t noteId = 0;
    bool flag = false;  // the item's own check flag
    bool bold = false;
    int parent = -1;  // -1 for the database item
    std::vector<int> children;
};

class FolderTree {
  public:
    void Clear() { items_.clear(); }
    bool Empty() const { return items_.empty(); }
    int Size() const { return static_cast<int>(items_.size()); }
    const TreeItem& Item(int index) const { return items_[static_cast<std::size_t>(index)]; }

    // The database item (index 0), checked: the part of `databasePath` after its last "\" or "/".
    int AddRoot(const QString& databasePath);
    // Adds one scanned folder: a name without "\" always as a new top-level item, a nested one
    // level by level, reusing the levels that exist. Returns the items it created, in order.
    std::vector<int> AddFolder(const ScannedFolder& folder);

    // Sets or clears an item's flag, and the flags of all its descendants; ancestors follow.
    void SetChecked(int index, bool checked);
    // A click on the check box: a mixed or unchecked item becomes checked, a checked one
    // unchecked.
    void Toggle(int index);
    CheckState State(int index) const;
    // Exported itself: a leaf with its flag set, or an item all of whose descendants are checked.
    bool IsExported(int index) const { return State(index) == CheckState::Checked; }

    // Every item in tree order: parent before children, children in order.
    std::vector<int> TreeOrder() const;
    // The records of the export, in tree order, without the database item; hasEntries is looked
    // up in `scanned` by note ID (1 when absent). Empty when nothing is checked.
    std::vector<FolderRecord> SelectionRecords(const std::vector<ScannedFolder>& scanned,
                                               const RunOptions& options) const;
    // The number of exported items, the database item included.
    int ExportedCount() const;

  private:
    int Insert(int parent, const QString& text, int icon, std::uint32_t noteId);
    void Recount(int index);  // the ancestors of index, from its parent upward
    bool AllDescendantsFlagged(int index) const;
    void SetSubtree(int index, bool checked);

    std::vector<TreeItem> items_;
};
