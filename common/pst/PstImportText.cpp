// Group TXT and VCF import.
#include <QStringDecoder>

#include "common/pst/PstProps.h"
#include "common/pst/PstStore.h"
#include "common/pst/PstText.h"

using namespace pstprops;

bool PstImportGroupText(PstItemData& d, const QString& path, QString& why) {
    QByteArray data;
    if (!PstReadFile(path, data, why)) return false;
    if (data.size() % 2 != 0) {
        why = QStringLiteral("not a UTF-16 text");
        return false;
    }
    QStringDecoder utf16(QStringDecoder::Utf16LE);
    const bool bom = data.startsWith("\xFF\xFE");
    QString text = utf16.decode(bom ? data.mid(2) : data);
    if (utf16.hasError()) {
        why = QStringLiteral("not a UTF-16 text");
        return false;
    }
    d.msg.props[pst::PidTagBody] = pst::MakeUtf8(text.toStdString());
    d.msg.props[kNativeBody] = pst::MakeLong(1);
    return true;
}

namespace {

struct VcfLine {
    QString name;           // upper case, without group
    QList<QString> params;  // upper case "TYPE=WORK,VOICE", "ENCODING=BASE64", "HOME"
    QByteArray raw;         // the value as written
    bool Has(const char* p) const {
        for (const QString& x : params)
            if (x.contains(QLatin1String(p), Qt::CaseInsensitive)) return true;
        return false;
    }
};

QByteArray DecodeQp(const QByteArray& in) {
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '=' && i + 2 < in.size()) {
            bool ok = false;
            const int v = in.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                out += char(v);
                i += 2;
                continue;
            }
        }
        out += in[i];
    }
    return out;
}

// RFC 6350 3.2 unfolding, and the quoted-printable soft breaks of vCard 2.1 values.
QList<VcfLine> ReadVcf(const QByteArray& data) {
    QList<QByteArray> lines;
    for (QByteArray l : data.split('\n')) {
        if (l.endsWith('\r')) l.chop(1);
        if (!lines.isEmpty() && (l.startsWith(' ') || l.startsWith('\t')))
            lines.back() += l.mid(1);
        else if (!lines.isEmpty() && lines.back().endsWith('=') &&
                 lines.back().toUpper().contains("QUOTED-PRINTABLE"))
            lines.back() = lines.back().chopped(1) + l;
        else
            lines.append(l);
    }
    QList<VcfLine> out;
    for (const QByteArray& l : lines) {
        const qsizetype colon = l.indexOf(':');
        if (colon <= 0) continue;
        VcfLine v;
        const QList<QByteArray> head = l.left(colon).split(';');
        v.name = QString::fromLatin1(head[0]).toUpper().section(u'.', -1);
        for (qsizetype i = 1; i < head.size(); ++i) v.params << QString::fromLatin1(head[i]).toUpper();
        v.raw = l.mid(colon + 1);
        out.append(v);
    }
    return out;
}

QString Value(const VcfLine& v) {
    QByteArray bytes = v.Has("QUOTED-PRINTABLE") ? DecodeQp(v.raw) : v.raw;
    return PstUtf8OrCp1252(bytes);
}

QStringList Parts(const VcfLine& v) {
    // Components split at unescaped ';' (the quoted-printable bytes decoded per component).
    QStringList out;
    QByteArray cur;
    for (qsizetype i = 0; i < v.raw.size(); ++i) {
        if (v.raw[i] == '\\' && i + 1 < v.raw.size()) {
            cur += v.raw[++i];
            continue;
        }
        if (v.raw[i] == ';') {
            out << PstUtf8OrCp1252(v.Has("QUOTED-PRINTABLE") ? DecodeQp(cur) : cur);
            cur.clear();
            continue;
        }
        cur += v.raw[i];
    }
    out << PstUtf8OrCp1252(v.Has("QUOTED-PRINTABLE") ? DecodeQp(cur) : cur);
    return out;
}

// "19800703", "1980-07-03" and the writer's shorter "2005615" (year, month, day without zeros).
QDateTime VcfDate(const QString& text) {
    QString t = text.trimmed();
    t.remove(u'-');
    t = t.left(t.indexOf(u'T') < 0 ? t.size() : t.indexOf(u'T'));
    if (t.size() < 6 || t.size() > 8) return {};
    const int year = t.left(4).toInt();
    const QString md = t.mid(4);
    for (int monthLen : {2, 1}) {
        if (md.size() - monthLen < 1 || md.size() - monthLen > 2) continue;
        const QDate date(year, md.left(monthLen).toInt(), md.mid(monthLen).toInt());
        if (date.isValid()) return QDateTime(date, QTime(0, 0), QTimeZone::utc());
    }
    return {};
}

}  // namespace

bool PstImportVcf(PstItemData& d, const QString& path, QString& why) {
    QByteArray data;
    if (!PstReadFile(path, data, why)) return false;
    const QList<VcfLine> lines = ReadVcf(data);
    if (lines.isEmpty() || lines.front().name != QLatin1String("BEGIN") ||
        !lines.front().raw.toUpper().startsWith("VCARD")) {
        why = QStringLiteral("not a vCard");
        return false;
    }
    auto set = [&](uint16_t tag, const QString& v) {
        if (!v.isEmpty()) d.msg.props[tag] = pst::MakeUtf8(v.toStdString());
    };
    auto named = [&](uint32_t lid, const QString& v) {
        if (!v.isEmpty()) PstSetNamed(d, pst::PSETID_Address, lid, pst::MakeUtf8(v.toStdString()));
    };
    int email = 0;
    bool workVoice = false, homeVoice = false;
    for (const VcfLine& l : lines) {
        const QString& n = l.name;
        if (n == QLatin1String("N")) {
            const QStringList p = Parts(l);
            set(kSurname, p.value(0));
            set(kGivenName, p.value(1));
            set(kMiddleName, p.value(2));
            set(kDisplayNamePrefix, p.value(3));
            set(kGeneration, p.value(4));
        } else if (n == QLatin1String("FN")) {
            set(pst::PidTagDisplayName, Value(l).trimmed());
        } else if (n == QLatin1String("ORG")) {
            const QStringList p = Parts(l);
            set(kCompanyName, p.value(0));
            set(kDepartment, p.value(1));
        } else if (n == QLatin1String("NICKNAME")) {
            set(kNickname, Value(l));
        } else if (n == QLatin1String("EMAIL")) {
            if (email < 3) named(kLidEmail1Address + 0x10 * uint32_t(email), Value(l).trimmed());
            ++email;
        } else if (n == QLatin1String("ADR")) {
            const QStringList p = Parts(l);
            if (l.Has("WORK")) {
                set(kOfficeLocation, p.value(1));
                named(kLidWorkStreet, p.value(2));
                named(kLidWorkCity, p.value(3));
                named(kLidWorkState, p.value(4));
                named(kLidWorkPostalCode, p.value(5));
                named(kLidWorkCountry, p.value(6));
            } else {
                const bool home = l.Has("HOME");
                set(home ? kHomeStreet : kOtherStreet, p.value(2));
                set(home ? kHomeCity : kOtherCity, p.value(3));
                set(home ? kHomeState : kOtherState, p.value(4));
                set(home ? kHomePostalCode : kOtherPostalCode, p.value(5));
                set(home ? kHomeCountry : kOtherCountry, p.value(6));
            }
        } else if (n == QLatin1String("TEL")) {
            const QString v = Value(l).trimmed();
            uint16_t tag = kOtherPhone;
            if (l.Has("ASSISTANT"))
                tag = kAssistantPhone;
            else if (l.Has("FAX"))
                tag = l.Has("HOME") ? kHomeFax : kBusinessFax;
            else if (l.Has("CELL"))
                tag = kMobilePhone;
            else if (l.Has("PAGER"))
                tag = kPagerPhone;
            else if (l.Has("PREF"))
                tag = kPrimaryPhone;
            else if (l.Has("MSG"))
                tag = kOtherPhone;
            else if (l.Has("WORK"))
                tag = workVoice ? kBusiness2Phone : kBusinessPhone, workVoice = true;
            else if (l.Has("HOME"))
                tag = homeVoice ? kHome2Phone : kHomePhone, homeVoice = true;
            set(tag, v);
        } else if (n == QLatin1String("TITLE")) {
            set(kJobTitle, Value(l));
        } else if (n == QLatin1String("URL")) {
            set(kBusinessHomePage, Value(l).trimmed());
        } else if (n == QLatin1String("X-MS-ASSISTANT")) {
            set(kAssistant, Value(l));
        } else if (n == QLatin1String("X-MS-MANAGER")) {
            set(kManagerName, Value(l));
        } else if (n == QLatin1String("X-MS-SPOUSE")) {
            set(kSpouseName, Value(l));
        } else if (n == QLatin1String("X-MS-IMADDRESS")) {
            named(kLidInstantMessaging, Value(l).trimmed());
        } else if (n == QLatin1String("BDAY") || n == QLatin1String("X-MS-ANNIVERSARY")) {
            const QDateTime t = VcfDate(Value(l));
            if (t.isValid())
                d.msg.props[n == QLatin1String("BDAY") ? kBirthday : kWeddingAnniversary] =
                    pst::MakeI8(ToFileTime(t), pst::PT_SYSTIME);
        } else if (n == QLatin1String("NOTE")) {
            set(pst::PidTagBody, Value(l).replace(QLatin1String("\\n"), QLatin1String("\r\n")));
        } else if (n == QLatin1String("PHOTO")) {
            const QByteArray bytes = QByteArray::fromBase64(QByteArray(l.raw).replace(' ', QByteArray()));
            if (bytes.isEmpty()) continue;
            pst::Attachment a;
            a.data.assign(bytes.begin(), bytes.end());
            const bool png = bytes.startsWith("\x89PNG");
            const std::string name = png ? "ContactPicture.png" : "ContactPicture.jpg";
            a.props[pst::PidTagAttachMethod] = pst::MakeLong(pst::kAttachByValue);
            a.props[pst::PidTagAttachFilename] = pst::MakeUtf8(name);
            a.props[pst::PidTagAttachLongFilename] = pst::MakeUtf8(name);
            a.props[pst::PidTagDisplayName] = pst::MakeUtf8(name);
            a.props[pst::PidTagAttachMimeTag] = pst::MakeUtf8(png ? "image/png" : "image/jpeg");
            a.props[kAttachContactPhoto] = pst::MakeBool(true);
            a.props[kAttachHidden] = pst::MakeBool(true);
            a.props[pst::PidTagRenderingPosition] = pst::MakeLong(0xFFFFFFFF);
            d.msg.attachments.push_back(std::move(a));
            PstSetNamed(d, pst::PSETID_Address, kLidHasPicture, pst::MakeBool(true));
        }
    }
    return true;
}
