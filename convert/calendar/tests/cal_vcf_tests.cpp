// The VCF writer: the line layout and order, the encodings of streets, notes and dates, the
// photo and the failure paths.

#include "cal_vcf_samples.h"

namespace {

TEST(VcfDateValue, MovesTheYearInFront) {
    const struct {
        const char* text;
        const char* value;
    } cases[] = {
        {"07/03/1980", "19800703"},
        {"7/3/1980", "198073"},
        {"1980", ""},
        {"", ""},
        {"07/03/1980 00:00:00", "1980 00:00:000703"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VcfDateValue(QString::fromLatin1(c.text)), QString::fromLatin1(c.value)) << c.text;
}

TEST(ContactFieldTable, NamesAreExactAndSomeShareAMember) {
    ContactFields f;
    EXPECT_EQ(ContactMemberFor(f, QStringLiteral("MailAddress")), &f.Email1);
    EXPECT_EQ(ContactMemberFor(f, QStringLiteral("email_1")), &f.Email1);
    EXPECT_EQ(ContactMemberFor(f, QStringLiteral("miscPhone1")), &f.Email2);
    EXPECT_EQ(ContactMemberFor(f, QStringLiteral("MiscPhone1")), &f.Email2);
    EXPECT_EQ(ContactMemberFor(f, QStringLiteral("PhoneNumber")), &f.HomePhone);
    EXPECT_EQ(ContactMemberFor(f, QStringLiteral("ShortName")), &f.NickName);
    EXPECT_EQ(ContactMemberFor(f, QStringLiteral("Members")), &f.Members);
    EXPECT_EQ(ContactMemberFor(f, QStringLiteral("firstname")), nullptr);
    EXPECT_EQ(ContactMemberFor(f, QStringLiteral("primaryAddress")), nullptr);

    EXPECT_EQ(PrimaryAddressKindOf(QStringLiteral("Business")), 2);
    EXPECT_EQ(PrimaryAddressKindOf(QStringLiteral("Home")), 1);
    EXPECT_EQ(PrimaryAddressKindOf(QStringLiteral("Other")), 3);
    EXPECT_EQ(PrimaryAddressKindOf(QStringLiteral("home")), 2);
}

TEST_F(VcfWriterTest, FullContactGivesTheLinesInTheirOrder) {
    EXPECT_EQ(Write(QStringLiteral("1.vcf"), FullContact()), QByteArray(kFullContact));
    EXPECT_EQ(Logged(), QStringLiteral("Item Name:\tAnna M Berg\r\n"));
    EXPECT_EQ(lastPhotoPath_, QStringLiteral("as given"));
}

TEST_F(VcfWriterTest, WithoutFirstAndLastNameThereIsNoNameLine) {
    ContactFields f;
    f.Email1 = QStringLiteral("only@x.example");
    f.Title = QStringLiteral("Dr");
    EXPECT_EQ(Write(QStringLiteral("2.vcf"), f), QByteArray(kNamelessContact));
    EXPECT_EQ(Logged(), QStringLiteral("Item Name:\t\r\n"));

    ContactFields lastOnly;
    lastOnly.LastName = QStringLiteral("Ek, Jr");
    const QByteArray vcf = Write(QStringLiteral("3.vcf"), lastOnly);
    EXPECT_TRUE(vcf.contains("\r\nN;CHARSET=utf-8:Ek; Jr;;;;\r\nFN;CHARSET=utf-8:Ek, Jr \r\n"));
}

TEST_F(VcfWriterTest, OneLineValuesCannotBreakTheirLine) {
    ContactFields f;
    f.FirstName = QStringLiteral("Eve\r\nEND:VCARD");
    f.HomePhone = QStringLiteral("1\n2");
    const QByteArray vcf = Write(QStringLiteral("4.vcf"), f);
    EXPECT_TRUE(vcf.contains("\r\nFN;CHARSET=utf-8:Eve END:VCARD \r\n"));
    EXPECT_TRUE(vcf.contains("\r\nTEL;TYPE=home,voice:1 2\r\n"));
    EXPECT_EQ(vcf.count("END:VCARD\r\n"), 1);
}

TEST_F(VcfWriterTest, PhotoIsWrittenAndItsPathHandedBack) {
    ContactFields f = FullContact();
    f.AttachmentNames = QStringLiteral("ContactPhoto, notes.txt, ");
    QByteArray expected(kFullContact);
    expected.insert(expected.size() - int(sizeof("END:VCARD\r\n") - 1),
                    "PHOTO;ENCODING=BASE64:\r\n " + kPhoto.toBase64() + "\r\n\r\n");
    EXPECT_EQ(Write(QStringLiteral("5.vcf"), f, PhotoStep()), expected);
    EXPECT_EQ(lastPhotoPath_, QStringLiteral("/tmp/temp/ContactPhoto"));
    EXPECT_EQ(Logged(), QStringLiteral("Item Name:\tAnna M Berg\r\nAttachments:\tContactPhoto,\r\n"));

    // Attachments without a photo: the log lines, no PHOTO, the path left as it was.
    const VcfPhotoStep noPhoto = [](LineFile&) { return std::optional<QString>(); };
    EXPECT_EQ(Write(QStringLiteral("6.vcf"), f, noPhoto), QByteArray(kFullContact));
    EXPECT_EQ(lastPhotoPath_, QStringLiteral("as given"));
    EXPECT_TRUE(Logged().endsWith(QStringLiteral("Item Name:\tAnna M Berg\r\nAttachments:\t\r\n")));
}

TEST_F(VcfWriterTest, FailuresCountAnErrorAndLogTheirLine) {
    QString photoPath;
    options_.counterMode = 1;
    EXPECT_EQ(WriteContactVcfFile(BadPath(QStringLiteral("1.vcf")), FullContact(), context_, {}, photoPath),
              0);
    EXPECT_EQ(Logged(), QStringLiteral("ERROR:Invalid Path. Contact Entry cannot be dump. \r\n"));
    ExpectErrorCounted(counters_, 1);

    counters_ = {};
    ContactFields f = FullContact();
    f.AttachmentNames = QStringLiteral("ContactPhoto, ");
    const VcfPhotoStep throwing = [](LineFile&) -> std::optional<QString> { throw 1; };
    EXPECT_EQ(WriteContactVcfFile(Path(QStringLiteral("7.vcf")), f, context_, throwing, photoPath), 0);
    EXPECT_TRUE(Logged().endsWith(QStringLiteral("Attachments:\tERROR:Contact Entry is Not Dump \r\n")));
    ExpectErrorCounted(counters_, 1);
}

}  // namespace
