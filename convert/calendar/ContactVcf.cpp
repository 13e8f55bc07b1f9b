#include "convert/calendar/ContactVcf.h"

#include "convert/mail/ConvertContext.h"

#include <utility>

namespace {

using Member = QString ContactFields::*;

// Form field name -> member. Several names may fill one member; the later field in form
// order wins because the reader assigns in that order.
const std::pair<const char16_t*, Member> kFieldTable[] = {
    {u"FullNameInput", &ContactFields::FullName},
    {u"CompanyName", &ContactFields::CompanyName},
    {u"JobTitle", &ContactFields::JobTitle},
    {u"FirstName", &ContactFields::FirstName},
    {u"MiddleInitial", &ContactFields::MiddleInitial},
    {u"LastName", &ContactFields::LastName},
    {u"Title", &ContactFields::Title},
    {u"Suffix", &ContactFields::Suffix},
    {u"email_1", &ContactFields::Email1},
    {u"MailAddress", &ContactFields::Email1},
    {u"primaryPhoneNumber", &ContactFields::PrimaryPhone},
    {u"miscPhone1", &ContactFields::Email2},
    {u"MiscPhone1", &ContactFields::Email2},
    {u"miscPhone2", &ContactFields::Email3},
    {u"MiscPhone2", &ContactFields::Email3},
    {u"miscPhone3", &ContactFields::Email4},
    {u"MiscPhone3", &ContactFields::Email4},
    {u"email_5", &ContactFields::Email5},
    {u"OfficePhoneNumber", &ContactFields::OfficePhone},
    {u"PhoneNumber", &ContactFields::HomePhone},
    {u"CellPhoneNumber", &ContactFields::CellPhone},
    {u"OfficeFAXPhoneNumber", &ContactFields::OfficeFax},
    {u"PhoneNumber_6", &ContactFields::Pager},
    {u"PhoneNumber_8", &ContactFields::AssistantPhone},
    {u"HomeFaxPhoneNumber", &ContactFields::HomeFax},
    {u"PersPager", &ContactFields::PersonalPager},
    {u"PhoneNumber_9", &ContactFields::OtherOfficePhone},
    {u"PhoneNumber_10", &ContactFields::OtherHomePhone},
    {u"SametimeLogin", &ContactFields::InstantMessaging},
    {u"Department", &ContactFields::Department},
    {u"Location", &ContactFields::Location},
    {u"Manager", &ContactFields::Manager},
    {u"Assistant", &ContactFields::Assistant},
    {u"Website", &ContactFields::Website},
    {u"Blogsite", &ContactFields::Blogsite},
    {u"Spouse", &ContactFields::Spouse},
    {u"Children", &ContactFields::Children},
    {u"Birthday", &ContactFields::Birthday},
    {u"Anniversary", &ContactFields::Anniversary},
    {u"Custom1", &ContactFields::Custom1},
    {u"Custom2", &ContactFields::Custom2},
    {u"Custom3", &ContactFields::Custom3},
    {u"OfficeStreetAddress", &ContactFields::OfficeStreet},
    {u"OfficeCity", &ContactFields::OfficeCity},
    {u"OfficeState", &ContactFields::OfficeState},
    {u"OfficeZip", &ContactFields::OfficeZip},
    {u"OfficeCountry", &ContactFields::OfficeCountry},
    {u"StreetAddress", &ContactFields::HomeStreet},
    {u"City", &ContactFields::HomeCity},
    {u"State", &ContactFields::HomeState},
    {u"Zip", &ContactFields::HomeZip},
    {u"Country", &ContactFields::HomeCountry},
    {u"OtherStreetAddress", &ContactFields::OtherStreet},
    {u"OtherCity", &ContactFields::OtherCity},
    {u"OtherState", &ContactFields::OtherState},
    {u"OtherZip", &ContactFields::OtherZip},
    {u"OtherCountry", &ContactFields::OtherCountry},
    {u"Categories", &ContactFields::Categories},
    {u"ShortName", &ContactFields::NickName},
    {u"AltFullNameSort", &ContactFields::AltFullNameSort},
    {u"Comment", &ContactFields::Comment},
    {u"ListName", &ContactFields::ListName},
    {u"ListDescription", &ContactFields::ListDescription},
    {u"Members", &ContactFields::Members},
    {u"ListOwner", &ContactFields::ListOwner},
};

QByteArray Utf8Line(const QString& text) {
    return OneLine(text).toUtf8();
}

// The value of a property marked ENCODING=QUOTED-PRINTABLE. A line break is written as the
// encoded CR LF and a soft break, "=0D=0A=" LF; a CR in front of the LF is part of that break,
// since a raw one would come back as a second CR. An '=' of the text is written as "=3D"
// (RFC 2045 6.7), because a quoted-printable reader would take "=41" in a note for an escape.
QByteArray QuotedPrintableValue(const QString& text) {
    QString value = text;
    value.replace(QLatin1Char('='), QLatin1String("=3D"));
    value.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    value.replace(QLatin1Char('\n'), QLatin1String("=0D=0A=\n"));
    return value.toUtf8();
}

}  // namespace

QString* ContactMemberFor(ContactFields& fields, const QString& fieldName) {
    for (const auto& [name, member] : kFieldTable) {
        if (fieldName == QStringView(name)) return &(fields.*member);
    }
    return nullptr;
}

std::int32_t PrimaryAddressKindOf(const QString& value) {
    if (value == u"Home") return 1;
    if (value == u"Other") return 3;
    return 2;
}

QString VcfDateValue(const QString& dateText) {
    const qsizetype lastSlash = dateText.lastIndexOf(QLatin1Char('/'));
    if (lastSlash < 0) return {};
    QString moved = dateText.mid(lastSlash) + dateText.left(lastSlash);
    moved.remove(QLatin1Char('/'));
    return moved;
}

void WriteVcfPhoto(LineFile& vcf, QIODevice& photo) {
    vcf.Line("PHOTO;ENCODING=BASE64:");
    vcf.Write(" ");
    vcf.WriteBase64(photo);
    vcf.Line("");
    vcf.Line("");
}

int WriteContactVcfFile(const QString& vcfPath, const ContactFields& f, const ConvertContext& context,
                        const VcfPhotoStep& photo, QString& photoPath) {
    LineFile vcf(vcfPath);
    if (!vcf.Create())
        return WriterFailure(context,
                             QStringLiteral("ERROR:Invalid Path. Contact Entry cannot be dump. \r\n"));
    const auto utf8 = [&vcf](const char* prefix, const QString& value) {
        if (!value.isEmpty()) vcf.Line(prefix + Utf8Line(value));
    };
    const auto ansi = [&vcf](const char* prefix, const QString& value) {
        if (!value.isEmpty()) vcf.Line(prefix + EncodeAnsi(OneLine(value)));
    };
    return RunWriterSteps(context, vcf, QStringLiteral("ERROR:Contact Entry is Not Dump \r\n"), [&] {
        vcf.Line("BEGIN:VCARD");
        if (!f.FirstName.isEmpty() || !f.LastName.isEmpty()) {
            QString lastName = f.LastName;
            lastName.replace(QLatin1Char(','), QLatin1Char(';'));
            vcf.Line("N;CHARSET=utf-8:" + Utf8Line(lastName + u';' + f.FirstName + u';' + f.MiddleInitial +
                                                   u';' + f.Title + u';' + f.Suffix));
            QString fullName;
            for (const QString* part : {&f.Title, &f.FirstName, &f.MiddleInitial, &f.LastName}) {
                if (!part->isEmpty()) fullName += *part + u' ';
            }
            vcf.Line("FN;CHARSET=utf-8:" + Utf8Line(fullName + f.Suffix));
        }
        if (!f.CompanyName.isEmpty())
            vcf.Line("ORG;CHARSET=utf-8:" + Utf8Line(f.CompanyName + u';' + f.Department));
        utf8("NICKNAME;CHARSET=utf-8:", f.NickName);
        for (const QString* email : {&f.Email1, &f.Email2, &f.Email4, &f.Email5, &f.Email3})
            utf8("EMAIL;CHARSET=utf-8:", *email);

        const auto address = [&vcf](const char* type, const QStringList& parts) {
            QByteArray value;
            for (const QString& part : parts) value += ';' + QuotedPrintableValue(part);
            vcf.Line(QByteArray("ADR;TYPE=") + type + ";ENCODING=QUOTED-PRINTABLE;CHARSET=utf-8:" + value);
        };
        address("home", {QString(), f.HomeStreet, f.HomeCity, f.HomeState, f.HomeZip, f.HomeCountry});
        address("work",
                {f.Location, f.OfficeStreet, f.OfficeCity, f.OfficeState, f.OfficeZip, f.OfficeCountry});
        address("postal", {QString(), f.OtherStreet, f.OtherCity, f.OtherState, f.OtherZip, f.OtherCountry});

        ansi("TEL;TYPE=work,fax:", f.OfficeFax);
        ansi("TEL;TYPE=work,voice:", f.OfficePhone);
        ansi("TEL;TYPE=work,voice:", f.OtherOfficePhone);
        ansi("TEL;TYPE=home,fax:", f.HomeFax);
        ansi("TEL;TYPE=home,voice:", f.HomePhone);
        ansi("TEL;TYPE=home,voice:", f.OtherHomePhone);
        ansi("TEL;TYPE=cell,voice:", f.CellPhone);
        ansi("TEL;TYPE=msg:", f.PersonalPager);
        ansi("TEL;TYPE=pager:", f.Pager);
        ansi("TEL;TYPE=phone,pref:", f.PrimaryPhone);
        ansi("TEL;VOICE;ASSISTANT:", f.AssistantPhone);

        utf8("TITLE;CHARSET=utf-8:", f.JobTitle);
        utf8("URL;WORK;CHARSET=utf-8:", f.Website);
        utf8("X-MS-ASSISTANT;CHARSET=utf-8:", f.Assistant);
        utf8("X-MS-MANAGER;CHARSET=utf-8:", f.Manager);
        utf8("X-MS-SPOUSE;CHARSET=utf-8:", f.Spouse);
        utf8("X-MS-IMADDRESS;CHARSET=utf-8:", f.InstantMessaging);

        if (!f.Birthday.isEmpty()) vcf.Line("BDAY:" + EncodeAnsi(OneLine(VcfDateValue(f.Birthday))));
        if (!f.Anniversary.isEmpty())
            vcf.Line("X-MS-ANNIVERSARY:" + EncodeAnsi(OneLine(VcfDateValue(f.Anniversary))));
        if (!f.Comment.isEmpty())
            vcf.Line("NOTE;CHARSET=utf-8;ENCODING=QUOTED-PRINTABLE:" + QuotedPrintableValue(f.Comment));

        QString itemName;
        if (!f.FirstName.isEmpty()) itemName += f.FirstName + u' ';
        if (!f.MiddleInitial.isEmpty()) itemName += f.MiddleInitial + u' ';
        itemName += f.LastName;
        context.Log(QStringLiteral("Item Name:\t") + itemName + QStringLiteral("\r\n"));

        if (!f.AttachmentNames.isEmpty()) {
            context.Log(QStringLiteral("Attachments:\t"));
            std::optional<QString> detached;
            if (photo) detached = photo(vcf);
            context.Log(QStringLiteral("\r\n"));
            if (detached) photoPath = *detached;
        }
        vcf.Line("END:VCARD");
        return vcf.Close();
    });
}
