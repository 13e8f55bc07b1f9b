#include "nsfadd/core/BatchExport.h"

#include "FakeChildren.h"
#include "common/handoff/HandoffPaths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

struct Folders {
    QTemporaryDir dir;
    QString log = dir.filePath("log"), out = dir.filePath("out"), a = dir.filePath("a/mail.dxl"),
            b = dir.filePath("b/Mail.dxl");
    Folders() {
        for (const QString& p : {log, out, dir.filePath("a"), dir.filePath("b")}) QDir().mkpath(p);
        for (const QString& p : {a, b}) QFile(p).open(QIODevice::WriteOnly);
    }
    QStringList Base() const { return {"--export", "--log-folder", log, "--output", out}; }
};

TEST(Batch, WrongCommandLinesNameTheOption) {
    Folders f;
    const QDateTime now(QDate(2026, 12, 11), QTime(12, 0));
    struct Case {
        QStringList extra;
        const char* start;
    } cases[] = {
        {{"--jobs", "0", f.a}, "--jobs"},
        {{"--jobs"}, "--jobs: a value is missing"},
        {{"--period", "5y", f.a}, "--period"},
        {{"--range", "2019-02-01,2019-01-01", f.a}, "--range \"2019-02-01,2019-01-01\": End date should be"},
        {{"--range", "yesterday", f.a}, "--range"},
        {{"--period", "1y", "--range", "2019-01-01,2019-02-01", f.a}, "--period and --range"},
        {{"--smtp-domain", "acme", f.a}, "--smtp-domain: Please enter valid domain name"},
        {{"--smtp-pattern", "9", "--smtp-domain", "acme.com", f.a}, "--smtp-pattern"},
        {{"--address-csv", "/nonexistent.csv", f.a}, "--address-csv: Csv file cannot be opened"},
        {{"--address-book", "/nonexistent.nsf", f.a}, "--address-book: Nsf file cannot be accessed"},
        {{"--map-folder", "Inbox=a/b", f.a}, "--map-folder \"Inbox=a/b\": please enter valid folder name"},
        {{"--map-folder", "Outbox=x", f.a}, "--map-folder"},
        {{"--colour", "red", f.a}, "--colour: unknown option"},
        {{}, "no database given"},
        {{f.dir.filePath("none.nsf")}, "database not found"},
    };
    for (const auto& c : cases) {
        const BatchParse parse = ParseBatchCommandLine(f.Base() + c.extra, now);
        EXPECT_EQ(parse.action, BatchParse::Action::Error) << c.start;
        EXPECT_TRUE(parse.error.startsWith(QString::fromUtf8(c.start))) << parse.error.toStdString();
    }
    EXPECT_TRUE(
        ParseBatchCommandLine({"--export", "--output", f.out, f.a}, now).error.startsWith("--log-folder"));
    EXPECT_EQ(ParseBatchCommandLine({"--help"}, now).action, BatchParse::Action::Help);
}

TEST(Batch, OptionsStartAsTheDialogsDo) {
    Folders f;
    const QDateTime now(QDate(2026, 12, 11), QTime(12, 0));
    BatchParse parse = ParseBatchCommandLine(f.Base() + QStringList{f.a}, now);
    ASSERT_EQ(parse.action, BatchParse::Action::Run) << parse.error.toStdString();
    const RunOptions& o = parse.settings.options;
    EXPECT_EQ(o.includeAllFolder, 0u);
    EXPECT_TRUE(o.dateRanges.empty());
    EXPECT_EQ(o.addressTranslation, 0);
    EXPECT_EQ(o.reservedFlag, 1);
    EXPECT_EQ(o.folderMap.size(), 9u);
    EXPECT_EQ(o.pstTargetFolder, WithTrailingSeparator(f.out));

    parse = ParseBatchCommandLine(
        f.Base() + QStringList{"--include-all", "--decrypt", "--doclinks", "--range", "2018-01-01,2018-06-30",
                               "--range", "2019-01-01T08:00,2019-01-01T09:30", "--smtp-pattern", "2",
                               "--smtp-domain", "acme.com", "--map-folder", "Sent Items=Gesendet", "--jobs",
                               "3", f.a},
        now);
    ASSERT_EQ(parse.action, BatchParse::Action::Run) << parse.error.toStdString();
    const RunOptions& p = parse.settings.options;
    EXPECT_EQ(p.includeAllFolder, 1u);
    EXPECT_EQ(p.removeEncryption, 1u);
    EXPECT_EQ(p.saveDocLinks, 1u);
    EXPECT_EQ(p.smtpPatternOn, 1);
    EXPECT_EQ(p.smtpFormat, 2u);
    EXPECT_EQ(p.csvTranslationOn, 0);
    EXPECT_EQ(p.folderMappingOn, 1);
    EXPECT_EQ(p.folderMap.at("Sent Items"), "Gesendet");
    ASSERT_EQ(p.dateRanges.size(), 2u);
    EXPECT_EQ(parse.settings.jobs, 3);
}

TEST(Batch, PstNamesArePlannedInListOrder) {
    Folders f;
    BatchSettings s;
    s.outputFolder = f.out;
    s.databases = {f.a, f.b, f.dir.filePath("c/other.nsf")};
    const QString out = WithTrailingSeparator(f.out);
    EXPECT_EQ(PlanPstPaths(s), (QStringList{out + "MAIL.PST", out + "0MAIL.PST", out + "OTHER.PST"}));
    QFile(out + "MAIL.PST").open(QIODevice::WriteOnly);
    EXPECT_EQ(PlanPstPaths(s), (QStringList{out + "0MAIL.PST", out + "1MAIL.PST", out + "OTHER.PST"}));
    s.incremental = true;  // the names a first run gave
    EXPECT_EQ(PlanPstPaths(s), (QStringList{out + "MAIL.PST", out + "0MAIL.PST", out + "OTHER.PST"}));
    s.jobs = 2;
    s.logFolder = f.log;
    EXPECT_EQ(JobHandoffFolder(s, 1), WithTrailingSeparator(f.log + "/002-Mail.dxl"));
    const QString temporary = JobTemporaryFolder(s, 1);
    EXPECT_EQ(temporary, WithTrailingSeparator(f.log) + "tmp-job2");
    EXPECT_EQ(QFileInfo(temporary).permissions() & (QFile::ReadGroup | QFile::ReadOther),
              QFileDevice::Permissions());
}

TEST(Batch, RunWritesOptionsAndReportsEveryDatabase) {
    Folders f;
    BatchParse parse =
        ParseBatchCommandLine(f.Base() + QStringList{"--jobs", "2", f.a, f.b}, QDateTime::currentDateTime());
    ASSERT_EQ(parse.action, BatchParse::Action::Run);
    FakeChildren children[2];
    for (auto& c : children) {
        c.listing = {{"Inbox", 1, 7}, {"Empty", 0, 8}};
        c.steps = {{0, 1, 3}, {0, 1, -1}, {0, 1, 3}, {0, 1, -1}};
    }
    QString text;
    QTextStream out(&text);
    const BatchRun run = RunBatchExport(
        parse.settings, [&](int job) { return &children[job]; }, out, nullptr);
    EXPECT_EQ(run.ExitStatus(), 0);
    for (int i = 0; i < 2; ++i) {
        const QString handoff = JobHandoffFolder(parse.settings, i);
        RunOptions written;
        ASSERT_TRUE(ReadRunOptions(HandoffFilePath(handoff, kRunOptionsFileName), written));
        EXPECT_EQ(written.logPath, handoff + RunLog::FileName());
        EXPECT_EQ(written.includeAllFolder, 0u);
        EXPECT_TRUE(QFile::exists(run.files[std::size_t(i)].pstPath));
    }
    EXPECT_TRUE(text.contains("converted -> "));

    const QJsonObject report = QJsonDocument::fromJson(BatchReportJson(parse.settings, run)).object();
    EXPECT_EQ(report["converted"].toInt(), 2);
    const QJsonObject first = report["files"].toArray()[0].toObject();
    EXPECT_EQ(first["pst"].toString(), WithTrailingSeparator(f.out) + "MAIL.PST");
    const QJsonObject inbox = first["folders"].toArray()[0].toObject();
    EXPECT_EQ(inbox["found"].toInt(), 4);
    EXPECT_EQ(inbox["converted"].toInt(), 3);
    EXPECT_EQ(inbox["leftOut"].toInt(), 1);
    EXPECT_EQ(inbox["warnings"].toInt(), 1);
    EXPECT_EQ(first["folders"].toArray()[1].toObject()["outcome"].toString(), "not run");
}

TEST(Batch, StopRequestedLeavesTheRestPendingAndFails) {
    Folders f;
    BatchParse parse = ParseBatchCommandLine(f.Base() + QStringList{f.a, f.b}, QDateTime::currentDateTime());
    ASSERT_EQ(parse.action, BatchParse::Action::Run);
    std::atomic<bool> stop{true};
    FakeChildren children;
    QString text;
    QTextStream out(&text);
    const BatchRun run = RunBatchExport(
        parse.settings, [&](int) { return &children; }, out, &stop);
    EXPECT_TRUE(run.stopped);
    EXPECT_EQ(run.ExitStatus(), 1);
    EXPECT_EQ(run.files[0].end, FileOutcome::End::Pending);
    EXPECT_TRUE(QJsonDocument::fromJson(BatchReportJson(parse.settings, run)).object()["stopped"].toBool());
}

}  // namespace
