#include "nsfview/core/NsfScanner.h"

#include "TestSupport.h"
#include "common/handoff/RunLog.h"
#include "common/notes/DxlBuilder.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

// Views and folders that exercise every filter rule, each with one entry unless noted.
QString BuildDatabase() {
    DxlBuilder b;
    const NOTEID doc = b.AddDocument("Memo").Text("Subject", "x").Id();
    b.AddFolder("($Inbox)").Entry(doc);
    b.AddView("($ToDo)").Entry(doc);
    b.AddView("($ToDo)").Type(1).Entry(doc);  // a calendar-type view of a kept name
    b.AddFolder("($ToDo)").Entry(doc);        // a folder passes whatever its name
    b.AddView("Private view").Entry(doc);
    b.AddView("($ByCategory)").Entry(doc);
    b.AddFolder("($Alarms)").Entry(doc);
    b.AddView("($JunkMail)").Entry(doc);  // a view outside the kept names
    b.AddFolder("($JunkMail)");           // an empty folder
    b.AddFolder("Projects\\2019").Entry(doc);
    b.AddView("($All)").Entry(doc);
    const QString path = QStringLiteral("/mem/scanner.dxl");
    b.Register(path);
    return path;
}

TEST(NsfScanner, KeepsConvertibleViewsUnderTheirOutlookNames) {
    const QString path = BuildDatabase();
    struct Case {
        const char* name;
        std::uint8_t selectionMode;
        std::uint32_t includeAll;
        std::vector<QString> names;
    } cases[] = {
        {"launcher defaults", 0, 0, {"Inbox", "Tasks", "Tasks", "Junk E-mail", "Projects\\2019"}},
        {"with ($All)", 0, 1, {"Inbox", "Tasks", "Tasks", "Junk E-mail", "Projects\\2019", "($All)"}},
        {"selection mode",
         1,
         1,
         {"Inbox", "Tasks", "Tasks", "($ByCategory)", "($Alarms)", "Junk E-mail", "Projects\\2019",
          "($All)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NsfScanner scanner(nullptr, nullptr);
        ASSERT_EQ(scanner.OpenDatabase(path, {}), 1);
        RunOptions options;
        options.selectionMode = c.selectionMode;
        options.includeAllFolder = c.includeAll;
        std::vector<QString> names;
        for (const auto& f : scanner.ListFolders(options)) names.push_back(f.name);
        EXPECT_EQ(names, c.names);
    }
    NsfScanner scanner(nullptr, nullptr);
    ASSERT_EQ(scanner.OpenDatabase(path, {}), 1);
    const auto& folders = scanner.ListFolders(RunOptions{});
    ASSERT_EQ(folders.size(), 6u);
    EXPECT_EQ(folders[3].name, QStringLiteral("Junk E-mail"));
    EXPECT_EQ(folders[3].hasEntries, 0);
    EXPECT_EQ(folders[0].hasEntries, 1);
    EXPECT_NE(folders[0].noteId, 0u);
}

TEST(NsfScanner, StopLeavesAShorterListAndResetsTheFlag) {
    const QString path = BuildDatabase();
    std::atomic<std::uint8_t> keepRunning{1};
    NsfScanner scanner(nullptr, &keepRunning, {{}, [&](int) { keepRunning = 0; }, {}});
    ASSERT_EQ(scanner.OpenDatabase(path, {}), 1);
    EXPECT_TRUE(scanner.ListFolders(RunOptions{}).empty());
    EXPECT_EQ(keepRunning.load(), 1);
}

TEST(NsfScanner, OpenFailuresAreLoggedWithTheirTags) {
    QTemporaryDir dir;
    struct Case {
        const char* name;
        QString path, server;
        std::vector<const char*> tags;
    } cases[] = {
        {"missing local file", dir.filePath("none.nsf"), {}, {"Func: 121c"}},
        {"server", dir.filePath("none.nsf"), QStringLiteral("Mail01/Acme"), {"Func: 121a", "Func: 121b"}},
        {"not a database", dir.filePath("x.dxl"), {}, {"Func: 121c"}},
    };
    QFile junk(dir.filePath("x.dxl"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not xml");
    junk.close();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString logPath = dir.filePath("log.txt");
        QFile::remove(logPath);
        RunLog log;
        ASSERT_TRUE(log.Open(logPath, RunLog::Opening::CreateOrAppend));
        NsfScanner scanner(&log, nullptr);
        EXPECT_EQ(scanner.OpenDatabase(c.path, c.server), 0);
        log.Close();
        const QStringList lines = ReadLogText(logPath).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), qsizetype(c.tags.size()));
        for (std::size_t i = 0; i < c.tags.size(); ++i) {
            EXPECT_TRUE(lines[qsizetype(i)].startsWith(QLatin1String(c.tags[i])))
                << lines[qsizetype(i)].toStdString();
            EXPECT_GT(lines[qsizetype(i)].size(), qsizetype(10));  // the Notes error text follows the tag
        }
    }
}

}  // namespace
