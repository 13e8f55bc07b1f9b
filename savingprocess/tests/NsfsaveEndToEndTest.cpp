// nsfsave as the launcher runs it: the real program, offscreen, against a hand-off folder and a
// database; the PST read back by pffexport, readpst and pst-extractor.

#include "Readers.h"
#include "SaveRunSupport.h"

#include "common/handoff/CalendarIds.h"
#include "common/handoff/ResumeRecord.h"
#include "common/handoff/RunOptions.h"
#include "common/notes/DxlBuilder.h"
#include "common/notes/Notes.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

const QString kMailDxl = QStringLiteral(NSF_SOURCE_DIR "/data/mail.dxl");

// The note ID of a view and the subjects of its documents of the given forms, in view order.
struct ViewContents {
    NOTEID noteId = 0;
    QStringList subjects;
};
ViewContents ReadView(const QString& database, const char* name, const QStringList& forms) {
    LNNotesSession session;
    session.Initialize();
    LNDatabase db;
    LNViewFolder view;
    ViewContents out;
    if (session.GetDatabase(database, &db) != LNNOERROR || db.Open() != LNNOERROR ||
        db.GetViewFolder(name, &view) != LNNOERROR || view.Open() != LNNOERROR)
        return out;
    out.noteId = view.GetNoteID();
    for (std::uint32_t i = 0; i < view.GetEntryCount(); ++i) {
        LNDocument doc;
        if (view.GetEntry(i).GetDocument(&doc) != LNNOERROR || doc.Open() != LNNOERROR) continue;
        if (forms.contains(QString::fromStdString(doc.GetFormName())))
            out.subjects << QString::fromStdString(doc.GetItemText("Subject"));
        doc.Close();
    }
    return out;
}

// pffexport decodes a UTF-16 surrogate pair into the wrong code point (U+1F389 comes out as
// U+1EF8A), so characters beyond the BMP are compared as "?" for it.
QStringList BmpOnly(QStringList texts) {
    for (QString& text : texts) {
        QString out;
        for (const char32_t c : text.toUcs4()) out += c > 0xFFFF ? QString(u'?') : QString(QChar(c));
        text = out;
    }
    return texts;
}

void ExpectReadersSee(const SaveRunFolder& run, const QString& folder, QStringList subjects) {
    subjects.sort();
    QString problems = PstCheckProblems(run.Pst());
    EXPECT_TRUE(problems.isEmpty()) << problems.toStdString();
    const struct {
        const char* reader;
        FolderSubjects seen;
        bool bmpOnly;
    } readers[] = {
        {"pffexport", PffexportSubjects(run.Pst(), run.Root(), &problems), true},
        {"readpst", ReadpstSubjects(run.Pst(), run.Root(), &problems), false},
        {"pst-extractor", PstExtractorSubjects(run.Pst(), &problems), false},
    };
    EXPECT_TRUE(problems.isEmpty()) << problems.toStdString();
    for (const auto& r : readers) {
        SCOPED_TRACE(r.reader);
        QStringList seen = r.seen.value(folder);
        seen.sort();
        if (r.bmpOnly) {
            EXPECT_EQ(BmpOnly(seen).join(u'|').toStdString(), BmpOnly(subjects).join(u'|').toStdString());
            continue;
        }
        EXPECT_EQ(seen.join(u'|').toStdString(), subjects.join(u'|').toStdString());
    }
}

class NsfsaveEndToEnd : public ::testing::Test {
  public:
    void SetUp() override { ASSERT_TRUE(run.Valid()); }
    SaveRunFolder run;
};

TEST_F(NsfsaveEndToEnd, AMailFolderBecomesItsItemsOnceEach) {
    ASSERT_TRUE(run.Prepare(RunOptions{}));
    ASSERT_TRUE(run.CreatePst({"Inbox"}));
    const ViewContents inbox =
        ReadView(kMailDxl, "($Inbox)", {"Memo", "Reply", "NonDelivery Report", "Return Receipt"});
    ASSERT_NE(inbox.noteId, 0u);
    EXPECT_EQ(run.RunPass(kMailDxl, "0", inbox.noteId, SaveRunFolder::FolderPath("Inbox")), 1);
    EXPECT_EQ(run.Record(), (ResumeRecord{inbox.noteId, 0, SaveRunFolder::FolderPath("Inbox"), 1}));
    const QString log = run.LogText();
    EXPECT_TRUE(log.startsWith("Saving data process starts:\r\nSession open for pst file: " + run.Pst() +
                               "\r\nReOpening  Database \r\n\r\n " + QString(76, u'-') +
                               "\r\nDumping Folder :\t " + SaveRunFolder::FolderPath("Inbox")))
        << log.toStdString();
    EXPECT_TRUE(log.contains("\t:items found\r\n"));
    ExpectReadersSee(run, "Inbox", inbox.subjects);
}

}  // namespace
