#include "nsfview/core/Viewer.h"

#include "TestSupport.h"
#include "common/handoff/FolderList.h"
#include "common/handoff/HandoffPaths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

namespace {

class RecordedPrompts : public ViewerPrompts {
  public:
    void Message(const QString& text) override { messages << text; }
    QStringList messages;
};

TEST(Viewer, CommandLineInBothForms) {
    const ChildCommandLine expected{"/data/a b.dxl", "", "3", "", "/tmp/h/"};
    EXPECT_EQ(ViewerCommandLine({"/data/a b.dxl", "", "3", "", "/tmp/h/"}), expected);
    EXPECT_EQ(ViewerCommandLine({"C:\\a b.nsf/D /C 3/P /FC:\\h\\"}),
              (ChildCommandLine{"C:\\a b.nsf", "", "3", "", "C:\\h\\"}));
    // The raw line as a shell splits it at its spaces.
    EXPECT_EQ(ViewerCommandLine({"C:\\a", "b", "c.nsf/D", "/C", "3/P", "/FC:\\h\\"}),
              (ChildCommandLine{"C:\\a b c.nsf", "", "3", "", "C:\\h\\"}));
    EXPECT_EQ(ViewerCommandLine({}), ChildCommandLine{});
    const std::pair<const char*, ViewerMode> modes[] = {
        {"1", ViewerMode::Preview}, {"2", ViewerMode::SaveOptions}, {"3", ViewerMode::Listing},
        {"03", ViewerMode::Empty},  {"", ViewerMode::Empty},        {"3 ", ViewerMode::Empty}};
    for (const auto& [text, mode] : modes) EXPECT_EQ(ModeOf(QString::fromLatin1(text)), mode) << text;
}

struct Handoff {
    QTemporaryDir dir;
    QString folder = WithTrailingSeparator(dir.path());
    QString File(const char* name) const { return HandoffFilePath(folder, name); }
};

TEST(Viewer, MissingFolderFileStopsBeforeAnything) {
    Handoff h;
    ViewerSession session({QStringLiteral(NSF_SOURCE_DIR "/data/mail.dxl"), "", "3", "", h.folder});
    RecordedPrompts prompts;
    EXPECT_FALSE(session.Start(prompts));
    EXPECT_EQ(prompts.messages, QStringList{"Folder file cannot be open"});
    EXPECT_FALSE(QFile::exists(h.File("QuenmarkHarbex_log_.txt")));
}

TEST(Viewer, ListingWritesEveryKeptFolderAndLogsInOnePiece) {
    Handoff h;
    ASSERT_TRUE(CreateEmptyFolderList(h.File(kFolderListFileName)));
    RunOptions options;
    options.includeAllFolder = 0;
    options.folderMappingOn = 1;
    options.folderMap[QStringLiteral("Trash")] = QStringLiteral("Deleted Items");
    ASSERT_TRUE(WriteRunOptions(h.File(kRunOptionsFileName), options));
    {
        // An existing log is appended to, without a second byte-order mark.
        RunLog log;
        ASSERT_TRUE(log.Open(h.File("QuenmarkHarbex_log_.txt"), RunLog::Opening::Recreate));
        log.WriteLine(QStringLiteral("before"));
    }
    const QString db = QStringLiteral(NSF_SOURCE_DIR "/data/mail.dxl");
    ViewerSession session({db, "", "3", "", h.folder});
    RecordedPrompts prompts;
    ASSERT_TRUE(session.Start(prompts));
    session.RunListing();
    session.Log().Close();

    FolderListResult result;
    ASSERT_TRUE(ReadFolderList(h.File(kFolderListFileName), FolderListKind::Listing, result));
    ASSERT_EQ(result.status, FolderStatus::Result);
    QStringList paths;
    std::vector<int> entries;
    for (const auto& r : result.records) {
        paths << r.path;
        entries.push_back(r.hasEntries);
    }
    EXPECT_EQ(paths,
              (QStringList{"Inbox", "Sent Items", "Drafts", "Deleted Items", "Tasks", "Calendar", "($People)",
                           "Groups", "Projects", "Projects\\2019", "Projects\\2019\\Q1  Plan Review ",
                           "Clients\\\\ACME", "Empty folder", QString::fromUtf8("Ünïcødé Ордер 文件夹 📁")}));
    EXPECT_EQ(entries, (std::vector<int>{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 1}));

    bool mark = false;
    const QString text = ReadLogText(h.File("QuenmarkHarbex_log_.txt"), &mark);
    EXPECT_TRUE(mark);
    EXPECT_EQ(text, QStringLiteral("before\r\n") + QString(149, u'*') +
                        QStringLiteral("\r\nOpening  Database \r\n") +
                        QStringLiteral("Processing Folders for nsf file:  ") + db + QStringLiteral("\r\n"));
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST(Viewer, UnreadableDatabaseWritesNoRecord) {
    Handoff h;
    ASSERT_TRUE(CreateEmptyFolderList(h.File(kFolderListFileName)));
    ViewerSession session({h.File("missing.nsf"), "", "3", "", h.folder});
    RecordedPrompts prompts;
    ASSERT_TRUE(session.Start(prompts));
    session.RunListing();
    FolderListResult result;
    ASSERT_TRUE(ReadFolderList(h.File(kFolderListFileName), FolderListKind::Listing, result));
    EXPECT_EQ(result.status, FolderStatus::NoResult);
}

}  // namespace
