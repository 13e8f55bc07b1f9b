// The calendar run's dump: 99 entries per process, restarts, the final record, stop, the ICS
// files kept, and exactly-once on resume.

#include "EngineFixture.h"

#include "common/handoff/FileAccess.h"

#include <QFile>

namespace {

class CalendarTest : public EngineTest {
  public:
    std::vector<NOTEID> Appointments(DxlBuilder& b, int count) {
        std::vector<NOTEID> ids;
        b.AddForm("Appointment", {{"Subject", "text"}, {"StartDate", "datetime"}});
        for (int i = 0; i < count; ++i)
            ids.push_back(b.AddDocument("Appointment")
                              .Text("Subject", "meeting " + std::to_string(i))
                              .Date("StartDate", "20190320")
                              .Date("StartDateTime", "20190320T140000,00+01")
                              .Date("EndDateTime", "20190320T150000,00+01")
                              .Id());
        return ids;
    }
    void WriteCal(const std::vector<std::uint32_t>& ids) {
        ASSERT_TRUE(CreateEmptyCalendarIds(state.calPath));
        for (std::uint32_t id : ids) ASSERT_TRUE(AppendCalendarId(state.calPath, id));
    }
    void Run(std::uint32_t start) {
        ASSERT_TRUE(
            CreateResumeRecord(state.settingPath, ResumeRecord{0, start, QStringLiteral("/out/"), 1}));
        state.restart = 0;
        auto pst = store.Session();
        engine.DumpCalendar(*pst);
    }
    FakeFolderData& Calendar() { return store.byCode[DefaultFolderCode::Calendar]; }
};

TEST_F(CalendarTest, AProcessHandles99EntriesAndTheLastOneCompletes) {
    DxlBuilder b;
    const std::vector<NOTEID> ids = Appointments(b, 250);
    Open(b);
    WriteCal(ids);
    const struct {
        std::uint32_t start;
        ResumeRecord after;
        std::size_t saved;
    } passes[] = {
        {0, {ids[99], 99, "/out/", 1}, 99},
        {99, {ids[198], 198, "/out/", 1}, 198},
        {198, {ids[249], 0, "/out/", 1}, 250},
    };
    for (const auto& p : passes) {
        SCOPED_TRACE(p.start);
        Run(p.start);
        EXPECT_EQ(Setting(), p.after);
        EXPECT_EQ(state.restart, p.after.resumeIndex != 0 ? 1u : 0u);
        EXPECT_EQ(Calendar().Saved().size(), p.saved);
    }
    const FakeItem* first = Calendar().Saved().front();

    EXPECT_EQ(first->messageClass, "IPM.Appointment");
    EXPECT_EQ(first->texts.at(ItemProp::Subject), "meeting 0");
    EXPECT_EQ(first->dates.at(ItemProp::Start), QDateTime(QDate(2019, 3, 20), QTime(13, 0), Qt::UTC));
    EXPECT_TRUE(first->imports.front().startsWith("8:"));
    // The ICS files stay in the temporary folder.
    EXPECT_TRUE(TempFiles().contains(QString::number(ids[0]) + "t.ics"));
    ExpectLogInOrder({"\r\nItem ID:\t" + QString::number(ids[0]) +
                          "\r\nItem Type:\tAppointment\r\n\r\n\r\ndoc is closed1\r\ncreating appointment\r\n"
                          "session found",
                      "\r\n\r\nsave app", "Calendar entries saved. \r\n"});
}

TEST_F(CalendarTest, EndingsAndFailuresOfAnEntry) {
    DxlBuilder b;
    const std::vector<NOTEID> ids = Appointments(b, 3);
    const NOTEID memo = b.AddDocument("Memo").Text("Subject", "not a meeting").Id();
    const NOTEID later = b.AddDocument("Appointment").Text("Subject", "later").FirstOpenStatus(263).Id();
    Open(b);

    const struct {
        const char* name;
        std::vector<std::uint32_t> cal;
        std::function<void(CalendarTest&)> prepare;
        ResumeRecord after;
        std::size_t saved;
        const char* logged;
    } cases[] = {
        {"empty cal.txt", {}, nullptr, {0, 0, "/out/", 1}, 0, "Calendar entries saved. \r\n"},
        {"six bytes: the second ID is padded",
         {},
         [](CalendarTest& t) {
             ASSERT_TRUE(CreateEmptyCalendarIds(t.state.calPath));
             ASSERT_TRUE(
                 handoff_detail::AppendAtEnd(t.state.calPath, QByteArray("\x01\x02\x03\x04\x05\x06", 6)));
         },
         {0x0605, 0, "/out/", 1},
         0,
         "Warning:Document cannot be opened\r\n"},
        {"not a calendar form",
         {memo},
         nullptr,
         {memo, 0, "/out/", 1},
         0,
         "ERROR:Item Type is not calendar type.Entry cannot be dump in Database\r\n\r\n"},
        {"status 263 restarts at the entry",
         {ids[0], later},
         nullptr,
         {later, 1, "/out/", 1},
         1,
         "WARNING:Document cannot be opened\r\n\r\n"},
        {"no appointment item restarts at the entry",
         {ids[0]},
         [](CalendarTest& t) { t.Calendar().refuseItems = true; },
         {ids[0], 0, "/out/", 1},
         0,
         "session found"
         "Rdomail not found.\r\n"},
        {"stop",
         {ids[0], ids[1]},
         [](CalendarTest& t) { t.state.keepRunning.store(0); },
         {ids[1], 0, "/out/", 0},
         0,
         "Calendar entries saved. \r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Calendar() = {};
        WriteCal(c.cal);
        if (c.prepare) c.prepare(*this);
        Run(0);
        EXPECT_EQ(Setting(), c.after);
        EXPECT_EQ(Calendar().Saved().size(), c.saved);
        ExpectLogInOrder({c.logged});
        EXPECT_EQ(state.keepRunning.load(), 1);
        ASSERT_TRUE(RunLog().Open(state.options.logPath, RunLog::Opening::Recreate));
        ASSERT_TRUE(state.log.Open(state.options.logPath, RunLog::Opening::AppendExisting));
    }
}

TEST_F(CalendarTest, AMissingCalFileLeavesTheRecordAlone) {
    DxlBuilder b;
    Open(b);
    QFile::remove(state.calPath);
    Run(7);
    EXPECT_EQ(Setting(), (ResumeRecord{0, 7, "/out/", 1}));
    EXPECT_EQ(LogText(), QString());
}

// A killed process may have saved the entry its record points at (and a killed folder run may
// have collected the same ID twice): each document becomes one appointment.
TEST_F(CalendarTest, AnEntrySavedBeforeAKillIsNotSavedAgain) {
    DxlBuilder b;
    const std::vector<NOTEID> ids = Appointments(b, 3);
    Open(b);
    WriteCal({ids[0], ids[1], ids[1], ids[2]});
    Run(0);
    Calendar().items.pop_back();  // the kill came after ids[1] was saved
    Run(1);
    ASSERT_EQ(Calendar().Saved().size(), 3u);
    EXPECT_EQ(Calendar().sourceIdReads, 2) << "once per process";
}

}  // namespace
