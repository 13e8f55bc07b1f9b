#include "convert/richtext/HtmlBodyConverter.h"

#include "common/notes/DxlBuilder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <string>

namespace {

const QByteArray kGifA = QByteArray("GIF89a") + QByteArray(30, 'a');
const QByteArray kGifB = QByteArray("GIF87a") + QByteArray(20, 'b');

std::string Picture(const QByteArray& bytes) {
    return "<picture width='10px' height='10px'><gif>" + bytes.toBase64().toStdString() + "</gif></picture>";
}

const std::string kSection =
    "<section><sectiontitle><run>Details</run></sectiontitle><par>inside</par></section>";

class HtmlBodyConverterTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        static LNNotesSession session;
        if (!session.IsInitialized()) {
            ASSERT_EQ(session.Initialize(), LNNOERROR);
        }
    }

    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        DxlBuilder b;
        pictures_ =
            b.AddDocument("Memo")
                .Text("Subject", "Pictures")
                .RichText("Body", "<par>Two <run><font style='bold'/>pictures</run>:</par><par>" +
                                      Picture(kGifA) + "</par><par>" + Picture(kGifB) + "</par>" + kSection)
                .Id();
        std::string words;
        for (int i = 0; i < 6000; ++i) words += "word" + std::to_string(i) + " ";
        long_ = b.AddDocument("Memo").RichText("Body", "<par>" + words + "</par>").Id();
        throwing_ = b.AddDocument("Memo").RichText("Body", kSection).ThrowStatus(LNERR_NOTE_DAMAGED).Id();
        plainBody_ = b.AddDocument("Memo").Text("Body", "plain <text>").Id();
        noBody_ = b.AddDocument("Memo").Text("Subject", "none").Id();
        contact_ = b.AddDocument("Person")
                       .Text("FirstName", "Ann")
                       .RichText("Comment", "<par>likes &lt;tea&gt;</par>")
                       .Id();
        b.Register("/mem/richtext.nsf");
        LNNotesSession session;
        ASSERT_EQ(session.GetDatabase("/mem/richtext.nsf", &db_), LNNOERROR);
        ASSERT_EQ(db_.Open(), LNNOERROR);
    }

    void TearDown() override {
        for (LNDocument& d : opened_) d.Close();
        db_.Close();
        NotesMemoryDatabases::Remove("/mem/richtext.nsf");
    }

    // A converter filled the way the readers fill it, for an opened document.
    HtmlBodyConverter For(NOTEID id) {
        LNDocument document;
        EXPECT_EQ(db_.GetDocument(id, &document), LNNOERROR);
        EXPECT_EQ(document.Open(), LNNOERROR);
        opened_.push_back(document);
        HtmlBodyConverter c;
        c.noteHandle = document.GetNoteHandle();
        c.databaseHandle = db_.GetDatabaseHandle();
        c.noteId = id;
        c.pictureFolder = Folder();
        return c;
    }

    QString Folder() const { return dir_.path() + "/temp/"; }

    QTemporaryDir dir_;
    LNDatabase db_;
    std::vector<LNDocument> opened_;
    NOTEID pictures_ = 0, long_ = 0, throwing_ = 0, plainBody_ = 0, noBody_ = 0, contact_ = 0;
};

TEST_F(HtmlBodyConverterTest, PicturesBecomeFilesThatTheHtmlPointsTo) {
    HtmlBodyConverter c = For(pictures_);
    const QString html = c.ConvertNote();
    EXPECT_EQ(c.status, LNNOERROR);
    EXPECT_EQ(c.converter, 0u);
    EXPECT_EQ(c.referenceHandle, 0u);
    ASSERT_TRUE(html.contains("pictures</span>:")) << html.toStdString();
    EXPECT_TRUE(html.contains("<div style=\"font-weight:bold\">Details</div>"));  // expanded

    const QStringList files = QDir(Folder()).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 2);
    const QRegularExpression name("^Body[01][0-9A-F]+\\.gif$");
    QList<QByteArray> contents;
    for (const QString& file : files) {
        EXPECT_TRUE(name.match(file).hasMatch()) << file.toStdString();
        EXPECT_TRUE(html.contains("<img src=\"" + Folder() + file + "\""));
        QFile f(Folder() + file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        contents << f.readAll();
    }
    EXPECT_TRUE(contents.contains(kGifA) && contents.contains(kGifB));

    // Converting again reuses the files instead of piling up copies.
    EXPECT_EQ(For(pictures_).ConvertNote(), html);
    EXPECT_EQ(QDir(Folder()).entryList(QDir::Files).size(), 2);

    // The same converter makes the folder again when it was removed in between.
    ASSERT_TRUE(QDir(Folder()).removeRecursively());
    EXPECT_EQ(c.ConvertNote(), html);
    EXPECT_EQ(QDir(Folder()).entryList(QDir::Files).size(), 2);
}

TEST_F(HtmlBodyConverterTest, BodyItemConversionRendersWithoutTheOptions) {
    HtmlBodyConverter c = For(pictures_);
    const QString html = c.ConvertBodyItem();
    EXPECT_EQ(c.status, LNNOERROR);
    EXPECT_TRUE(html.contains("<details><summary>Details</summary>")) << html.toStdString();
    EXPECT_EQ(html.count("<img"), 2);
}

TEST_F(HtmlBodyConverterTest, ThrownStatusEndsBothConversionsEmpty) {
    HtmlBodyConverter c = For(throwing_);
    EXPECT_TRUE(c.ConvertNote().isEmpty());
    EXPECT_EQ(c.status, LNSTATUS{LNERR_NOTE_DAMAGED});
    EXPECT_TRUE(c.ConvertBodyItem().isEmpty());
    EXPECT_NE(c.status, LNNOERROR);
    EXPECT_EQ(c.converter, 0u);
}

TEST_F(HtmlBodyConverterTest, ThrowAllErrorsModeNeverLetsAStatusOut) {
    HtmlBodyConverter good = For(contact_);
    HtmlBodyConverter bad = For(noBody_);
    LNSetThrowAllErrors(true);
    const QString html = good.ConvertNote();
    const QString none = bad.ConvertBodyItem();
    const LNSTATUS badStatus = bad.status;
    LNSetThrowAllErrors(false);
    EXPECT_TRUE(html.contains("likes"));
    EXPECT_TRUE(none.isEmpty());
    EXPECT_NE(badStatus, LNNOERROR);
}

TEST_F(HtmlBodyConverterTest, LongBodyComesBackWhole) {
    HtmlBodyConverter c = For(long_);
    const QString html = c.ConvertNote();
    ASSERT_GT(html.toUtf8().size(), 32764);
    EXPECT_TRUE(html.contains("word0 word1 "));
    EXPECT_TRUE(html.contains("word5999"));
    EXPECT_EQ(html.count("word"), 6000);
}

TEST_F(HtmlBodyConverterTest, DocumentsWithoutRichTextGiveNothing) {
    for (NOTEID id : {plainBody_, noBody_}) {
        HtmlBodyConverter c = For(id);
        EXPECT_TRUE(c.ConvertNote().isEmpty()) << id;
        EXPECT_NE(c.status, LNNOERROR);
        EXPECT_TRUE(c.ConvertBodyItem().isEmpty()) << id;
        EXPECT_NE(c.status, LNNOERROR);
    }
}

TEST_F(HtmlBodyConverterTest, ContactCommentIsTheNotesRichText) {
    HtmlBodyConverter c = For(contact_);
    EXPECT_TRUE(c.ConvertNote().contains("<div>likes &lt;tea&gt;</div>"));
    EXPECT_TRUE(c.ConvertBodyItem().isEmpty());  // no "Body"
}

TEST_F(HtmlBodyConverterTest, ClosedDocumentIsReopenedByNoteId) {
    HtmlBodyConverter c = For(contact_);
    opened_.back().Close();  // the handle is stale now
    EXPECT_TRUE(c.ConvertNote().contains("likes"));
    EXPECT_EQ(c.status, LNNOERROR);

    HtmlBodyConverter unknown;
    unknown.noteHandle = 987654;
    EXPECT_TRUE(unknown.ConvertNote().isEmpty());
    EXPECT_NE(unknown.status, LNNOERROR);
}

TEST_F(HtmlBodyConverterTest, RefusedPictureFolderKeepsTheText) {
    const QString elsewhere = dir_.path() + "/elsewhere";
    ASSERT_TRUE(QDir().mkdir(elsewhere));
    ASSERT_TRUE(QFile::link(elsewhere, dir_.path() + "/temp"));
    HtmlBodyConverter c = For(pictures_);
    const QString html = c.ConvertNote();
    EXPECT_TRUE(html.contains("pictures</span>:"));
    EXPECT_FALSE(html.contains("<img"));
    EXPECT_TRUE(QDir(elsewhere).isEmpty());
}

}  // namespace

namespace {

// Every readable rich-text document of the committed sample database converts, and the
// richest one shows its table, section, picture and document link.
TEST(HtmlBodyConverterSamples, EveryRichTextDocumentOfTheSampleMailDatabaseConverts) {
    static LNNotesSession session;
    if (!session.IsInitialized()) {
        ASSERT_EQ(session.Initialize(), LNNOERROR);
    }
    const QString path = QStringLiteral(NSF_SAMPLE_DIR "/mail.dxl");
    LNDatabase db;
    ASSERT_EQ(session.GetDatabase(path, &db), LNNOERROR);
    ASSERT_EQ(db.Open(), LNNOERROR) << path.toStdString();
    QTemporaryDir dir;
    std::vector<NOTEID> ids;
    ASSERT_EQ(db.GetDocumentIDs(&ids), LNNOERROR);
    int converted = 0;
    QString richest;
    for (NOTEID id : ids) {
        LNDocument document;
        if (db.GetDocument(id, &document) != LNNOERROR || document.Open() != LNNOERROR) continue;
        bool hasRichText = false;
        LNCatchStatus([&] {
            for (const LNItem& item : document.GetItems())
                hasRichText = hasRichText || item.GetType() == LNITEMTYPE_RICHTEXT;
        });
        HtmlBodyConverter c;
        c.noteHandle = document.GetNoteHandle();
        c.databaseHandle = db.GetDatabaseHandle();
        c.noteId = id;
        c.pictureFolder = dir.path() + "/temp/";
        const QString html = c.ConvertNote();
        document.Close();
        if (!hasRichText) continue;
        EXPECT_FALSE(html.isEmpty()) << "note " << id << " status " << c.status;
        ++converted;
        if (html.contains("<table")) richest = html;
    }
    EXPECT_GE(converted, 5);
    ASSERT_FALSE(richest.isEmpty());
    EXPECT_TRUE(richest.contains(QStringLiteral("<span style=\"font-weight:bold\">привет</span>")));
    EXPECT_TRUE(richest.contains(QStringLiteral("1.234 €")));
    EXPECT_TRUE(richest.contains("Hidden details"));
    EXPECT_TRUE(richest.contains(">Quarterly figures</a>"));
    const QRegularExpression img("<img src=\"([^\"]+)\"");
    const auto m = img.match(richest);
    ASSERT_TRUE(m.hasMatch());
    EXPECT_TRUE(QFile::exists(m.captured(1))) << m.captured(1).toStdString();
    db.Close();
}

}  // namespace
