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
