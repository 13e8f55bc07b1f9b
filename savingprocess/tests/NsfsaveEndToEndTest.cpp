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

#include <functional>

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

// More than 20000 entries: a second process resumes at the entry the first one left, and
// each document of the folder is converted once. Category rows make the folder large and cheap.
TEST_F(NsfsaveEndToEnd, AFolderBeyondOneProcessNeedsARestart) {
    ASSERT_TRUE(run.Prepare(RunOptions{}));
    ASSERT_TRUE(run.CreatePst({"Big"}));
    DxlBuilder b("Big");
    DxlViewBuilder& view = b.AddFolder("Big");
    QStringList subjects;
    const auto mail = [&](int n) {
        const std::string subject = "entry " + std::to_string(n);
        view.Entry(b.AddDocument("Memo").Text("Subject", subject).Id());
        subjects << QString::fromStdString(subject);
    };
    for (int i = 0; i < 20010; ++i) {
        if (i % 1000 == 0 || (i >= 19997 && i <= 20001))
            mail(i);
        else
            view.Category("week " + std::to_string(i));
    }
    const QString database = run.Root() + "/big.dxl";
    ASSERT_TRUE(b.Save(database));
    const QString path = SaveRunFolder::FolderPath("Big");
    EXPECT_EQ(run.RunPass(database, "0", view.Id(), path), 2);
    EXPECT_EQ(run.Record(), (ResumeRecord{view.Id(), 0, path, 1}));
    const QString log = run.LogText();
    EXPECT_EQ(log.count("Saving data process starts:"), 2);
    EXPECT_TRUE(log.contains("Email number: 19998 \r\n"));
    EXPECT_EQ(log.count("Email number: 19999 \r\n"), 1);
    const qsizetype second = log.lastIndexOf("Saving data process starts:");
    EXPECT_GT(log.indexOf("Email number: 19999 \r\n"), second);
    EXPECT_TRUE(log.contains("\r\n22\t:items found\r\n") || log.contains("2\t:items found\r\n"));
    ExpectReadersSee(run, "Big", subjects);
}

// A calendar folder: the folder run only collects the note IDs; the calendar run converts them,
// 99 per process, into the default calendar.
TEST_F(NsfsaveEndToEnd, ACalendarRunOfMoreThan99Entries) {
    ASSERT_TRUE(run.Prepare(RunOptions{}));
    ASSERT_TRUE(run.CreatePst({"Meetings"}));
    DxlBuilder b("Calendar");
    b.AddForm("Appointment", {{"Subject", "text"}, {"StartDate", "datetime"}});
    std::vector<NOTEID> ids;
    QStringList subjects;
    for (int i = 0; i < 120; ++i) {
        const std::string subject = "meeting " + std::to_string(i);
        ids.push_back(b.AddDocument("Appointment")
                          .Text("Subject", subject)
                          .Date("StartDate", "20190320")
                          .Date("StartDateTime", "20190320T140000,00+01")
                          .Date("EndDateTime", "20190320T150000,00+01")
                          .Id());
        subjects << QString::fromStdString(subject);
    }
    const NOTEID folder = b.AddFolder("Meetings").Entries(ids).Id();
    const QString database = run.Root() + "/cal.dxl";
    ASSERT_TRUE(b.Save(database));
    EXPECT_EQ(run.RunPass(database, "0", folder, SaveRunFolder::FolderPath("Meetings")), 1);
    std::vector<std::uint32_t> collected;
    ASSERT_TRUE(ReadCalendarIds(run.Handoff() + "cal.txt", collected));
    EXPECT_EQ(collected, ids);

    EXPECT_EQ(run.RunPass(database, "1", 0, run.Root() + "/out/"), 2);
    EXPECT_EQ(run.Record(), (ResumeRecord{ids.back(), 0, run.Root() + "/out/", 1}));
    const QString log = run.LogText();
    EXPECT_EQ(log.count("Session open for pst file for calendar entires: "), 2);
    EXPECT_EQ(log.count("save app"), 120);
    ExpectReadersSee(run, "Calendar", subjects);
}

// Contacts and groups of a folder go to the default contacts folder.
TEST_F(NsfsaveEndToEnd, ContactsAndGroupsGoToTheContactsFolder) {
    ASSERT_TRUE(run.Prepare(RunOptions{}));
    ASSERT_TRUE(run.CreatePst({"People"}));
    const ViewContents people = ReadView(kMailDxl, "($People)", {});
    ASSERT_NE(people.noteId, 0u);
    EXPECT_EQ(run.RunPass(kMailDxl, "0", people.noteId, SaveRunFolder::FolderPath("People")), 1);
    const QString log = run.LogText();
    EXPECT_TRUE(log.contains("Item Type:\tPerson\r\nProcessing email: Dr. Maria Åsa Lindqvist\r\n"))
        << log.toStdString();
    QString problems = PstCheckProblems(run.Pst());
    EXPECT_TRUE(problems.isEmpty()) << problems.toStdString();
    const FolderSubjects seen = PffexportSubjects(run.Pst(), run.Root(), &problems);
    EXPECT_TRUE(problems.isEmpty()) << problems.toStdString();
    EXPECT_EQ(seen.value("Contacts").size(),
              log.count("Item Type:\tPerson\r\n") + log.count("Item Type:\tGroup\r\n"));
    EXPECT_EQ(seen.value("People").size(), 0);
}

// The failures before any dump end the run with their message; "setting.txt" stays as it was.
TEST_F(NsfsaveEndToEnd, FailuresBeforeTheDump) {
    const struct {
        const char* name;
        std::function<void(SaveRunFolder&)> prepare;
        QString log;
        QString stderrText;
    } cases[] = {
        {"no run log", [](SaveRunFolder& r) { QFile::remove(r.LogPath()); }, "",
         "nsfsave: Log file cannot be opened"},
        {"no PST", [](SaveRunFolder& r) { QFile::remove(r.Pst()); },
         "Saving data process starts:\r\nMS outlook session cannot be open\r\n", ""},
        {"no setting.txt", [](SaveRunFolder& r) { QFile::remove(r.Handoff() + "setting.txt"); },
         "Saving data process starts:\r\nSession open for pst file: ", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SaveRunFolder folder;
        ASSERT_TRUE(folder.Prepare(RunOptions{}));
        ASSERT_TRUE(folder.CreatePst({"Inbox"}));
        ASSERT_TRUE(CreateResumeRecord(folder.Handoff() + "setting.txt",
                                       ResumeRecord{42, 3, SaveRunFolder::FolderPath("Inbox"), 1}));
        c.prepare(folder);
        QString errors;
        ASSERT_TRUE(folder.RunOnce(kMailDxl, "0", -1, &errors));
        if (!c.log.isEmpty()) {
            EXPECT_TRUE(folder.LogText().startsWith(c.log)) << folder.LogText().toStdString();
        }
        EXPECT_TRUE(errors.contains(c.stderrText)) << errors.toStdString();
        if (QFile::exists(folder.Handoff() + "setting.txt")) {
            EXPECT_EQ(folder.Record(), (ResumeRecord{42, 3, SaveRunFolder::FolderPath("Inbox"), 1}));
        }
    }
    EXPECT_FALSE(QFile::exists(run.Pst())) << "nsfsave never creates a PST";
}

}  // namespace
