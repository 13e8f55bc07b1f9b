// The sample databases of data/, built with DxlBuilder (see generate_samples.cpp).
#include "data/Samples.h"

#include <QByteArray>
#include <QString>

#include <string>
#include <vector>

namespace {

// A tiny GIF (1x1, red) for pictures and the contact photo.
QByteArray Gif() {
    return QByteArray::fromBase64("R0lGODlhAQABAIABAP8AAP///ywAAAAAAQABAAACAkQBADs=");
}

std::string Picture() {
    return "<picture height='1px' width='1px'><gif>" + Gif().toBase64().toStdString() + "</gif></picture>";
}

const char* kReplica = "85257A6D004C2DC1";

void MailForms(DxlBuilder& b) {
    b.AddForm("Memo", {{"From", "names"},
                       {"SendTo", "names"},
                       {"CopyTo", "names"},
                       {"BlindCopyTo", "names"},
                       {"Subject", "text"},
                       {"Body", "richtext"}});
    b.AddForm("Reply", {{"From", "names"}, {"SendTo", "names"}, {"Subject", "text"}, {"Body", "richtext"}});
    b.AddForm(
        "Task",
        {{"Subject", "text"}, {"StartDate", "datetime"}, {"DueDate", "datetime"}, {"Body", "richtext"}});
    b.AddForm("Appointment", {{"Subject", "text"},
                              {"StartDate", "datetime"},
                              {"StartTimeZone", "timezone"},
                              {"EndTimeZone", "timezone"},
                              {"Location", "text"},
                              {"Body", "richtext"}});
    b.AddForm("Notice", {{"Subject", "text"},
                         {"StartDate", "datetime"},
                         {"StartTimeZone", "timezone"},
                         {"Body", "richtext"}});
}

std::vector<std::pair<std::string, std::string>> PersonFields() {
    return {{"FullNameInput", "text"},
            {"primaryAddress", "keyword"},
            {"CompanyName", "text"},
            {"JobTitle", "text"},
            {"FirstName", "text"},
            {"MiddleInitial", "text"},
            {"LastName", "text"},
            {"Title", "keyword"},
            {"Suffix", "keyword"},
            {"MailAddress", "text"},
            {"email_1", "text"},
            {"primaryPhoneNumber", "text"},
            {"miscPhone1", "text"},
            {"MiscPhone2", "text"},
            {"miscPhone3", "text"},
            {"email_5", "text"},
            {"OfficePhoneNumber", "text"},
            {"PhoneNumber", "text"},
            {"CellPhoneNumber", "text"},
            {"OfficeFAXPhoneNumber", "text"},
            {"PhoneNumber_6", "text"},
            {"PhoneNumber_8", "text"},
            {"HomeFaxPhoneNumber", "text"},
            {"PersPager", "text"},
            {"PhoneNumber_9", "text"},
            {"PhoneNumber_10", "text"},
            {"SametimeLogin", "text"},
            {"Department", "text"},
            {"Location", "text"},
            {"Manager", "names"},
            {"Assistant", "names"},
            {"Website", "text"},
            {"Blogsite", "text"},
            {"Spouse", "text"},
            {"Children", "text"},
            {"Birthday", "datetime"},
            {"Anniversary", "datetime"},
            {"Custom1", "text"},
            {"Custom2", "text"},
            {"Custom3", "text"},
            {"OfficeStreetAddress", "text"},
            {"OfficeCity", "text"},
            {"OfficeState", "text"},
            {"OfficeZip", "text"},
            {"OfficeCountry", "text"},
            {"StreetAddress", "text"},
            {"City", "text"},
            {"State", "text"},
            {"Zip", "text"},
            {"Country", "text"},
            {"OtherStreetAddress", "text"},
            {"OtherCity", "text"},
            {"OtherState", "text"},
            {"OtherZip", "text"},
            {"OtherCountry", "text"},
            {"Categories", "keyword"},
            {"ShortName", "text"},
            {"AltFullNameSort", "text"},
            {"Comment", "richtext"}};
}

}  // namespace

DxlBuilder MailDatabase() {
    DxlBuilder b("Mail of Ann Smith", kReplica);
    MailForms(b);
    b.AddForm("Person", PersonFields());
    b.AddForm("Group", {{"ListName", "text"},
                        {"ListDescription", "text"},
                        {"Members", "names"},
                        {"ListOwner", "names"},
                        {"Categories", "keyword"}});

    const std::string ann = "CN=Ann Smith/OU=Sales/O=Acme";
    const std::string bob = "CN=Bob Lee/O=Acme";
    const std::string zoe = "CN=Zoë Müller/OU=Entwicklung/O=Acme";

    // Mail: a plain body, from a canonical name with an Internet address.
    const NOTEID plain = b.AddDocument("Memo")
                             .Names("From", {bob})
                             .Text("INetFrom", "bob.lee@acme.example")
                             .Names("SendTo", {ann, "carl@example.com"})
                             .Text("INetSendTo", "ann.smith@acme.example;carl@example.com")
                             .Names("CopyTo", {zoe})
                             .Text("Subject", "Quarterly figures / draft: please check?")
                             .Date("PostedDate", "20190312T091500,00-05")
                             .Text("Importance", "1")
                             .Text("Body", "Hello Ann,\nthe figures are attached.\nBob")
                             .TextList("Categories", {"Finance", "Q1"})
                             .Attach("report.txt", "first report\r\n")
                             .Attach("report.txt", "second report, same name\r\n")
                             .Attach("a/b:c.txt", "name with a slash and a colon")
                             .Unread()
                             .Id();
    // Mail: rich text with a table, a section, an image and a document link; a sender
    // without an Internet address; text in several scripts.
    const std::string link = std::string("<doclink database='") + kReplica +
                             "' view='85257A6D004C00000D0C0000000000AA'"
                             " document='85257A6D004C00010D0C000000000001'"
                             " description='Quarterly figures'/>";
    const NOTEID rich = b.AddDocument("Memo")
                            .Names("From", {zoe})
                            .Names("SendTo", {ann})
                            .Names("BlindCopyTo", {"CN=Иван Петров/O=Acme"})
                            .Text("Subject", "Grüße aus Köln – Привет – 你好 – 🎉")
                            .Date("PostedDate", "20190313T164500,00+01")
                            .Text("Importance", "2")
                            .RichText("Body",
                                      "<pardef id='1'/><par def='1'>Liebe Ann, <run><font style='bold'/>"
                                      "привет</run> 你好 😀</par>"
                                      "<table><tablerow><tablecell><par>Region</par></tablecell><tablecell>"
                                      "<par>Umsatz</par></tablecell></tablerow><tablerow><tablecell><par>Nord"
                                      "</par></tablecell><tablecell><par>1.234 €</par></tablecell></tablerow>"
                                      "</table><section><sectiontitle>Details</sectiontitle><par>Hidden "
                                      "details</par></section><par>" +
                                          Picture() + "</par><par>See " + link + "</par>")
                            .Text("$Links", "1")
                            .Id();
    // Mail with an HTML body item (type 21), once as UTF-16 and once as 8-bit text.
    QByteArray html16;
    html16.append('\0').append('\0');  // the two bytes before the text
    const QString htmlText = QStringLiteral("<html><body><p>HTML body – Grüße</p></body></html>");
    html16.append(reinterpret_cast<const char*>(htmlText.utf16()), htmlText.size() * 2);
    const NOTEID html = b.AddDocument("Memo")
                            .Names("From", {bob})
                            .Names("SendTo", {ann})
                            .Text("Subject", "HTML newsletter")
                            .Date("PostedDate", "20190314T080000,00+00")
                            .Raw("Body", 21, html16)
                            .Id();
    const NOTEID html8 = b.AddDocument("Memo")
                             .Names("From", {bob})
                             .Names("SendTo", {ann})
                             .Text("Subject", "HTML in 8-bit text")
                             .Raw("Body", 21, QByteArray("\0\0<p>8-bit body</p>", 19))
                             .Id();
    const NOTEID reply = b.AddDocument("Reply")
                             .Names("From", {ann})
                             .Text("INetFrom", "ann.smith@acme.example")
                             .Names("SendTo", {bob})
                             .Text("Subject", "Re: Quarterly figures / draft: please check?")
                             .Date("PostedDate", "20190312T103000,00-05")
                             .RichText("Body", "<par>Looks good.</par>")
                             .Id();
    const NOTEID ndr = b.AddDocument("NonDelivery Report")
                           .Names("SendTo", {ann})
                           .Text("Subject", "DELIVERY FAILURE: nobody@nowhere.example")
                           .Date("PostedDate", "20190315T120000,00+00")
                           .Text("Body", "Your message could not be delivered.")
                           .Id();
    const NOTEID receipt = b.AddDocument("Return Receipt")
                               .Names("From", {bob})
                               .Names("SendTo", {ann})
                               .Text("Subject", "Return Receipt: Plans")
                               .Date("PostedDate", "20190316T120000,00+00")
                               .Id();
    // A draft: no PostedDate, so readers take the creation date.
    const NOTEID draft = b.AddDocument("Memo")
                             .Names("SendTo", {bob})
                             .Text("Subject", "Unfinished thoughts")
                             .Text("Body", "to be continued")
                             .Id();
    const NOTEID sent = b.AddDocument("Memo")
                            .Names("From", {ann})
                            .Names("SendTo", {bob, "dora@example.org"})
                            .Text("Subject", "Lunch?")
                            .Date("PostedDate", "20190317T113000,00+01")
                            .Text("Body", "12:30 at the usual place.")
                            .Id();
    const NOTEID trashed = b.AddDocument("Memo")
                               .Names("From", {bob})
                               .Text("Subject", "Old news")
                               .Date("PostedDate", "20180101T000000,00+00")
                               .Id();
    // Without a Subject item: readers give an empty mail.
    const NOTEID noSubject = b.AddDocument("Memo").Names("From", {bob}).Text("Body", "x").Id();
    const NOTEID secret = b.AddDocument("Memo")
                              .Names("From", {bob})
                              .Names("SendTo", {ann})
                              .Text("Subject", "Salaries (encrypted)")
                              .Encrypted()
                              .Text("Body", "The numbers are …")
                              .Id();
    const NOTEID lower = b.AddDocument("memo").Text("Subject", "lower-case memo form").Id();
    const NOTEID unknown = b.AddDocument("Discussion").Text("Subject", "Unknown form").Id();

    const NOTEID task = b.AddDocument("Task")
                            .Names("From", {ann})
                            .Names("SendTo", {bob})
                            .Text("Subject", "Prepare the board deck")
                            .Date("StartDate", "20190318")
                            .Date("DueDate", "20190322")
                            .RichText("Body", "<par>Slides 1–12</par>")
                            .Text("OrgConfidential", "1")
                            .Id();
    const NOTEID appointment = b.AddDocument("Appointment")
                                   .Names("From", {ann})
                                   .Names("Chair", {ann})
                                   .Text("Subject", "Budget review")
                                   .Text("Location", "Room 4.12")
                                   .Date("StartDate", "20190320")
                                   .Date("StartDateTime", "20190320T140000,00+01")
                                   .Date("EndDateTime", "20190320T153000,00+01")
                                   .Text("StartTimeZone", "Z=-1$DO=1$DL=3 -1 1 10 -1 1$ZX=11$ZN=W. Europe")
                                   .Text("EndTimeZone", "Z=-1$DO=1$DL=3 -1 1 10 -1 1$ZX=11$ZN=W. Europe")
                                   .Number("$Alarm", 1)
                                   .Number("$AlarmOffset", -15)
                                   .Text("AppointmentType", "3")
                                   .TextList("RequiredAttendees", {bob, "carl@example.com"})
                                   .TextList("OptionalAttendees", {zoe})
                                   .RichText("Body", "<par>Agenda: " + link + "</par>")
                                   .Text("$Links", "1")
                                   .Attach("budget.csv", "item;amount\r\nrent;1200\r\n")
                                   .Id();
    const NOTEID repeating = b.AddDocument("Appointment")
                                 .Text("Subject", "Weekly sync")
                                 .Dates("StartDateTime", {"20190325T090000,00+01", "20190401T090000,00+02"})
                                 .Dates("EndDateTime", {"20190325T093000,00+01", "20190401T093000,00+02"})
                                 .Text("Repeats", "1")
                                 .Text("AppointmentType", "0")
                                 .Number("$Alarm", 1)
                                 .Number("$AlarmOffset", 0)
                                 .Id();
    const NOTEID notice = b.AddDocument("Notice")
                              .Names("From", {bob})
                              .Text("Subject", "Invitation: Offsite")
                              .Date("StartDateTime", "20190410T090000,00-04", true)
                              .Date("EndDateTime", "20190410T170000,00-04", true)
                              .Id();
    const NOTEID replyNotice =
        b.AddDocument("(ReplyNotice)").Names("From", {bob}).Text("Subject", "Accepted: Budget review").Id();

    const NOTEID person = b.AddDocument("Person")
                              .Text("FullNameInput", "Dr. Maria Åsa Lindqvist")
                              .Text("primaryAddress", "Home")
                              .Text("CompanyName", "Nordlicht AB")
                              .Text("JobTitle", "Chief Engineer")
                              .Text("FirstName", "Maria")
                              .Text("MiddleInitial", "Å")
                              .Text("LastName", "Lindqvist")
                              .Text("Title", "Dr.")
                              .Text("Suffix", "PhD")
                              .Text("MailAddress", "maria@nordlicht.example")
                              .Text("email_1", "maria.lindqvist@nordlicht.example")
                              .Text("primaryPhoneNumber", "+46 8 123 456")
                              .Text("miscPhone1", "m.l@home.example")
                              .Text("MiscPhone2", "ml@club.example")
                              .Text("miscPhone3", "ml3@example.org")
                              .Text("email_5", "ml5@example.org")
                              .Text("OfficePhoneNumber", "+46 8 111 111")
                              .Text("PhoneNumber", "+46 8 222 222")
                              .Text("CellPhoneNumber", "+46 70 333 333")
                              .Text("OfficeFAXPhoneNumber", "+46 8 444 444")
                              .Text("PhoneNumber_6", "+46 8 555 555")
                              .Text("PhoneNumber_8", "+46 8 666 666")
                              .Text("HomeFaxPhoneNumber", "+46 8 777 777")
                              .Text("PersPager", "+46 8 888 888")
                              .Text("PhoneNumber_9", "+46 8 999 999")
                              .Text("PhoneNumber_10", "+46 8 000 000")
                              .Text("SametimeLogin", "mlindqvist")
                              .Text("Department", "Forskning")
                              .Text("Location", "Stockholm HQ")
                              .Names("Manager", {"CN=Olof Berg/O=Nordlicht"})
                              .Names("Assistant", {"CN=Pia Ek/O=Nordlicht"})
                              .Text("Website", "https://nordlicht.example/maria")
                              .Text("Blogsite", "https://blog.nordlicht.example")
                              .Text("Spouse", "Erik")
                              .Text("Children", "Elsa, Nils")
                              .Date("Birthday", "19800703")
                              .Date("Anniversary", "20050611")
                              .Text("Custom1", "c1")
                              .Text("Custom2", "c2")
                              .Text("Custom3", "c3")
                              .Text("OfficeStreetAddress", "Storgatan 1\nBuilding C")
                              .Text("OfficeCity", "Stockholm")
                              .Text("OfficeState", "Stockholms län")
                              .Text("OfficeZip", "111 22")
                              .Text("OfficeCountry", "Sweden")
                              .Text("StreetAddress", "Hemvägen 5\nLägenhet 3")
                              .Text("City", "Solna")
                              .Text("State", "Stockholm")
                              .Text("Zip", "171 00")
                              .Text("Country", "Sverige")
                              .Text("OtherStreetAddress", "Sommarstugan\nÖn 2")
                              .Text("OtherCity", "Visby")
                              .Text("OtherState", "Gotland")
                              .Text("OtherZip", "621 00")
                              .Text("OtherCountry", "Sweden")
                              .TextList("Categories", {"Partners", "Nordics"})
                              .Text("ShortName", "Maja")
                              .Text("AltFullNameSort", "Lindqvist, Maria")
                              .RichText("Comment", "<par>Met at the Göteborg fair.</par>")
                              .Attach("ContactPhoto", Gif())
                              .Id();
    const NOTEID person2 = b.AddDocument("Person")
                               .Text("FirstName", "Kenji")
                               .Text("LastName", "山田")
                               .Text("primaryAddress", "Business")
                               .Text("MailAddress", "kenji@yamada.example")
                               .Attach("card.txt", "not a photo")
                               .Id();
    const NOTEID group = b.AddDocument("Group")
                             .Text("ListName", "Sales Team")
                             .Text("ListDescription", "Everybody in sales")
                             .Names("Members", {ann, bob, "dora@example.org"})
                             .Names("ListOwner", {ann})
                             .Id();
    const NOTEID group2 =
        b.AddDocument("Group").Text("ListDescription", "Unnamed list").Names("Members", {zoe}).Id();

    const std::vector<NOTEID> inbox = {plain,   rich,      html,   html8, reply,  ndr,
                                       receipt, noSubject, secret, lower, unknown};
    b.AddFolder("($Inbox)").Entries(inbox);
    b.AddView("($Sent)").Entries({sent, reply});
    b.AddView("($Drafts)").Entry(draft);
    b.AddFolder("($Trash)").Entry(trashed);
    b.AddView("($ToDo)").Entry(task);
    b.AddView("($Meetings)").Entries({appointment, repeating, notice});
    b.AddView("($Calendar)").Type(1).Entries({appointment, repeating, notice});
    b.AddView("($People)").Entries({person, person2});
    b.AddView("Groups").Entries({group, group2});
    b.AddView("($ByCategory)").Category("Finance").Entry(plain).Category("Q1").Entry(plain, 0);
    b.AddView("($JunkMail)");
    b.AddView("Some private view").Entry(plain);  // a view not in the kept list
    b.AddFolder("Projects").Entry(rich, 1);
    b.AddFolder("Projects\\2019").Category("March").Entries({plain, appointment});
    b.AddFolder("Projects\\2019\\Q1: Plan/Review?").Entry(task);
    b.AddFolder("Clients\\\\ACME").Entry(reply);
    b.AddFolder("Empty folder");
    b.AddFolder("Ünïcødé Ордер 文件夹 📁").Entries({rich, person, group, replyNotice});
    // "($All)": every document, in creation order, with the unread marks of the documents.
    std::vector<NOTEID> all = {plain,       rich,    html,    html8,       reply,     ndr,
                               receipt,     draft,   sent,    trashed,     noSubject, secret,
                               lower,       unknown, task,    appointment, repeating, notice,
                               replyNotice, person,  person2, group,       group2};
    b.AddView("($All)").Entries(all);
    return b;
}

DxlBuilder NamesDatabase() {
    DxlBuilder b("Acme's Directory", "85257A6D0050AB01");
    b.AddForm("Person", {{"FullNameInput", "text"},
                         {"FirstName", "text"},
                         {"MiddleInitial", "text"},
                         {"LastName", "text"},
                         {"MailAddress", "text"},
                         {"email_1", "text"},
                         {"miscPhone1", "text"},
                         {"Comment", "richtext"}});
    b.AddForm("Group", {{"ListName", "text"}, {"Members", "names"}});
    std::vector<NOTEID> people;
    people.push_back(b.AddDocument("Person")
                         .Text("FullNameInput", "Ann Smith")
                         .Text("FirstName", "Ann")
                         .Text("LastName", "Smith")
                         .Text("MailAddress", "ann.smith@acme.example")
                         .Id());
    people.push_back(b.AddDocument("Person")
                         .Text("FullNameInput", "Robert Lee")
                         .Text("FirstName", "Bob")
                         .Text("MiddleInitial", "J")
                         .Text("LastName", "Lee")
                         .Text("email_1", "bob.lee@acme.example")
                         .Id());
    people.push_back(b.AddDocument("Person")
                         .Text("FullNameInput", "Zoë Müller")
                         .Text("FirstName", "Zoë")
                         .Text("LastName", "Müller")
                         .Text("miscPhone1", "zoe@mueller.example")
                         .RichText("Comment", "<par>Entwicklung</par>")
                         .Id());
    people.push_back(b.AddDocument("Person")
                         .Text("FullNameInput", "Иван Петров")
                         .Text("FirstName", "Иван")
                         .Text("LastName", "Петров")
                         .Text("MailAddress", "ivan@petrov.example")
                         .Id());
    people.push_back(b.AddDocument("Person")  // no address: not in the table
                         .Text("FullNameInput", "No Address")
                         .Text("FirstName", "No")
                         .Text("LastName", "Address")
                         .Id());
    people.push_back(b.AddDocument("Person")  // a second entry for a name already present
                         .Text("FullNameInput", "Ann Smith")
                         .Text("MailAddress", "asmith@other.example")
                         .Id());
    const NOTEID group = b.AddDocument("Group").Text("ListName", "Everyone").Id();
    b.AddView("($People)").Entries(people);
    b.AddView("($Groups)").Entry(group);
    return b;
}

DxlBuilder FaultsDatabase() {
    DxlBuilder b("Faults", "85257A6D0060CD02");
    MailForms(b);
    const NOTEID ok = b.AddDocument("Memo").Names("From", {"CN=Bob Lee/O=Acme"}).Text("Subject", "Fine").Id();
    const NOTEID retry =
        b.AddDocument("Memo").Text("Subject", "Opens in a fresh process").FirstOpenStatus(263).Id();
    const NOTEID broken = b.AddDocument("Memo").Text("Subject", "Never opens").OpenStatus(549).Id();
    const NOTEID thrower = b.AddDocument("Memo").Text("Subject", "Throws on reading").ThrowStatus(4005).Id();
    const NOTEID locked =
        b.AddDocument("Memo").Text("Subject", "No key").Encrypted(16410).Text("Body", "hidden").Id();
    b.AddFolder("($Inbox)").Entries({ok, retry, broken, thrower, locked}).Entry(0x7FFFFFF2);
    b.AddFolder("Cannot open").OpenStatus(1234).Entry(ok);
    return b;
}

DxlBuilder LargeDatabase(int count, int attachmentMb) {
    DxlBuilder b("Large", "85257A6D0070EF03");
    MailForms(b);
    std::vector<NOTEID> ids;
    ids.reserve(static_cast<std::size_t>(count));
    const QByteArray small(2048, 'a');
    for (int i = 0; i < count; ++i) {
        auto& d = b.AddDocument("Memo")
                      .Names("From", {"CN=Sender " + std::to_string(i % 97) + "/O=Acme"})
                      .Names("SendTo", {"CN=Ann Smith/OU=Sales/O=Acme"})
                      .Text("Subject", "Message number " + std::to_string(i))
                      .Date("PostedDate", "20190312T091500,00-05")
                      .RichText("Body", "<par>Body of message " + std::to_string(i) +
                                            " with some text to read.</par>");
        if (i % 50 == 0) d.Attach("small.bin", small);
        if (i == 0 && attachmentMb > 0) {
            QByteArray big(attachmentMb * 1024 * 1024, '\0');
            for (qsizetype k = 0; k < big.size(); ++k) big[k] = static_cast<char>(k * 31);
            d.Attach("big.bin", big);
        }
        ids.push_back(d.Id());
    }
    b.AddFolder("($Inbox)").Entries(ids);
    return b;
}
