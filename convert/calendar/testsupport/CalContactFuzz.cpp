#include "convert/calendar/testsupport/CalContactFuzz.h"

#include "common/notes/Notes.h"
#include "convert/calendar/CalendarIcs.h"
#include "convert/calendar/ContactVcf.h"
#include "convert/mail/ConvertContext.h"
#include "convert/calendar/GroupText.h"
#include "convert/richtext/TempFolder.h"

#include <QByteArray>

int FuzzCalendarContactConversion(const std::uint8_t* data, std::size_t size) {
    static LNNotesSession session;
    if (!session.IsInitialized() && session.Initialize() != LNNOERROR) return 0;
    const QString scratch = PrivateTempFolder(QStringLiteral("cal-fuzz"));
    if (scratch.isEmpty()) return 0;
    const QString dbPath = QStringLiteral("/mem/cal-fuzz.nsf");
    NotesMemoryDatabases::Add(dbPath,
                              QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    LNDatabase database;
    std::vector<NOTEID> ids;
    int opened = 0;
    if (session.GetDatabase(dbPath, &database) == LNNOERROR && database.Open() == LNNOERROR &&
        database.GetDocumentIDs(&ids) == LNNOERROR) {
        RunOptions options;
        options.removeEncryption = 1;
        options.saveDocLinks = 1;
        RunCounts counts;
        ConvertContext context{&database, &options, nullptr, &counts};
        opened = 1;
        for (const NOTEID id : ids) {
            const CalendarFields entry = ReadCalendarFields(context, id);
            WriteCalendarIcs(context, id, entry, scratch + QStringLiteral("fuzz.ics"));
            const ContactFields contact = ReadContactFields(context, id);
            QString photoPath;
            WriteContactVcf(context, id, contact, scratch + QStringLiteral("fuzz.vcf"), photoPath);
            WriteGroupText(scratch + QStringLiteral("fuzz.txt"), contact, context);
        }
    }
    database.Close();
    NotesMemoryDatabases::Remove(dbPath);
    return opened;
}
