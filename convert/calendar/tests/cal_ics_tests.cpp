// The ICS writer: its line layout and order, the date values, the encodings, the document
// steps' place in the file, the failure paths, and what libical reads back.

#include "cal_test_support.h"
#include "convert/calendar/CalendarIcs.h"

#include <libical/ical.h>

#include <string>
#include <vector>

namespace {

CalendarFields FullEntry() {
    CalendarFields f;
    f.From = QStringLiteral("Anna Berg");
    f.StartDateText = QStringLiteral("7/3/2018 9:5:0");
    f.EndDateText = QStringLiteral("7/3/2018 10:30:0");
    f.StartTimeZone = QStringLiteral("Z=-1$DO=1$DL=3 -1 1 10 -1 1$ZX=11$ZN=W. Europe");
    f.EndTimeZone = f.StartTimeZone;
    f.Location = QStringLiteral("Room 4 – Café");
    f.AlarmEnabled = 1;
    f.AlarmOffsetMinutes = 15;
    f.RequiredAttendees = QStringLiteral("Bo Ek;Cia Lund");
    f.Body = QStringLiteral("Agenda:\nitem one");
    f.Summary = QStringLiteral("Planning ✓");
    f.Categories = QStringLiteral("Work;Planning");
    f.CreatedDateText = QStringLiteral("7/1/2018 8:0:0");
    f.LastModifiedDateText = QStringLiteral("7/2/2018 17:45:30");
    f.Importance = 1;
    return f;
}

QByteArray Lines(const std::vector<std::string>& lines) {
    QByteArray out;
    for (const std::string& line : lines) out += QByteArray::fromStdString(line) + "\r\n";
    return out;
}

const std::vector<std::string> kFullEntryLines = {
    "BEGIN:VCALENDAR",
    "BEGIN:VTIMEZONE",
    "TZID:Greenwich Mean Time",
    "END:VTIMEZONE",
    "BEGIN:VEVENT",
    "CREATED:20180701T080000",
    "DTEND;TZID=\"Greenwich Mean Time\":20180703T103000",
    "DTSTART;TZID=\"Greenwich Mean Time\":20180703T090500",
    "LAST-MODIFIED:20180702T174530",
    "SUMMARY;CHARSET=utf-8:Planning ✓",
    "ORGANIZER;CN=\"Anna Berg\"",
    "ATTENDEE;CN=\"Bo Ek;Cia Lund\"",
    "DESCRIPTION;CHARSET=utf-8:Agenda:\\nitem one",
    "LOCATION;CHARSET=utf-8:Room 4 – Café",
    "CATEGORIES:Work,Planning",
    "X-MICROSOFT-CDO-IMPORTANCE:1",
    "BEGIN:VALARM",
    "TRIGGER:-PT15M",
    "ACTION:DISPLAY",
    "DESCRIPTION:Reminder",
    "END:VALARM",
    "END:VEVENT",
    "END:VCALENDAR",
};

class IcsWriterTest : public WriterTest {
  protected:
    QByteArray Write(const CalendarFields& f, const IcsAttachStep& links = {},
                     const IcsAttachStep& files = {}) {
        EXPECT_EQ(WriteCalendarIcsFile(Path(QStringLiteral("1t.ics")), f, context_, links, files), 1);
        const QByteArray ics = Bytes(Path(QStringLiteral("1t.ics")));
        ExpectLibicalAccepts(ics);
        return ics;
    }

    // Every file written here must be one event to libical, without a property it rejects.
    static void ExpectLibicalAccepts(const QByteArray& ics) {
        icalcomponent* calendar = icalparser_parse_string(ics.constData());
        ASSERT_NE(calendar, nullptr) << ics.constData();
        EXPECT_EQ(icalcomponent_count_components(calendar, ICAL_VEVENT_COMPONENT), 1);
        EXPECT_EQ(icalcomponent_count_errors(calendar), 0) << icalcomponent_as_ical_string(calendar);
        icalcomponent_free(calendar);
    }
};

TEST(IcsDateValue, PadsEveryPartButTheYear) {
    const struct {
        const char* text;
        const char* value;
    } cases[] = {
        {"7/3/2018 9:5:0", "20180703T090500"},
        {"1/1/2019 0:0:0", "20190101T000000"},
        {"12/31/2020 23:59:59", "20201231T235959"},
        {"07/03/2018 09:05:00", "20180703T090500"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IcsDateValue(QString::fromLatin1(c.text)), QByteArray(c.value)) << c.text;
}

TEST_F(IcsWriterTest, FullEntryGivesTheLinesInTheirOrder) {
    EXPECT_EQ(Write(FullEntry()), Lines(kFullEntryLines));
    EXPECT_EQ(Logged(), QStringLiteral("Item Name:\tAnna Berg Planning ✓\r\n"));
    EXPECT_EQ(counters_.errors, 0u);
}

TEST_F(IcsWriterTest, OptionalLinesFollowTheirMembers) {
    CalendarFields alarmWithoutOffset;
    alarmWithoutOffset.AlarmEnabled = 1;
    CalendarFields alarmAfterStart;
    alarmAfterStart.AlarmEnabled = 1;
    alarmAfterStart.AlarmOffsetMinutes = -10;
    CalendarFields crLfBody;
    crLfBody.Body = QStringLiteral("one\r\ntwo");
    CalendarFields brokenLines;
    brokenLines.Summary = QStringLiteral("a\r\nb");
    brokenLines.Location = QStringLiteral("c\nd");
    brokenLines.Categories = QStringLiteral("x\ny;z");
    CalendarFields startWithoutZone;
    startWithoutZone.StartDateText = QStringLiteral("1/1/2019 0:0:0");

    const struct {
        const char* name;
        CalendarFields fields;
        std::vector<std::string> lines;
    } cases[] = {
        {"empty entry",
         CalendarFields{},
         {"BEGIN:VCALENDAR", "BEGIN:VTIMEZONE", "END:VTIMEZONE", "BEGIN:VEVENT", "CATEGORIES:NONE",
          "X-MICROSOFT-CDO-IMPORTANCE:0", "END:VEVENT", "END:VCALENDAR"}},
        {"alarm with offset 0",
         alarmWithoutOffset,
         {"BEGIN:VCALENDAR", "BEGIN:VTIMEZONE", "END:VTIMEZONE", "BEGIN:VEVENT", "CATEGORIES:NONE",
          "X-MICROSOFT-CDO-IMPORTANCE:0", "BEGIN:VALARM", "ACTION:DISPLAY", "DESCRIPTION:Reminder",
          "END:VALARM", "END:VEVENT", "END:VCALENDAR"}},
        {"alarm after the start",
         alarmAfterStart,
         {"BEGIN:VCALENDAR", "BEGIN:VTIMEZONE", "END:VTIMEZONE", "BEGIN:VEVENT", "CATEGORIES:NONE",
          "X-MICROSOFT-CDO-IMPORTANCE:0", "BEGIN:VALARM", "TRIGGER:PT10M", "ACTION:DISPLAY",
          "DESCRIPTION:Reminder", "END:VALARM", "END:VEVENT", "END:VCALENDAR"}},
        {"CR LF body keeps its CR",
         crLfBody,
         {"BEGIN:VCALENDAR", "BEGIN:VTIMEZONE", "END:VTIMEZONE", "BEGIN:VEVENT",
          "DESCRIPTION;CHARSET=utf-8:one\r\\ntwo", "CATEGORIES:NONE", "X-MICROSOFT-CDO-IMPORTANCE:0",
          "END:VEVENT", "END:VCALENDAR"}},
        {"line breaks in one-line values",
         brokenLines,
         {"BEGIN:VCALENDAR", "BEGIN:VTIMEZONE", "END:VTIMEZONE", "BEGIN:VEVENT", "SUMMARY;CHARSET=utf-8:a b",
          "LOCATION;CHARSET=utf-8:c d", "CATEGORIES:x y,z", "X-MICROSOFT-CDO-IMPORTANCE:0", "END:VEVENT",
          "END:VCALENDAR"}},
        {"start without a zone item",
         startWithoutZone,
         {"BEGIN:VCALENDAR", "BEGIN:VTIMEZONE", "END:VTIMEZONE", "BEGIN:VEVENT",
          "DTSTART;TZID=\"Greenwich Mean Time\":20190101T000000", "CATEGORIES:NONE",
          "X-MICROSOFT-CDO-IMPORTANCE:0", "END:VEVENT", "END:VCALENDAR"}},
    };
    for (const auto& c : cases) EXPECT_EQ(Write(c.fields), Lines(c.lines)) << c.name;
}

TEST_F(IcsWriterTest, PeopleAreAnsiUnlessTheCodePageLosesCharacters) {
    CalendarFields f;
    f.From = QStringLiteral("José \"Pepe\" Ruiz");
    f.RequiredAttendees = QStringLiteral("Иван Петров;Zoë");
    const QByteArray ics = Write(f);
    EXPECT_TRUE(ics.contains("ORGANIZER;CN=\"Jos\xE9 'Pepe' Ruiz\"\r\n"));
    EXPECT_TRUE(
        ics.contains(QByteArray("ATTENDEE;CN=\"") + QStringLiteral("Иван Петров;Zoë").toUtf8() + "\"\r\n"));
}

TEST_F(IcsWriterTest, DocumentStepsWriteBetweenPeopleAndDescription) {
    CalendarFields f = FullEntry();
    f.AttachmentNames = QStringLiteral("agenda.pdf, ");
    const IcsAttachStep links = [this](LineFile& ics) {
        log_.Write(QStringLiteral("Link Documents :\t1.ndl,\r\n"));
        ics.Line("ATTACH;ENCODING=BASE64;VALUE=BINARY;X-FILENAME=\"1.ndl\":PE5ETD4=");
    };
    const IcsAttachStep files = [this](LineFile& ics) {
        log_.Write(QStringLiteral("agenda.pdf,"));
        ics.Line("ATTACH;ENCODING=BASE64;VALUE=BINARY;X-FILENAME=\"agenda.pdf\":JVBERg==");
    };

    std::vector<std::string> lines = kFullEntryLines;
    lines.insert(lines.begin() + 12,
                 "ATTACH;ENCODING=BASE64;VALUE=BINARY;X-FILENAME=\"agenda.pdf\":JVBERg==");
    const QString attachmentsLog =
        QStringLiteral("Item Name:\tAnna Berg Planning ✓\r\nAttachments:\tagenda.pdf,\r\n");
    EXPECT_EQ(Write(f, links, files), Lines(lines)) << "links are skipped while saveDocLinks is 0";
    EXPECT_EQ(Logged(), attachmentsLog);

    options_.saveDocLinks = 1;
    lines.insert(lines.begin() + 12, "ATTACH;ENCODING=BASE64;VALUE=BINARY;X-FILENAME=\"1.ndl\":PE5ETD4=");
    EXPECT_EQ(Write(f, links, files), Lines(lines));
    EXPECT_EQ(Logged(),
              attachmentsLog + QStringLiteral("Item Name:\tAnna Berg Planning ✓\r\n"
                                              "Link Documents :\t1.ndl,\r\nAttachments:\tagenda.pdf,\r\n"));
}

TEST_F(IcsWriterTest, FailuresCountAnErrorAndLogTheirLine) {
    for (const std::uint8_t counterMode : {std::uint8_t{0}, std::uint8_t{1}}) {
        options_.counterMode = counterMode;
        counters_ = {};
        const QString before = Logged();
        EXPECT_EQ(WriteCalendarIcsFile(BadPath(QStringLiteral("1t.ics")), FullEntry(), context_, {}, {}), 0);
        EXPECT_EQ(Logged(),
                  before + QStringLiteral("ERROR:Invalid Path. Calendar Entry cannot be dump. \r\n"));
        ExpectErrorCounted(counters_, counterMode);
    }

    counters_ = {};
    const QString before = Logged();
    const IcsAttachStep throwing = [](LineFile&) { throw 42; };
    CalendarFields f = FullEntry();
    f.AttachmentNames = QStringLiteral("a, ");
    EXPECT_EQ(WriteCalendarIcsFile(Path(QStringLiteral("2t.ics")), f, context_, {}, throwing), 0);
    EXPECT_EQ(Logged(), before + QStringLiteral("Item Name:\tAnna Berg Planning ✓\r\nAttachments:\t"
                                                "ERROR:Calendar Entry is Not Dump \r\n"));
    EXPECT_TRUE(Bytes(Path(QStringLiteral("2t.ics"))).startsWith("BEGIN:VCALENDAR\r\n"))
        << "the partial file stays";
    ExpectErrorCounted(counters_, 1);
}

TEST_F(IcsWriterTest, FullDiskIsAFailureNotASuccess) {
    if (!QFile::exists(QStringLiteral("/dev/full"))) GTEST_SKIP() << "no /dev/full";
    EXPECT_EQ(WriteCalendarIcsFile(QStringLiteral("/dev/full"), FullEntry(), context_, {}, {}), 0);
    EXPECT_TRUE(Logged().endsWith(QStringLiteral("ERROR:Calendar Entry is Not Dump \r\n")));
}

// libical, an independent reader, finds the event, its times, people and texts.
TEST_F(IcsWriterTest, LibicalReadsTheEntryBack) {
    const QByteArray ics = Write(FullEntry());
    icalcomponent* calendar = icalparser_parse_string(ics.constData());
    ASSERT_NE(calendar, nullptr);
    icalcomponent* event = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(icalcomponent_count_errors(calendar), 0);

    EXPECT_STREQ(icalcomponent_get_summary(event), "Planning ✓");
    EXPECT_STREQ(icalcomponent_get_description(event), "Agenda:\nitem one");
    EXPECT_STREQ(icalcomponent_get_location(event), "Room 4 – Café");
    const icaltimetype start = icalcomponent_get_dtstart(event);
    EXPECT_EQ(start.year, 2018);
    EXPECT_EQ(start.month, 7);
    EXPECT_EQ(start.day, 3);
    EXPECT_EQ(start.hour, 9);
    EXPECT_EQ(start.minute, 5);
    EXPECT_EQ(icalcomponent_get_dtend(event).minute, 30);

    icalproperty* modified = icalcomponent_get_first_property(event, ICAL_LASTMODIFIED_PROPERTY);
    ASSERT_NE(modified, nullptr);
    EXPECT_EQ(icalproperty_get_lastmodified(modified).hour, 17);
    icalproperty* organizer = icalcomponent_get_first_property(event, ICAL_ORGANIZER_PROPERTY);
    ASSERT_NE(organizer, nullptr);
    EXPECT_NE(std::string(icalproperty_get_value_as_string(organizer)).find("Anna Berg"), std::string::npos);
    icalproperty* attendee = icalcomponent_get_first_property(event, ICAL_ATTENDEE_PROPERTY);
    ASSERT_NE(attendee, nullptr);
    EXPECT_NE(std::string(icalproperty_get_value_as_string(attendee)).find("Bo Ek;Cia Lund"),
              std::string::npos);
    std::vector<std::string> categories;
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_CATEGORIES_PROPERTY); p != nullptr;
         p = icalcomponent_get_next_property(event, ICAL_CATEGORIES_PROPERTY))
        categories.emplace_back(icalproperty_get_categories(p));
    EXPECT_EQ(categories, (std::vector<std::string>{"Work", "Planning"}));

    icalcomponent* alarm = icalcomponent_get_first_component(event, ICAL_VALARM_COMPONENT);
    ASSERT_NE(alarm, nullptr);
    icalproperty* trigger = icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY);
    ASSERT_NE(trigger, nullptr);
    EXPECT_EQ(icaldurationtype_as_int(icalproperty_get_trigger(trigger).duration), -15 * 60);
    icalcomponent_free(calendar);
}

}  // namespace
