// VCF, ICS and group TXT imports, time zones, and the setters of contacts and group lists, read
// back from the file.
#include "common/pst/tests/pststore_support.h"

namespace {

const char kContactVcf[] =
    "BEGIN:VCARD\r\n"
    "N;CHARSET=utf-8:Berg;Anna;M;Dr;Jr\r\n"
    "FN;CHARSET=utf-8:Dr Anna M Berg Jr\r\n"
    "ORG;CHARSET=utf-8:Acme AB;R&D\r\n"
    "EMAIL;CHARSET=utf-8:anna@acme.example\r\n"
    "EMAIL;CHARSET=utf-8:second@x.example\r\n"
    "ADR;TYPE=home;ENCODING=QUOTED-PRINTABLE;CHARSET=utf-8:;;Storgatan 1=0D=0A=\nLgh "
    "1102;Malm=C3=B6;Sk=C3=A5ne;211 34;Sweden\r\n"
    "ADR;TYPE=work;ENCODING=QUOTED-PRINTABLE;CHARSET=utf-8:;Building 7;Industriv=C3=A4gen 3;Lund;;223 "
    "70;Sweden\r\n"
    "TEL;TYPE=work,voice:+46 46 101\r\n"
    "TEL;TYPE=work,voice:+46 46 102\r\n"
    "TEL;TYPE=cell,voice:+46 70 300\r\n"
    "TEL;TYPE=msg:+46 74 400\r\n"
    "TITLE;CHARSET=utf-8:Chief Engineer\r\n"
    "X-MS-MANAGER;CHARSET=utf-8:Cia Lund\r\n"
    "BDAY:19800703\r\n"
    "X-MS-ANNIVERSARY:2005615\r\n"
    "NOTE;CHARSET=utf-8;ENCODING=QUOTED-PRINTABLE:Met at the fair.=0D=0A=\nLikes tea =3D yes\r\n"
    "PHOTO;ENCODING=BASE64:\r\n iVBORw0KGgoAAAANSUhEUg==\r\n\r\n"
    "END:VCARD\r\n";

// As the calendar writer writes it: the reference zone by name only, people without a value,
// an attendee's "ß" as one Windows-1252 byte.
const char kEventIcs[] =
    "BEGIN:VCALENDAR\r\nBEGIN:VTIMEZONE\r\nTZID:Greenwich Mean Time\r\nEND:VTIMEZONE\r\nBEGIN:VEVENT\r\n"
    "DTEND;TZID=\"Greenwich Mean Time\":20180703T100000\r\n"
    "DTSTART;TZID=\"Greenwich Mean Time\":20180703T091500\r\n"
    "SUMMARY;CHARSET=utf-8:Planning \xC3\xA9t\xC3\xA9\r\n"
    "ORGANIZER;CN=\"ann@acme.com\"\r\n"
    "ATTENDEE;CN=\"Gro\xDF Bert;cy@acme.com\"\r\n"
    "ATTACH;ENCODING=BASE64;VALUE=BINARY;X-FILENAME=\"a.txt\":aGVsbG8K\r\n"
    "DESCRIPTION;CHARSET=utf-8:Line one\\nLine two\r\n"
    "LOCATION;CHARSET=utf-8:Room 4\r\n"
    "CATEGORIES:Blue,Work\r\n"
    "X-MICROSOFT-CDO-IMPORTANCE:2\r\n"
    "BEGIN:VALARM\r\nTRIGGER:-PT15M\r\nACTION:DISPLAY\r\nDESCRIPTION:Reminder\r\nEND:VALARM\r\n"
    "END:VEVENT\r\nEND:VCALENDAR\r\n";

QByteArray Utf16(const QString& s) {
    QByteArray b("\xFF\xFE", 2);
    for (QChar c : s) b.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    return b;
}

class ImportTest : public StoreTest {
  protected:
    // Saves one item made by `fill` into a default folder and reads it back with its named
    // properties resolved.
    template <class Fill>
    pst::MessageData SaveOne(int defaultFolder, const char* cls, Fill fill) {
        const QString pst = Path(QStringLiteral("i.pst"));
        QFile::remove(pst);
        {
            PstSession session;
            PstStore store = session.OpenStore(pst);
            PstItem item = store.DefaultFolder(defaultFolder).Items().Add(QLatin1String(cls));
            fill(session, item);
            EXPECT_TRUE(item.Save()) << session.LastError().toStdString();
        }
        auto s = pst::Store::Open(QFile::encodeName(pst).toStdString(), false);
        store_ = std::move(*s);
        auto folder = store_->FindSubfolder(store_->IpmSubtree(),
                                            defaultFolder == kPstCalendar ? "Calendar" : "Contacts");
        auto ids = store_->Messages(folder->nid);
        EXPECT_EQ(ids->size(), 1u);
        return *store_->ReadMessage(ids->front());
    }
    uint16_t Named(const pst::Guid& set, uint32_t lid) { return *store_->NamedPropId({set, lid, {}}); }
    QString NamedStr(const pst::MessageData& m, const pst::Guid& set, uint32_t lid) {
        return Str(m.props, Named(set, lid));
    }
    std::unique_ptr<pst::Store> store_;
};

TEST_F(ImportTest, VcfFillsTheContactsFields) {
    const QString vcf = Write(QStringLiteral("c.vcf"), kContactVcf);
    auto m = SaveOne(kPstContacts, "IPM.Contact",
                     [&](PstSession&, PstItem& item) { EXPECT_TRUE(item.Import(vcf, kPstImportVcf)); });
    const struct {
        uint16_t tag;
        uint32_t lid;  // of PSETID_Address when tag is 0
        const char* want;
    } fields[] = {
        {0x3A11, 0, "Berg"},
        {0x3A06, 0, "Anna"},
        {0x3A44, 0, "M"},
        {0x3A45, 0, "Dr"},
        {0x3A05, 0, "Jr"},
        {0x3001, 0, "Dr Anna M Berg Jr"},
        {0x3A16, 0, "Acme AB"},
        {0x3A18, 0, "R&D"},
        {0, 0x8083, "anna@acme.example"},
        {0, 0x8093, "second@x.example"},
        {0x3A5D, 0, "Storgatan 1\r\nLgh 1102"},
        {0x3A59, 0, "Malmö"},
        {0x3A5C, 0, "Skåne"},
        {0x3A5B, 0, "211 34"},
        {0, 0x8045, "Industrivägen 3"},
        {0, 0x8046, "Lund"},
        {0x3A19, 0, "Building 7"},
        {0x3A08, 0, "+46 46 101"},
        {0x3A1B, 0, "+46 46 102"},
        {0x3A1C, 0, "+46 70 300"},
        {0x3A1F, 0, "+46 74 400"},
        {0x3A17, 0, "Chief Engineer"},
        {0x3A4E, 0, "Cia Lund"},
        {0x1000, 0, "Met at the fair.\r\nLikes tea = yes"},
        {0, 0x8005, "Berg, Anna"},
        {0, 0x8080, "Dr Anna M Berg Jr (anna@acme.example)"},
    };
    for (const auto& f : fields) {
        const QString got = f.tag ? Str(m.props, f.tag) : NamedStr(m, pst::PSETID_Address, f.lid);
        EXPECT_EQ(got, QString::fromUtf8(f.want)) << std::hex << f.tag << " " << f.lid;
    }
    EXPECT_EQ(pst::AsI8(m.props.at(0x3A42)), 119759040000000000ull);  // 1980-07-03
    EXPECT_EQ(pst::AsI8(m.props.at(0x3A41)), 127632672000000000ull);  // 2005-06-15
    ASSERT_EQ(m.attachments.size(), 1u);
    EXPECT_EQ(Str(m.attachments[0].props, pst::PidTagAttachLongFilename),
              QStringLiteral("ContactPicture.png"));
    EXPECT_EQ(m.attachments[0].data.size(), 16u);
}

TEST_F(ImportTest, IcsFillsTheAppointmentInUtc) {
    const QString ics = Write(QStringLiteral("e.ics"), kEventIcs);
    auto m = SaveOne(kPstCalendar, "IPM.Appointment",
                     [&](PstSession&, PstItem& item) { EXPECT_TRUE(item.Import(ics, kPstImportIcs)); });
    EXPECT_EQ(Str(m.props, pst::PidTagSubject), QStringLiteral("Planning été"));
    EXPECT_EQ(pst::AsI8(m.props.at(Named(pst::PSETID_Appointment, 0x820D))),
              131750829000000000ull);  // 09:15Z
    EXPECT_EQ(pst::AsI8(m.props.at(Named(pst::PSETID_Appointment, 0x820E))),
              131750856000000000ull);  // 10:00Z
    EXPECT_EQ(Long(m.props, Named(pst::PSETID_Appointment, 0x8213)), 45);
    EXPECT_EQ(NamedStr(m, pst::PSETID_Appointment, 0x8208), QStringLiteral("Room 4"));
    EXPECT_EQ(Str(m.props, pst::PidTagBody), QStringLiteral("Line one\r\nLine two"));
    EXPECT_EQ(Long(m.props, pst::PidTagImportance), 2);
    EXPECT_EQ(Long(m.props, Named(pst::PSETID_Common, 0x8501)), 15);
    EXPECT_EQ(Str(m.props, pst::PidTagSenderName), QStringLiteral("ann@acme.com"));
    ASSERT_EQ(m.recipients.size(), 2u);
    EXPECT_EQ(Str(m.recipients[0], pst::PidTagDisplayName), QStringLiteral("Groß Bert"));
    EXPECT_EQ(Str(m.recipients[1], pst::PidTagEmailAddress), QStringLiteral("cy@acme.com"));
    ASSERT_EQ(m.attachments.size(), 1u);
    EXPECT_EQ(Str(m.attachments[0].props, pst::PidTagAttachLongFilename), QStringLiteral("a.txt"));
    EXPECT_EQ(m.attachments[0].data, pst::Bytes({'h', 'e', 'l', 'l', 'o', '\n'}));
    const auto keywords =
        m.props.at(*store_->NamedPropId({pst::PS_PUBLIC_STRINGS, std::nullopt, "Keywords"}));
    EXPECT_EQ(keywords.type, pst::PT_MV_UNICODE);
}

TEST_F(ImportTest, AppointmentKeepsItsZoneWithItsDaylightRule) {
    auto m = SaveOne(kPstCalendar, "IPM.Appointment", [&](PstSession& session, PstItem& item) {
        // 10:15 in Berlin in July is 08:15 UTC.
        item.SetStart(QDateTime(QDate(2018, 7, 3), QTime(10, 15), QTimeZone("Europe/Berlin")));
        const PstTimeZone zone =
            session.TimeZoneByName(QStringLiteral("Z=-1$DO=1$DL=3 -1 1 10 -1 1$ZX=25$ZN=W. Europe"));
        ASSERT_TRUE(zone);
        EXPECT_EQ(zone.Name(), QStringLiteral("W. Europe Standard Time"));
        item.SetStartTimeZone(zone);
        item.SetEndTimeZone(zone);
    });
    EXPECT_EQ(pst::AsI8(m.props.at(Named(pst::PSETID_Appointment, 0x820D))), 131750793000000000ull);
    const pst::Bytes tz = m.props.at(Named(pst::PSETID_Appointment, 0x8233)).data;
    ASSERT_EQ(tz.size(), 48u);
    EXPECT_EQ(int32_t(pst::Rd32(tz.data())), -60);      // bias: an hour east of UTC
    EXPECT_EQ(int32_t(pst::Rd32(tz.data() + 8)), -60);  // daylight: one more hour
    EXPECT_EQ(pst::Rd16(tz.data() + 14 + 2), 10);       // standard time from October ...
    EXPECT_EQ(pst::Rd16(tz.data() + 14 + 6), 5);        // ... its last Sunday
    EXPECT_EQ(pst::Rd16(tz.data() + 32 + 2), 3);        // daylight time from March
    EXPECT_EQ(pst::Rd16(tz.data() + 32 + 8), 2);        // at 2:00
    const pst::Bytes def = m.props.at(Named(pst::PSETID_Appointment, 0x825F)).data;
    EXPECT_EQ(def.size(), 2 + 2 + 6 + 2 * 23 + 66u);
}

TEST_F(ImportTest, TimeZoneNames) {
    PstSession session;
    const struct {
        const char* text;
        const char* name;  // empty: no zone
    } cases[] = {
        {"Europe/Berlin", "W. Europe Standard Time"},
        {"Eastern Standard Time", "Eastern Standard Time"},
        {"Z=5$DO=1$DL=3 2 1 11 1 1$ZX=11$ZN=Eastern", "Eastern Standard Time"},
        {"Z=-9$DO=0$ZX=59$ZN=Tokyo", "Tokyo Standard Time"},
        {"Z=-1$DO=1$DL=3 -1 1 10 -1 1$ZX=25$ZN=Nowhere", "W. Europe Standard Time"},
        {"Greenwich Mean Time", "UTC"},
        {"Mars/Olympus", ""},
        {"Z=99", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(session.TimeZoneByName(QLatin1String(c.text)).Name(), QLatin1String(c.name)) << c.text;
}

TEST_F(ImportTest, GroupTextBecomesTheListsBody) {
    const QString body =
        QStringLiteral("Group Name: Team\r\nGroup Members: CN=Ann Lee/O=Acme;bob@acme.com\r\n");
    const QString txt = Write(QStringLiteral("g.txt"), Utf16(body));
    auto m = SaveOne(kPstGroupLists, "IPM.DistList", [&](PstSession&, PstItem& item) {
        item.SetDistListName(QStringLiteral("Team"));
        item.AddMember(QStringLiteral("CN=Ann Lee/O=Acme"));
        item.AddMember(QStringLiteral("bob@acme.com"));
        EXPECT_TRUE(item.Import(txt, kPstImportGroupText));
    });
    EXPECT_EQ(Str(m.props, pst::PidTagBody), body);
    EXPECT_EQ(NamedStr(m, pst::PSETID_Address, 0x8053), QStringLiteral("Team"));
    const pst::Prop members = m.props.at(Named(pst::PSETID_Address, 0x8055));
    EXPECT_EQ(members.type, pst::PT_MV_BINARY);
    EXPECT_EQ(pst::Rd32(members.data.data()), 2u);
}

TEST_F(ImportTest, DamagedFilesLeaveTheItemAsItWas) {
    const struct {
        const char* name;
        QByteArray bytes;
        int type;
    } bad[] = {
        {"a.vcf", "no card here", kPstImportVcf},
        {"a.ics", "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n", kPstImportIcs},
        {"b.ics", QByteArray("\0\0\0", 3), kPstImportIcs},
        {"a.txt", "odd", kPstImportGroupText},
        {"a.eml", "", kPstImportEml},
    };
    PstSession session;
    PstStore store = session.OpenStore(Path(QStringLiteral("d.pst")));
    for (const auto& b : bad) {
        PstItem item = store.TopFolder().Items().Add(QStringLiteral("IPM.Note"));
        item.SetSubject(QStringLiteral("kept"));
        EXPECT_FALSE(item.Import(Write(QLatin1String(b.name), b.bytes), b.type)) << b.name;
        EXPECT_TRUE(session.LastError().contains(QLatin1String(b.name))) << b.name;
        EXPECT_TRUE(item.Save());
    }
    session.LogOff();
    for (const auto& m : Messages(Path(QStringLiteral("d.pst")), {})) {
        EXPECT_EQ(Str(m.props, pst::PidTagSubject), QStringLiteral("kept"));
        EXPECT_TRUE(m.attachments.empty());
    }
}

}  // namespace
