// The sample mail database end to end: every calendar entry becomes an ICS file that libical
// reads as one event with the entry's texts; every contact and group gets its file.

#include "cal_sample_support.h"

#include <libical/ical.h>

namespace {

TEST_F(SampleTest, EveryCalendarEntryIsOneEventToLibical) {
    const ConvertedSamples samples = ConvertAll();
    ASSERT_GE(samples.entries.size(), 3u);
    int alarms = 0, attachments = 0, zoned = 0;
    for (const auto& [f, path] : samples.entries) {
        const QByteArray ics = Bytes(path);
        icalcomponent* calendar = icalparser_parse_string(ics.constData());
        ASSERT_NE(calendar, nullptr) << path.toStdString();
        icalcomponent* event = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT);
        ASSERT_NE(event, nullptr) << ics.constData();
        EXPECT_EQ(icalcomponent_count_errors(calendar), 0) << icalcomponent_as_ical_string(calendar);
        if (!f.Summary.trimmed().isEmpty()) {
            EXPECT_EQ(QString::fromUtf8(icalcomponent_get_summary(event)), OneLine(f.Summary))
                << ics.constData();
        }
        if (!f.StartDateText.isEmpty()) {
            ++zoned;
            EXPECT_EQ(QByteArray(icaltime_as_ical_string(icalcomponent_get_dtstart(event))),
                      IcsDateValue(f.StartDateText));
        }
        alarms += icalcomponent_get_first_component(event, ICAL_VALARM_COMPONENT) != nullptr;
        attachments += icalcomponent_count_properties(event, ICAL_ATTACH_PROPERTY) > 0;
        icalcomponent_free(calendar);
    }
    EXPECT_GT(alarms, 0);
    EXPECT_GT(attachments, 0);
    EXPECT_GT(zoned, 0);
    EXPECT_EQ(counters_.errors, 0u) << Logged().toStdString();
}

// A repeating meeting as Domino's exporter writes it (data/domino-mail.dxl), written at
// +01:00 and without the form's design: libical finds the instant, 09:00 in the reference zone.
TEST_F(SampleTest, ADominoExportedMeetingKeepsItsInstant) {
    database_.Close();
    ASSERT_EQ(session_.GetDatabase(QStringLiteral(CAL_SAMPLE_DIR "/domino-mail.dxl"), &database_), LNNOERROR);
    ASSERT_EQ(database_.Open(), LNNOERROR);
    const NOTEID meeting = 0x90E;
    const CalendarFields f = ReadCalendarFields(context_, meeting);
    const QString path = Path(QStringLiteral("meeting.ics"));
    ASSERT_EQ(WriteCalendarIcs(context_, meeting, f, path), 1);
    const QByteArray ics = Bytes(path);
    icalcomponent* calendar = icalparser_parse_string(ics.constData());
    ASSERT_NE(calendar, nullptr);
    icalcomponent* event = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT);
    ASSERT_NE(event, nullptr) << ics.constData();
    EXPECT_EQ(icalcomponent_count_errors(calendar), 0) << icalcomponent_as_ical_string(calendar);
    EXPECT_STREQ(icalcomponent_get_summary(event), "Weekly sync");
    EXPECT_STREQ(icaltime_as_ical_string(icalcomponent_get_dtstart(event)), "20190318T090000");
    EXPECT_STREQ(icaltime_as_ical_string(icalcomponent_get_dtend(event)), "20190318T100000");
    icalproperty* start = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
    ASSERT_NE(start, nullptr);
    icalparameter* zone = icalproperty_get_first_parameter(start, ICAL_TZID_PARAMETER);
    ASSERT_NE(zone, nullptr);
    EXPECT_STREQ(icalparameter_get_tzid(zone), "Greenwich Mean Time");
    icalcomponent_free(calendar);
}

TEST_F(SampleTest, ContactsAndGroupsGetTheirFiles) {
    const ConvertedSamples samples = ConvertAll();
    ASSERT_FALSE(samples.contacts.empty());
    ASSERT_FALSE(samples.groups.empty());
    for (const auto& [f, path] : samples.contacts) {
        const QByteArray vcf = Bytes(path);
        EXPECT_TRUE(vcf.startsWith("BEGIN:VCARD\r\n")) << path.toStdString();
        EXPECT_TRUE(vcf.endsWith("END:VCARD\r\n"));
        EXPECT_EQ(vcf.contains("\r\nN;CHARSET=utf-8:"), !f.FirstName.isEmpty() || !f.LastName.isEmpty());
        EXPECT_EQ(vcf.count("\r\nADR;"), 3);
    }
    EXPECT_FALSE(samples.photoPaths.empty()) << "the sample contact with \"ContactPhoto\"";
    for (const QString& photo : samples.photoPaths) EXPECT_GT(QFile(photo).size(), 0);
    for (const auto& [f, path] : samples.groups)
        EXPECT_TRUE(Bytes(path).startsWith(QByteArray("\xFF\xFEG\0r\0o\0u\0p\0", 12)));
}

}  // namespace
