// The Notes layer over DXL: navigation, documents, items, attachments and rich text, driven
// through databases built in memory.
#include "common/notes/DxlBuilder.h"
#include "common/notes/Notes.h"
#include "common/notes/NotesFlat.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class NotesDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(session.Initialize(), LNNOERROR); }
    void TearDown() override
    {
        db.Close();
        NotesMemoryDatabases::Clear();
    }

    LNSTATUS OpenBuilt(const DxlBuilder &b, const QString &path = QStringLiteral("/mem/test.nsf"))
    {
        b.Register(path);
        if (const LNSTATUS s = session.GetDatabase(path, &db)) return s;
        return db.Open();
    }

    LNNotesSession session;
    LNDatabase db;
};

TEST_F(NotesDatabaseTest, FolderEntriesLeadToDocumentsWithTheirItems)
{
    DxlBuilder b("Mail of Ann");
    const NOTEID memo = b.AddDocument("Memo")
                            .Text("Subject", "Grüße / 你好 😀")
                            .Names("SendTo", {"CN=Bob Lee/O=Acme", "carl@example.com"})
                            .Number("Importance", 1)
                            .Date("PostedDate", "20180703T090500,00-05")
                            .Unread()
                            .Id();
    const NOTEID task = b.AddDocument("Task").Text("Subject", "Do it").Id();
    b.AddFolder("($Inbox)").Entry(memo).Category("Older").Entry(task, 1);
    ASSERT_EQ(OpenBuilt(b), LNNOERROR);
    EXPECT_EQ(db.GetTitle(), "Mail of Ann");

    LNViewFolder inbox;
    ASSERT_EQ(db.GetViewFolder(std::string_view("($Inbox)"), &inbox), LNNOERROR);
    EXPECT_TRUE(inbox.IsFolder());
    ASSERT_EQ(inbox.Open(0x10001), LNNOERROR);
    ASSERT_EQ(inbox.GetEntryCount(), 3u);
    EXPECT_TRUE(inbox.GetEntry(0).IsUnread());
    EXPECT_TRUE(inbox.GetEntry(1).IsNull());
    EXPECT_EQ(inbox.GetEntry(1).GetCategoryTitle(), "Older");
    EXPECT_TRUE(inbox.GetEntry(2).IsUnread());

    LNDocument doc;
    ASSERT_EQ(inbox.GetEntry(0).GetDocument(&doc), LNNOERROR);
    ASSERT_EQ(doc.Open(), LNNOERROR);
    EXPECT_EQ(doc.GetNoteID(), memo);
    EXPECT_EQ(doc.GetFormName(), "Memo");
    EXPECT_EQ(doc.GetSubject(), "Grüße / 你好 😀");
    EXPECT_EQ(doc.GetItemText("SendTo"), "CN=Bob Lee/O=Acme;carl@example.com");
    EXPECT_EQ(doc.GetImportance(), LNIMPORTANCE_HIGH);
    EXPECT_EQ(doc.GetDateSent().GetPlainText(), "7/3/2018 9:5:0");
    EXPECT_EQ(doc.GetDateSent().ConvertToZone(0).GetPlainText(), "7/3/2018 14:5:0");
    EXPECT_FALSE(doc.HasItem("Body"));
}

TEST_F(NotesDatabaseTest, AttachmentsDetachAndRichTextGivesTextLinksAndXml)
{
    DxlBuilder b;
    QByteArray big(300000, '\0');
    for (int i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
    const NOTEID id =
        b.AddDocument("Memo")
            .RichText("Body",
                      "<par>Hello <run><font style='bold'/>Bob</run></par>"
                      "<table><tablerow><tablecell><par>a</par></tablecell><tablecell><par>b</par>"
                      "</tablecell></tablerow></table>"
                      "<par><picture><gif>R0lGODlhAQABAAAAACw=</gif></picture>"
                      "<doclink database='85257A6D004C2DC1' view='0123456789ABCDEF0123456789ABCDEF'"
                      " document='FEDCBA9876543210FEDCBA9876543210' description='See this'/></par>")
            .Attach("report.bin", big)
            .Attach("report.bin", "second")
            .Id();
    ASSERT_EQ(OpenBuilt(b), LNNOERROR);
    LNDocument doc;
    ASSERT_EQ(db.GetDocument(id, &doc), LNNOERROR);
    ASSERT_EQ(doc.Open(), LNNOERROR);

    const auto files = doc.GetAttachments();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].GetSize(), 300000u);
    QTemporaryDir dir;
    ASSERT_EQ(files[0].Detach(dir.filePath("a")), LNNOERROR);
    QFile f(dir.filePath("a"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), big);

    LNRichText rt;
    ASSERT_EQ(doc.GetRichText("Body", &rt), LNNOERROR);
    EXPECT_EQ(rt.GetPlainText(), "Hello Bob\na\tb\n\n");
    LNString xml;
    ASSERT_EQ(rt.GetXml(&xml), LNNOERROR);
    EXPECT_EQ(xml.rfind("<richtext>", 0), 0u);
    EXPECT_NE(xml.find("R0lGODlhAQABAAAAACw="), std::string::npos);
    EXPECT_EQ(xml.substr(xml.size() - 11), "</richtext>");
    LNRTCursor cursor;
    ASSERT_EQ(rt.GetCursor(&cursor), LNNOERROR);
    LNDocumentLink link;
    ASSERT_EQ(cursor.GotoFirst(LNRTTYPE_DOCLINK, &link), LNNOERROR);
    EXPECT_EQ(link.GetDatabaseReplicaID().innards[1], 0x85257A6Du);
    EXPECT_EQ(link.GetDatabaseReplicaID().innards[0], 0x004C2DC1u);
    EXPECT_EQ(link.GetViewUniversalID().file.innards[1], 0x01234567u);
    EXPECT_EQ(link.GetViewUniversalID().note.innards[0], 0x89ABCDEFu);
    EXPECT_EQ(link.GetDescription(), "See this");
    EXPECT_EQ(cursor.GotoNext(LNRTTYPE_DOCLINK, &link), LNWARN_NOT_FOUND);
    EXPECT_TRUE(doc.HasLinks());

    std::string flatXml;
    ASSERT_EQ(NSFItemGetRichTextXml(doc.GetNoteHandle(), "Body", &flatXml), LNNOERROR);
    EXPECT_EQ(flatXml, xml);
}

}  // namespace
