#include "convert/calendar/ContactPstProperties.h"

#include "common/pst/PstDates.h"

namespace {

// A contact's dates are days: read month first, kept as midnight UTC like the vCard's.
void SetDate(PstItem& item, PstContactDate property, const QString& text) {
    if (text.isEmpty()) return;
    const QDateTime when = PstParseDateText(text, QTimeZone::utc());
    if (when.isValid()) item.SetContactDate(property, when);
}

}  // namespace

void SetContactProperties(PstItem& item, const ContactFields* f) {
    if (!f) return;
    using P = PstContactText;
    SetDate(item, PstContactDate::Anniversary, f->Anniversary);
    item.SetContactText(P::AssistantName, f->Assistant);
    item.SetContactText(P::AssistantPhone, f->AssistantPhone);
    SetDate(item, PstContactDate::Birthday, f->Birthday);
    item.SetContactText(P::Business2Phone, f->OtherOfficePhone);
    item.SetContactText(P::BusinessCity, f->OfficeCity);
    item.SetContactText(P::BusinessCountry, f->OfficeCountry);
    item.SetContactText(P::BusinessPostalCode, f->OfficeZip);
    item.SetContactText(P::BusinessState, f->OfficeState);
    item.SetContactText(P::BusinessStreet, f->OfficeStreet);
    item.SetContactText(P::BusinessFax, f->OfficeFax);
    item.SetContactText(P::BusinessHomePage, f->Website);
    item.SetContactText(P::BusinessPhone, f->OfficePhone);
    item.SetContactText(P::Children, f->Children);
    item.SetContactText(P::CompanyName, f->CompanyName);
    item.SetContactText(P::Department, f->Department);
    item.SetContactText(P::Email1, f->Email1);
    item.SetContactText(P::Email2, f->Email2);
    item.SetContactText(P::Email3, f->Email4);
    item.SetContactText(P::FirstName, f->FirstName);
    item.SetContactText(P::FullName, f->FullName);
    item.SetContactText(P::Home2Phone, f->OtherHomePhone);
    item.SetContactText(P::HomeCity, f->HomeCity);
    item.SetContactText(P::HomeCountry, f->HomeCountry);
    item.SetContactText(P::HomePostalCode, f->HomeZip);
    item.SetContactText(P::HomeState, f->HomeState);
    item.SetContactText(P::HomeStreet, f->HomeStreet);
    item.SetContactText(P::HomeFax, f->HomeFax);
    item.SetContactText(P::HomePhone, f->HomePhone);
    item.SetContactText(P::InstantMessaging, f->InstantMessaging);
    item.SetContactText(P::JobTitle, f->JobTitle);
    item.SetContactText(P::LastName, f->LastName);
    // The mailing address: its name, then the parts of the address it names.
    const struct {
        const char* name;
        const QString *city, *country, *zip, *state, *street;
    } mailing[] = {
        {"home", &f->HomeCity, &f->HomeCountry, &f->HomeZip, &f->HomeState, &f->HomeStreet},
        {"business", &f->OfficeCity, &f->OfficeCountry, &f->OfficeZip, &f->OfficeState, &f->OfficeStreet},
        {"other", &f->OtherCity, &f->OtherCountry, &f->OtherZip, &f->OtherState, &f->OtherStreet},
    };
    if (f->PrimaryAddressKind >= 1 && f->PrimaryAddressKind <= 3) {
        const auto& m = mailing[f->PrimaryAddressKind - 1];
        item.SetContactText(P::MailingAddress, QLatin1String(m.name));
        item.SetContactText(P::MailingCity, *m.city);
        item.SetContactText(P::MailingCountry, *m.country);
        item.SetContactText(P::MailingPostalCode, *m.zip);
        item.SetContactText(P::MailingPostOfficeBox, QString());
        item.SetContactText(P::MailingState, *m.state);
        item.SetContactText(P::MailingStreet, *m.street);
    }
    item.SetContactText(P::ManagerName, f->Manager);
    item.SetContactText(P::MiddleName, f->MiddleInitial);
    item.SetContactText(P::MobilePhone, f->CellPhone);
    item.SetContactText(P::NickName, f->NickName);
    item.SetContactText(P::OfficeLocation, f->Location);
    item.SetContactText(P::OtherCity, f->OtherCity);
    item.SetContactText(P::OtherCountry, f->OtherCountry);
    item.SetContactText(P::OtherPostalCode, f->OtherZip);
    item.SetContactText(P::OtherState, f->OtherState);
    item.SetContactText(P::OtherStreet, f->OtherStreet);
    item.SetContactText(P::OtherPhone, f->PersonalPager);
    item.SetContactText(P::Pager, f->Pager);
    item.SetContactText(P::PrimaryPhone, f->PrimaryPhone);
    item.SetSelectedMailingAddress(
        f->PrimaryAddressKind >= 1 && f->PrimaryAddressKind <= 3 ? f->PrimaryAddressKind : 0);
    item.SetContactText(P::Spouse, f->Spouse);
    item.SetContactText(P::Suffix, f->Suffix);
    item.SetContactText(P::Title, f->Title);
    item.SetContactText(P::User1, f->Custom1);
    item.SetContactText(P::User2, f->Custom2);
    item.SetContactText(P::User3, f->Custom3);
    if (!f->BodyHtml.isEmpty())
        item.SetHtmlBody(f->BodyHtml);
    else
        item.SetPlainBody(f->Comment);
}

void SetGroupListProperties(PstItem& item, const ContactFields* f) {
    if (!f) return;
    item.SetDistListName(f->ListName);
    const QStringList entries = f->Members.contains(u';') ? f->Members.split(u';') : QStringList();
    if (entries.isEmpty()) item.AddMember(f->Members, QString(), QString());
    for (const QString& entry : entries) item.AddMember(entry, QString(), QString());
}
