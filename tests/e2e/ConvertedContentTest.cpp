// What the real three programs put into the PST of the sample database, read back by
// independent readers and compared with the database itself: every mail once in its folder,
// tasks, contacts, groups and appointments in their folders, a date range, an added run.
#include "E2eSupport.h"
#include "common/notes/Notes.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QTimeZone>

#include <map>
#include <set>

namespace {

const QString kSample = SourcePath("data/mail.dxl");

// The database's own view of the export: per kept folder (by note ID) the subjects of its mail
// documents; and the distinct documents of each other kind in the kept folders.
struct Expected {
    std::map<std::uint32_t, QStringList> mailSubjects;
    std::map<QString, std::set<NOTEID>> kinds;  // "Task", "Contact", "DistributionList", "Appointment"
};

QString KindOf(const std::string& form) {
    if (form == "Task") return "Task";
    if (form == "Person") return "Contact";
    if (form == "Group") return "DistributionList";
    if (form == "Appointment" || form == "Notice" || form == "(ReplyNotice)") return "Appointment";
    if (form == "Memo" || form == "Reply" || form == "NonDelivery Report" || form == "Return Receipt")
        return "Mail";
    return {};
}

// createdFrom/createdTo in UTC: documents created outside are left out (none when invalid).
Expected ReadExpected(const QJsonArray& folders, const QDateTime& createdFrom = {},
                      const QDateTime& createdTo = {}) {
    Expected e;
    LNNotesSession session;
    session.Initialize();
    LNDatabase db;
    EXPECT_EQ(session.GetDatabase(kSample, &db), LNNOERROR);
    EXPECT_EQ(db.Open(), LNNOERROR);
    for (const auto& value : folders) {
        const QJsonObject folder = value.toObject();
        if (!folder["hasEntries"].toBool()) continue;
        const auto noteId = std::uint32_t(folder["noteId"].toDouble());
        LNViewFolder view;
        if (db.GetViewFolder(noteId, &view) != LNNOERROR || view.Open() != LNNOERROR) continue;
        std::set<NOTEID> seen;
        for (std::uint32_t i = 0; i < view.GetEntryCount(); ++i) {
            const LNVFEntry entry = view.GetEntry(i);
            LNDocument doc;
            if (entry.IsCategory() || entry.GetDocument(&doc) != LNNOERROR || doc.Open() != LNNOERROR)
                continue;
            if (!seen.insert(doc.GetNoteID()).second) continue;
            const LNDatetime c = doc.GetCreated();
            const QDateTime created(QDate(c.GetYear(), c.GetMonth(), c.GetDay()),
                                    QTime(c.GetHour(), c.GetMinute(), c.GetSecond()), Qt::UTC);
            if (createdFrom.isValid() && (created < createdFrom || created > createdTo)) continue;
            const QString kind = KindOf(doc.GetFormName());
            if (kind == "Mail")
                e.mailSubjects[noteId] << LNStringTranslate(doc.GetSubject());
            else if (!kind.isEmpty())
                e.kinds[kind].insert(doc.GetNoteID());
        }
    }
    for (auto& [id, subjects] : e.mailSubjects) subjects.sort();
    return e;
}

QJsonObject ReadpstSubjects(const QString& pst) {
    const Ran r = RunProgram("python3", {SourcePath("tests/readers/readpst_subjects.py"), pst});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    return QJsonDocument::fromJson(r.out.toUtf8()).object();
}

QStringList Strings(const QJsonValue& v) {
    QStringList out;
    for (const auto& s : v.toArray()) out << s.toString();
    return out;
}

int KindCount(const QJsonObject& summary, const char* folder, const char* kind) {
    return summary[folder].toObject()[kind].toInt();
}

// pffexport writes "$" as "_" in its folder names and garbles characters outside the BMP.
QString PffName(const QString& name) {
    QString out;
    for (QChar c : name)
        if (!c.isSurrogate()) out += c == u'$' ? u'_' : c;
    return out;
}

// Every mail of every converted folder once in the PST folder of the same path (readpst), the
// other kinds in their default folders (pffexport).
void ExpectContent(const QString& pst, const QJsonArray& folders, const Expected& e) {
    const QJsonObject subjects = ReadpstSubjects(pst);
    const QJsonObject summary = PstSummary(pst);
    for (const auto& value : folders) {
        const QJsonObject folder = value.toObject();
        const QString path = folder["pstFolder"].toString().section('\\', 3).replace('\\', '/');
        const auto it = e.mailSubjects.find(std::uint32_t(folder["noteId"].toDouble()));
        const QStringList want = it == e.mailSubjects.end() ? QStringList() : it->second;
        EXPECT_EQ(Strings(subjects[path]), want) << path.toStdString();
        int messages = 0;
        for (auto k = summary.begin(); k != summary.end(); ++k)
            if (PffName(k.key()) == PffName(path)) messages = k.value().toObject()["Message"].toInt();
        EXPECT_EQ(messages, want.size()) << path.toStdString();
    }
    const auto count = [&](const char* kind) {
        const auto it = e.kinds.find(kind);
        return it == e.kinds.end() ? 0 : int(it->second.size());
    };
    EXPECT_EQ(KindCount(summary, "Tasks", "Task"), count("Task"));
    EXPECT_EQ(KindCount(summary, "Contacts", "Contact"), count("Contact"));
    EXPECT_EQ(KindCount(summary, "Contacts", "DistributionList"), count("DistributionList"));
    EXPECT_EQ(KindCount(summary, "Calendar", "Appointment"), count("Appointment"));
    for (auto k = summary.begin(); k != summary.end(); ++k) {
        const QJsonObject kinds = k.value().toObject();
        EXPECT_TRUE(k.key() == "Tasks" || kinds["Task"].toInt() == 0) << k.key().toStdString();
        EXPECT_TRUE(k.key() == "Calendar" || kinds["Appointment"].toInt() == 0) << k.key().toStdString();
        EXPECT_TRUE(k.key() == "Contacts" || kinds["Contact"].toInt() == 0) << k.key().toStdString();
    }
}

QJsonArray ReportFolders(const QString& report) {
    return ReadJson(report)["files"].toArray()[0].toObject()["folders"].toArray();
}

TEST(ConvertedContent, EveryDocumentLandsOnceInItsFolder) {
    Workspace w;
    const QString report = w.dir.filePath("r.json");
    const Ran r = w.Export({"--report", report, kSample});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString() << r.out.toStdString();
    const QJsonArray folders = ReportFolders(report);
    const Expected e = ReadExpected(folders);
    ASSERT_GT(e.mailSubjects.size(), 5u);
    ExpectContent(w.out + "/MAIL.PST", folders, e);
    // nsfsave's lines follow nsfadd's in the same log.
    const QString log = LogText(w.log + "/QuenmarkHarbex_log_.txt");
    EXPECT_LT(log.indexOf("pst file structure created successfully"),
              log.indexOf("Saving data process starts:"));
    EXPECT_TRUE(log.contains("Calendar entries saved. "));
}

TEST(ConvertedContent, DateRangeLeavesOutDocumentsCreatedOutsideIt) {
    Workspace w;
    const QDateTime from(QDate(2019, 1, 1), QTime(9, 0), Qt::UTC);
    const QDateTime to = from.addSecs(4 * 60 + 59);
    const QString range = from.toLocalTime().toString("yyyy-MM-ddTHH:mm:ss") + "," +
                          to.toLocalTime().toString("yyyy-MM-ddTHH:mm:ss");
    const QString report = w.dir.filePath("r.json");
    const Ran r = w.Export({"--range", range, "--report", report, kSample});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonArray folders = ReportFolders(report);
    const Expected e = ReadExpected(folders, from, to);
    const Expected all = ReadExpected(folders);
    int kept = 0, total = 0;
    for (const auto& [id, s] : e.mailSubjects) kept += int(s.size());
    for (const auto& [id, s] : all.mailSubjects) total += int(s.size());
    ASSERT_GT(kept, 0);
    ASSERT_LT(kept, total);  // the range splits the sample
    ExpectContent(w.out + "/MAIL.PST", folders, e);
}

TEST(ConvertedContent, IncrementalRunAddsOnlyWhatIsMissing) {
    // A first pass limited by a date range, then an added run without it: the PST ends as a
    // full conversion does, nothing twice.
    Workspace w;
    const QDateTime from(QDate(2019, 1, 1), QTime(9, 0), Qt::UTC);
    const QString range = from.toLocalTime().toString("yyyy-MM-ddTHH:mm:ss") + "," +
                          from.addSecs(299).toLocalTime().toString("yyyy-MM-ddTHH:mm:ss");
    ASSERT_EQ(w.Export({"--range", range, kSample}).exitCode, 0);
    const QString report = w.dir.filePath("r.json");
    const Ran r = w.Export({"--incremental", "--report", report, kSample});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(w.out + "/0MAIL.PST"));
    const QJsonArray folders = ReportFolders(report);
    ExpectContent(w.out + "/MAIL.PST", folders, ReadExpected(folders));
}

// pst-extractor, a reader written apart from libpst and libpff, walks the whole converted file.
TEST(ConvertedContent, PstExtractorWalksTheSample) {
    Workspace w;
    ASSERT_EQ(w.Export({kSample}).exitCode, 0);
    const Ran r = RunProgram(
        "timeout", {"120", "node", SourcePath("tests/readers/pst_extractor_walk.js"), w.out + "/MAIL.PST"});
    EXPECT_EQ(r.exitCode, 0) << r.err.left(600).toStdString();
    EXPECT_TRUE(r.out.contains("Quarterly figures"));
}

}  // namespace
