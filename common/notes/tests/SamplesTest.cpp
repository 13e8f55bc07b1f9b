// The committed samples are what the generator writes, and they open through the layer with
// the structure the other rooms' tests rely on.
#include "data/Samples.h"

#include "common/notes/Notes.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

namespace {

QString SourceFile(const char* name) {
    const char* root = std::getenv("NSF_SOURCE_DIR");
    return QString::fromLocal8Bit(root ? root : NSF_SOURCE_DIR_AT_BUILD) + QStringLiteral("/data/") +
           QLatin1String(name);
}

TEST(Samples, CommittedFilesMatchTheGenerator) {
    const struct {
        const char* file;
        DxlBuilder builder;
    } samples[] = {
        {"mail.dxl", MailDatabase()}, {"names.dxl", NamesDatabase()}, {"faults.dxl", FaultsDatabase()}};
    for (const auto& s : samples) {
        SCOPED_TRACE(s.file);
        QFile f(SourceFile(s.file));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << "run: cmake --build build --target regenerate_samples";
        EXPECT_TRUE(f.readAll() == s.builder.ToDxl());
    }
    const struct {
        const char* file;
        QByteArray dxl;
    } domino[] = {{"domino-mail.dxl", DominoMailDxl()},
                  {"domino-notes.dxl", DominoNoteFormatDxl()},
                  {"domino-document.dxl", DominoSingleDocumentDxl()}};
    for (const auto& s : domino) {
        SCOPED_TRACE(s.file);
        QFile f(SourceFile(s.file));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << "run: cmake --build build --target regenerate_samples";
        EXPECT_TRUE(f.readAll() == s.dxl);
    }
}

TEST(Samples, MailDatabaseOpensWithItsFoldersAndEveryDocumentReadable) {
    LNNotesSession session;
    ASSERT_EQ(session.Initialize(), LNNOERROR);
    LNDatabase db;
    ASSERT_EQ(session.GetDatabase(SourceFile("mail.dxl"), &db), LNNOERROR);
    ASSERT_EQ(db.Open(), LNNOERROR);
    std::vector<LNViewFolder> views;
    ASSERT_EQ(db.GetViewFolders(&views), LNNOERROR);
    std::set<std::string> names;
    for (auto& v : views) names.insert(v.GetName());
    for (const char* expected : {"($Inbox)", "($Sent)", "($Drafts)", "($Trash)", "($All)",
                                 "Projects\\2019\\Q1: Plan/Review?", "Clients\\\\ACME"})
        EXPECT_TRUE(names.count(expected)) << expected;

    std::vector<NOTEID> ids;
    ASSERT_EQ(db.GetDocumentIDs(&ids), LNNOERROR);
    std::set<std::string> forms;
    int photos = 0;
    for (NOTEID id : ids) {
        LNDocument doc;
        ASSERT_EQ(db.GetDocument(id, &doc), LNNOERROR);
        ASSERT_EQ(doc.Open(), LNNOERROR) << id;
        forms.insert(doc.GetFormName());
        for (const auto& a : doc.GetAttachments()) photos += a.GetName() == "ContactPhoto";
    }
    EXPECT_EQ(photos, 1);
    for (const char* form : {"Memo", "memo", "Reply", "Task", "Appointment", "Notice", "(ReplyNotice)",
                             "Person", "Group", "Discussion"})
        EXPECT_TRUE(forms.count(form)) << form;
    LNViewFolder all;
    ASSERT_EQ(db.GetViewFolder(std::string_view("($All)"), &all), LNNOERROR);
    ASSERT_EQ(all.Open(), LNNOERROR);
    EXPECT_EQ(all.GetEntryCount(), ids.size());
}

}  // namespace
