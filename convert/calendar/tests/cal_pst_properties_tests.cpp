// The contact and group-list setters, read back from the PST file they were saved into.
#include "common/pst/tests/pststore_support.h"
#include "convert/calendar/ContactPstProperties.h"

namespace {

class ContactPropertiesTest : public StoreTest {
  protected:
    pst::MessageData Save(const char* cls, const ContactFields& f) {
        const QString file = Path(QStringLiteral("c%1.pst").arg(++n_));
        {
            PstSession session;
            PstItem item =
                session.OpenStore(file).DefaultFolder(kPstContacts).Items().Add(QLatin1String(cls));
            if (QLatin1String(cls) == QLatin1String("IPM.Contact"))
                SetContactProperties(item, &f);
            else
                SetGroupListProperties(item, &f);
            SetContactProperties(item, nullptr);  // no record: nothing
            EXPECT_TRUE(item.Save());
        }
        auto opened = pst::Store::Open(QFile::encodeName(file).toStdString(), false);
        store_ = std::move(*opened);
        auto folder = store_->FindSubfolder(store_->IpmSubtree(), "Contacts");
        return *store_->ReadMessage(store_->Messages(folder->nid)->front());
    }
    QString Named(const pst::MessageData& m, uint32_t lid) {
        return Str(m.props, *store_->NamedPropId({pst::PSETID_Address, lid, {}}));
    }
    int n_ = 0;
    std::unique_ptr<pst::Store> store_;
};

TEST_F(ContactPropertiesTest, MailingAddressFollowsThePrimaryAddress) {
    ContactFields f;
    f.HomeCity = QStringLiteral("Malmö");
    f.HomeStreet = QStringLiteral("Storgatan 1");
    f.OfficeCity = QStringLiteral("Lund");
    f.OtherCity = QStringLiteral("Oslo");
    const struct {
        int kind;
        const char* text;  // "<none>": no mailing address
        const char* city;
        int selected;
    } cases[] = {{1, "home", "Malmö", 1},
                 {2, "business", "Lund", 2},
                 {3, "other", "Oslo", 3},
                 {0, "<none>", "<none>", 0}};
    for (const auto& c : cases) {
        f.PrimaryAddressKind = c.kind;
        const auto m = Save("IPM.Contact", f);
        EXPECT_EQ(Str(m.props, 0x3A15), QString::fromUtf8(c.text)) << c.kind;
        EXPECT_EQ(Str(m.props, 0x3A27), QString::fromUtf8(c.city)) << c.kind;
        EXPECT_EQ(Long(m.props, *store_->NamedPropId({pst::PSETID_Address, 0x8022, {}})), c.selected);
    }
    EXPECT_EQ(Str(Save("IPM.Contact", f).props, 0x3A59),
              QStringLiteral("Malmö"));  // the home address itself stays
}

TEST_F(ContactPropertiesTest, FieldsDatesAndBody) {
    ContactFields f;
    f.FirstName = QStringLiteral("Anna");
    f.LastName = QStringLiteral("Berg");
    f.FullName = QStringLiteral("Anna Berg");
    f.Email1 = QStringLiteral("anna@acme.example");
    f.Email4 = QStringLiteral("fourth@x.example");
    f.OfficeCity = QStringLiteral("Lund");
    f.PersonalPager = QStringLiteral("+46 74 400");
    f.Custom2 = QStringLiteral("two");
    f.Birthday = QStringLiteral("7/3/1980");       // 3 July, month first everywhere
    f.Anniversary = QStringLiteral("not a date");  // left unset
    f.Comment = QStringLiteral("plain comment");
    auto m = Save("IPM.Contact", f);
    EXPECT_EQ(Str(m.props, 0x3001), QStringLiteral("Anna Berg"));
    EXPECT_EQ(Named(m, 0x8083), QStringLiteral("anna@acme.example"));
    EXPECT_EQ(Named(m, 0x80A3), QStringLiteral("fourth@x.example"));  // Email4 is the third address
    EXPECT_EQ(Named(m, 0x8046), QStringLiteral("Lund"));
    EXPECT_EQ(Named(m, 0x8050), QStringLiteral("two"));
    EXPECT_EQ(Str(m.props, 0x3A1F), QStringLiteral("+46 74 400"));
    EXPECT_EQ(pst::AsI8(m.props.at(0x3A42)), 119759040000000000ull);
    EXPECT_FALSE(m.props.count(0x3A41));
    EXPECT_EQ(Str(m.props, pst::PidTagBody), QStringLiteral("plain comment"));
    EXPECT_FALSE(m.props.count(pst::PidTagHtml));
    f.BodyHtml = QStringLiteral("<p>html wins</p>");
    m = Save("IPM.Contact", f);
    EXPECT_TRUE(m.props.count(pst::PidTagHtml));
    EXPECT_EQ(Str(m.props, pst::PidTagBody), QStringLiteral("html wins"));
}

TEST_F(ContactPropertiesTest, GroupMembersSplitAtSemicolons) {
    const struct {
        const char* members;
        uint32_t stored;  // an empty entry is refused by the store
    } cases[] = {{"CN=Anna Berg/O=Acme", 1}, {"CN=Anna Berg/O=Acme;bo@x.example", 2}, {"a;b;", 2}, {"", 0}};
    for (const auto& c : cases) {
        ContactFields f;
        f.ListName = QStringLiteral("Team");
        f.Members = QLatin1String(c.members);
        const auto m = Save("IPM.DistList", f);
        EXPECT_EQ(Str(m.props, pst::PidTagDisplayName), QStringLiteral("Team"));
        const auto& mv = m.props.at(*store_->NamedPropId({pst::PSETID_Address, 0x8055, {}})).data;
        EXPECT_EQ(pst::Rd32(mv.data()), c.stored) << c.members;
    }
}

}  // namespace
