#pragma once
// A contact with every member the VCF writer uses, its expected file, and a writer fixture,
// shared by the layout tests and the tests that read the files back with vobject.

#include "cal_test_support.h"
#include "convert/calendar/ContactVcf.h"

#include <QBuffer>

#include <optional>

inline ContactFields FullContact() {
    ContactFields f;
    f.FirstName = QStringLiteral("Anna");
    f.MiddleInitial = QStringLiteral("M");
    f.LastName = QStringLiteral("Berg");
    f.Title = QStringLiteral("Dr");
    f.Suffix = QStringLiteral("Jr");
    f.FullName = QStringLiteral("Dr Anna M Berg Jr");
    f.CompanyName = QStringLiteral("Acme AB");
    f.Department = QStringLiteral("R&D");
    f.NickName = QStringLiteral("Annie");
    f.Email1 = QStringLiteral("anna@acme.example");
    f.Email2 = QStringLiteral("second@x.example");
    f.Email3 = QStringLiteral("third@x.example");
    f.Email4 = QStringLiteral("fourth@x.example");
    f.Email5 = QStringLiteral("fifth@x.example");
    f.HomeStreet = QStringLiteral("Storgatan 1\nLgh 1102");
    f.HomeCity = QStringLiteral("Malmö");
    f.HomeState = QStringLiteral("Skåne");
    f.HomeZip = QStringLiteral("211 34");
    f.HomeCountry = QStringLiteral("Sweden");
    f.Location = QStringLiteral("Building 7");
    f.OfficeStreet = QStringLiteral("Industrivägen 3");
    f.OfficeCity = QStringLiteral("Lund");
    f.OfficeZip = QStringLiteral("223 70");
    f.OfficeCountry = QStringLiteral("Sweden");
    f.OtherCity = QStringLiteral("Oslo");
    f.OfficeFax = QStringLiteral("+46 46 100");
    f.OfficePhone = QStringLiteral("+46 46 101");
    f.OtherOfficePhone = QStringLiteral("+46 46 102");
    f.HomeFax = QStringLiteral("+46 40 200");
    f.HomePhone = QStringLiteral("+46 40 201");
    f.OtherHomePhone = QStringLiteral("+46 40 202");
    f.CellPhone = QStringLiteral("+46 70 300");
    f.PersonalPager = QStringLiteral("+46 74 400");
    f.Pager = QStringLiteral("+46 74 401");
    f.PrimaryPhone = QStringLiteral("+46 70 300");
    f.AssistantPhone = QStringLiteral("+46 46 103");
    f.JobTitle = QStringLiteral("Chief Engineer");
    f.Website = QStringLiteral("https://acme.example/anna");
    f.Assistant = QStringLiteral("Bo Ek");
    f.Manager = QStringLiteral("Cia Lund");
    f.Spouse = QStringLiteral("Dan Berg");
    f.InstantMessaging = QStringLiteral("anna@im.example");
    f.Birthday = QStringLiteral("07/03/1980");
    f.Anniversary = QStringLiteral("6/15/2005");
    f.Comment = QStringLiteral("Met at the fair.\r\nLikes tea = yes");
    return f;
}

inline const char kFullContact[] =
    "BEGIN:VCARD\r\n"
    "N;CHARSET=utf-8:Berg;Anna;M;Dr;Jr\r\n"
    "FN;CHARSET=utf-8:Dr Anna M Berg Jr\r\n"
    "ORG;CHARSET=utf-8:Acme AB;R&D\r\n"
    "NICKNAME;CHARSET=utf-8:Annie\r\n"
    "EMAIL;CHARSET=utf-8:anna@acme.example\r\n"
    "EMAIL;CHARSET=utf-8:second@x.example\r\n"
    "EMAIL;CHARSET=utf-8:fourth@x.example\r\n"
    "EMAIL;CHARSET=utf-8:fifth@x.example\r\n"
    "EMAIL;CHARSET=utf-8:third@x.example\r\n"
    "ADR;TYPE=home;ENCODING=QUOTED-PRINTABLE;CHARSET=utf-8:;;Storgatan 1=0D=0A=\nLgh 1102;Malmö;Skåne;211 "
    "34;Sweden\r\n"
    "ADR;TYPE=work;ENCODING=QUOTED-PRINTABLE;CHARSET=utf-8:;Building 7;Industrivägen 3;Lund;;223 "
    "70;Sweden\r\n"
    "ADR;TYPE=postal;ENCODING=QUOTED-PRINTABLE;CHARSET=utf-8:;;;Oslo;;;\r\n"
    "TEL;TYPE=work,fax:+46 46 100\r\n"
    "TEL;TYPE=work,voice:+46 46 101\r\n"
    "TEL;TYPE=work,voice:+46 46 102\r\n"
    "TEL;TYPE=home,fax:+46 40 200\r\n"
    "TEL;TYPE=home,voice:+46 40 201\r\n"
    "TEL;TYPE=home,voice:+46 40 202\r\n"
    "TEL;TYPE=cell,voice:+46 70 300\r\n"
    "TEL;TYPE=msg:+46 74 400\r\n"
    "TEL;TYPE=pager:+46 74 401\r\n"
    "TEL;TYPE=phone,pref:+46 70 300\r\n"
    "TEL;VOICE;ASSISTANT:+46 46 103\r\n"
    "TITLE;CHARSET=utf-8:Chief Engineer\r\n"
    "URL;WORK;CHARSET=utf-8:https://acme.example/anna\r\n"
    "X-MS-ASSISTANT;CHARSET=utf-8:Bo Ek\r\n"
    "X-MS-MANAGER;CHARSET=utf-8:Cia Lund\r\n"
    "X-MS-SPOUSE;CHARSET=utf-8:Dan Berg\r\n"
    "X-MS-IMADDRESS;CHARSET=utf-8:anna@im.example\r\n"
    "BDAY:19800703\r\n"
    "X-MS-ANNIVERSARY:2005615\r\n"
    "NOTE;CHARSET=utf-8;ENCODING=QUOTED-PRINTABLE:Met at the fair.=0D=0A=\nLikes tea =3D yes\r\n"
    "END:VCARD\r\n";

inline const char kNamelessContact[] =
    "BEGIN:VCARD\r\n"
    "EMAIL;CHARSET=utf-8:only@x.example\r\n"
    "ADR;TYPE=home;ENCODING=QUOTED-PRINTABLE;CHARSET=utf-8:;;;;;;\r\n"
    "ADR;TYPE=work;ENCODING=QUOTED-PRINTABLE;CHARSET=utf-8:;;;;;;\r\n"
    "ADR;TYPE=postal;ENCODING=QUOTED-PRINTABLE;CHARSET=utf-8:;;;;;;\r\n"
    "END:VCARD\r\n";

inline const QByteArray kPhoto = QByteArray::fromHex("89504e470d0a1a0a0000000d49484452");

class VcfWriterTest : public WriterTest {
  protected:
    QByteArray Write(const QString& name, const ContactFields& f, const VcfPhotoStep& photo = {}) {
        QString photoPath = QStringLiteral("as given");
        EXPECT_EQ(WriteContactVcfFile(Path(name), f, context_, photo, photoPath), 1);
        lastPhotoPath_ = photoPath;
        return Bytes(Path(name));
    }

    // A photo step like the document's: writes the photo and hands back where it lies.
    VcfPhotoStep PhotoStep() {
        return [this](LineFile& vcf) -> std::optional<QString> {
            QBuffer photo;
            photo.setData(kPhoto);
            photo.open(QIODevice::ReadOnly);
            log_.Write(QStringLiteral("ContactPhoto,"));
            WriteVcfPhoto(vcf, photo);
            return QStringLiteral("/tmp/temp/ContactPhoto");
        };
    }

    QString lastPhotoPath_;
};
