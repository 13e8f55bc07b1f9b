#include "common/handoff/ChildCommandLine.h"
#include "common/handoff/HandoffPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct RawCase {
    const char* name;
    const char* raw;
    ChildCommandLine expected;
};

ChildCommandLine Values(const char* db, const char* server, const char* mode, const char* pst,
                        const char* folder) {
    return {QString::fromUtf8(db), QString::fromUtf8(server), QString::fromUtf8(mode), QString::fromUtf8(pst),
            QString::fromUtf8(folder)};
}

TEST(ChildCommandLine, ParsesRawFormMarkerByMarker) {
    const RawCase cases[] = {
        {"all five", R"(D:\mail\a.nsf/D /C 0/P C:\out\a.PST/FC:\logs\)",
         Values(R"(D:\mail\a.nsf)", "", "0", R"(C:\out\a.PST)", R"(C:\logs\)")},
        {"blanks travel whole and untrimmed", R"( D:\mail\a b.nsf /D srv 1/C  3 /P /F C:\my logs\ )",
         Values(R"( D:\mail\a b.nsf )", "srv 1", " 3 ", "", R"( C:\my logs\ )")},
        {"no /D: nothing taken", R"(D:\a.nsf/C 0/P x/Fy)", Values("", "", "", "", "")},
        {"no /C: server and later empty", R"(D:\a.nsf/D srv/P 0/Fy)", Values(R"(D:\a.nsf)", "", "", "", "")},
        {"no /P: mode and later empty", R"(a/D s/C 1/Fy)", Values("a", "s", "", "", "")},
        {"no /F: pst and folder empty", R"(a/D s/C 1/P p)", Values("a", "s", "1", "", "")},
        {"markers are case-sensitive", R"(a/d s/D t/C 1/P p/f/Fz)", Values("a/d s", "t", "1", "p/f", "z")},
        {"markers searched in order", R"(a/C b/D c/P d/C e/P f/Fg)", Values("a/C b", "c/P d", "e", "f", "g")},
        {"/D without its blank is no marker", R"(a/Db/D c/C /P /F)", Values("a/Db", "c", "", "", "")},
        {"empty line", "", Values("", "", "", "", "")},
    };
    for (const RawCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ChildCommandLine::ParseRaw(QString::fromUtf8(c.raw)), c.expected);
    }
}

TEST(ChildCommandLine, BuildsRawFormThatParsesBack) {
    const ChildCommandLine line = Values(R"(D:\mail\a b.nsf)", "", "1", R"(C:\o\a b.PST)", R"(C:\l\)");
    EXPECT_EQ(line.ToRaw(), QStringLiteral(R"(D:\mail\a b.nsf/D /C 1/P C:\o\a b.PST/FC:\l\)"));
    EXPECT_EQ(ChildCommandLine::ParseRaw(line.ToRaw()), line);
}

TEST(ChildCommandLine, PosixFormKeepsSlashesBlanksAndEmptyValues) {
    const ChildCommandLine line = Values("/home/u/mail/a b.nsf", "", "0", "/out/C /P x.PST", "/logs/");
    const QStringList args = line.ProcessArguments();
    EXPECT_EQ(args, (QStringList{"/home/u/mail/a b.nsf", "", "0", "/out/C /P x.PST", "/logs/"}));
    EXPECT_EQ(ChildCommandLine::FromArguments(args), line);
    EXPECT_EQ(ChildCommandLine::FromArguments({"a.nsf", "srv"}), Values("a.nsf", "srv", "", "", ""));
    EXPECT_EQ(ChildCommandLine::FromArguments({"1", "2", "3", "4", "5", "extra"}),
              Values("1", "2", "3", "4", "5"));

    QProcess process;
    line.ConfigureProcess(process, "/opt/nsf/bin/nsfsave");
    EXPECT_EQ(process.program(), QStringLiteral("/opt/nsf/bin/nsfsave"));
    EXPECT_EQ(process.arguments(), args);
}

TEST(ChildCommandLine, CurrentProcessValuesComeFromItsArguments) {
    int argc = 6;
    char program[] = "nsfsave", db[] = "/m/a b.nsf", server[] = "", mode[] = "1", pst[] = "/o/a.PST",
         folder[] = "/l/";
    char* argv[] = {program, db, server, mode, pst, folder, nullptr};
    QCoreApplication app(argc, argv);
    EXPECT_EQ(ChildCommandLine::FromCurrentProcess(), Values("/m/a b.nsf", "", "1", "/o/a.PST", "/l/"));
}

TEST(HandoffPaths, FilePathIsFolderPlusName) {
    const QString folder = WithTrailingSeparator(QStringLiteral("logs"));
    EXPECT_EQ(folder, QStringLiteral("logs") + QDir::separator());
    EXPECT_EQ(WithTrailingSeparator(folder), folder);
    EXPECT_EQ(HandoffFilePath(folder, kResumeFileName), folder + QStringLiteral("setting.txt"));
    EXPECT_EQ(HandoffFilePath(QStringLiteral("x"), kCalendarIdsFileName), QStringLiteral("xcal.txt"));
}

}  // namespace
