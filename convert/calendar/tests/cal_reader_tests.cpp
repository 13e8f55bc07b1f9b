// The calendar and contact readers over documents built with the Notes layer's DXL builder, and
// the document steps of the ICS and VCF writers (attachments, the contact photo).

#include "cal_test_support.h"
#include "common/notes/DxlBuilder.h"
#include "common/notes/Notes.h"
#include "convert/calendar/CalendarIcs.h"
#include "convert/calendar/ContactVcf.h"
#include "convert/calendar/GroupText.h"
#include "convert/richtext/TempFolder.h"

#include <libical/ical.h>

namespace {

class ReaderTest : public WriterTest {
  protected:
    void SetUp() override {
        WriterTest::SetUp();
        ASSERT_EQ(session_.Initialize(), LNNOERROR);
    }
    void TearDown() override {
        database_.Close();
        NotesMemoryDatabases::Clear();
    }

    void Open(const DxlBuilder& builder) {
        builder.Register(QStringLiteral("/mem/cal.nsf"));
        ASSERT_EQ(session_.GetDatabase(QStringLiteral("/mem/cal.nsf"), &database_), LNNOERROR);
        ASSERT_EQ(database_.Open(), LNNOERROR);
        context_.database = &database_;
    }

    LNNotesSession session_;
    LNDatabase database_;
};

void AddAppointmentForm(DxlBuilder& b, const char* dateField = "StartDate") {
    b.AddForm("Appointment", {{"Subject", "text"},
                              {dateField, "datetime"},
                              {"StartTimeZone", "timezone"},
                              {"EndTimeZone", "timezone"},
                              {"Body", "richtext"},
                              {"Location", "text"}});
}

// An entry at 10:00 in a zone two hours east of Greenwich, with everything the reader takes.
DxlDocumentBuilder& AddMeeting(DxlBuilder& b) {
    return b.AddDocument("Appointment")
        .Text("Subject", "Planning")
        .Date("StartDateTime", "20180703T100000,00+02")
        .Date("EndDateTime", "20180703T113000,00+02")
        .Text("StartTimeZone", "Z=-2$DO=0$ZX=25$ZN=E. Europe")
        .Text("EndTimeZone", "Z=-2$DO=0$ZX=25$ZN=E. Europe")
        .Number("$Alarm", 1)
        .Number("$AlarmOffset", -15)
        .Number("AppointmentType", 3)
        .Text("Body", "Agenda:\nitem one")
        .TextList("RequiredAttendees", {"CN=Bo Ek/O=Acme", "CN=Cia Lund/O=Acme"})
        .Text("Importance", "1")
        .Names("From", {"CN=Anna Berg/O=Acme"})
        .TextList("Categories", {"Work", "Planning"})
        .Text("Location", "Room 4")
        .Created("20180701T080000,00+00")
        .Modified("20180702T174530,00+00");
}

TEST_F(ReaderTest, CalendarEntryFieldsInTheReferenceZone) {
    DxlBuilder b;
    AddAppointmentForm(b);
    const NOTEID id = AddMeeting(b).Attach("agenda.pdf", "%PDF-1.4").Id();
    Open(b);

    const CalendarFields f = ReadCalendarFields(context_, id);
    EXPECT_EQ(f.StartDateText, QStringLiteral("7/3/2018 8:0:0"));
    EXPECT_EQ(f.EndDateText, QStringLiteral("7/3/2018 9:30:0"));
    EXPECT_EQ(f.StartTimeZone, QStringLiteral("Z=-2$DO=0$ZX=25$ZN=E. Europe"));
    EXPECT_EQ(f.EndTimeZone, f.StartTimeZone);
    EXPECT_EQ(f.AlarmEnabled, 1);
    EXPECT_EQ(f.AlarmOffsetMinutes, 15);
    EXPECT_EQ(f.EntryType, 3);
    EXPECT_EQ(f.Summary, QStringLiteral("Planning"));
    EXPECT_EQ(f.Body, QStringLiteral("Agenda:\nitem one"));
    EXPECT_EQ(f.BodyIsHtml, 0);
    EXPECT_EQ(f.RequiredAttendees, QStringLiteral("CN=Bo Ek/O=Acme;CN=Cia Lund/O=Acme"));
    EXPECT_EQ(f.Importance, LNIMPORTANCE_HIGH);
    EXPECT_EQ(f.CreatedDateText, QStringLiteral("7/1/2018 8:0:0"));
    EXPECT_EQ(f.LastModifiedDateText, QStringLiteral("7/2/2018 17:45:30"));
    EXPECT_EQ(f.From, QStringLiteral("Anna Berg"));
    EXPECT_EQ(f.Categories, QStringLiteral("Work;Planning"));
    EXPECT_EQ(f.Location, QStringLiteral("Room 4"));
    EXPECT_EQ(f.AttachmentNames, QStringLiteral("agenda.pdf, "));

    options_.addressTranslation = 1;
    options_.smtpPatternOn = 1;
    options_.smtpFormat = 2;
    options_.smtpDomain = QStringLiteral("acme.example");
    EXPECT_EQ(ReadCalendarFields(context_, id).From, QStringLiteral("Anna.Berg@acme.example"));
}

TEST_F(ReaderTest, CalendarDatesComeOnlyFromADateField) {
    DxlBuilder b;
    AddAppointmentForm(b, "tmpStartDate");
    const NOTEID viaTmp = AddMeeting(b).Id();
    b.AddForm("Notice", {{"Subject", "text"}, {"StartDate", "text"}});
    const NOTEID textField =
        b.AddDocument("Notice").Text("Subject", "Moved").Date("StartDateTime", "20180703T100000,00+02").Id();
    const NOTEID missing = b.AddDocument("Appointment").Id() + 1000;
    Open(b);

    EXPECT_EQ(ReadCalendarFields(context_, viaTmp).StartDateText, QStringLiteral("7/3/2018 8:0:0"));
    const CalendarFields notice = ReadCalendarFields(context_, textField);
    EXPECT_TRUE(notice.StartDateText.isEmpty());
    EXPECT_TRUE(notice.EndDateText.isEmpty());
    EXPECT_EQ(notice.Summary, QStringLiteral("Moved"));
    EXPECT_EQ(ReadCalendarFields(context_, missing), CalendarFields{});
}

TEST_F(ReaderTest, CalendarBodyFallsBackToTheRawItem) {
    DxlBuilder b;
    AddAppointmentForm(b);
    const NOTEID html = b.AddDocument("Appointment").Raw("Body", 21, QByteArray("<p>Hi</p>")).Id();
    const NOTEID emptyRichText = b.AddDocument("Appointment").RichText("Body", "").Id();
    Open(b);

    const CalendarFields fromHtml = ReadCalendarFields(context_, html);
    EXPECT_EQ(fromHtml.BodyIsHtml, 1);
    EXPECT_EQ(fromHtml.Body, QStringLiteral("<p>Hi</p>"));
    // Rich text without plain text goes through the HTML converter, flagged even when empty.
    EXPECT_EQ(ReadCalendarFields(context_, emptyRichText).BodyIsHtml, 1);
}

TEST_F(ReaderTest, EncryptedEntryIsReadOnlyWhenDecryptionIsOn) {
    DxlBuilder b;
    AddAppointmentForm(b);
    const NOTEID id =
        b.AddDocument("Appointment").Encrypted().Text("Subject", "Secret").Text("Location", "Vault").Id();
    Open(b);

    EXPECT_TRUE(ReadCalendarFields(context_, id).Summary.isEmpty());
    options_.removeEncryption = 1;
    const CalendarFields f = ReadCalendarFields(context_, id);
    EXPECT_EQ(f.Summary, QStringLiteral("Secret"));
    EXPECT_EQ(f.Location, QStringLiteral("Vault"));
}

TEST_F(ReaderTest, CalendarEntryBecomesAnIcsWithItsAttachments) {
    DxlBuilder b;
    AddAppointmentForm(b);
    const QByteArray pdf("%PDF-1.4 agenda");
    const NOTEID id = AddMeeting(b).Attach("a:b/agenda.pdf", pdf).Id();
    Open(b);

    const QString path = Path(QStringLiteral("2310t.ics"));
    ASSERT_EQ(WriteCalendarIcs(context_, id, ReadCalendarFields(context_, id), path), 1);
    const QByteArray ics = Bytes(path);
    EXPECT_EQ(ics, QByteArray("BEGIN:VCALENDAR\r\n"
                              "BEGIN:VTIMEZONE\r\n"
                              "TZID:Greenwich Mean Time\r\n"
                              "END:VTIMEZONE\r\n"
                              "BEGIN:VEVENT\r\n"
                              "CREATED:20180701T080000\r\n"
                              "DTEND;TZID=\"Greenwich Mean Time\":20180703T093000\r\n"
                              "DTSTART;TZID=\"Greenwich Mean Time\":20180703T080000\r\n"
                              "LAST-MODIFIED:20180702T174530\r\n"
                              "SUMMARY;CHARSET=utf-8:Planning\r\n"
                              "ORGANIZER;CN=\"Anna Berg\"\r\n"
                              "ATTENDEE;CN=\"CN=Bo Ek/O=Acme;CN=Cia Lund/O=Acme\"\r\n"
                              "ATTACH;ENCODING=BASE64;VALUE=BINARY;X-FILENAME=\"a b agenda.pdf\":") +
                       pdf.toBase64() +
                       "\r\n"
                       "DESCRIPTION;CHARSET=utf-8:Agenda:\\nitem one\r\n"
                       "LOCATION;CHARSET=utf-8:Room 4\r\n"
                       "CATEGORIES:Work,Planning\r\n"
                       "X-MICROSOFT-CDO-IMPORTANCE:2\r\n"
                       "BEGIN:VALARM\r\n"
                       "TRIGGER:-PT15M\r\n"
                       "ACTION:DISPLAY\r\n"
                       "DESCRIPTION:Reminder\r\n"
                       "END:VALARM\r\n"
                       "END:VEVENT\r\n"
                       "END:VCALENDAR\r\n");
    EXPECT_EQ(Logged(),
              QStringLiteral("Item Name:\tAnna Berg Planning\r\nAttachments:\ta b agenda.pdf,\r\n"));
    EXPECT_FALSE(QFile::exists(DetachFolder() + QStringLiteral("a b agenda.pdf")))
        << "detached files are removed";

    icalcomponent* calendar = icalparser_parse_string(ics.constData());
    ASSERT_NE(calendar, nullptr);
    icalcomponent* event = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(icalcomponent_count_errors(calendar), 0);
    EXPECT_EQ(icalcomponent_get_dtstart(event).hour, 8);
    icalproperty* attach = icalcomponent_get_first_property(event, ICAL_ATTACH_PROPERTY);
    ASSERT_NE(attach, nullptr);
    icalattach* value = icalproperty_get_attach(attach);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(QByteArray::fromBase64(reinterpret_cast<const char*>(icalattach_get_data(value))), pdf);
    icalcomponent_free(calendar);
}

TEST_F(ReaderTest, DocumentLinksBecomeAttachLinesBeforeTheFiles) {
    DxlBuilder b;
    AddAppointmentForm(b);
    const NOTEID id = b.AddDocument("Appointment")
                          .Text("Subject", "Linked")
                          .RichText("Body",
                                    "<par>See <doclink database='85257A6D004C2DC1' "
                                    "document='0123456789ABCDEF0123456789ABCDEF' description='Plan'/></par>")
                          .Text("$Links", "1")
                          .Attach("x.txt", "x")
                          .Id();
    Open(b);
    options_.saveDocLinks = 1;

    const QString path = Path(QStringLiteral("1t.ics"));
    ASSERT_EQ(WriteCalendarIcs(context_, id, ReadCalendarFields(context_, id), path), 1);
    const QByteArray ics = Bytes(path);
    const QByteArray linkLine = "ATTACH;ENCODING=BASE64;VALUE=BINARY;X-FILENAME=\"1.ndl\":";
    const qsizetype link = ics.indexOf(linkLine);
    ASSERT_GE(link, 0) << ics.constData();
    const qsizetype end = ics.indexOf("\r\n", link);
    const QByteArray ndl =
        QByteArray::fromBase64(ics.mid(link + linkLine.size(), end - link - linkLine.size()));
    EXPECT_TRUE(ndl.startsWith("<NDL>\r\n<REPLICA 85257A6D:004C2DC1>\r\n")) << ndl.constData();
    EXPECT_TRUE(ndl.contains("<REM>Plan</REM>"));
    EXPECT_LT(link, ics.indexOf("X-FILENAME=\"x.txt\""));
    EXPECT_EQ(Logged(),
              QStringLiteral("Item Name:\tLinked\r\nLink Documents :\t1.ndl,\r\nAttachments:\tx.txt,\r\n"));
}

void AddPersonForm(DxlBuilder& b) {
    b.AddForm("Person", {{"FirstName", "text"},
                         {"LastName", "text"},
                         {"MailAddress", "text"},
                         {"primaryAddress", "keyword"},
                         {"miscPhone1", "text"},
                         {"MiscPhone1", "text"},
                         {"Birthday", "datetime"},
                         {"StreetAddress", "text"},
                         {"Comment", "richtext"},
                         {"firstname", "text"},
                         {"Unused", "text"}});
}

TEST_F(ReaderTest, ContactFieldsFollowTheFormFields) {
    DxlBuilder b;
    AddPersonForm(b);
    b.AddForm("Group", {{"ListName", "text"},
                        {"ListDescription", "text"},
                        {"Members", "names"},
                        {"ListOwner", "names"},
                        {"Comment", "text"}});
    const NOTEID person = b.AddDocument("Person")
                              .Text("FirstName", "Anna")
                              .Text("LastName", "Berg")
                              .Text("MailAddress", "anna@acme.example")
                              .Text("primaryAddress", "Home")
                              .Text("miscPhone1", "first@x.example")
                              .Text("MiscPhone1", "second@x.example")
                              .Date("Birthday", "19800703")
                              .TextList("StreetAddress", {"Storgatan 1", "Lgh 1102"})
                              .RichText("Comment", "<par>Likes tea</par>")
                              .Text("firstname", "lower case")
                              .Attach("ContactPhoto", "png")
                              .Id();
    const NOTEID primaryWithoutItem = b.AddDocument("Person").Text("FirstName", "Bo").Id();
    b.AddForm("Contact", {{"primaryAddress", "keyword"}});
    const NOTEID otherKind = b.AddDocument("Contact").Text("primaryAddress", "Elsewhere").Id();
    const NOTEID group = b.AddDocument("Group")
                             .Text("ListName", "Team")
                             .Names("Members", {"CN=Anna Berg/O=Acme", "CN=Bo Ek/O=Acme"})
                             .Id();
    Open(b);

    const ContactFields f = ReadContactFields(context_, person);
    EXPECT_EQ(f.FirstName, QStringLiteral("Anna"));
    EXPECT_EQ(f.LastName, QStringLiteral("Berg"));
    EXPECT_EQ(f.Email1, QStringLiteral("anna@acme.example"));
    EXPECT_EQ(f.PrimaryAddressKind, 1);
    EXPECT_EQ(f.Email2, QStringLiteral("second@x.example")) << "the later field wins";
    EXPECT_EQ(f.Birthday, QStringLiteral("07/03/1980"));
    EXPECT_EQ(VcfDateValue(f.Birthday), QStringLiteral("19800703"));
    EXPECT_EQ(f.HomeStreet, QStringLiteral("Storgatan 1;Lgh 1102"));
    EXPECT_EQ(f.Comment, QStringLiteral("Likes tea\n"));
    EXPECT_TRUE(f.BodyHtml.contains(QStringLiteral("Likes tea")));
    EXPECT_EQ(f.AttachmentNames, QStringLiteral("ContactPhoto, "));

    // The kind follows the form's field: a field without an item is "any other value".
    EXPECT_EQ(ReadContactFields(context_, primaryWithoutItem).PrimaryAddressKind, 2);
    EXPECT_EQ(ReadContactFields(context_, group).PrimaryAddressKind, 0);
    EXPECT_EQ(ReadContactFields(context_, otherKind).PrimaryAddressKind, 2);
    const ContactFields g = ReadContactFields(context_, group);
    EXPECT_EQ(g.ListName, QStringLiteral("Team"));
    EXPECT_EQ(g.Members, QStringLiteral("CN=Anna Berg/O=Acme;CN=Bo Ek/O=Acme"));
    ASSERT_EQ(WriteGroupText(Path(QStringLiteral("1.txt")), g, context_), 1);
    EXPECT_EQ(
        Bytes(Path(QStringLiteral("1.txt"))).size(),
        2 + 2 * qsizetype(sizeof("Group Name: Team\r\nGroup Description: \r\nGroup Owner: \r\n"
                                 "Group Members: CN=Anna Berg/O=Acme;CN=Bo Ek/O=Acme\r\nComments: \r\n") -
                          1));
}

TEST_F(ReaderTest, ContactPhotoIsDetachedAndHandedBack) {
    DxlBuilder b;
    AddPersonForm(b);
    const QByteArray png = QByteArray::fromHex("89504e470d0a1a0a");
    const NOTEID withPhoto = b.AddDocument("Person")
                                 .Text("FirstName", "Anna")
                                 .Attach("notes.txt", "text")
                                 .Attach("ContactPhoto", png)
                                 .Id();
    const NOTEID withoutPhoto =
        b.AddDocument("Person").Text("FirstName", "Bo").Attach("contactphoto", "x").Id();
    Open(b);

    QString photoPath = QStringLiteral("unchanged");
    const QString vcfPath = Path(QStringLiteral("1.vcf"));
    ASSERT_EQ(
        WriteContactVcf(context_, withPhoto, ReadContactFields(context_, withPhoto), vcfPath, photoPath), 1);
    EXPECT_EQ(photoPath, DetachFolder() + QStringLiteral("ContactPhoto"));
    QFile photo(photoPath);
    ASSERT_TRUE(photo.open(QIODevice::ReadOnly));
    EXPECT_EQ(photo.readAll(), png);
    EXPECT_TRUE(
        Bytes(vcfPath).endsWith("PHOTO;ENCODING=BASE64:\r\n " + png.toBase64() + "\r\n\r\nEND:VCARD\r\n"));
    EXPECT_EQ(Logged(), QStringLiteral("Item Name:\tAnna \r\nAttachments:\tContactPhoto,\r\n"));

    photoPath = QStringLiteral("unchanged");
    ASSERT_EQ(WriteContactVcf(context_, withoutPhoto, ReadContactFields(context_, withoutPhoto), vcfPath,
                              photoPath),
              1);
    EXPECT_EQ(photoPath, QStringLiteral("unchanged"));
    EXPECT_FALSE(Bytes(vcfPath).contains("PHOTO"));
    EXPECT_TRUE(Logged().endsWith(QStringLiteral("Item Name:\tBo \r\nAttachments:\t\r\n")));
}

}  // namespace
