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
    void TearDown() override {
        db.Close();
        NotesMemoryDatabases::Clear();
    }

    LNSTATUS OpenBuilt(const DxlBuilder& b, const QString& path = QStringLiteral("/mem/test.nsf")) {
        b.Register(path);
        if (const LNSTATUS s = session.GetDatabase(path, &db)) return s;
        return db.Open();
    }

    LNNotesSession session;
    LNDatabase db;
};

TEST_F(NotesDatabaseTest, FolderEntriesLeadToDocumentsWithTheirItems) {
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

TEST_F(NotesDatabaseTest, AttachmentsDetachAndRichTextGivesTextLinksAndXml) {
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

TEST_F(NotesDatabaseTest, FragmentsAreFoundAgainAcrossChunksMultibyteTextAndLineEnds) {
    // Offsets inside the file must survive CR LF line ends, characters of one to four UTF-8
    // bytes, base64 runs held back from the parser and reads that cross the reader's chunks.
    DxlBuilder b;
    std::string filler;
    for (int i = 0; i < 9000; ++i) filler += "é😀x\r\n";  // escaped CR, raw LF
    const QByteArray blob(200000, 'z');
    const NOTEID first = b.AddDocument("Memo").Text("Pad", filler).Attach("z.bin", blob).Id();
    const std::string inner = "<par>Ünïcödé 😀 ok</par>";
    const NOTEID second = b.AddDocument("Memo").Text("Pad", filler).RichText("Body", inner).Id();
    QByteArray dxl = b.ToDxl();
    dxl.replace("\n", "\r\n");
    NotesMemoryDatabases::Add(QStringLiteral("/mem/crlf.dxl"), dxl);
    ASSERT_EQ(session.GetDatabase(QStringLiteral("/mem/crlf.dxl"), &db), LNNOERROR);
    ASSERT_EQ(db.Open(), LNNOERROR);
    for (NOTEID id : {first, second}) {
        LNDocument doc;
        ASSERT_EQ(db.GetDocument(id, &doc), LNNOERROR);
        ASSERT_EQ(doc.Open(), LNNOERROR);
        EXPECT_EQ(doc.GetItemText("Pad").size(), filler.size());
    }
    LNDocument doc;
    ASSERT_EQ(db.GetDocument(second, &doc), LNNOERROR);
    ASSERT_EQ(doc.Open(), LNNOERROR);
    LNRichText rt;
    ASSERT_EQ(doc.GetRichText("Body", &rt), LNNOERROR);
    LNString xml;
    ASSERT_EQ(rt.GetXml(&xml), LNNOERROR);
    EXPECT_EQ(xml, "<richtext>" + inner + "</richtext>");
    EXPECT_EQ(rt.GetPlainText(), "Ünïcödé 😀 ok\n");
}

TEST_F(NotesDatabaseTest, FormFieldsComeFromTheDesignElseFromTheItems) {
    DxlBuilder b;
    b.AddForm(
        "Person|Contact",
        {{"FirstName", "text"}, {"Birthday", "datetime"}, {"Comment", "richtext"}, {"Members", "names"}});
    const NOTEID person = b.AddDocument("Person").Text("FirstName", "Ann").Id();
    const NOTEID odd = b.AddDocument("Unheard")
                           .Text("A", "1")
                           .Date("B", "19800703")
                           .RichText("C", "<par/>")
                           .Names("D", {"x"})
                           .Attach("f", "y")
                           .Id();
    ASSERT_EQ(OpenBuilt(b), LNNOERROR);
    auto fields = [&](NOTEID id) {
        LNDocument doc;
        EXPECT_EQ(db.GetDocument(id, &doc), LNNOERROR);
        EXPECT_EQ(doc.Open(), LNNOERROR);
        std::vector<LNFormField> f;
        EXPECT_EQ(doc.GetFormFields(&f), LNNOERROR);
        std::string out;
        for (const auto& field : f) out += field.name + ":" + std::to_string(field.type) + " ";
        return out;
    };
    EXPECT_EQ(fields(person), "FirstName:45 Birthday:46 Comment:49 Members:48 ");
    EXPECT_EQ(fields(odd), "A:45 B:46 C:49 D:48 ");
}

TEST_F(NotesDatabaseTest, CalendarAccessorsReadTheCalendarItems) {
    DxlBuilder b;
    const NOTEID id = b.AddDocument("Appointment")
                          .Text("Subject", "Review")
                          .Date("StartDateTime", "20190312T140000,00+01")
                          .Date("EndDateTime", "20190312T153000,00+01")
                          .Number("$Alarm", 1)
                          .Number("$AlarmOffset", -15)
                          .Text("AppointmentType", "3")
                          .TextList("RequiredAttendees", {"CN=A/O=B", "c@d.e"})
                          .Text("Repeats", "1")
                          .RichText("Body", "<par>Agenda</par>")
                          .Id();
    const NOTEID split =
        b.AddDocument("Appointment").Date("StartDate", "20190312").Date("StartTime", "T093000,00-05").Id();
    ASSERT_EQ(OpenBuilt(b), LNNOERROR);
    LNDocument doc;
    ASSERT_EQ(db.GetDocument(id, &doc), LNNOERROR);
    ASSERT_EQ(doc.Open(), LNNOERROR);
    LNDatetime start, end;
    ASSERT_EQ(doc.GetDateRange(&start, &end), LNNOERROR);
    EXPECT_EQ(start.ConvertToZone(0).GetPlainText(), "3/12/2019 13:0:0");
    EXPECT_EQ(end.ConvertToZone(0).GetPlainText(), "3/12/2019 14:30:0");
    EXPECT_TRUE(doc.IsAlarmEnabled());
    EXPECT_EQ(doc.GetAlarmOffset(), -15);
    EXPECT_EQ(doc.GetEntryType(), LNCALENDARENTRYTYPE_MEETING);
    EXPECT_EQ(doc.GetBriefDescription(), "Review");
    EXPECT_EQ(doc.GetDetailedDescription(), "Agenda\n");
    EXPECT_EQ(doc.GetRequiredAttendees().size(), 2u);
    EXPECT_TRUE(doc.IsRepeating());
    EXPECT_FALSE(doc.IsPrivate());

    ASSERT_EQ(db.GetDocument(split, &doc), LNNOERROR);
    ASSERT_EQ(doc.Open(), LNNOERROR);
    ASSERT_EQ(doc.GetDateRange(&start, &end), LNNOERROR);
    EXPECT_EQ(start.ConvertToZone(0).GetPlainText(), "3/12/2019 14:30:0");
    EXPECT_EQ(end, start);
}

TEST(NotesDatetime, DxlFormsParseOrAreRefused) {
    const struct {
        const char* dxl;
        bool ok;
        const char* plain;  // after conversion to GMT
        const char* text;
    } cases[] = {
        {"20180703T090500,00-05", true, "7/3/2018 14:5:0", "07/03/2018 09:05:00"},
        {"20181231T233000,00-0130", true, "1/1/2019 1:0:0", "12/31/2018 23:30:00"},
        {"20180301T003000,00+05:30", true, "2/28/2018 19:0:0", "03/01/2018 00:30:00"},
        {"20180703T090500Z", true, "7/3/2018 9:5:0", "07/03/2018 09:05:00"},
        {"20180703T090500", true, "7/3/2018 9:5:0", "07/03/2018 09:05:00"},  // floating
        {"19800703", true, "7/3/1980 0:0:0", "07/03/1980"},
        {"T090500,00", true, "0/0/0 9:5:0", "09:05:00"},
        {"20180230T090500", false, "", ""},
        {"20180703T250000", false, "", ""},
        {"2018", false, "", ""},
        {"", false, "", ""},
        {"20180703T090500,00-99", false, "", ""},
        {"20180703T090500,00-05junk", false, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dxl);
        LNDatetime d;
        ASSERT_EQ(LNDatetime::FromDxl(c.dxl, false, &d), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(d.ConvertToZone(0).GetPlainText(), c.plain);
        EXPECT_EQ(d.GetText(), c.text);
        LNDatetime back;
        ASSERT_TRUE(LNDatetime::FromDxl(d.ToDxl(), false, &back));
        EXPECT_EQ(back, d);
    }
    LNDatetime dst;
    ASSERT_TRUE(LNDatetime::FromDxl("20180703T090500,00-04", true, &dst));
    EXPECT_EQ(dst.ConvertToZone(5, true).GetPlainText(), "7/3/2018 9:5:0");
    EXPECT_EQ(LNDatetime().GetPlainText(), "0/0/0 0:0:0");
}

// Mail and task dates travel as the converting machine's local time: the same instant
// whatever zone the mail was written in, and whatever zone the machine is in.
TEST(NotesDatetime, LocalTextNamesTheSameInstantOnAnyMachine) {
    const QByteArray saved = qgetenv("TZ");
    const struct {
        const char* machineZone;  // POSIX TZ
        const char* dxl;
        const char* local;
    } cases[] = {
        {"UTC0", "20190312T101500,00+01", "3/12/2019 9:15:0"},
        {"UTC0", "20190312T101500,00-05", "3/12/2019 15:15:0"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", "20190312T101500,00+01", "3/12/2019 10:15:0"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", "20190712T101500,00+00", "7/12/2019 12:15:0"},  // summer time
        {"EST5EDT,M3.2.0,M11.1.0", "20190101T030000,00+00", "12/31/2018 22:0:0"},
        {"UTC0", "20190312T101500", "3/12/2019 10:15:0"},  // floating: as written
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.machineZone) + " " + c.dxl);
        qputenv("TZ", c.machineZone);
        LNDatetime d;
        ASSERT_TRUE(LNDatetime::FromDxl(c.dxl, false, &d));
        EXPECT_EQ(d.GetLocalPlainText(), c.local);
    }
    if (saved.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", saved);
}

TEST_F(NotesDatabaseTest, FlatFunctionsWorkOnHandlesOfOpenObjectsOnly) {
    DxlBuilder b;
    const NOTEID id = b.AddDocument("Memo")
                          .Text("Subject", "s", LNITEMFLAGS_SUMMARY)
                          .Raw("Body", 21, QByteArray("\0\0<p>h</p>", 10))
                          .Id();
    ASSERT_EQ(OpenBuilt(b), LNNOERROR);
    LNDocument doc;
    ASSERT_EQ(NSFNoteOpenByID(db.GetDatabaseHandle(), id, &doc), LNNOERROR);
    const NOTEHANDLE note = doc.GetNoteHandle();
    ASSERT_NE(note, 0u);
    NotesItemInfo info;
    ASSERT_EQ(NSFItemInfo(note, "Subject", &info), LNNOERROR);
    EXPECT_EQ(info.type, LNITEMTYPE_TEXT);
    EXPECT_EQ(info.flags, std::uint32_t(LNITEMFLAGS_SUMMARY));
    EXPECT_EQ(info.valueSize, 3u);  // type word and "s"
    EXPECT_EQ(NSFItemInfo(note, "Nope", &info), LNERR_ITEM_NOT_FOUND);
    std::vector<std::uint8_t> raw;
    ASSERT_EQ(NSFItemGetRawValue(note, "Body", &raw), LNNOERROR);
    EXPECT_EQ(raw, (std::vector<std::uint8_t>{21, 0, 0, 0, '<', 'p', '>', 'h', '<', '/', 'p', '>'}));
    NOTEID back = 0;
    ASSERT_EQ(NSFNoteGetID(note, &back), LNNOERROR);
    EXPECT_EQ(back, id);

    doc.Close();
    EXPECT_EQ(NSFItemInfo(note, "Subject", &info), LNERR_BAD_HANDLE);
    const DHANDLE database = db.GetDatabaseHandle();
    db.Close();
    EXPECT_EQ(NSFNoteOpenByID(database, id, &doc), LNERR_BAD_HANDLE);
}

TEST(NotesText, TranslationToUtf16StaysInsideTheBuffer) {
    const std::string text = "aé😀";  // 1 + 1 + 2 UTF-16 units
    EXPECT_EQ(LNStringTranslate(text), QStringLiteral("aé😀"));
    const struct {
        std::size_t outBytes;
        std::size_t units;
    } cases[] = {{10, 4}, {8, 4}, {6, 2}, {4, 2}, {2, 1}, {1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.outBytes);
        char16_t out[8];
        std::fill(std::begin(out), std::end(out), u'#');
        EXPECT_EQ(LNStringTranslate(text.data(), text.size(), 0, out, c.outBytes), c.units);
        EXPECT_EQ(out[c.outBytes / 2], u'#');  // nothing written beyond the buffer
    }
}

TEST_F(NotesDatabaseTest, AttachmentDataNeverReachesTheXmlParser) {
    // 17 MiB of data is a base64 run beyond the parser's text limit: the database opens only
    // because the run is held back and streamed when detached.
    QByteArray big(17 << 20, '\0');
    for (qsizetype i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i % 251);
    DxlBuilder b;
    const NOTEID id = b.AddDocument("Memo").Attach("big.bin", big).Text("After", "seen").Id();
    ASSERT_EQ(OpenBuilt(b), LNNOERROR);
    LNDocument doc;
    ASSERT_EQ(db.GetDocument(id, &doc), LNNOERROR);
    ASSERT_EQ(doc.Open(), LNNOERROR);
    EXPECT_EQ(doc.GetItemText("After"), "seen");
    const auto files = doc.GetAttachments();
    ASSERT_EQ(files.size(), 1u);
    QTemporaryDir dir;
    ASSERT_EQ(files[0].Detach(dir.filePath(QStringLiteral("big.bin"))), LNNOERROR);
    QFile f(dir.filePath(QStringLiteral("big.bin")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll() == big);
}

}  // namespace
