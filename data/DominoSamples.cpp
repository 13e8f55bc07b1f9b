// Sample databases written the way Domino's DXL exporter writes them (no extension marks):
// the constructs and where each comes from are listed in docs/notes.md, "DXL as Domino
// writes it".
#include "data/Samples.h"

#include <QByteArray>

#include <cstdint>
#include <string>

namespace {

const char* kHead =
    "<?xml version='1.0' encoding='utf-8'?>\n"
    "<!DOCTYPE database SYSTEM 'xmlschemas/domino_9_0_1.dtd'>\n"
    "<database xmlns='http://www.lotus.com/dxl' version='9.0' maintenanceversion='1.0'\n"
    " replicaid='852583A1004F2C7B' path='mail\\ann.nsf' title='Ann Example'>\n"
    "<databaseinfo dbid='852583A1004F2C7B' odsversion='51' diskspace='1048576' percentused='90'\n"
    " numberofdocuments='11'><datamodified><datetime>20190312T101500,00+01</datetime></datamodified>\n"
    "<designmodified><datetime>20190312T101500,00+01</datetime></designmodified></databaseinfo>\n";

// Base64 in lines of 72 characters, as the exporter writes <filedata> and <rawitemdata>.
std::string Base64Lines(const QByteArray& bytes) {
    const QByteArray b = bytes.toBase64();
    std::string out = "\n";
    for (qsizetype i = 0; i < b.size(); i += 72) out += b.mid(i, 72).toStdString() + "\n";
    return out;
}

std::string Noteinfo(const char* noteid, const char* unid, const char* created) {
    return std::string("<noteinfo noteid='") + noteid + "' unid='" + unid +
           "' sequence='1'>\n<created><datetime>" + created + "</datetime></created>\n<modified><datetime>" +
           created + "</datetime></modified>\n<revised><datetime>" + created +
           "</datetime></revised>\n<lastaccessed><datetime>" + created +
           "</datetime></lastaccessed>\n<addedtofile><datetime>" + created +
           "</datetime></addedtofile></noteinfo>\n<updatedby><name>CN=Ann "
           "Example/O=Example</name></updatedby>\n";
}

std::string Text(const char* name, const std::string& value, const char* flags = " summary='true'") {
    return std::string("<item name='") + name + "'" + flags + "><text>" + value + "</text></item>\n";
}

std::string Date(const char* name, const char* value) {
    return std::string("<item name='") + name + "'><datetime>" + value + "</datetime></item>\n";
}

// A $FILE item as Domino writes it: encryptable (seal), signed, summary.
std::string FileItem(const char* name, const QByteArray& bytes, const char* compression = "none",
                     bool withSize = true) {
    std::string size = withSize ? " size='" + std::to_string(bytes.size()) + "'" : std::string();
    return std::string(
               "<item name='$FILE' summary='true' sign='true' seal='true'><object><file hosttype='msdos'"
               " compression='") +
           compression + "' flags='storedindoc' encoding='none' name='" + name + "'" + size +
           ">\n<created><datetime>20190312T101500,00+01</datetime></created>\n"
           "<modified><datetime>20190312T101500,00+01</datetime></modified>\n<filedata>" +
           Base64Lines(bytes) + "</filedata></file></object></item>\n";
}

// A MIME_PART record (HCL C API, mimeods.h): 20 bytes of header, then boundary, headers, body.
QByteArray MimePart(std::uint32_t flags, std::uint8_t partType, const QByteArray& boundary,
                    const QByteArray& headers, const QByteArray& body) {
    const QByteArray data = boundary + headers + body;
    QByteArray p;
    auto word = [&p](std::uint16_t v) {
        p += static_cast<char>(v & 0xFF);
        p += static_cast<char>(v >> 8);
    };
    word(2);  // wVersion
    word(static_cast<std::uint16_t>(flags & 0xFFFF));
    word(static_cast<std::uint16_t>(flags >> 16));
    p += static_cast<char>(partType);
    p += '\0';
    word(static_cast<std::uint16_t>(data.size()));
    word(static_cast<std::uint16_t>(boundary.size()));
    word(static_cast<std::uint16_t>(headers.size()));
    word(0);
    word(0);
    word(0);
    return p + data;
}

// An RFC822ITEMDESC record (mimeods.h) with the native text and the original header.
QByteArray Rfc822Item(std::uint32_t format, const QByteArray& native, const QByteArray& name,
                      const QByteArray& body) {
    QByteArray p;
    auto word = [&p](std::uint16_t v) {
        p += static_cast<char>(v & 0xFF);
        p += static_cast<char>(v >> 8);
    };
    word(14);
    word(static_cast<std::uint16_t>(format));
    word(0);
    word(static_cast<std::uint16_t>(native.size()));
    word(static_cast<std::uint16_t>(name.size()));
    word(2);
    word(static_cast<std::uint16_t>(body.size()));
    return p + native + name + ": " + body;
}

std::string RawItem(const char* name, const char* hexType, const QByteArray& bytes) {
    return std::string("<item name='") + name + "' summary='true'><rawitemdata type='" + hexType + "'>" +
           Base64Lines(bytes) + "</rawitemdata></item>\n";
}

constexpr std::uint32_t kHasBoundary = 1, kHasHeaders = 2, kBodyInObject = 4;
constexpr std::uint8_t kPartMessage = 5, kPartBody = 2, kPartEpilog = 3;
constexpr std::uint32_t kAddress = 1, kDateFormat = 2, kTextFormat = 3;

}  // namespace

QByteArray DominoPdf() {
    return QByteArray("%PDF-1.4\n% sample report\n1 0 obj<<>>endobj\ntrailer<<>>\n%%EOF\n");
}

QByteArray DominoGif() {
    return QByteArray::fromBase64("R0lGODlhAQABAIABAP8AAP///ywAAAAAAQABAAACAkQBADs=");
}

QByteArray DominoMimeMessage() {
    const QByteArray gif = DominoGif().toBase64();
    const QByteArray pdf = DominoPdf().toBase64();
    return "From: \"Bob Sender\" <bob@example.org>\r\n"
           "To: \"Ann Example\" <ann@example.com>, carl@example.net\r\n"
           "Cc: =?UTF-8?B?RMOpc2lyw6llIFPDuHJlbnNlbg==?= <desiree@example.com>\r\n"
           "Subject: =?UTF-8?Q?Quarterly_r=C3=A9sum=C3=A9?=\r\n"
           "Date: Tue, 12 Mar 2019 10:15:00 +0100\r\n"
           "Message-ID: <20190312101500.4711@mail.example.org>\r\n"
           "MIME-Version: 1.0\r\n"
           "Content-Type: multipart/mixed; boundary=\"==outer==\"\r\n"
           "\r\n"
           "This is a multi-part message in MIME format.\r\n"
           "--==outer==\r\n"
           "Content-Type: multipart/alternative; boundary=\"==alt==\"\r\n"
           "\r\n"
           "--==alt==\r\n"
           "Content-Type: text/plain; charset=\"UTF-8\"\r\n"
           "Content-Transfer-Encoding: quoted-printable\r\n"
           "\r\n"
           "Hello Ann,=0D=0Athe r=C3=A9sum=C3=A9 is attached.\r\n"
           "--==alt==\r\n"
           "Content-Type: multipart/related; boundary=\"==rel==\"\r\n"
           "\r\n"
           "--==rel==\r\n"
           "Content-Type: text/html; charset=\"UTF-8\"\r\n"
           "Content-Transfer-Encoding: 8bit\r\n"
           "\r\n"
           "<html><body><p>Hello Ann,</p><p>the r\xC3\xA9sum\xC3\xA9 is attached.</p>"
           "<img src=\"cid:logo@example.org\"></body></html>\r\n"
           "--==rel==\r\n"
           "Content-Type: image/gif\r\n"
           "Content-ID: <logo@example.org>\r\n"
           "Content-Transfer-Encoding: base64\r\n"
           "\r\n" +
           gif +
           "\r\n"
           "--==rel==--\r\n"
           "--==alt==--\r\n"
           "--==outer==\r\n"
           "Content-Type: application/pdf; name=\"report.pdf\"\r\n"
           "Content-Disposition: attachment; filename=\"report.pdf\"\r\n"
           "Content-Transfer-Encoding: base64\r\n"
           "\r\n" +
           pdf +
           "\r\n"
           "--==outer==--\r\n";
}

QByteArray DominoMailDxl() {
    std::string x = kHead;
    // Design notes before the documents.
    x += "<folder name='($Inbox)' alias='Inbox' showinmenu='false' publicaccess='false' "
         "designerversion='8.5'>\n" +
         Noteinfo("11e", "8A2F4C3E5B1D0F7A852583A1004F2C01", "20190101T090000,00+01") +
         "<column sort='descending' hidden='false' itemname='$70'><columnheader "
         "title='Date'/></column></folder>\n";
    x += "<folder name='Projects' designerversion='8.5'>\n" +
         Noteinfo("122", "8A2F4C3E5B1D0F7A852583A1004F2C02", "20190101T090000,00+01") + "</folder>\n";

    // 1. An ordinary memo from a Notes user: rich text, an encryptable attachment, delivered.
    x += "<document form='Memo'>\n" +
         Noteinfo("8fa", "0A1B2C3D4E5F60718293A4B5C6D7E801", "20190312T101500,00+01") +
         Text("From", "CN=Bob Sender/O=Example", " summary='true' names='true'") +
         "<item name='SendTo' summary='true' names='true'><textlist><text>CN=Ann Example/O=Example</text>"
         "<text>CN=Carl Third/O=Example</text></textlist></item>\n" +
         Text("Subject", "Budget 2019") + Date("PostedDate", "20190312T101500,00+01") +
         Date("DeliveredDate", "20190312T101502,00+01") +
         "<item name='Body'><richtext>\n<pardef id='1'/>\n<par def='1'><run><font size='9pt'/>Please see the "
         "budget.</run></par>\n<par def='1'><nonxmlchar/>Totals follow.</par>\n"
         "<par def='1'><attachmentref name='budget.xls' displayname='budget.xls'>\n"
         "<picture height='34px' "
         "width='61px'><notesbitmap>AAAA</notesbitmap></picture></attachmentref></par>\n"
         "</richtext></item>\n" +
         FileItem("budget.xls", "budget,2019\nrent,1200\n") + "</document>\n";

    // 2. Internet mail exported with the MIME option "DXL": one <mime> element.
    x += "<document form='Memo'>\n" +
         Noteinfo("8fe", "0A1B2C3D4E5F60718293A4B5C6D7E802", "20190312T101501,00+01") +
         Date("DeliveredDate", "20190312T101502,00+01") +
         "<item name='$NoteHasNativeMIME'><text>1</text></item>\n" + "<mime><![CDATA[" +
         DominoMimeMessage().toStdString() + "]]></mime>\n</document>\n";

    // 3. Internet mail exported raw (the default): MIME_PART items, RFC 822 header items, a
    //    part body in a $FILE object, and a folder reference to "Projects".
    {
        const QByteArray outer = "==raw==";
        const QByteArray top =
            "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"" + outer + "\"\r\n\r\n";
        const QByteArray html = "<html><body><p>Minutes: <b>approved</b>.</p></body></html>\r\n";
        const QByteArray part1 = MimePart(kHasHeaders, kPartMessage, {}, top, "");
        const QByteArray part2 = MimePart(
            kHasBoundary | kHasHeaders, kPartBody, "--" + outer + "\r\n",
            "Content-Type: text/html; charset=\"UTF-8\"\r\nContent-Transfer-Encoding: 7bit\r\n\r\n", html);
        const QByteArray part3 = MimePart(
            kHasBoundary | kHasHeaders | kBodyInObject, kPartBody, "\r\n--" + outer + "\r\n",
            "Content-Type: application/pdf; name=\"minutes.pdf\"\r\nContent-Disposition: attachment; "
            "filename=\"minutes.pdf\"\r\nContent-Transfer-Encoding: base64\r\n\r\n",
            "ATT1HHQM");
        const QByteArray part4 = MimePart(kHasBoundary, kPartEpilog, "\r\n--" + outer + "--\r\n", {}, {});
        x +=
            "<document form='Memo'>\n" +
            Noteinfo("902", "0A1B2C3D4E5F60718293A4B5C6D7E803", "20190313T081000,00-05") +
            RawItem("From", "502",
                    Rfc822Item(kAddress, "Dana Far <dana@example.org>", "From",
                               "\"Dana Far\" <dana@example.org>")) +
            RawItem("SendTo", "502", Rfc822Item(kAddress, "ann@example.com", "To", "ann@example.com")) +
            RawItem("Subject", "502", Rfc822Item(kTextFormat, "Minutes", "Subject", "Minutes")) +
            RawItem("PostedDate", "502",
                    Rfc822Item(kDateFormat, QByteArray(8, '\0'), "Date", "Wed, 13 Mar 2019 08:10:00 -0500")) +
            RawItem(
                "$MessageID", "502",
                Rfc822Item(kTextFormat, "<minutes.1@example.org>", "Message-ID", "<minutes.1@example.org>")) +
            Date("DeliveredDate", "20190313T081001,00-05") +
            "<item name='$FolderRef' summary='true'><text>8A2F4C3E5B1D0F7A852583A1004F2C02</text></item>\n"
            "<item name='$FolderRefID' summary='true'><text>122</text></item>\n"
            "<item name='$FolderRefFlags' summary='true'><number>0</number></item>\n" +
            RawItem("Body", "19", part1) + RawItem("Body", "19", part2) + RawItem("Body", "19", part3) +
            RawItem("Body", "19", part4) + FileItem("ATT1HHQM", DominoPdf()) + "</document>\n";
    }

    // 4. Sent mail (PostedDate, no DeliveredDate) and 5. a draft.
    x += "<document form='Memo'>\n" +
         Noteinfo("906", "0A1B2C3D4E5F60718293A4B5C6D7E804", "20190314T120000,00+01") +
         Text("From", "CN=Ann Example/O=Example", " summary='true' names='true'") +
         Text("SendTo", "bob@example.org", " summary='true' names='true'") +
         Text("Subject", "Re: Budget 2019") + Date("PostedDate", "20190314T120000,00+01") +
         Text("Body", "Thanks, received.", "") + "</document>\n";
    x += "<document form='Memo'>\n" +
         Noteinfo("90a", "0A1B2C3D4E5F60718293A4B5C6D7E805", "20190315T090000,00+01") +
         Text("Subject", "Unfinished") + Text("Body", "Draft text", "") + "</document>\n";

    // 6. A repeating meeting: dates as <datetimelist> of <datetimepair>, a pair alone.
    x += "<document form='Appointment'>\n" +
         Noteinfo("90e", "0A1B2C3D4E5F60718293A4B5C6D7E806", "20190301T080000,00+01") +
         Text("Subject", "Weekly sync") + Date("StartDate", "20190318T100000,00+01") +
         Date("StartTime", "20190318T100000,00+01") + Date("EndDate", "20190318T110000,00+01") +
         Date("EndTime", "20190318T110000,00+01") + Date("StartDateTime", "20190318T100000,00+01") +
         Date("EndDateTime", "20190318T110000,00+01") +
         "<item name='AppointmentType'><text>3</text></item>\n<item name='Repeats'><text>1</text></item>\n"
         "<item name='CalendarDateTime'><datetimelist>\n"
         "<datetimepair><datetime>20190318T100000,00+01</datetime><datetime>20190318T110000,00+01</"
         "datetime></datetimepair>\n"
         "<datetimepair><datetime>20190325T100000,00+01</datetime><datetime>20190325T110000,00+01</"
         "datetime></datetimepair>\n"
         "</datetimelist></item>\n"
         "<item name='$BusyPeriod'><datetimepair><datetime>20190318T100000,00+01</datetime>"
         "<datetime>20190318T110000,00+01</datetime></datetimepair></item>\n" +
         "<item name='$Body_Stored'><compositedata>AQAAAA==</compositedata></item>\n</document>\n";

    // 7. A task, 8. a contact, 9. a group.
    x += "<document form='Task'>\n" +
         Noteinfo("912", "0A1B2C3D4E5F60718293A4B5C6D7E807", "20190305T080000,00+01") +
         Text("Subject", "File the report") + Date("DueDate", "20190320T170000,00+01") + "</document>\n";
    x += "<document form='Person'>\n" +
         Noteinfo("916", "0A1B2C3D4E5F60718293A4B5C6D7E808", "20190306T080000,00+01") +
         Text("FirstName", "Bob") + Text("LastName", "Sender") + Text("MailAddress", "bob@example.org") +
         "</document>\n";
    x += "<document form='Group'>\n" +
         Noteinfo("91a", "0A1B2C3D4E5F60718293A4B5C6D7E809", "20190306T090000,00+01") +
         Text("ListName", "Team") +
         "<item name='Members' names='true'><textlist><text>CN=Ann Example/O=Example</text>"
         "<text>bob@example.org</text></textlist></item>\n</document>\n";

    // 10. Attachments exported without uncompressing, and one without a size.
    x += "<document form='Memo'>\n" +
         Noteinfo("91e", "0A1B2C3D4E5F60718293A4B5C6D7E80A", "20190307T080000,00+01") +
         Text("Subject", "Compressed files") + Date("DeliveredDate", "20190307T080000,00+01") +
         FileItem("packed.doc", "\x01\x02 lz1 bytes", "lz1") +
         FileItem("huffed.txt", "\x03 huff bytes", "huff") +
         FileItem("nosize.txt", "size not given\n", "none", false) + "</document>\n";

    // 11. An encrypted mail: its secret items live in $Seal/$SealData, unreadable here.
    x += "<document form='Memo'>\n" +
         Noteinfo("922", "0A1B2C3D4E5F60718293A4B5C6D7E80B", "20190308T080000,00+01") +
         Text("Subject", "Salaries") + Date("DeliveredDate", "20190308T080000,00+01") +
         "<item name='Encrypt'><text>1</text></item>\n" +
         RawItem("$Seal", "4", QByteArray("sealed key material")) +
         RawItem("$SealData", "4", QByteArray("encrypted item data")) + "</document>\n";

    // Design notes after the documents.
    x += "<view name='($Sent)' showinmenu='false'>\n" +
         Noteinfo("126", "8A2F4C3E5B1D0F7A852583A1004F2C03", "20190101T090000,00+01") + "</view>\n";
    x += "<form name='Memo' alias='Memo'>\n" +
         Noteinfo("12a", "8A2F4C3E5B1D0F7A852583A1004F2C04", "20190101T090000,00+01") +
         "<body><richtext><par><field type='names' kind='editable' name='SendTo'/></par>"
         "<par><field type='text' kind='editable' name='Subject'/></par>"
         "<par><field type='richtext' kind='editable' name='Body'/></par></richtext></body></form>\n";
    x += "</database>\n";
    return QByteArray::fromStdString(x);
}

// The same kind of mail exported with ForceNoteFormat: <note class='document'>, items only.
QByteArray DominoNoteFormatDxl() {
    std::string x =
        "<?xml version='1.0' encoding='utf-8'?>\n<database xmlns='http://www.lotus.com/dxl' "
        "version='9.0' replicaid='852583A1004F2C7B' title='Ann Example'>\n";
    x += "<note class='form' default='true'>\n" +
         Noteinfo("12a", "8A2F4C3E5B1D0F7A852583A1004F2C04", "20190101T090000,00+01") +
         Text("$TITLE", "Memo") + "</note>\n";
    x += "<note class='document'>\n" +
         Noteinfo("8fa", "0A1B2C3D4E5F60718293A4B5C6D7E801", "20190312T101500,00+01") + Text("Form", "Memo") +
         Text("Subject", "Note format") + Date("DeliveredDate", "20190312T101502,00+01") +
         FileItem("n.txt", "note format\n") + "</note>\n";
    x += "</database>\n";
    return QByteArray::fromStdString(x);
}

// One document exported alone (a document collection of one, or NotesDocument export),
// with a UTF-8 byte-order mark.
QByteArray DominoSingleDocumentDxl() {
    std::string x =
        "\xEF\xBB\xBF<?xml version='1.0' encoding='utf-8'?>\n"
        "<!DOCTYPE document SYSTEM 'xmlschemas/domino_9_0_1.dtd'>\n"
        "<document xmlns='http://www.lotus.com/dxl' version='9.0' replicaid='852583A1004F2C7B' "
        "form='Memo'>\n";
    x += Noteinfo("8fa", "0A1B2C3D4E5F60718293A4B5C6D7E801", "20190312T101500,00+01") +
         Text("Subject", "Alone") + Date("PostedDate", "20190312T101500,00+01") + "</document>\n";
    return QByteArray::fromStdString(x);
}
