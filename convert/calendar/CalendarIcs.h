#pragma once
// Calendar entries ("Appointment", "Notice", "(ReplyNotice)") as one VCALENDAR with one VEVENT.
// The calendar run reads an entry into a CalendarFields record, sets the appointment's
// properties from it, writes the ICS file and imports that file into the appointment.

#include "common/notes/LNStatus.h"
#include "convert/calendar/InterchangeText.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>

// Texts are UTF-16; an empty text means absent. Dates are month/day/year hour:minute:second
// without leading zeros.
struct CalendarFields {
    QString From;
    QString EndDateText;      // in the reference zone ("Greenwich Mean Time")
    QString AttachmentNames;  // every name followed by ", "
    QString StartTimeZone;
    QString EndTimeZone;
    QString Location;
    std::uint8_t AlarmEnabled = 0;
    std::int32_t AlarmOffsetMinutes = 0;
    QString StartDateText;  // in the reference zone
    std::int32_t EntryType = 0;
    QString RequiredAttendees;
    std::uint8_t BodyIsHtml = 0;
    QString Body;
    QString Summary;
    QString Categories;  // joined with ";"
    QString CreatedDateText;
    QString LastModifiedDateText;
    std::int32_t Importance = 0;

    // Read by the appointment property setter of the calendar run; the reader never fills them
    // (calendar entries carry their people in RequiredAttendees and From), so they stay empty.
    QString To, CC, BCC, OptionalAttendees, PlainBody;
    std::uint8_t HasPlainBody = 0;
    // Set by the calendar run after reading, like the read flag of the other records.
    std::uint8_t ReadFlag = 0;

    void Reset() { *this = CalendarFields{}; }  // every text empty, every number 0
    bool operator==(const CalendarFields&) const = default;
};

// The name the file gives the reference zone, time-zone code 0 of the Notes platform.
inline constexpr const char* kReferenceZoneName = "Greenwich Mean Time";

// "7/3/2018 9:5:0" -> "20180703T090500": year, month and day padded to two digits, "T", then
// hour, minute and second padded to two digits. Parts that are missing stay empty.
QByteArray IcsDateValue(const QString& dateText);

// Steps of the writer that need the document again (document links, file attachments): each
// receives the open ICS file and writes its ATTACH lines and log lines.
using IcsAttachStep = std::function<void(LineFile&)>;

// The writer proper, over a record and the two document steps (either may be empty). Returns
// 1 on success and 0 on failure, logging and counting as the calendar run expects.
int WriteCalendarIcsFile(const QString& icsPath, const CalendarFields& fields, const ConvertContext& context,
                         const IcsAttachStep& docLinks, const IcsAttachStep& attachments);

// Reads the calendar entry `noteId` of the context's database into a fresh record: the date
// range from the form's "StartDate"/"tmpStartDate" field (type 46) converted to the reference
// zone, the zone items, alarm, entry type, descriptions, attendees, the body fall-backs,
// importance, dates, organizer (merged or translated), categories, location, attachment names.
// Nothing is logged; a document that cannot be opened gives the empty record. A Notes status
// thrown while reading ends the read and is stored in *thrown (0 otherwise).
CalendarFields ReadCalendarFields(const ConvertContext& context, NOTEID noteId, LNSTATUS* thrown = nullptr);

// Writes the ICS file for the record, reopening the document for its links (saveDocLinks 1)
// and attachments, which become ATTACH lines. 1 on success, 0 on failure.
int WriteCalendarIcs(const ConvertContext& context, NOTEID noteId, const CalendarFields& fields,
                     const QString& icsPath);
