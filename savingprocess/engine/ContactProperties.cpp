// The contact and group-list properties of an item, straight from the contact record, in the
// order Outlook's own contact form fills them.

#include "savingprocess/engine/ConversionEngine.h"

#include <array>
#include <utility>

namespace {

using Member = QString ContactFields::*;

struct TextStep {
    Member member;
    ItemProp prop;
};

constexpr std::array kBeforeMailing{
    TextStep{&ContactFields::Assistant, ItemProp::AssistantName},
    TextStep{&ContactFields::AssistantPhone, ItemProp::AssistantPhone},
};
constexpr std::array kAfterBirthday{
    TextStep{&ContactFields::OtherOfficePhone, ItemProp::Business2Phone},
    TextStep{&ContactFields::OfficeCity, ItemProp::BusinessCity},
    TextStep{&ContactFields::OfficeCountry, ItemProp::BusinessCountry},
    TextStep{&ContactFields::OfficeZip, ItemProp::BusinessPostalCode},
    TextStep{&ContactFields::OfficeState, ItemProp::BusinessState},
    TextStep{&ContactFields::OfficeStreet, ItemProp::BusinessStreet},
    TextStep{&ContactFields::OfficeFax, ItemProp::BusinessFax},
    TextStep{&ContactFields::Website, ItemProp::BusinessHomePage},
    TextStep{&ContactFields::OfficePhone, ItemProp::BusinessPhone},
    TextStep{&ContactFields::Children, ItemProp::Children},
    TextStep{&ContactFields::CompanyName, ItemProp::CompanyName},
    TextStep{&ContactFields::Department, ItemProp::Department},
    TextStep{&ContactFields::Email1, ItemProp::Email1},
    TextStep{&ContactFields::Email2, ItemProp::Email2},
    TextStep{&ContactFields::Email4, ItemProp::Email3},
    TextStep{&ContactFields::FirstName, ItemProp::FirstName},
    TextStep{&ContactFields::FullName, ItemProp::FullName},
    TextStep{&ContactFields::OtherHomePhone, ItemProp::Home2Phone},
    TextStep{&ContactFields::HomeCity, ItemProp::HomeCity},
    TextStep{&ContactFields::HomeCountry, ItemProp::HomeCountry},
    TextStep{&ContactFields::HomeZip, ItemProp::HomePostalCode},
    TextStep{&ContactFields::HomeState, ItemProp::HomeState},
    TextStep{&ContactFields::HomeStreet, ItemProp::HomeStreet},
    TextStep{&ContactFields::HomeFax, ItemProp::HomeFax},
    TextStep{&ContactFields::HomePhone, ItemProp::HomePhone},
    TextStep{&ContactFields::InstantMessaging, ItemProp::InstantMessaging},
    TextStep{&ContactFields::JobTitle, ItemProp::JobTitle},
    TextStep{&ContactFields::LastName, ItemProp::LastName},
};
constexpr std::array kAfterMailing{
    TextStep{&ContactFields::Manager, ItemProp::ManagerName},
    TextStep{&ContactFields::MiddleInitial, ItemProp::MiddleName},
    TextStep{&ContactFields::CellPhone, ItemProp::MobilePhone},
    TextStep{&ContactFields::NickName, ItemProp::NickName},
    TextStep{&ContactFields::Location, ItemProp::OfficeLocation},
    TextStep{&ContactFields::OtherCity, ItemProp::OtherCity},
    TextStep{&ContactFields::OtherCountry, ItemProp::OtherCountry},
    TextStep{&ContactFields::OtherZip, ItemProp::OtherPostalCode},
    TextStep{&ContactFields::OtherState, ItemProp::OtherState},
    TextStep{&ContactFields::OtherStreet, ItemProp::OtherStreet},
    TextStep{&ContactFields::PersonalPager, ItemProp::MessagingPhone},
    TextStep{&ContactFields::Pager, ItemProp::Pager},
    TextStep{&ContactFields::PrimaryPhone, ItemProp::PrimaryPhone},
};
constexpr std::array kLast{
    TextStep{&ContactFields::Spouse, ItemProp::Spouse}, TextStep{&ContactFields::Suffix, ItemProp::Suffix},
    TextStep{&ContactFields::Title, ItemProp::Title},   TextStep{&ContactFields::Custom1, ItemProp::User1},
    TextStep{&ContactFields::Custom2, ItemProp::User2}, TextStep{&ContactFields::Custom3, ItemProp::User3},
};

// The members of one address: city, country, postal code, state, street.
struct AddressMembers {
    const char* name;
    std::array<Member, 5> members;
};
const std::array<AddressMembers, 3> kAddresses{{
    {"home",
     {&ContactFields::HomeCity, &ContactFields::HomeCountry, &ContactFields::HomeZip,
      &ContactFields::HomeState, &ContactFields::HomeStreet}},
    {"business",
     {&ContactFields::OfficeCity, &ContactFields::OfficeCountry, &ContactFields::OfficeZip,
      &ContactFields::OfficeState, &ContactFields::OfficeStreet}},
    {"other",
     {&ContactFields::OtherCity, &ContactFields::OtherCountry, &ContactFields::OtherZip,
      &ContactFields::OtherState, &ContactFields::OtherStreet}},
}};

template <std::size_t N>
void SetTexts(StoreItem& item, const ContactFields& f, const std::array<TextStep, N>& steps) {
    for (const TextStep& step : steps) item.SetText(step.prop, f.*step.member);
}

void SetDateIfValid(StoreItem& item, ItemProp prop, const QString& text) {
    if (text.isEmpty()) return;
    if (const QDateTime d = DateTextToLocal(text); d.isValid()) item.SetDate(prop, d);
}

}  // namespace

void SetContactProperties(StoreItem& item, const ContactFields& f) {
    SetDateIfValid(item, ItemProp::Anniversary, f.Anniversary);
    SetTexts(item, f, kBeforeMailing);
    SetDateIfValid(item, ItemProp::Birthday, f.Birthday);
    SetTexts(item, f, kAfterBirthday);
    if (f.PrimaryAddressKind >= 1 && f.PrimaryAddressKind <= 3) {
        const AddressMembers& address = kAddresses[static_cast<std::size_t>(f.PrimaryAddressKind - 1)];
        item.SetText(ItemProp::MailingAddress, QString::fromLatin1(address.name));
        const std::array<ItemProp, 5> mailing{ItemProp::MailingCity, ItemProp::MailingCountry,
                                              ItemProp::MailingPostalCode, ItemProp::MailingState,
                                              ItemProp::MailingStreet};
        for (std::size_t i = 0; i < 3; ++i) item.SetText(mailing[i], f.*address.members[i]);
        item.SetText(ItemProp::MailingPostOfficeBox, QString());
        for (std::size_t i = 3; i < 5; ++i) item.SetText(mailing[i], f.*address.members[i]);
    }
    SetTexts(item, f, kAfterMailing);
    item.SetNumber(ItemProp::SelectedMailingAddress, f.PrimaryAddressKind);
    SetTexts(item, f, kLast);
    if (!f.BodyHtml.isEmpty())
        item.SetText(ItemProp::HtmlBody, f.BodyHtml);
    else
        item.SetText(ItemProp::PlainBody, f.Comment);
}

void SetGroupListProperties(StoreItem& item, const ContactFields& f) {
    item.SetText(ItemProp::ListName, f.ListName);
    // Without a ";" the whole text is the one member, also when it is empty.
    const QStringList entries = f.Members.contains(u';') ? f.Members.split(u';') : QStringList{f.Members};
    for (const QString& entry : entries) item.AddMember(entry, QString(), QString());
}
