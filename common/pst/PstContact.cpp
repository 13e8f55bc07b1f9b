// Contact and group-list properties ([MS-OXOCNTC]).
#include <QFile>
#include <QFileInfo>

#include "common/pst/PstProps.h"
#include "common/pst/PstStore.h"

using namespace pstprops;

namespace {

struct ContactSlot {
    PstContactText property;
    uint16_t tag;  // a tagged property, or 0
    uint32_t lid;  // else a named property of PSETID_Address
};

constexpr ContactSlot kSlots[] = {
    {PstContactText::AssistantName, kAssistant, 0},
    {PstContactText::AssistantPhone, kAssistantPhone, 0},
    {PstContactText::Business2Phone, kBusiness2Phone, 0},
    {PstContactText::BusinessCity, 0, kLidWorkCity},
    {PstContactText::BusinessCountry, 0, kLidWorkCountry},
    {PstContactText::BusinessPostalCode, 0, kLidWorkPostalCode},
    {PstContactText::BusinessState, 0, kLidWorkState},
    {PstContactText::BusinessStreet, 0, kLidWorkStreet},
    {PstContactText::BusinessFax, kBusinessFax, 0},
    {PstContactText::BusinessHomePage, kBusinessHomePage, 0},
    {PstContactText::BusinessPhone, kBusinessPhone, 0},
    {PstContactText::Children, kChildrensNames, 0},
    {PstContactText::CompanyName, kCompanyName, 0},
    {PstContactText::Department, kDepartment, 0},
    {PstContactText::Email1, 0, kLidEmail1Address},
    {PstContactText::Email2, 0, kLidEmail1Address + 0x10},
    {PstContactText::Email3, 0, kLidEmail1Address + 0x20},
    {PstContactText::FirstName, kGivenName, 0},
    {PstContactText::FullName, pst::PidTagDisplayName, 0},
    {PstContactText::Home2Phone, kHome2Phone, 0},
    {PstContactText::HomeCity, kHomeCity, 0},
    {PstContactText::HomeCountry, kHomeCountry, 0},
    {PstContactText::HomePostalCode, kHomePostalCode, 0},
    {PstContactText::HomeState, kHomeState, 0},
    {PstContactText::HomeStreet, kHomeStreet, 0},
    {PstContactText::HomeFax, kHomeFax, 0},
    {PstContactText::HomePhone, kHomePhone, 0},
    {PstContactText::InstantMessaging, 0, kLidInstantMessaging},
    {PstContactText::JobTitle, kJobTitle, 0},
    {PstContactText::LastName, kSurname, 0},
    {PstContactText::MailingAddress, kPostalAddress, 0},
    {PstContactText::ManagerName, kManagerName, 0},
    {PstContactText::MiddleName, kMiddleName, 0},
    {PstContactText::MobilePhone, kMobilePhone, 0},
    {PstContactText::NickName, kNickname, 0},
    {PstContactText::OfficeLocation, kOfficeLocation, 0},
    {PstContactText::OtherCity, kOtherCity, 0},
    {PstContactText::OtherCountry, kOtherCountry, 0},
    {PstContactText::OtherPostalCode, kOtherPostalCode, 0},
    {PstContactText::OtherState, kOtherState, 0},
    {PstContactText::OtherStreet, kOtherStreet, 0},
    {PstContactText::OtherPhone, kOtherPhone, 0},
    {PstContactText::Pager, kPagerPhone, 0},
    {PstContactText::PrimaryPhone, kPrimaryPhone, 0},
    {PstContactText::Spouse, kSpouseName, 0},
    {PstContactText::Suffix, kGeneration, 0},
    {PstContactText::Title, kDisplayNamePrefix, 0},
    {PstContactText::User1, 0, kLidUser1},
    {PstContactText::User2, 0, kLidUser2},
    {PstContactText::User3, 0, kLidUser3},
    {PstContactText::MailingCity, kLocality, 0},
    {PstContactText::MailingCountry, kCountry, 0},
    {PstContactText::MailingPostalCode, kPostalCode, 0},
    {PstContactText::MailingPostOfficeBox, kPostOfficeBox, 0},
    {PstContactText::MailingState, kStateOrProvince, 0},
    {PstContactText::MailingStreet, kStreetAddress, 0},
};

}  // namespace

void PstItem::SetContactText(PstContactText property, const QString& value) {
    if (!d_) return;
    for (const ContactSlot& s : kSlots) {
        if (s.property != property) continue;
        const pst::Prop v =
            property == PstContactText::Children
                ? pst::MakeMvUnicode(value.isEmpty() ? std::vector<std::string>{}
                                                     : std::vector<std::string>{value.toStdString()})
                : pst::MakeUtf8(value.toStdString());
        if (s.tag)
            PstSetProp(*d_, s.tag, v);
        else
            PstSetNamed(*d_, pst::PSETID_Address, s.lid, v);
        return;
    }
}

void PstItem::SetContactDate(PstContactDate property, const QDateTime& when) {
    if (!d_ || !when.isValid()) return;
    PstSetProp(*d_, property == PstContactDate::Birthday ? kBirthday : kWeddingAnniversary,
               pst::MakeI8(ToFileTime(when), pst::PT_SYSTIME));
}

void PstItem::SetSelectedMailingAddress(int kind) {
    if (d_)
        PstSetNamed(*d_, pst::PSETID_Address, kLidPostalAddressId,
                    pst::MakeLong(uint32_t(std::clamp(kind, 0, 3))));
}

bool PstItem::AddPicture(const QString& path) {
    if (!d_) return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > (64 << 20)) {
        d_->ctx->Fail(QStringLiteral("contact picture cannot be read: ") + path,
                      f.errorString().toStdString());
        return false;
    }
    const QByteArray bytes = f.readAll();
    pst::Attachment a;
    a.data.assign(bytes.begin(), bytes.end());
    const QString ext = QFileInfo(path).suffix().isEmpty() ? QStringLiteral("jpg") : QFileInfo(path).suffix();
    const std::string name = ("ContactPicture." + ext).toStdString();
    a.props[pst::PidTagAttachMethod] = pst::MakeLong(pst::kAttachByValue);
    a.props[pst::PidTagAttachFilename] = pst::MakeUtf8(name);
    a.props[pst::PidTagAttachLongFilename] = pst::MakeUtf8(name);
    a.props[pst::PidTagDisplayName] = pst::MakeUtf8(name);
    a.props[pst::PidTagAttachMimeTag] = pst::MakeUtf8(
        ext.compare(QLatin1String("png"), Qt::CaseInsensitive) == 0 ? "image/png" : "image/jpeg");
    a.props[kAttachContactPhoto] = pst::MakeBool(true);
    a.props[kAttachHidden] = pst::MakeBool(true);
    a.props[pst::PidTagRenderingPosition] = pst::MakeLong(0xFFFFFFFF);
    // One picture per contact: a later one replaces the earlier.
    auto& atts = d_->msg.attachments;
    atts.erase(std::remove_if(atts.begin(), atts.end(),
                              [](const pst::Attachment& x) { return x.props.count(kAttachContactPhoto); }),
               atts.end());
    atts.push_back(std::move(a));
    PstSetNamed(*d_, pst::PSETID_Address, kLidHasPicture, pst::MakeBool(true));
    return true;
}

void PstItem::AddMember(const QString& name, const QString& address, const QString& addressType) {
    if (!d_) return;
    if (name.trimmed().isEmpty() && address.trimmed().isEmpty()) {
        d_->ctx->Fail(QStringLiteral("a group-list member without a name is left out"), {});
        return;
    }
    PstPerson p = PersonOf(address.isEmpty() ? name : address);
    if (!name.isEmpty() && !address.isEmpty()) p.name = name;
    if (!addressType.isEmpty()) p.type = addressType;
    d_->members.append(p);
}
