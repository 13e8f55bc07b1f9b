// The batch export with the real nsfadd and nsfview: folder lists, PST skeletons, names, the
// run log, several jobs, a stop reported by nsfsave, and wrong command lines.
#include "E2eSupport.h"

#include <gtest/gtest.h>

#include <QJsonArray>

namespace {

const QString kSample = SourcePath("data/mail.dxl");

QStringList FolderPaths(const QJsonObject& summary) {
    return summary.keys();
}

TEST(ExportPipeline, SkeletonHasOutlookNamesNestingCleaningAndMapping) {
    Workspace w;
    const Ran r =
        w.Export({"--map-folder", "Trash=Papierkorb", "--report", w.dir.filePath("r.json"), kSample});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString() << r.out.toStdString();
    const QJsonObject summary = PstSummary(w.out + "/MAIL.PST");
    const QStringList folders = FolderPaths(summary);
    // Outlook's names for the standard views, nested and cleaned user folders, the mapping,
    // and no "($All)" (left out unless asked for).
    for (const char* expected :
         {"Inbox", "Sent Items", "Drafts", "Papierkorb", "Tasks", "Calendar", "Projects", "Projects/2019",
          "Projects/2019/Q1  Plan Review ", "Clients/ACME", "Empty folder", "Groups", "Deleted Items"})
        EXPECT_TRUE(folders.contains(QString::fromUtf8(expected))) << expected << "\n"
                                                                   << folders.join("|").toStdString();
    EXPECT_FALSE(folders.contains("Trash"));
    for (const QString& f : folders) EXPECT_FALSE(f.contains("All)")) << f.toStdString();

    const QJsonObject report = ReadJson(w.dir.filePath("r.json"));
    EXPECT_EQ(report["converted"].toInt(), 1);
    EXPECT_EQ(report["files"].toArray()[0].toObject()["pst"].toString(), w.out + "/MAIL.PST");
}

TEST(ExportPipeline, IncludeAllAddsTheAllView) {
    Workspace w;
    ASSERT_EQ(w.Export({"--include-all", kSample}).exitCode, 0);
    EXPECT_TRUE(FolderPaths(PstSummary(w.out + "/MAIL.PST")).contains("(_All)"));
}

TEST(ExportPipeline, RunLogIsOnePieceAcrossTheProcesses) {
    Workspace w;
    ASSERT_EQ(w.Export({kSample}).exitCode, 0);
    bool mark = false;
    const QString log = LogText(w.log + "/QuenmarkHarbex_log_.txt", &mark);
    EXPECT_TRUE(mark);
    const QString stars = QString(149, u'*') + "\r\n";
    ASSERT_TRUE(log.startsWith(stars + "Start Processing Time:\t")) << log.left(300).toStdString();
    // nsfadd's header, then nsfview's start line and listing lines, then nsfadd's lines for the
    // PST, in that order and without a second byte-order mark.
    const QStringList inOrder = {
        stars + "Start Processing Time:\t",
        "\r\n" + stars + "Opening  Database \r\nProcessing Folders for nsf file:  " + kSample + "\r\n",
        "Output PST file Path: " + w.out + "/MAIL.PST\r\n", "pst file structure created successfully\r\n"};
    qsizetype at = 0;
    for (const QString& piece : inOrder) {
        const qsizetype found = log.indexOf(piece, at);
        EXPECT_GE(found, at) << piece.toStdString();
        at = std::max(at, found);
    }
    EXPECT_FALSE(log.contains(QChar(0xFEFF)));
}

TEST(ExportPipeline, SameNameInTwoFoldersGivesNumberedPsts) {
    Workspace w;
    const QString a = w.Copy(kSample, "a/mail.dxl"), b = w.Copy(kSample, "b/Mail.dxl");
    const Ran r = w.Export({a, b});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(w.out + "/MAIL.PST"));
    EXPECT_TRUE(QFile::exists(w.out + "/0MAIL.PST"));
}

TEST(ExportPipeline, TwoJobsGiveThePstsOfOne) {
    Workspace one, two;
    const QStringList dbs = {one.Copy(kSample, "a/mail.dxl"), one.Copy(kSample, "b/Mail.dxl"),
                             one.Copy(SourcePath("data/names.dxl"), "c/names.dxl")};
    ASSERT_EQ(one.Export(dbs).exitCode, 0);
    const Ran r = two.Export(QStringList{"--jobs", "2"} + dbs);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    for (const char* name : {"MAIL.PST", "0MAIL.PST", "NAMES.PST"})
        EXPECT_EQ(PstSummary(one.out + "/" + name), PstSummary(two.out + "/" + name)) << name;
    // Each database had its own hand-off folder and run log.
    for (const char* job : {"001-mail.dxl", "002-Mail.dxl", "003-names.dxl"})
        EXPECT_TRUE(
            LogText(two.log + "/" + job + "/QuenmarkHarbex_log_.txt").contains("pst file structure created"))
            << job;
}

TEST(ExportPipeline, StopInNsfsaveEndsTheRemainingWork) {
    // nsfadd starts its children from its own folder: a copy of it sits with the real nsfview
    // and a stand-in nsfsave that reports the user's Stop in the second folder pass.
    Workspace w;
    const QString bin = w.dir.filePath("bin");
    QDir().mkpath(bin);
    ASSERT_TRUE(QFile::copy(BinPath("nsfadd"), bin + "/nsfadd"));
    QFile(bin + "/nsfadd").setPermissions(QFile(BinPath("nsfadd")).permissions());
    ASSERT_TRUE(QFile::link(BinPath("nsfview"), bin + "/nsfview"));
    ASSERT_TRUE(QFile::link(SourcePath("tests/e2e/standin_nsfsave.py"), bin + "/nsfsave"));
    const QStringList dbs = {w.Copy(kSample, "a/a.dxl"), w.Copy(kSample, "b/b.dxl"),
                             w.Copy(kSample, "c/c.dxl")};
    const Ran r = w.Export(QStringList{"--report", w.dir.filePath("r.json")} + dbs, {"STANDIN_STOP_AT=1"},
                           bin + "/nsfadd");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.contains("stopped")) << r.out.toStdString();
    QFile starts(w.log + "/stand-in-starts");
    ASSERT_TRUE(starts.open(QIODevice::ReadOnly));
    EXPECT_EQ(starts.readAll(), "2");  // no further folder, no calendar pass, no other file
    EXPECT_TRUE(QFile::exists(w.out + "/A.PST"));
    EXPECT_FALSE(QFile::exists(w.out + "/B.PST"));
    const QJsonArray files = ReadJson(w.dir.filePath("r.json"))["files"].toArray();
    ASSERT_EQ(files.size(), 3);
    EXPECT_EQ(files[0].toObject()["outcome"].toString(), "stopped");
    EXPECT_EQ(files[1].toObject()["outcome"].toString(), "pending");
    EXPECT_EQ(files[2].toObject()["outcome"].toString(), "pending");
    EXPECT_TRUE(ReadJson(w.dir.filePath("r.json"))["stopped"].toBool());
}

TEST(ExportPipeline, FailuresGiveANonZeroStatusAndSayWhat) {
    Workspace w;
    Ran r = w.Export({"--smtp-domain", "acme", kSample});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("--smtp-domain")) << r.err.toStdString();
    r = w.Export({"--bogus", kSample});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("--bogus"));
    // A database that cannot be read: no PST, the other database still converted.
    const QString broken = w.dir.filePath("broken.nsf");
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a database");
    f.close();
    r = w.Export({broken, kSample});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.contains("not listed")) << r.out.toStdString();
    EXPECT_FALSE(QFile::exists(w.out + "/BROKEN.PST"));
    EXPECT_TRUE(QFile::exists(w.out + "/MAIL.PST"));
    EXPECT_EQ(RunProgram(BinPath("nsfadd"), {"--help"}).exitCode, 0);
}

}  // namespace
