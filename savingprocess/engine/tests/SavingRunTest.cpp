// The frame of a process: its command line in both forms, the run chosen by the mode, and the
// failure paths before any dump.

#include "EngineFixture.h"

#include "common/handoff/RunOptions.h"

#include <QFile>

namespace {

TEST(SaveCommandLine, BothFormsGiveTheFiveValues) {
    const ChildCommandLine expected{"/data/mail box.dxl", "", "0", "/out/mail box.PST", "/hand off/"};
    EXPECT_EQ(ParseSaveCommandLine({"/data/mail box.dxl", "", "0", "/out/mail box.PST", "/hand off/"}),
              expected);
    EXPECT_EQ(ParseSaveCommandLine({"C:\\mail.nsf/D /C 1/P C:\\out\\mail.PST/FC:\\hand\\"}),
              (ChildCommandLine{"C:\\mail.nsf", "", "1", "C:\\out\\mail.PST", "C:\\hand\\"}));
    EXPECT_EQ(ParseSaveCommandLine({}), ChildCommandLine{});
    const struct {
        const char* mode;
        bool calendar;
    } modes[] = {{"1", true}, {"0", false}, {"10", false}, {"1 ", false}, {"", false}, {" 1", false}};
    for (const auto& m : modes) {
        SCOPED_TRACE(m.mode);
        EXPECT_EQ(IsCalendarRun(ChildCommandLine{"", "", m.mode, "", ""}), m.calendar);
    }
}

TEST_F(EngineTest, StartUpReadsTheOptionsOrKeepsTheDefaults) {
    const ChildCommandLine line{"db", "", "0", "pst", handoff};
    PrepareRunState(line, state);
    EXPECT_EQ(state.settingPath, handoff + "setting.txt");
    EXPECT_EQ(state.calPath, handoff + "cal.txt");
    EXPECT_EQ(state.options, RunOptions{});
    RunOptions written;
    written.logPath = "/logs/QuenmarkHarbex_log_.txt";
    written.includeAllFolder = 0;
    ASSERT_TRUE(WriteRunOptions(handoff + "config.txt", written));
    PrepareRunState(line, state);
    EXPECT_EQ(state.options, written);
}

using RunTest = EngineTest;

TEST_F(RunTest, FailurePathsAndTheExcludedAllView) {
    DxlBuilder b;
    const NOTEID memo = b.AddDocument("Memo").Text("Subject", "m").Id();
    const NOTEID inbox = b.AddFolder("Inbox").Entry(memo).Id();
    b.Register(kDbPath);
    const QString all = QStringLiteral("\\\\Personal Folders\\($All)");
    const QString kAllLines = "\r\n " + QString(76, u'-') + "\r\nDumping Folder :\t ";
    const struct {
        const char* name;
        QString mode;
        std::function<void(EngineTest&)> prepare;
        QString log;  // the whole log after the byte-order mark
        QString message;
        bool dumped;
    } cases[] = {
        {"folder run", "0", nullptr,
         "Saving data process starts:\r\nSession open for pst file: /out/x.pst\r\nReOpening  Database \r\n" +
             kAllLines + kInboxPath + "\r\nDumping folder path: ",
         "", true},
        {"the log cannot be opened", "0", [](EngineTest& t) { QFile::remove(t.state.options.logPath); }, "",
         "Log file cannot be opened", false},
        {"the PST cannot be opened", "0", [](EngineTest& t) { t.store.failOpen = true; },
         "Saving data process starts:\r\nMS outlook session cannot be open\r\n", "", false},
        {"no setting.txt", "0", [](EngineTest& t) { QFile::remove(t.state.settingPath); },
         "Saving data process starts:\r\nSession open for pst file: /out/x.pst\r\nReOpening  Database \r\n"
         "Setting File cannot be opened.\r\n",
         "", false},
        {"($All) left out", "0",
         [all](EngineTest& t) {
             t.state.options.includeAllFolder = 0;
             t.StartAt(1, 0, all);
         },
         "Saving data process starts:\r\nSession open for pst file: /out/x.pst\r\nReOpening  Database \r\n",
         "", false},
        {"the database cannot be opened", "0", [](EngineTest&) { NotesMemoryDatabases::Clear(); },
         "Saving data process starts:\r\nSession open for pst file: /out/x.pst\r\nReOpening  Database \r\n",
         "", false},
        {"calendar run", "1", nullptr,
         "Session open for pst file for calendar entires: /out/x.pst\r\nReOpening  Database \r\n"
         "Calendar entries saved. \r\n",
         "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        b.Register(kDbPath);
        RunLog recreated;
        ASSERT_TRUE(recreated.Open(state.options.logPath, RunLog::Opening::Recreate));
        recreated.Close();
        state.options.includeAllFolder = 1;
        store.failOpen = false;
        store.logOffs = 0;
        window.messages.clear();
        StartAt(inbox, 0);
        if (c.prepare) c.prepare(*this);
        const QByteArray settingBefore = [&] {
            QFile f(state.settingPath);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        state.log.Close();
        SavingRun run({kDbPath, "", c.mode, "/out/x.pst", handoff}, state, window, session,
                      [this] { return store.Session(); });
        run.Run();
        run.Engine().CloseDatabase();
        if (c.dumped) {
            EXPECT_TRUE(LogText().startsWith(c.log)) << LogText().toStdString();
        } else if (QFile::exists(state.options.logPath)) {
            EXPECT_EQ(LogText(), c.log);
        }
        EXPECT_EQ(window.messages, c.message.isEmpty() ? QStringList() : QStringList{c.message});
        QFile after(state.settingPath);
        if (!c.dumped && c.mode == "0" && after.open(QIODevice::ReadOnly)) {
            EXPECT_EQ(after.readAll(), settingBefore) << "the record is left as it was";
        }
        const bool storeOpened = c.message.isEmpty() && !store.failOpen;
        EXPECT_EQ(store.logOffs, storeOpened ? 1 : 0);
    }
}

}  // namespace
