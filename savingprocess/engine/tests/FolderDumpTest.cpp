// The folder dump: kinds and their targets, the log lines, the checkpoints and every way a pass
// ends, exactly-once on resume.

#include "EngineFixture.h"

#include <QFile>

namespace {

const FakeItem* SavedOnly(const FakeFolderData& folder) {
    const auto saved = folder.Saved();
    EXPECT_EQ(saved.size(), 1u);
    return saved.empty() ? nullptr : saved.front();
}

struct MixedFolder {
    DxlBuilder b{"Engine"};
    NOTEID memo = 0, unreadReply = 0, appointment = 0, person = 0, group = 0, task = 0, broken = 0,
           folder = 0;
    MixedFolder() {
        memo = b.AddDocument("Memo")
                   .Names("From", {"CN=Ann Lee/O=Acme"})
                   .Names("SendTo", {"CN=Bob Ray/O=Acme"})
                   .Text("Subject", "Plan: Q1/Q2")
                   .Text("Categories", "Work")
                   .Date("PostedDate", "20180703T090500,00+00")
                   .Id();
        unreadReply = b.AddDocument("Reply").Text("Subject", "Re: Plan").Unread().Id();
        const NOTEID unknown = b.AddDocument("Discussion").Text("Subject", "talk").Id();
        const NOTEID lower = b.AddDocument("memo").Text("Subject", "lower").Id();
        appointment = b.AddDocument("Appointment")
                          .Text("Subject", "Budget")
                          .Date("StartDateTime", "20190320T140000,00+01")
                          .Date("EndDateTime", "20190320T150000,00+01")
                          .Id();
        person =
            b.AddDocument("Person").Text("FullNameInput", "Maria Lindqvist").Text("FirstName", "Maria").Id();
        group = b.AddDocument("Group")
                    .Text("ListName", "Sales")
                    .Names("Members", {"CN=Ann/O=Acme", "bob@x.org"})
                    .Id();
        task = b.AddDocument("Task").Text("Subject", "Call back").Id();
        broken = b.AddDocument("Memo").Text("Subject", "never opens").OpenStatus(549).Id();
        folder = b.AddFolder("Inbox")
                     .Entry(memo)
                     .Category("Old")
                     .Entries({unreadReply, unknown, lower, appointment, person, group, task, broken})
                     .Id();
    }
};

TEST_F(EngineTest, EachKindGoesToItsFolderWithItsImportAndStamp) {
    MixedFolder m;
    Open(m.b);
    EXPECT_EQ(Dump(m.folder), 1);

    const auto mails = store.byPath[kInboxPath].Saved();
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_EQ(mails[0]->messageClass, "IPM.Note");
    EXPECT_TRUE(mails[0]->imports.front().startsWith("1024:"));
    EXPECT_TRUE(mails[0]->imports.front().endsWith("/QuenmarkHarbexConvTmp/0.eml"));
    EXPECT_TRUE(mails[0]->importedContent.contains("Content-Type"));
    EXPECT_EQ(mails[0]->texts.at(ItemProp::Categories), "Work");
    EXPECT_EQ(mails[0]->numbers.at(ItemProp::Read), 1);
    EXPECT_EQ(mails[0]->numbers.at(ItemProp::MailFlagFirst), 1);
    EXPECT_EQ(mails[0]->numbers.at(ItemProp::MailFlagSecond), 1);
    EXPECT_EQ(mails[1]->numbers.at(ItemProp::Read), 0) << "the unread entry";
    EXPECT_EQ(mails[0]->sourceId.size(), 32);
    EXPECT_NE(mails[0]->sourceId, mails[1]->sourceId);

    const struct {
        DefaultFolderCode code;
        const char* messageClass;
        const char* importType;
    } kinds[] = {
        {DefaultFolderCode::Tasks, "IPM.Task", "1024:"},
        {DefaultFolderCode::Contacts, "IPM.Contact", "6:"},
        {DefaultFolderCode::GroupLists, "IPM.DistList", "0:"},
    };
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.messageClass);
        const FakeItem* item = SavedOnly(store.byCode[k.code]);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->messageClass, k.messageClass);
        EXPECT_TRUE(item->imports.front().startsWith(k.importType));
        EXPECT_FALSE(item->sourceId.isEmpty());
    }
    EXPECT_EQ(store.byCode[DefaultFolderCode::Contacts].Saved().front()->texts.at(ItemProp::FullName),
              "Maria Lindqvist");
    EXPECT_EQ(store.byCode[DefaultFolderCode::GroupLists].Saved().front()->members,
              QStringList({"CN=Ann/O=Acme", "bob@x.org"}));
    EXPECT_TRUE(store.byCode[DefaultFolderCode::Calendar].items.empty());

    EXPECT_EQ(CalIds(), std::vector<std::uint32_t>{m.appointment});
    EXPECT_EQ(Setting(), (ResumeRecord{m.folder, 0, kInboxPath, 1}));
    EXPECT_EQ(state.counts.warnings, 1u);
    EXPECT_EQ(state.counts.errors, 2u) << "\"Discussion\" and the lower-case \"memo\"";
    EXPECT_EQ(state.counts.secondErrors, 0u);
    EXPECT_TRUE(TempFiles().isEmpty()) << TempFiles().join(u',').toStdString();
    EXPECT_EQ(window.range, (std::pair<std::uint32_t, std::uint32_t>{0, 10}));
    EXPECT_EQ(window.positions, (std::vector<std::uint32_t>{0, 0}));
}

TEST_F(EngineTest, TheLogTellsEachEntryAndTheSummary) {
    MixedFolder m;
    // With counter mode 1 the summary prints the second pair, which only this process raised.
    state.options.counterMode = 1;
    state.counts.errors = 40;
    state.counts.warnings = 30;
    Open(m.b);
    Dump(m.folder);
    const QString id = QString::number(m.memo);
    ExpectLogInOrder({
        "Dumping folder path: \\\\Personal Folders\\Inbox\r\n",
        "Total number of emails: 10\r\n",
        "Email number: 0 \r\n\r\nItem ID:\t" + id + "\r\nItem Type:\tMemo\r\nProcessing email: Plan  Q1 Q2[",
        // The category row leaves only its number.
        "Email number: 1 \r\nEmail number: 2 \r\n",
        "Item Type:\tDiscussion\r\nERROR:Item Type not found.Entry cannot be dump in Database\r\n\r\n"
        "Email number: 4 \r\n",
        "Item Type:\tmemo\r\nERROR:Item Type not found.Entry cannot be dump in Database\r\n\r\n",
        "Item Type:\tAppointment\r\nEmail number: 6 \r\n",
        "Item Type:\tPerson\r\nProcessing email: Maria Lindqvist\r\n",
        "Item Type:\tGroup\r\nProcessing email: Sales\r\n",
        "Item Type:\tTask\r\nProcessing email: Call back\r\n",
        "Email number: 9 \r\n" + LNGetErrorMessageText(549) + "\r\nWARNING:Document cannot be opened\r\n\r\n",
        "8\t:items found\r\n6\t:items Dump\r\nWarnings:\t 1\r\nErrors:\t2\r\nDumping of folder Finish "
        "Time:\t",
    });
    EXPECT_TRUE(LogText().endsWith("\r\n\r\n"));
    EXPECT_FALSE(LogText().contains("cal entry file cannot be open"));
}

}  // namespace

namespace {

// Five mails in one folder; a case may change the database or the run before the dump.
TEST_F(EngineTest, EveryWayAPassEndsLeavesItsRecord) {
    const struct {
        const char* name;
        std::uint32_t start;
        std::function<void(EngineTest&, std::vector<NOTEID>&, DxlBuilder&)> prepare;
        int result;
        ResumeRecord expected;  // noteId filled in with the folder
        std::size_t saved;
        std::uint32_t restartFlag;
    } cases[] = {
        {"completed", 0, nullptr, 1, {0, 0, kInboxPath, 1}, 5, 0},
        {"start index at the entry count", 5, nullptr, 1, {0, 0, kInboxPath, 1}, 0, 0},
        {"stop during entry 0: it is finished first",
         0,
         [](EngineTest& t, std::vector<NOTEID>&, DxlBuilder&) {
             // The first position is the pass's start; the second comes with entry 0.
             t.window.onPosition = [&t, calls = 0](std::uint32_t) mutable {
                 if (++calls == 2) t.state.keepRunning.store(0);
             };
         },
         0,
         {0, 0, kInboxPath, 0},
         1,
         0},
        {"status 263 at entry 2",
         0,
         [](EngineTest&, std::vector<NOTEID>& ids, DxlBuilder& b) {
             ids[2] = b.AddDocument("Memo").Text("Subject", "later").FirstOpenStatus(263).Id();
         },
         0,
         {0, 2, kInboxPath, 1},
         2,
         1},
        {"no PST folder for the mails",
         1,
         [](EngineTest& t, std::vector<NOTEID>&, DxlBuilder&) { t.store.byPath.clear(); },
         0,
         {0, 1, kInboxPath, 1},
         0,
         1},
        {"the PST refuses the item",
         0,
         [](EngineTest& t, std::vector<NOTEID>&, DxlBuilder&) {
             t.store.byPath[kInboxPath].refuseItems = true;
         },
         0,
         {0, 0, kInboxPath, 1},
         0,
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        store.byPath[kInboxPath] = {};
        state.restart = 0;
        DxlBuilder b;
        std::vector<NOTEID> ids;
        for (int i = 0; i < 5; ++i) ids.push_back(b.AddDocument("Memo").Text("Subject", "m").Id());
        if (c.prepare) c.prepare(*this, ids, b);
        const NOTEID folder = b.AddFolder("Inbox").Entries(ids).Id();
        Open(b);
        EXPECT_EQ(Dump(folder, c.start), c.result);
        ResumeRecord expected = c.expected;
        expected.noteId = folder;
        EXPECT_EQ(Setting(), expected);
        EXPECT_EQ(store.byPath.contains(kInboxPath) ? store.byPath[kInboxPath].Saved().size() : 0, c.saved);
        EXPECT_EQ(state.restart, c.restartFlag);
        EXPECT_EQ(state.keepRunning.load(), 1) << "a stop affects one pass only";
        window.onPosition = nullptr;
    }
}

// The share of one process: 19999 loop passes, category rows included; the 20000th entry is
// left to the next process, which finishes the folder.
TEST_F(EngineTest, AProcessTakesAtMost19999Entries) {
    DxlBuilder b;
    const NOTEID last = b.AddDocument("Memo").Text("Subject", "the last").Id();
    DxlViewBuilder& view = b.AddFolder("Inbox");
    for (int i = 0; i < 20000; ++i) view.Category("c");
    view.Entry(last);
    const NOTEID folder = view.Id();
    Open(b);

    EXPECT_EQ(Dump(folder), 0);
    EXPECT_EQ(state.restart, 1u);
    EXPECT_EQ(Setting(), (ResumeRecord{folder, 19999, kInboxPath, 1}));
    EXPECT_TRUE(LogText().contains("Email number: 19998 \r\n"));
    EXPECT_FALSE(LogText().contains("Email number: 19999 \r\n"));

    state.restart = 0;
    EXPECT_EQ(Dump(folder, 19999), 1);
    EXPECT_EQ(Setting(), (ResumeRecord{folder, 0, kInboxPath, 1}));
    EXPECT_EQ(store.byPath[kInboxPath].Saved().size(), 1u);
}

// A process killed after saving an entry but before the next checkpoint leaves that entry's
// index behind; the next process must not save it again.
TEST_F(EngineTest, AResumedEntryAlreadySavedIsNotSavedAgain) {
    DxlBuilder b;
    std::vector<NOTEID> ids;
    for (int i = 0; i < 4; ++i) ids.push_back(b.AddDocument("Memo").Text("Subject", "m").Id());
    ids.push_back(b.AddDocument("Person").Text("FullNameInput", "P").Id());
    const NOTEID folder = b.AddFolder("Inbox").Entries(ids).Id();
    Open(b);
    ASSERT_EQ(Dump(folder), 1);
    auto& inbox = store.byPath[kInboxPath];
    ASSERT_EQ(inbox.Saved().size(), 4u);
    // The kill: entries 2 to 4 were saved, the record still points at entry 2.
    inbox.items.erase(inbox.items.begin() + 2, inbox.items.end());
    inbox.sourceIdReads = 0;
    store.byCode[DefaultFolderCode::Contacts].sourceIdReads = 0;

    ASSERT_EQ(Dump(folder, 1), 1);
    EXPECT_EQ(inbox.Saved().size(), 4u);
    QStringList stamps;
    for (const FakeItem* item : inbox.Saved()) stamps << item->sourceId;
    stamps.removeDuplicates();
    EXPECT_EQ(stamps.size(), 4);
    EXPECT_EQ(store.byCode[DefaultFolderCode::Contacts].Saved().size(), 1u);
    EXPECT_EQ(inbox.sourceIdReads, 1) << "read once per process, not per entry";
    EXPECT_EQ(store.byCode[DefaultFolderCode::Contacts].sourceIdReads, 1);
}

// Documents created outside the ranges are left out, never counted as errors; the ends count.
TEST_F(EngineTest, TheDateFilterKeepsTheRangeWithItsEnds) {
    DxlBuilder b;
    const QDateTime end(QDate(2020, 5, 1), QTime(12, 0, 0), Qt::LocalTime);
    const auto created = [](const QDateTime& local) {
        const QDateTime utc = local.toUTC();
        return DxlDate(utc.date().year(), utc.date().month(), utc.date().day(), utc.time().hour(),
                       utc.time().minute(), utc.time().second(), 0);
    };
    const NOTEID atEnd = b.AddDocument("Memo").Text("Subject", "at end").Created(created(end)).Id();
    const NOTEID after = b.AddDocument("Memo").Text("Subject", "after").Created(created(end.addSecs(1))).Id();
    const NOTEID folder = b.AddFolder("Inbox").Entries({atEnd, after}).Id();
    Open(b);
    // 2020-04-01 00:00 to 2020-05-01 12:00, local: OLE days 43922 and 43952.5.
    state.options.dateRanges = {DateRange{{43922.0, 0}, {43952.5, 0}}};
    Dump(folder);
    EXPECT_EQ(store.byPath[kInboxPath].Saved().size(), 1u);
    EXPECT_EQ(state.counts.errors, 0u);
    ExpectLogInOrder({"2\t:items found\r\n1\t:items Dump\r\n"});
}

// Calendar documents are collected for the calendar run, except in "($All)", and a dumped
// count never wraps when more documents fail to open than are found.
TEST_F(EngineTest, CalendarIdsAreCollectedOutsideAllOnly) {
    DxlBuilder b;
    const NOTEID appointment = b.AddDocument("Appointment").Text("Subject", "a").Id();
    const NOTEID notice = b.AddDocument("Notice").Text("Subject", "n").Id();
    const NOTEID broken1 = b.AddDocument("Memo").OpenStatus(549).Id();
    const NOTEID broken2 = b.AddDocument("Memo").OpenStatus(549).Id();
    const NOTEID folder = b.AddFolder("Meetings").Entries({appointment, broken1, notice, broken2}).Id();
    Open(b);
    Dump(folder);
    EXPECT_EQ(CalIds(), (std::vector<std::uint32_t>{appointment, notice}));
    ExpectLogInOrder({"2\t:items found\r\n2\t:items Dump\r\nWarnings:\t 2\r\n"});

    const QString all = QStringLiteral("\\\\Personal Folders\\($All)");
    store.byPath[all];
    Dump(folder, 0, all);
    EXPECT_EQ(CalIds().size(), 2u);
}

TEST(ItemKindTable, FormNamesAreExactAndCaseSensitive) {
    const struct {
        const char* form;
        ItemKind kind;
        const char* messageClass;
    } cases[] = {
        {"Memo", ItemKind::Mail, "IPM.Note"},
        {"Reply", ItemKind::Mail, "IPM.Note"},
        {"NonDelivery Report", ItemKind::Mail, "IPM.Note"},
        {"Return Receipt", ItemKind::Mail, "IPM.Note"},
        {"Task", ItemKind::Task, "IPM.Task"},
        {"Appointment", ItemKind::Calendar, nullptr},
        {"Notice", ItemKind::Calendar, nullptr},
        {"(ReplyNotice)", ItemKind::Calendar, nullptr},
        {"Person", ItemKind::Contact, "IPM.Contact"},
        {"Group", ItemKind::Group, "IPM.DistList"},
        {"memo", ItemKind::Unknown, nullptr},
        {"Memo ", ItemKind::Unknown, nullptr},
        {"", ItemKind::Unknown, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.form);
        EXPECT_EQ(ItemKindOf(c.form), c.kind);
        const char* messageClass = InfoOf(c.kind).messageClass;
        EXPECT_EQ(messageClass == nullptr ? std::string() : std::string(messageClass),
                  c.messageClass == nullptr ? std::string() : std::string(c.messageClass));
    }
}

}  // namespace
