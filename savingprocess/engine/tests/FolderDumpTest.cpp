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
