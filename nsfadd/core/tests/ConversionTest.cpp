#include "nsfadd/core/Conversion.h"

#include "FakeChildren.h"
#include "common/handoff/HandoffPaths.h"
#include "common/pst/PstStore.h"
#include "nsfadd/core/PassCounts.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

struct Fixture {
    QTemporaryDir dir;
    QString handoff = WithTrailingSeparator(dir.filePath("handoff"));
    QString output = WithTrailingSeparator(dir.filePath("out"));
    FakeChildren children;
    RecordingObserver observer;
    RecordingPrompts prompts;
    std::atomic<bool> keepGoing{true};
    Fixture() {
        QDir().mkpath(handoff);
        QDir().mkpath(output);
        RunLog log;
        log.Open(handoff + RunLog::FileName(), RunLog::Opening::Recreate);
    }
    Conversion Make() {
        return Conversion({handoff, &children, &observer, &prompts, &keepGoing, nullptr, false});
    }
    QString Log() const {
        QFile f(handoff + RunLog::FileName());
        f.open(QIODevice::ReadOnly);
        const QByteArray b = f.readAll().mid(2);
        return QString(reinterpret_cast<const QChar*>(b.constData()), b.size() / 2);
    }
};

TEST(Conversion, PstNames) {
    const std::pair<const char*, const char*> cases[] = {{"C:\\a\\mail.nsf", "MAIL.PST"},
                                                         {"/data/x.nsf.nsf", "X.PST.PST"},
                                                         {"/data/Mail.dxl", "MAIL.PST"},
                                                         {"noseparator.nsf", "NOSEPARATOR.PST"},
                                                         {"/d/archive", "ARCHIVE"}};
    for (const auto& [db, name] : cases)
        EXPECT_EQ(PstFileName(QString::fromLatin1(db)), QLatin1String(name)) << db;

    QTemporaryDir dir;
    const QString out = WithTrailingSeparator(dir.path());
    EXPECT_EQ(ChoosePstPath(out, "/a/mail.nsf"), out + "MAIL.PST");
    QFile(out + "MAIL.PST").open(QIODevice::WriteOnly);
    QDir(out).mkdir("0MAIL.PST");  // a folder of that name counts as taken too
    EXPECT_EQ(ChoosePstPath(out, "/b/Mail.nsf"), out + "1MAIL.PST");
    EXPECT_EQ(ChoosePstPath(out, "/b/Mail.nsf", {out + "1MAIL.PST"}), out + "2MAIL.PST");
}

TEST(Conversion, PassRestartsUntilFinishedGivenUpOrStopped) {
    struct Case {
        const char* name;
        std::vector<SaveStep> steps;
        const char* mode;
        PassOutcome::End end;
        int starts;
        bool keepGoingAfter;
        std::uint64_t converted;
    } cases[] = {
        {"finishes at once", {{0, 1, 4}}, "0", PassOutcome::End::Finished, 1, true, 4},
        {"resumes twice", {{5, 1, -1}, {9, 1, -1}, {0, 1, 3}}, "0", PassOutcome::End::Finished, 3, true, 3},
        // The first start at 7 is progress (from 1); the next three are not.
        {"stuck at 7", {{7}, {7}, {7}, {7}, {7}}, "0", PassOutcome::End::GivenUp, 4, true, 0},
        {"stuck at 1 from the first start", {{1}, {1}, {1}}, "0", PassOutcome::End::GivenUp, 3, true, 0},
        {"user stops a folder pass", {{12, 0, 2}}, "0", PassOutcome::End::Stopped, 1, false, 2},
        {"user stops the calendar pass", {{0, 0, -1}}, "1", PassOutcome::End::Stopped, 1, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.children.steps.assign(c.steps.begin(), c.steps.end());
        CreateResumeRecord(HandoffFilePath(f.handoff, kResumeFileName),
                           {42, 0, "\\\\Personal Folders\\Inbox", 1});
        const PassOutcome pass =
            f.Make().RunPass(0, {"/d/mail.nsf", {}}, QString::fromLatin1(c.mode), "/o/MAIL.PST");
        EXPECT_EQ(pass.end, c.end);
        EXPECT_EQ(pass.starts, c.starts);
        EXPECT_EQ(f.keepGoing.load(), c.keepGoingAfter);
        if (std::string(c.mode) == "0") {
            EXPECT_EQ(pass.converted, c.converted);
        }
        ASSERT_FALSE(f.children.calls.empty());
        EXPECT_EQ(f.children.calls.front(), (ChildCommandLine{"/d/mail.nsf", "", QString::fromLatin1(c.mode),
                                                              "/o/MAIL.PST", f.handoff}));
    }
    Fixture f;
    f.children.saveStarts = false;
    EXPECT_EQ(f.Make().RunPass(0, {"/d/mail.nsf", {}}, "0", "/o/MAIL.PST").end, PassOutcome::End::NotStarted);
}

TEST(Conversion, OneFileBuildsTheSkeletonAndRunsThePasses) {
    Fixture f;
    const std::vector<FolderRecord> records = {
        {"Inbox", 1, 10},      {"inbox", 1, 11},    {"Projects\\2019", 1, 12},
        {"\\Lead", 1, 13},     {"Tasks", 1, 14},    {"Calendar", 0, 15},
        {"Sent Items", 1, 16}, {"Q1: Plan", 1, 17}, {"Clients\\\\ACME", 1, 18},
    };
    const FileOutcome outcome = f.Make().ConvertOneFile(0, {"/d/mail.nsf", {}}, records, f.output);
    EXPECT_EQ(outcome.end, FileOutcome::End::Converted);
    EXPECT_EQ(outcome.pstPath, f.output + "MAIL.PST");

    // One folder pass per record with entries, then the calendar pass.
    // Each names the folder the skeleton made, also for a leading or doubled backslash.
    const QString top = "\\\\Personal Folders\\";
    const std::vector<ResumeRecord> expected = {
        {10, 0, top + "Inbox", 1},    {11, 0, top + "inbox", 1},         {12, 0, top + "Projects\\2019", 1},
        {13, 0, top + " Lead", 1},    {14, 0, top + "Tasks", 1},         {16, 0, top + "Sent Items", 1},
        {17, 0, top + "Q1  Plan", 1}, {18, 0, top + "Clients\\ACME", 1}, {0, 0, f.output, 1}};
    EXPECT_EQ(f.children.passRecords, expected);
    EXPECT_EQ(f.children.calls.back().mode, QStringLiteral("1"));

    PstSession session;
    PstStore store = session.OpenStore(outcome.pstPath);
    ASSERT_TRUE(store);
    EXPECT_EQ(store.DefaultFolder(kPstInbox).Path(), QStringLiteral("\\\\Personal Folders\\Inbox"));
    EXPECT_EQ(store.DefaultFolder(kPstSentItems).Path(), QStringLiteral("\\\\Personal Folders\\Sent Items"));
    EXPECT_EQ(store.FolderByPath("\\\\Personal Folders\\Tasks").ContainerClass(), QStringLiteral("IPF.Task"));
    EXPECT_EQ(store.FolderByPath("\\\\Personal Folders\\Calendar").ContainerClass(),
              QStringLiteral("IPF.Appointment"));
    EXPECT_TRUE(store.FolderByPath("\\\\Personal Folders\\Projects\\2019"));
    EXPECT_TRUE(store.FolderByPath("\\\\Personal Folders\\ Lead"));
    EXPECT_TRUE(store.FolderByPath("\\\\Personal Folders\\Q1  Plan"));
    EXPECT_TRUE(store.FolderByPath("\\\\Personal Folders\\Clients\\ACME"));
    int inboxes = 0;
    const PstFolders children = store.TopFolder().Folders();
    for (int i = 0; i < children.Count(); ++i)
        inboxes += children.At(i).Name().compare("inbox", Qt::CaseInsensitive) == 0;
    EXPECT_EQ(inboxes, 1);

    const QString log = f.Log();
    EXPECT_TRUE(log.contains("Output PST file Path: " + outcome.pstPath +
                             "\r\npst file structure created successfully\r\n"));
    EXPECT_TRUE(f.prompts.messages.isEmpty());
}

TEST(Conversion, StoreThatCannotBeCreatedLeavesTheFile) {
    Fixture f;
    const FileOutcome outcome =
        f.Make().ConvertOneFile(0, {"/d/mail.nsf", {}}, {{"Inbox", 1, 1}}, f.dir.filePath("missing/") + "x/");
    EXPECT_EQ(outcome.end, FileOutcome::End::StoreFailed);
    EXPECT_TRUE(f.children.calls.empty());
    EXPECT_EQ(f.prompts.messages, QStringList{"Saving process stopped,pst session not open successfully."});
    EXPECT_TRUE(f.Log().contains("Saving process stopped,pst session not open successfully.\r\n"));
}

TEST(Conversion, UserStopEndsTheRemainingWork) {
    Fixture f;
    f.children.listing = {{"Inbox", 1, 1}, {"Drafts", 1, 2}, {"Trash", 1, 3}};
    // First file: Inbox finishes, Drafts is stopped by the user.
    f.children.steps = {{0, 1, 1}, {3, 0, 1}};
    const std::vector<FileRow> rows = {{"/d/a.nsf", {}}, {"/d/b.nsf", {}}, {"/d/c.nsf", {}}};
    const auto outcomes = f.Make().ExportLoop(rows, f.output);
    EXPECT_EQ(outcomes[0].end, FileOutcome::End::Stopped);
    EXPECT_EQ(outcomes[0].folders.size(), 2u);
    EXPECT_EQ(outcomes[1].end, FileOutcome::End::Pending);
    EXPECT_EQ(f.children.passRecords.size(), 2u);  // no Trash, no calendar pass
    EXPECT_EQ(f.observer.statuses, (std::vector<std::pair<int, FileStatus>>{{0, FileStatus::Processing},
                                                                            {0, FileStatus::Completed}}));
    EXPECT_EQ(f.observer.rows.back(), "Conversion process successfully completed for selected NSF file(s).");
    EXPECT_EQ(f.prompts.messages, QStringList{"Conversion process completed for selected NSF files(s)"});
}

TEST(Conversion, FileWithoutListingIsSkipped) {
    Fixture f;  // nsfview writes nothing
    const auto outcomes = f.Make().ExportLoop({{"/d/a.nsf", {}}, {"/d/b.nsf", {}}}, f.output);
    EXPECT_EQ(outcomes[0].end, FileOutcome::End::ListingFailed);
    EXPECT_EQ(outcomes[1].end, FileOutcome::End::ListingFailed);
    EXPECT_EQ(f.observer.statuses.size(), 4u);
    EXPECT_TRUE(QDir(f.output).isEmpty());
}

TEST(Conversion, ExportPreparationRefusals) {
    Fixture f;
    struct Case {
        const char* name;
        QString folder;
        std::vector<FileRow> rows;
        const char* message;
    } cases[] = {
        {"no log folder",
         f.dir.filePath("nope"),
         {{"/d/a.nsf", {}}},
         "Please enter folder path to save log and settings files."},
        {"no files", f.handoff, {}, "Please add nsf file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        f.prompts.messages.clear();
        QString output;
        EXPECT_FALSE(f.Make().PrepareExport(c.folder, c.rows, {}, &output));
        EXPECT_EQ(f.prompts.messages, QStringList{QString::fromLatin1(c.message)});
    }
    // The save-options answer of nsfview.
    f.children.listing.clear();
    WriteFolderListOutputFolder(HandoffFilePath(f.handoff, kFolderListFileName), f.output);
    QString output;
    EXPECT_FALSE(f.Make().PrepareExport(f.handoff, {{"/d/a.nsf", {}}}, {}, &output));  // emptied: status 0
    EXPECT_EQ(f.children.calls.back().mode, QStringLiteral("2"));
    EXPECT_TRUE(f.Log().contains(QString(149, u'*') + "\r\nStart Processing Time:\t"));
}

TEST(Conversion, PassCountsFromTheLog) {
    const QString log =
        "Total number of emails: 9\r\n3\t:items found\r\n2\t:items Dump\r\nWarnings:\t 1\r\nErrors:\t1\r\n"
        "9\t:items found\r\n5\t:items Dump\r\nWarnings:\t 0\r\nErrors:\t2\r\n";
    const PassCounts counts = ParsePassCounts(log, true);
    EXPECT_EQ(counts.found, 9u);
    EXPECT_EQ(counts.converted, 7u);
    EXPECT_EQ(counts.warnings, 1u);
    EXPECT_EQ(counts.errors, 3u);
}

}  // namespace
