#include "nsfview/core/FolderTree.h"

#include <gtest/gtest.h>

namespace {

// "text/parent" of every item in index order.
std::vector<std::string> Shape(const FolderTree& tree) {
    std::vector<std::string> shape;
    for (int i = 0; i < tree.Size(); ++i)
        shape.push_back(tree.Item(i).text.toStdString() + "/" + std::to_string(tree.Item(i).parent));
    return shape;
}

}  // namespace

TEST(FolderTree, EmptyLevelsOfANestedNameAreSkipped) {
    struct Case {
        const char* name;
        std::vector<std::string> shape;
    } cases[] = {
        {"A\\\\B", {"db.nsf/-1", "A/0", "B/1"}},
        {"\\A", {"db.nsf/-1", "A/0"}},
        {"A\\", {"db.nsf/-1", "A/0"}},
        {"A\\B\\C", {"db.nsf/-1", "A/0", "B/1", "C/2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FolderTree tree;
        tree.AddRoot(QStringLiteral("C:\\mail\\db.nsf"));
        tree.AddFolder({QString::fromLatin1(c.name), 7, 1});
        EXPECT_EQ(Shape(tree), c.shape);
        for (int i = 1; i < tree.Size(); ++i) EXPECT_EQ(tree.Item(i).noteId, 7u);
    }
}

TEST(FolderTree, AnEmptyNestedFolderUnticksTheLevelsAboveIt) {
    FolderTree tree;
    tree.AddRoot(QStringLiteral("/data/db.nsf"));
    tree.AddFolder({QStringLiteral("A\\B"), 1, 1});
    tree.AddFolder({QStringLiteral("A"), 2, 1});
    tree.AddFolder({QStringLiteral("A\\B\\C"), 3, 0});  // reuses A and B; C is empty
    EXPECT_EQ(Shape(tree), (std::vector<std::string>{"db.nsf/-1", "A/0", "B/1", "A/0", "C/2"}));
    // A level shows what lies below it: B and the first A have no checked descendant left.
    EXPECT_EQ(tree.State(4), CheckState::Unchecked);
    EXPECT_EQ(tree.State(2), CheckState::Unchecked);
    EXPECT_EQ(tree.State(1), CheckState::Unchecked);
    EXPECT_EQ(tree.State(0), CheckState::Mixed);
    EXPECT_TRUE(tree.Item(2).bold);
    EXPECT_EQ(tree.ExportedCount(), 1);  // the top-level A only
    tree.Toggle(2);                      // ticking B ticks C and completes the tree
    EXPECT_EQ(tree.State(0), CheckState::Checked);
    EXPECT_EQ(tree.ExportedCount(), 5);
    EXPECT_EQ(tree.SelectionRecords({}, RunOptions{}).size(), 4u);  // never the database item
}

TEST(FolderTree, IconsOfTopLevelAndNestedNames) {
    struct Case {
        const char* name;
        int topLevel;
        int nested;
    } cases[] = {
        {"Inbox Search", kIconInbox, kIconInbox},
        {"Junk E-mail Inbox", kIconJunk, kIconJunk},
        {"Trash", kIconFolder, kIconFolder},
        {"($Alarms)", kIconCalendar, kIconFolder},
        {"($Inbox-Categorized1)", kIconInbox, kIconInbox},
        {"$ByCategory", kIconSearch, kIconFolder},
        {"My Contacts", kIconContact, kIconContact},
        {"RSS Feeds", kIconFeed, kIconFeed},
        {"inbox", kIconFolder, kIconFolder},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FolderIconFor(QString::fromLatin1(c.name), false), c.topLevel) << c.name;
        EXPECT_EQ(FolderIconFor(QString::fromLatin1(c.name), true), c.nested) << c.name;
    }
}
