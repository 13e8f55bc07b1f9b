// Seeded random mutations of a small DXL database with a calendar entry, a contact and a group,
// run through the readers and writers: none may crash, hang or trip a sanitizer.

#include "cal_test_support.h"
#include "common/notes/DxlBuilder.h"
#include "convert/calendar/testsupport/CalContactFuzz.h"
#include "convert/calendar/CalendarIcs.h"

#include <libical/ical.h>

#include <cstdio>
#include <random>

namespace {

QByteArray SeedDatabase() {
    DxlBuilder b;
    b.AddForm("Appointment",
              {{"StartDate", "datetime"}, {"StartTimeZone", "timezone"}, {"Body", "richtext"}});
    b.AddDocument("Appointment")
        .Text("Subject", "Plan\r\nEND:VEVENT \"x\"")
        .Date("StartDateTime", "20180703T100000,00+02")
        .Date("EndDateTime", "20180703T113000,00+02")
        .Text("StartTimeZone", "Z=-2$DO=0")
        .Number("$Alarm", 1)
        .Number("$AlarmOffset", -15)
        .RichText("Body",
                  "<par>Hi <doclink database='85257A6D004C2DC1' document='0123456789ABCDEF0123456789ABCDEF' "
                  "description='d'/></par>")
        .Text("$Links", "1")
        .Attach("a:b.txt", "bytes");
    b.AddForm("Person", {{"FirstName", "text"},
                         {"Birthday", "datetime"},
                         {"Comment", "richtext"},
                         {"primaryAddress", "keyword"}});
    b.AddDocument("Person")
        .Text("FirstName", "Ann=41")
        .Date("Birthday", "19800703")
        .RichText("Comment", "<par>x</par>")
        .Text("primaryAddress", "Home")
        .Attach("ContactPhoto", "png");
    b.AddDocument("Group").Text("ListName", "Team").Names("Members", {"CN=A/O=B"});
    return b.ToDxl();
}

TEST(CalContactFuzz, MutatedDatabasesConvertWithoutFault) {
    // Detaching syncs every file to disk; a memory file system keeps the inputs fast.
    const bool memory = QDir(QStringLiteral("/dev/shm")).exists();
    QTemporaryDir scratch(memory ? QStringLiteral("/dev/shm/cal-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/cal-fuzz-XXXXXX"));
    ASSERT_TRUE(scratch.isValid());
    qputenv("TMPDIR", QFile::encodeName(scratch.path()));
    const QByteArray seed = SeedDatabase();
    std::mt19937 random(20261211);
    int opened = 0;
#if defined(__SANITIZE_ADDRESS__)
    constexpr int kInputs = 400;  // the sanitizer build runs about four times slower
#else
    constexpr int kInputs = 1200;
#endif
    for (int n = 0; n < kInputs; ++n) {
        QByteArray input = seed;
        const int edits = 1 + static_cast<int>(random() % 8);
        for (int e = 0; e < edits && !input.isEmpty(); ++e) {
            const auto at = static_cast<qsizetype>(random() % static_cast<std::uint32_t>(input.size()));
            switch (random() % 16) {
                case 0:
                    input[at] = static_cast<char>(random());
                    break;
                case 1:
                    input.remove(at, static_cast<qsizetype>(random() % 16));
                    break;
                case 2:
                    input.insert(
                        at,
                        input.mid(static_cast<qsizetype>(random() % static_cast<std::uint32_t>(input.size())),
                                  32));
                    break;
                default: {
                    // Inside a text value, where the XML stays well formed and the odd characters
                    // reach the readers and writers.
                    const qsizetype text = input.indexOf('>', at);
                    if (text >= 0 && text + 1 < input.size() && input[text + 1] != '<')
                        input.insert(text + 1, QByteArray(1 + static_cast<int>(random() % 6),
                                                          "\r\n\"=;:,/"[random() % 8]));
                    break;
                }
            }
        }
        const QString ics = scratch.path() + QStringLiteral("/cal-fuzz/fuzz.ics");
        QFile::remove(ics);
        if (FuzzCalendarContactConversion(reinterpret_cast<const std::uint8_t*>(input.constData()),
                                          static_cast<std::size_t>(input.size())) == 0)
            continue;
        ++opened;
        // The last document's ICS, whatever the mutation did to it, is one event to libical.
        QFile file(ics);
        if (!file.open(QIODevice::ReadOnly)) continue;
        const QByteArray bytes = file.readAll();
        icalcomponent* calendar = icalparser_parse_string(bytes.constData());
        ASSERT_NE(calendar, nullptr) << bytes.constData();
        EXPECT_EQ(icalcomponent_count_components(calendar, ICAL_VEVENT_COMPONENT), 1) << bytes.constData();
        EXPECT_EQ(icalcomponent_count_errors(calendar), 0) << icalcomponent_as_ical_string(calendar);
        icalcomponent_free(calendar);
    }
    // Most inputs must reach the conversion, or the test only exercises the XML reader.
    EXPECT_GT(opened, kInputs / 3);
    std::printf("%d of %d mutated databases opened and were converted\n", opened, kInputs);
}

// Texts made of the characters that carry meaning in a content line, plus non-ASCII ones.
QString RandomText(std::mt19937& random) {
    static const char16_t kAlphabet[] = u"ab \r\n\t\"=;:,\\/éЖ漢";
    QString text;
    const int length = static_cast<int>(random() % 24);
    for (int i = 0; i < length; ++i)
        text += QChar(kAlphabet[random() % (sizeof(kAlphabet) / sizeof(char16_t) - 1)]);
    if (random() % 8 == 0) text += QStringLiteral("\r\nEND:VEVENT\r\nBEGIN:VEVENT");
    return text;
}

using IcsPropertyTest = WriterTest;

// Whatever the texts of an entry hold, libical finds one event and no broken property.
TEST_F(IcsPropertyTest, RandomTextsNeverBreakTheEvent) {
    std::mt19937 random(7);
    constexpr int kRecords = 250;
    for (int n = 0; n < kRecords; ++n) {
        CalendarFields f;
        for (QString* text : {&f.From, &f.Location, &f.RequiredAttendees, &f.Body, &f.Summary, &f.Categories,
                              &f.StartTimeZone})
            *text = RandomText(random);
        f.StartDateText = QStringLiteral("7/3/2018 9:5:0");
        f.AlarmEnabled = static_cast<std::uint8_t>(random() % 2);
        f.AlarmOffsetMinutes = static_cast<std::int32_t>(random() % 200) - 100;
        const QString path = Path(QStringLiteral("p.ics"));
        ASSERT_EQ(WriteCalendarIcsFile(path, f, context_, {}, {}), 1);
        const QByteArray ics = Bytes(path);
        icalcomponent* calendar = icalparser_parse_string(ics.constData());
        ASSERT_NE(calendar, nullptr) << ics.constData();
        EXPECT_EQ(icalcomponent_count_components(calendar, ICAL_VEVENT_COMPONENT), 1) << ics.constData();
        EXPECT_EQ(icalcomponent_count_errors(calendar), 0) << icalcomponent_as_ical_string(calendar);
        icalcomponent_free(calendar);
    }
}

}  // namespace
