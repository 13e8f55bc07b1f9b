// Databases as Domino's DXL exporter writes them (data/domino-*.dxl): every construct is
// read faithfully, and every document reaches a home without the extension.
#include "data/Samples.h"

#include "common/notes/Notes.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

class DominoExportTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(session_.Initialize(), LNNOERROR); }
    void TearDown() override { NotesMemoryDatabases::Clear(); }

    LNSTATUS Open(const QByteArray& dxl, LNDatabase* db) {
        const QString path = QStringLiteral("/mem/domino-%1.dxl").arg(++count_);
        NotesMemoryDatabases::Add(path, dxl);
        if (const LNSTATUS s = session_.GetDatabase(path, db)) return s;
        return db->Open();
    }

    // The document with that subject, open.
    LNDocument BySubject(LNDatabase& db, const std::string& subject) {
        std::vector<NOTEID> ids;
        EXPECT_EQ(db.GetDocumentIDs(&ids), LNNOERROR);
        for (NOTEID id : ids) {
            LNDocument doc;
            if (db.GetDocument(id, &doc) != LNNOERROR || doc.Open() != LNNOERROR) continue;
            if (doc.GetSubject() == subject) return doc;
            doc.Close();
        }
        ADD_FAILURE() << "no document " << subject;
        return {};
    }

    static QByteArray Detached(const LNAttachment& a, LNSTATUS* status = nullptr) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a"));
        const LNSTATUS s = a.Detach(path);
        if (status) *status = s;
        QFile f(path);
        return s == LNNOERROR && f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static std::map<std::string, QByteArray> Files(const LNDocument& doc) {
        std::map<std::string, QByteArray> files;
        for (const auto& a : doc.GetAttachments()) files[a.GetName()] = Detached(a);
        return files;
    }

    LNNotesSession session_;
    int count_ = 0;
};

TEST_F(DominoExportTest, AnOrdinaryMemoKeepsItsEncryptableAttachmentAndReadsAsText) {
    LNDatabase db;
    ASSERT_EQ(Open(DominoMailDxl(), &db), LNNOERROR);
    LNDocument memo = BySubject(db, "Budget 2019");
    EXPECT_FALSE(memo.IsEncrypted());  // seal='true' on its $FILE is no encryption
    const auto files = Files(memo);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files.at("budget.xls"), QByteArray("budget,2019\nrent,1200\n"));
    LNRichText body;
    ASSERT_EQ(memo.GetRichText("Body", &body), LNNOERROR);
    // Indentation between elements and <nonxmlchar/> are not text.
    EXPECT_EQ(body.GetPlainText(), "Please see the budget.\nTotals follow.\n\n");
    // The date keeps its zone: 10:15 at +01:00 is 09:15 UTC.
    EXPECT_EQ(memo.GetDateSent().ConvertToZone(0).GetPlainText(), "3/12/2019 9:15:0");
}

TEST_F(DominoExportTest, MimeMailArrivesWithBodiesImagesAttachmentsAndHeaders) {
    LNDatabase db;
    ASSERT_EQ(Open(DominoMailDxl(), &db), LNNOERROR);
    const struct {
        const char* subject;
        const char* from;
        std::vector<std::string> to;
        const char* html;
        const char* plain;
        const char* posted;  // UTC
        const char* messageId;
        std::map<std::string, QByteArray> files;
    } cases[] = {
        {"Quarterly r\xC3\xA9sum\xC3\xA9",
         "\"Bob Sender\" <bob@example.org>",
         {"\"Ann Example\" <ann@example.com>", "carl@example.net"},
         "the r\xC3\xA9sum\xC3\xA9 is attached.</p><img src=\"data:image/gif;base64,R0lGOD",
         "Hello Ann,\r\nthe r\xC3\xA9sum\xC3\xA9 is attached.",
         "3/12/2019 9:15:0",
         "<20190312101500.4711@mail.example.org>",
         {{"report.pdf", DominoPdf()}}},
        {"Minutes",
         "\"Dana Far\" <dana@example.org>",
         {"ann@example.com"},
         "<p>Minutes: <b>approved</b>.</p>",
         "",
         "3/13/2019 13:10:0",
         "<minutes.1@example.org>",
         {{"minutes.pdf", DominoPdf()}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.subject);
        LNDocument doc = BySubject(db, c.subject);
        ASSERT_TRUE(doc.IsOpen());
        EXPECT_EQ(doc.GetSender(), c.from);
        EXPECT_EQ(doc.GetRecipients(LNRECIPIENTTYPE_TO), c.to);
        EXPECT_EQ(doc.GetItemText("$MessageID"), c.messageId);
        EXPECT_EQ(doc.GetDateSent().ConvertToZone(0).GetPlainText(), c.posted);
        LNItem body;
        ASSERT_EQ(doc.GetItem("Body", &body), LNNOERROR);
        ASSERT_EQ(body.GetType(), LNITEMTYPE_HTML);
        std::vector<std::uint8_t> raw;
        ASSERT_EQ(body.GetRawValue(&raw), LNNOERROR);
        const std::string html(raw.begin() + 2, raw.end());
        EXPECT_NE(html.find(c.html), std::string::npos) << html;
        EXPECT_EQ(doc.GetItemText("$MimePlainBody"), c.plain);
        // The inline image is shown in place, not listed as an attachment.
        EXPECT_EQ(Files(doc), c.files);
    }
    LNDocument dxlMime = BySubject(db, "Quarterly r\xC3\xA9sum\xC3\xA9");
    EXPECT_EQ(dxlMime.GetRecipients(LNRECIPIENTTYPE_CC),
              std::vector<std::string>{"D\xC3\xA9sir\xC3\xA9"
                                       "e S\xC3\xB8rensen <desiree@example.com>"});
}

TEST_F(DominoExportTest, DatePairsCompositeDataAndSizesAreValuesNotText) {
    LNDatabase db;
    ASSERT_EQ(Open(DominoMailDxl(), &db), LNNOERROR);
    LNDocument meeting = BySubject(db, "Weekly sync");
    const LNDatetimes repeats = meeting.GetItemDatetimes("CalendarDateTime");
    ASSERT_EQ(repeats.GetCount(), 2u);
    EXPECT_TRUE(repeats.entries[1].isRange);
    EXPECT_EQ(repeats.entries[1].start.GetPlainText(), "3/25/2019 10:0:0");
    EXPECT_EQ(repeats.entries[1].end.GetPlainText(), "3/25/2019 11:0:0");
    EXPECT_EQ(meeting.GetItemDatetimes("$BusyPeriod").GetCount(), 1u);
    EXPECT_EQ(meeting.GetItemText("$Body_Stored"), "");

    LNDocument packed = BySubject(db, "Compressed files");
    std::map<std::string, LNSTATUS> detach;
    for (const auto& a : packed.GetAttachments()) {
        LNSTATUS s = 0;
        Detached(a, &s);
        detach[a.GetName()] = s;
        if (a.GetName() == "nosize.txt") {
            EXPECT_EQ(a.GetSize(), 15u);
        }
    }
    EXPECT_EQ(detach, (std::map<std::string, LNSTATUS>{{"huffed.txt", LNERR_ATTACHMENT_COMPRESSED},
                                                       {"nosize.txt", LNNOERROR},
                                                       {"packed.doc", LNERR_ATTACHMENT_COMPRESSED}}));
    EXPECT_NE(
        LNGetErrorMessageText(LNERR_ATTACHMENT_COMPRESSED).indexOf(QLatin1String("UncompressAttachments")),
        -1);
}

TEST_F(DominoExportTest, AReallyEncryptedDocumentSaysSoAndCannotBeDecrypted) {
    LNDatabase db;
    ASSERT_EQ(Open(DominoMailDxl(), &db), LNNOERROR);
    LNDocument secret = BySubject(db, "Salaries");
    EXPECT_TRUE(secret.IsEncrypted());
    EXPECT_EQ(secret.Decrypt(), LNERR_DECRYPT_NO_KEY);
}

TEST_F(DominoExportTest, EveryDocumentOfAPlainExportHasExactlyOneHomeBesidesAll) {
    LNDatabase db;
    ASSERT_EQ(Open(DominoMailDxl(), &db), LNNOERROR);
    std::vector<LNViewFolder> views;
    ASSERT_EQ(db.GetViewFolders(&views), LNNOERROR);
    std::map<std::string, std::set<std::string>> homes;  // folder -> subjects
    std::map<NOTEID, int> seen;
    for (auto& v : views) {
        if (v.GetName() == "($All)") continue;
        ASSERT_EQ(v.Open(), LNNOERROR);
        for (std::uint32_t i = 0; i < v.GetEntryCount(); ++i) {
            LNDocument doc;
            ASSERT_EQ(v.GetEntry(i).GetDocument(&doc), LNNOERROR);
            ASSERT_EQ(doc.Open(), LNNOERROR);
            ++seen[doc.GetNoteID()];
            const std::string subject = doc.GetSubject();
            homes[v.GetName()].insert(subject.empty() ? doc.GetFormName() : subject);
        }
    }
    EXPECT_EQ(seen.size(), db.GetDocumentCount());
    for (const auto& [id, n] : seen) EXPECT_EQ(n, 1) << id;
    const std::map<std::string, std::set<std::string>> expected = {
        {"($Inbox)", {"Budget 2019", "Quarterly r\xC3\xA9sum\xC3\xA9", "Compressed files", "Salaries"}},
        {"Projects", {"Minutes"}},
        {"($Sent)", {"Re: Budget 2019"}},
        {"($Drafts)", {"Unfinished"}},
        {"($Calendar)", {"Weekly sync"}},
        {"($ToDo)", {"File the report"}},
        {"($Contacts)", {"Person"}},
        {"($Groups)", {"Group"}},
    };
    EXPECT_EQ(homes, expected);
}

// Exported with the MIME option "DXL", a mail may keep its router marks only in its headers.
TEST_F(DominoExportTest, MimeHeadersTellReceivedFromSentMail) {
    const QByteArray dxl =
        "<database xmlns='http://www.lotus.com/dxl'>"
        "<document form='Memo'><mime><![CDATA[Received: from mx.example.org\r\n"
        "Subject: in\r\nDate: Tue, 12 Mar 2019 10:15:00 +0100\r\n\r\nbody\r\n]]></mime></document>"
        "<document form='Memo'><mime><![CDATA[Subject: out\r\n"
        "Date: Tue, 12 Mar 2019 10:15:00 +0100\r\n\r\nReceived: in the body\r\n]]></mime></document>"
        "<document form='Memo'><mime><![CDATA[Subject: draft\r\n\r\nbody\r\n]]></mime></document>"
        "</database>";
    LNDatabase db;
    ASSERT_EQ(Open(dxl, &db), LNNOERROR);
    const std::map<std::string, std::string> expected = {
        {"($Inbox)", "in"}, {"($Sent)", "out"}, {"($Drafts)", "draft"}};
    for (const auto& [folder, subject] : expected) {
        SCOPED_TRACE(folder);
        LNViewFolder view;
        ASSERT_EQ(db.GetViewFolder(std::string_view(folder), &view), LNNOERROR);
        ASSERT_EQ(view.Open(), LNNOERROR);
        ASSERT_EQ(view.GetEntryCount(), 1u);
        LNDocument doc;
        ASSERT_EQ(view.GetEntry(0).GetDocument(&doc), LNNOERROR);
        ASSERT_EQ(doc.Open(), LNNOERROR);
        EXPECT_EQ(doc.GetSubject(), subject);
    }
}

TEST_F(DominoExportTest, NoteFormatAndSingleDocumentExportsOpen) {
    const struct {
        QByteArray dxl;
        const char* subject;
        std::size_t attachments;
    } cases[] = {{DominoNoteFormatDxl(), "Note format", 1}, {DominoSingleDocumentDxl(), "Alone", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.subject);
        LNDatabase db;
        ASSERT_EQ(Open(c.dxl, &db), LNNOERROR);
        EXPECT_EQ(db.GetDocumentCount(), 1u);
        LNDocument doc = BySubject(db, c.subject);
        EXPECT_EQ(doc.GetFormName(), "Memo");
        EXPECT_EQ(doc.GetAttachments().size(), c.attachments);
    }
}

TEST_F(DominoExportTest, DeclaredEntitiesAreRefused) {
    const QByteArray bomb =
        "<?xml version='1.0'?>\n<!DOCTYPE database [<!ENTITY a 'aaaaaaaaaaaaaaaa'>"
        "<!ENTITY b '&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;'>]>\n"
        "<database xmlns='http://www.lotus.com/dxl'><document form='Memo'>"
        "<item name='Subject'><text>&b;&b;&b;</text></item></document></database>\n";
    LNDatabase db;
    EXPECT_EQ(Open(bomb, &db), LNERR_DXL_ENTITIES);
}

}  // namespace
