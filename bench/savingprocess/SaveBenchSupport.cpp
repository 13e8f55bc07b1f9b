#include "SaveBenchSupport.h"

#include "common/handoff/CalendarIds.h"
#include "common/handoff/ResumeRecord.h"
#include "common/handoff/RunLog.h"
#include "common/handoff/RunOptions.h"
#include "common/notes/DxlBuilder.h"
#include "common/pst/PstStore.h"

#include <QDir>

#include <vector>

BenchKind KindByName(const QString& name) {
    if (name == QLatin1String("attach")) return BenchKind::MailWithAttachments;
    if (name == QLatin1String("contact")) return BenchKind::Contact;
    if (name == QLatin1String("appointment")) return BenchKind::Appointment;
    return BenchKind::Mail;
}

const char* KindName(BenchKind kind) {
    switch (kind) {
        case BenchKind::Mail:
            return "mail";
        case BenchKind::MailWithAttachments:
            return "mail with attachments";
        case BenchKind::Contact:
            return "contacts";
        case BenchKind::Appointment:
            return "appointments";
    }
    return "";
}

namespace {

NOTEID AddDocument(DxlBuilder& b, BenchKind kind, int i) {
    const std::string n = std::to_string(i);
    switch (kind) {
        case BenchKind::Mail:
        case BenchKind::MailWithAttachments: {
            DxlDocumentBuilder& d = b.AddDocument("Memo")
                                        .Names("From", {"CN=Ann Lee/O=Acme"})
                                        .Names("SendTo", {"CN=Bob Ray/O=Acme", "carl@example.org"})
                                        .Text("Subject", "Quarterly figures " + n)
                                        .Date("PostedDate", "20180703T090500,00+01")
                                        .RichText("Body", "<par>Hello Bob,</par><par>the figures of week " +
                                                              n + " are <b>attached</b>.</par>");
            if (kind == BenchKind::MailWithAttachments) {
                QByteArray bytes(24 * 1024, 'x');
                for (int k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<char>('a' + (k * 7 + i) % 26);
                d.Attach("figures-" + n + ".txt", bytes)
                    .Attach("notes.txt", "short note " + QByteArray::number(i));
            }
            return d.Id();
        }
        case BenchKind::Contact:
            return b.AddDocument("Person")
                .Text("FullNameInput", "Maria Lindqvist " + n)
                .Text("FirstName", "Maria")
                .Text("LastName", "Lindqvist " + n)
                .Text("CompanyName", "Nordlicht AB")
                .Text("MailAddress", "maria" + n + "@nordlicht.example")
                .Text("OfficePhoneNumber", "+46 8 111 111")
                .Text("primaryAddress", "Business")
                .Text("OfficeCity", "Stockholm")
                .Id();
        case BenchKind::Appointment:
            return b.AddDocument("Appointment")
                .Names("From", {"CN=Ann Lee/O=Acme"})
                .Text("Subject", "Budget review " + n)
                .Text("Location", "Room 4")
                .Date("StartDate", "20190320")
                .Date("StartDateTime", "20190320T140000,00+01")
                .Date("EndDateTime", "20190320T150000,00+01")
                .Id();
    }
    return 0;
}

}  // namespace

bool WriteScenario(const QString& dir, BenchKind kind, int count, Scenario& s) {
    QDir().mkpath(dir + QStringLiteral("/out"));
    QDir().mkpath(dir + QStringLiteral("/hand off"));
    s.database = dir + QStringLiteral("/db.dxl");
    s.pst = dir + QStringLiteral("/out/mail.pst");
    s.handoff = dir + QStringLiteral("/hand off/");
    s.folderPath = QStringLiteral("\\\\Personal Folders\\Inbox");

    DxlBuilder b("Bench");
    if (kind == BenchKind::Appointment)
        b.AddForm("Appointment", {{"Subject", "text"}, {"StartDate", "datetime"}, {"Location", "text"}});
    std::vector<NOTEID> ids;
    for (int i = 0; i < count; ++i) ids.push_back(AddDocument(b, kind, i));
    s.folderNoteId = b.AddFolder("Inbox").Entries(ids).Id();
    if (!b.Save(s.database)) return false;

    QFile::remove(s.pst);
    PstSession session;
    PstStore store = session.OpenStore(s.pst);
    if (!store || !store.Prepare() || !store.TopFolder().Folders().Add(QStringLiteral("Inbox"))) return false;
    for (int code : {kPstCalendar, kPstContacts, kPstTasks})
        if (!store.DefaultFolder(code)) return false;
    session.LogOff();

    RunOptions options;
    options.logPath = s.handoff + RunLog::FileName();
    RunLog log;
    if (!log.Open(options.logPath, RunLog::Opening::Recreate)) return false;
    log.Close();
    return WriteRunOptions(s.handoff + QStringLiteral("config.txt"), options) &&
           CreateEmptyCalendarIds(s.handoff + QStringLiteral("cal.txt")) &&
           CreateResumeRecord(s.handoff + QStringLiteral("setting.txt"),
                              ResumeRecord{s.folderNoteId, 0, s.folderPath, 1});
}
