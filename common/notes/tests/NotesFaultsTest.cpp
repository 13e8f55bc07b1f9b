// Failures: damaged files, fault marks of the extension, encrypted documents, thrown statuses,
// and what a plain DXL export without the extension gives.
#include "common/notes/DxlBuilder.h"
#include "common/notes/Notes.h"
#include "common/notes/NotesFlat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>

#include <set>
#include <thread>

namespace {

class NotesFaultsTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(session.Initialize(), LNNOERROR); }
    void TearDown() override {
        LNSetThrowAllErrors(false);
        NotesMemoryDatabases::Clear();
    }

    LNSTATUS OpenBytes(const QByteArray& bytes, LNDatabase* db,
                       const QString& path = QStringLiteral("/mem/faults.dxl")) {
        NotesMemoryDatabases::Add(path, bytes);
        if (const LNSTATUS s = session.GetDatabase(path, db)) return s;
        return db->Open();
    }

    LNNotesSession session;
};

QByteArray SmallDxl() {
    DxlBuilder b;
    b.AddDocument("Memo").Text("Subject", "x").Attach("a.txt", "hello");
    return b.ToDxl();
}

TEST_F(NotesFaultsTest, DamagedOrForeignFilesDoNotOpen) {
    const QByteArray good = SmallDxl();
    QByteArray latin1Declared = good;
    latin1Declared.replace("encoding='utf-8'", "encoding='ISO-8859-1'");
    QByteArray invalidUtf8 = good;
    invalidUtf8.replace("<text>x</text>", "<text>\xE9t\xE9</text>");
    QByteArray hugeRun = good;
    hugeRun.replace("<text>x</text>", "<text>" + QByteArray(17 << 20, 'A') + "</text>");
    const struct {
        const char* name;
        QByteArray bytes;
        QString path;
        LNSTATUS status;
    } cases[] = {
        {"truncated", good.left(good.size() - 30), "/mem/t.dxl", LNERR_BAD_XML},
        {"truncated in the base64", good.left(good.indexOf("aGVs") + 2), "/mem/t.dxl", LNERR_BAD_XML},
        {"mismatched tags", QByteArray(good).replace("</item>", "</itme>"), "/mem/t.dxl", LNERR_BAD_XML},
        {"empty", QByteArray(), "/mem/t.dxl", LNERR_BAD_XML},
        {"other XML root", "<?xml version='1.0'?><html/>", "/mem/t.dxl", LNERR_NOT_DXL},
        {"binary NSF", QByteArray("\x1A\x00\x00\x04\x00\x00", 6), "/mem/t.dxl", LNERR_NSF_NOT_SUPPORTED},
        {"not XML named .nsf", "garbage", "/mem/mail.NSF", LNERR_NSF_NOT_SUPPORTED},
        {"UTF-16", QByteArray("\xFF\xFE<\0d\0", 6), "/mem/t.dxl", LNERR_BAD_ENCODING},
        {"other encoding declared", latin1Declared, "/mem/t.dxl", LNERR_BAD_ENCODING},
        {"invalid UTF-8", invalidUtf8, "/mem/t.dxl", LNERR_BAD_ENCODING},
        {"text run beyond the limit", hugeRun, "/mem/t.dxl", LNERR_TOO_LARGE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LNDatabase db;
        EXPECT_EQ(OpenBytes(c.bytes, &db, c.path), c.status);
        EXPECT_FALSE(db.IsOpen());
        EXPECT_FALSE(LNGetErrorMessageText(c.status).startsWith(QLatin1String("Notes error")));
    }
}

TEST(NotesStatus, EveryStatusOfTheLayerHasItsOwnText) {
    std::set<QString> texts;
    std::vector<LNSTATUS> statuses = {LNERR_RETRY_IN_FRESH_PROCESS};
    for (LNSTATUS s = LNERR_SESSION_NOT_INITIALIZED; s <= LNERR_INTERNAL; ++s) statuses.push_back(s);
    for (LNSTATUS s : statuses) {
        const QString text = LNGetErrorMessageText(s);
        EXPECT_FALSE(text.startsWith(QLatin1String("Notes error"))) << s;
        EXPECT_TRUE(texts.insert(text).second) << s;
    }
    // The buffer form cuts at a character boundary and always terminates.
    char small[6];
    EXPECT_EQ(LNGetErrorMessageText(LNERR_FILE_NOT_FOUND, small, sizeof small), 5u);
    EXPECT_STREQ(small, "File ");
}

TEST_F(NotesFaultsTest, MissingFileAndServerAndUnregisteredThread) {
    LNDatabase db;
    ASSERT_EQ(session.GetDatabase(QStringLiteral("/no/such/file.nsf"), &db), LNNOERROR);
    EXPECT_EQ(db.Open(), LNERR_FILE_NOT_FOUND);
    EXPECT_EQ(session.GetDatabase(QStringLiteral("mail.nsf"), &db, QStringLiteral("srv/Acme")),
              LNERR_SERVER_NOT_AVAILABLE);

    LNSTATUS fromThread = 0, afterInit = 0;
    std::thread t([&] {
        LNNotesSession own;
        LNDatabase d;
        fromThread = own.GetDatabase(QStringLiteral("mail.nsf"), &d);
        own.InitThread();
        afterInit = own.GetDatabase(QStringLiteral("mail.nsf"), &d);
        own.TermThread();
    });
    t.join();
    EXPECT_EQ(fromThread, LNERR_THREAD_NOT_INITIALIZED);
    EXPECT_EQ(afterInit, LNNOERROR);
}

TEST_F(NotesFaultsTest, FaultMarksFailOpeningsWithTheirStatus) {
    DxlBuilder b;
    const NOTEID failing = b.AddDocument("Memo").OpenStatus(549).Id();
    const NOTEID retry = b.AddDocument("Memo").FirstOpenStatus(LNERR_RETRY_IN_FRESH_PROCESS).Id();
    const NOTEID throwing = b.AddDocument("Memo").Text("Subject", "s").ThrowStatus(4000).Id();
    b.AddFolder("Broken").OpenStatus(1234).Entry(failing);
    b.AddFolder("Dangling").Entry(0x7FFFFFF2);
    QByteArray bytes = b.ToDxl();
    NotesMemoryDatabases::Add(QStringLiteral("/mem/f.dxl"), bytes);
    LNDatabase db;
    ASSERT_EQ(session.GetDatabase(QStringLiteral("/mem/f.dxl"), &db), LNNOERROR);
    ASSERT_EQ(db.Open(), LNNOERROR);

    LNDocument doc;
    ASSERT_EQ(db.GetDocument(failing, &doc), LNNOERROR);
    EXPECT_EQ(doc.Open(), 549u);
    EXPECT_EQ(doc.Open(), 549u);
    EXPECT_FALSE(doc.IsOpen());
    EXPECT_EQ(LNGetErrorMessageText(549), QStringLiteral("Notes error 549"));

    ASSERT_EQ(db.GetDocument(retry, &doc), LNNOERROR);
    EXPECT_EQ(doc.Open(), LNERR_RETRY_IN_FRESH_PROCESS);
    EXPECT_EQ(doc.Open(), LNNOERROR);

    ASSERT_EQ(db.GetDocument(throwing, &doc), LNNOERROR);
    ASSERT_EQ(doc.Open(), LNNOERROR);
    EXPECT_EQ(LNCatchStatus([&] { doc.GetFormName(); }), 4000u);
    EXPECT_EQ(LNCatchStatus([&] { doc.HasItem("Subject"); }), 4000u);
    LNItem item;
    EXPECT_EQ(doc.GetItem("Subject", &item), 4000u);  // a status-returning call reports it

    // A closed document's accessors throw "not open".
    doc.Close();
    EXPECT_EQ(LNCatchStatus([&] { doc.GetSubject(); }), LNERR_NOTE_NOT_OPEN);
    EXPECT_EQ(db.GetDocument(0x12345678, &doc), LNERR_NOTE_NOT_FOUND);

    LNViewFolder view;
    ASSERT_EQ(db.GetViewFolder(std::string_view("Broken"), &view), LNNOERROR);
    EXPECT_EQ(view.Open(), 1234u);
    EXPECT_EQ(view.GetEntryCount(), 0u);  // callers read it after a failed open
    EXPECT_EQ(LNCatchStatus([&] { view.GetEntry(0); }), LNERR_VIEW_NOT_OPEN);
    ASSERT_EQ(db.GetViewFolder(std::string_view("Dangling"), &view), LNNOERROR);
    ASSERT_EQ(view.Open(), LNNOERROR);
    EXPECT_EQ(view.GetEntry(0).GetDocument(&doc), LNERR_NOTE_NOT_FOUND);
    EXPECT_EQ(LNCatchStatus([&] { view.GetEntry(1); }), LNERR_ENTRY_INDEX);
    EXPECT_EQ(db.GetViewFolder(NOTEID(4), &view), LNERR_VIEW_NOT_FOUND);

    // Registering the bytes again re-arms the first-open fault, as a fresh file would.
    NotesMemoryDatabases::Add(QStringLiteral("/mem/f.dxl"), bytes);
    LNDatabase again;
    ASSERT_EQ(session.GetDatabase(QStringLiteral("/mem/f.dxl"), &again), LNNOERROR);
    ASSERT_EQ(again.Open(), LNNOERROR);
    ASSERT_EQ(again.GetDocument(retry, &doc), LNNOERROR);
    EXPECT_EQ(doc.Open(), LNERR_RETRY_IN_FRESH_PROCESS);
}

TEST_F(NotesFaultsTest, FirstOpenFaultOfAFileHoldsAcrossOpenings) {
    // Each nsfsave process opens the database anew; only the first opening ever fails.
    QTemporaryDir dir;
    DxlBuilder b;
    const NOTEID retry = b.AddDocument("Memo").FirstOpenStatus(263).Id();
    const QString path = dir.filePath(QStringLiteral("mail.nsf"));
    ASSERT_TRUE(b.Save(path));
    LNSTATUS results[2];
    for (LNSTATUS& r : results) {
        LNDatabase db;
        ASSERT_EQ(session.GetDatabase(path, &db), LNNOERROR);
        ASSERT_EQ(db.Open(), LNNOERROR);
        LNDocument doc;
        ASSERT_EQ(db.GetDocument(retry, &doc), LNNOERROR);
        r = doc.Open();
    }
    EXPECT_EQ(results[0], 263u);
    EXPECT_EQ(results[1], LNNOERROR);
}

// The markers live in a private folder of the user's own; a folder someone else could have
// planted (a link, or one open to others) is never used: the fault does not fire and nothing
// is written there.
TEST_F(NotesFaultsTest, FaultMarkersStayOutOfFoldersOthersCouldPlant) {
    QTemporaryDir tmp, elsewhere, dir;
    const QByteArray savedTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", tmp.path().toUtf8());
    const QString folder = tmp.filePath(QStringLiteral("nsfconvert-dxl-faults-%1").arg(::geteuid()));
    const struct {
        const char* what;
        std::function<void()> plant;
        LNSTATUS firstOpen;
    } cases[] = {
        {"a link to another folder", [&] { QFile::link(elsewhere.path(), folder); }, LNNOERROR},
        {"a folder open to others",
         [&] {
             QDir().mkdir(folder);
             QFile::setPermissions(folder, QFileDevice::Permissions(0x7777));
         },
         LNNOERROR},
        {"nothing: created private", [] {}, 263u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(folder);
        QDir(folder).removeRecursively();
        c.plant();
        DxlBuilder b;
        const NOTEID retry = b.AddDocument("Memo").FirstOpenStatus(263).Id();
        const QString path = dir.filePath(QStringLiteral("%1.nsf").arg(&c - cases));
        ASSERT_TRUE(b.Save(path));
        LNDatabase db;
        ASSERT_EQ(session.GetDatabase(path, &db), LNNOERROR);
        ASSERT_EQ(db.Open(), LNNOERROR);
        LNDocument doc;
        ASSERT_EQ(db.GetDocument(retry, &doc), LNNOERROR);
        EXPECT_EQ(doc.Open(), c.firstOpen);
        EXPECT_TRUE(QDir(elsewhere.path()).isEmpty());
    }
    EXPECT_EQ(QFileInfo(folder).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther |
                                                 QFileDevice::WriteGroup | QFileDevice::WriteOther),
              QFileDevice::Permissions());
    qputenv("TMPDIR", savedTmp);
    if (savedTmp.isNull()) qunsetenv("TMPDIR");
}

TEST_F(NotesFaultsTest, EncryptedItemsOpenOnlyAfterDecryption) {
    DxlBuilder b;
    const NOTEID secret = b.AddDocument("Memo")
                              .Text("Subject", "visible")
                              .Encrypted()
                              .Text("Body", "the secret")
                              .Attach("plan.txt", "sealed bytes")
                              .Id();
    const NOTEID locked = b.AddDocument("Memo").Encrypted(LNERR_DECRYPT_NO_KEY).Text("Body", "x").Id();
    const NOTEID clear = b.AddDocument("Memo").Text("Body", "plain").Id();
    LNDatabase db;
    ASSERT_EQ(OpenBytes(b.ToDxl(), &db), LNNOERROR);

    LNDocument doc;
    ASSERT_EQ(db.GetDocument(secret, &doc), LNNOERROR);
    ASSERT_EQ(doc.Open(), LNNOERROR);
    EXPECT_TRUE(doc.IsEncrypted());
    EXPECT_TRUE(doc.HasItem("Subject"));
    EXPECT_FALSE(doc.HasItem("Body"));
    EXPECT_FALSE(doc.HasAttachments());
    ASSERT_EQ(doc.Decrypt(), LNNOERROR);
    EXPECT_EQ(doc.GetItemText("Body"), "the secret");
    EXPECT_EQ(doc.GetAttachments().size(), 1u);

    ASSERT_EQ(db.GetDocument(locked, &doc), LNNOERROR);
    ASSERT_EQ(doc.Open(), LNNOERROR);
    EXPECT_EQ(doc.Decrypt(), LNERR_DECRYPT_NO_KEY);
    EXPECT_FALSE(doc.HasItem("Body"));

    ASSERT_EQ(db.GetDocument(clear, &doc), LNNOERROR);
    ASSERT_EQ(doc.Open(), LNNOERROR);
    EXPECT_FALSE(doc.IsEncrypted());
    EXPECT_EQ(doc.Decrypt(), LNERR_NOT_ENCRYPTED);
}

TEST_F(NotesFaultsTest, ThrowAllErrorsTurnsReturnedStatusesIntoThrownOnes) {
    LNDatabase db;
    ASSERT_EQ(OpenBytes(SmallDxl(), &db), LNNOERROR);
    LNSetThrowAllErrors(true);
    LNDocument doc;
    EXPECT_EQ(LNCatchStatus([&] { db.GetDocument(0x4, &doc); }), LNERR_NOTE_NOT_FOUND);
    // The flat functions report, they never throw.
    NotesItemInfo info;
    EXPECT_EQ(NSFItemInfo(77777, "Body", &info), LNERR_BAD_HANDLE);
}

TEST_F(NotesFaultsTest, DamagedAttachmentDataFailsTheDetachOnly) {
    DxlBuilder b;
    const NOTEID id = b.AddDocument("Memo")
                          .Text("Subject", "ok")
                          .ItemXml(
                              "<item name='$FILE'><object><file name='cut.bin' size='100'>"
                              "<filedata>aGVsbG8=</filedata></file></object></item>")
                          .ItemXml(
                              "<item name='$FILE'><object><file name='bad.bin' size='3'>"
                              "<filedata>a%b!</filedata></file></object></item>")
                          .Id();
    LNDatabase db;
    ASSERT_EQ(OpenBytes(b.ToDxl(), &db), LNNOERROR);
    LNDocument doc;
    ASSERT_EQ(db.GetDocument(id, &doc), LNNOERROR);
    ASSERT_EQ(doc.Open(), LNNOERROR);
    EXPECT_EQ(doc.GetSubject(), "ok");
    QTemporaryDir dir;
    const auto files = doc.GetAttachments();
    ASSERT_EQ(files.size(), 2u);
    for (const auto& f : files) {
        SCOPED_TRACE(f.GetName());
        const QString out = dir.filePath(QString::fromStdString(f.GetName()));
        EXPECT_EQ(f.Detach(out), LNERR_ATTACHMENT_DAMAGED);
        EXPECT_FALSE(QFile::exists(out));
    }
    // Not even the half-written file beside it stays.
    EXPECT_TRUE(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

TEST_F(NotesFaultsTest, PlainExportListsEveryDocumentInAllByCreation) {
    DxlBuilder b;
    b.SetPlainDxl(true);
    const NOTEID late = b.AddDocument("Memo").Created("20200101T100000,00+00").Unread().Id();
    const NOTEID early = b.AddDocument("Memo").Created("20200101T100000,00+05").Id();
    b.AddFolder("($Inbox)").Entry(late);  // entry lists are extension: dropped here
    LNDatabase db;
    ASSERT_EQ(OpenBytes(b.ToDxl(), &db), LNNOERROR);
    std::vector<LNViewFolder> views;
    ASSERT_EQ(db.GetViewFolders(&views), LNNOERROR);
    // Mail neither sent nor delivered has its home in "($Drafts)", added for it.
    ASSERT_EQ(views.size(), 3u);
    EXPECT_EQ(views[1].GetName(), "($Drafts)");
    EXPECT_EQ(views[2].GetName(), "($All)");
    LNViewFolder inbox = views[0], all = views[2];
    ASSERT_EQ(inbox.Open(), LNNOERROR);
    EXPECT_EQ(inbox.GetEntryCount(), 0u);
    ASSERT_EQ(all.Open(), LNNOERROR);
    ASSERT_EQ(all.GetEntryCount(), 2u);
    EXPECT_EQ(all.GetEntry(0).GetNoteID(), early);  // 05:00 UTC before 10:00 UTC
    EXPECT_EQ(all.GetEntry(1).GetNoteID(), late);
    EXPECT_FALSE(all.GetEntry(1).IsUnread());
}

TEST_F(NotesFaultsTest, ADominoStyleExportWithDoctypeAndDesignLoads) {
    const QByteArray dxl = R"(<?xml version='1.0' encoding='utf-8'?>
<!DOCTYPE database SYSTEM 'xmlschemas/domino_9_0_1.dtd'>
<database xmlns='http://www.lotus.com/dxl' version='9.0' maintenanceversion='1.0'
 replicaid='85257A6D004C2DC1' path='mail\ann.nsf' title='Ann Smith'>
<databaseinfo dbid='85257A6D004C2DC1' odsversion='51' numberofdocuments='1'>
<datamodified><datetime dst='true'>20190312T091500,00-04</datetime></datamodified></databaseinfo>
<acl maxinternetaccess='editor'><aclentry name='-Default-' default='true' level='noaccess'/></acl>
<folder name='($Inbox)' alias='Inbox' showinmenu='false'>
<noteinfo noteid='21a' unid='AB12CD34EF56AB12CD34EF56AB12CD34' sequence='3'/>
<column sort='descending' hidedetailrows='false' itemname='$70' width='10'>
<columnheader title='Date'/></column></folder>
<document form='Memo'>
<noteinfo noteid='8fe' unid='0123456789ABCDEF0123456789ABCDEF' sequence='2'>
<created><datetime dst='true'>20190312T091500,00-04</datetime></created>
<modified><datetime dst='true'>20190312T091600,00-04</datetime></modified>
<revised><datetime dst='true'>20190312T091600,00-04</datetime></revised>
<lastaccessed><datetime dst='true'>20190312T091600,00-04</datetime></lastaccessed>
<addedtofile><datetime dst='true'>20190312T091500,00-04</datetime></addedtofile></noteinfo>
<updatedby><name>CN=Ann Smith/O=Acme</name></updatedby>
<revisions><datetime dst='true'>20190312T091500,00-04</datetime></revisions>
<item name='Subject' summary='true'><text>Hello &amp; welcome</text></item>
<item name='Body'><richtext>
<pardef id='1' leftmargin='1in'/>
<par def='1'><run><font size='9pt' name='Arial'/>First line</run><break/>second</par>
</richtext></item>
<item name='$FILE' summary='true' sign='true' seal='true'><object><file hosttype='msdos'
 compression='none' flags='storedindoc' encoding='none' name='notes.txt' size='5'>
<created><datetime>20190312T091500,00-04</datetime></created>
<filedata>
aGVs
bG8=
</filedata></file></object></item>
</document>
</database>
)";
    LNDatabase db;
    ASSERT_EQ(OpenBytes(dxl, &db), LNNOERROR);
    EXPECT_EQ(db.GetTitle(), "Ann Smith");
    std::vector<LNViewFolder> views;
    ASSERT_EQ(db.GetViewFolders(&views), LNNOERROR);
    ASSERT_EQ(views.size(), 3u);  // with "($Drafts)", the home of the unsent memo
    EXPECT_EQ(views[0].GetNoteID(), 0x21Au);
    LNViewFolder all = views[2];
    ASSERT_EQ(all.Open(), LNNOERROR);
    ASSERT_EQ(all.GetEntryCount(), 1u);
    LNDocument doc;
    ASSERT_EQ(all.GetEntry(0).GetDocument(&doc), LNNOERROR);
    ASSERT_EQ(doc.Open(), LNNOERROR);
    EXPECT_EQ(doc.GetNoteID(), 0x8FEu);
    EXPECT_EQ(doc.GetCreated().GetPlainText(), "3/12/2019 9:15:0");
    EXPECT_EQ(doc.GetFormName(), "Memo");
    EXPECT_EQ(doc.GetSubject(), "Hello & welcome");
    LNRichText rt;
    ASSERT_EQ(doc.GetRichText("Body", &rt), LNNOERROR);
    EXPECT_EQ(rt.GetPlainText(), "First line\nsecond\n");
    // seal='true' (as Domino writes on every $FILE) does not make the document encrypted:
    // the attachment is there without decrypting.
    EXPECT_FALSE(doc.IsEncrypted());
    const auto files = doc.GetAttachments();
    ASSERT_EQ(files.size(), 1u);
    QTemporaryDir dir;
    ASSERT_EQ(files[0].Detach(dir.filePath(QStringLiteral("n.txt"))), LNNOERROR);
    QFile f(dir.filePath(QStringLiteral("n.txt")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("hello"));
}

}  // namespace
