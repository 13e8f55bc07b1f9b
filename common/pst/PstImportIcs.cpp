// ICS import through libical ([RFC 5545]): one VEVENT into an appointment.
#include <libical/ical.h>

#include <QList>

#include "common/pst/PstProps.h"
#include "common/pst/PstText.h"
#include "common/pst/PstZoneRules.h"

using namespace pstprops;

namespace {

struct Unique {
    icalcomponent* c;
    ~Unique() {
        if (c) icalcomponent_free(c);
    }
};

// The value of a parameter in a raw content line ("CN" of ORGANIZER;CN="a;b":mailto:x).
QString Param(const QString& head, const char* name) {
    const QString key = QLatin1String(";") + QLatin1String(name) + u'=';
    const qsizetype at = head.indexOf(key, 0, Qt::CaseInsensitive);
    if (at < 0) return {};
    qsizetype from = at + key.size();
    if (from < head.size() && head[from] == u'"') {
        const qsizetype end = head.indexOf(u'"', from + 1);
        return head.mid(from + 1, end < 0 ? -1 : end - from - 1);
    }
    qsizetype end = from;
    while (end < head.size() && head[end] != u';' && head[end] != u':') ++end;
    return head.mid(from, end - from);
}

// Splits a content line into its name-and-parameters part and its value, at the first ':'
// outside double quotes (a line without one has no value).
void SplitLine(const QString& line, QString& head, QString& value) {
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == u'"')
            quoted = !quoted;
        else if (line[i] == u':' && !quoted) {
            head = line.left(i);
            value = line.mid(i + 1);
            return;
        }
    }
    head = line;
    value.clear();
}

QList<PstPerson> PeopleOf(const QString& head, const QString& value) {
    QString address = value.trimmed();
    if (address.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive)) address = address.mid(7);
    const QString cn = Param(head, "CN");
    QList<PstPerson> people = SplitPeople(cn.isEmpty() ? address : cn);
    if (people.size() == 1 && !address.isEmpty() && !cn.isEmpty()) {
        PstPerson p = PersonOf(address);
        p.name = people.front().name;
        people = {p};
    }
    return people;
}

QDateTime Instant(icalproperty* p, const QString& tzidFallback, QTimeZone& zoneOut) {
    const icaltimetype t = icalvalue_get_datetimedate(icalproperty_get_value(p));
    if (icaltime_is_null_time(t) || !icaltime_is_valid_time(t)) return {};
    const QDate date(t.year, t.month, t.day);
    const QTime time = t.is_date ? QTime(0, 0) : QTime(t.hour, t.minute, t.second);
    if (icaltime_is_utc(t)) return QDateTime(date, time, QTimeZone::utc());
    QString tzid = tzidFallback;
    if (icalparameter* tz = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER))
        tzid = QString::fromUtf8(icalparameter_get_tzid(tz));
    // A zone the file defines with rules is used as written; one known only by name is looked up.
    if (t.zone && !tzid.isEmpty() && !PstResolveZone(tzid).isValid()) {
        const time_t secs = icaltime_as_timet_with_zone(t, t.zone);
        return QDateTime::fromSecsSinceEpoch(secs, QTimeZone::utc());
    }
    const QTimeZone z = tzid.isEmpty() ? QTimeZone::utc() : PstResolveZone(tzid);
    if (z.isValid() && z != QTimeZone::utc()) zoneOut = z;
    return QDateTime(date, time, z.isValid() ? z : QTimeZone::utc());
}

QString Text(icalproperty* p) {
    const char* v = p ? icalproperty_get_value_as_string(p) : nullptr;
    if (!v) return {};
    // The value as written, with RFC 5545 3.3.11 escapes resolved.
    QString s = QString::fromUtf8(v), out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == u'\\' && i + 1 < s.size()) {
            const QChar n = s[++i];
            out += (n == u'n' || n == u'N') ? QStringLiteral("\r\n") : QString(n);
        } else {
            out += s[i];
        }
    }
    return out;
}

}  // namespace

bool PstImportIcs(PstItemData& d, const QString& path, QString& why) {
    QByteArray data;
    if (!PstReadFile(path, data, why)) return false;
    // Lines the writer put in Windows-1252 become UTF-8; the people lines, which the writer
    // leaves without a value, are read here and kept from the parser.
    QByteArray clean;
    QStringList peopleLines;
    QString pending;
    auto take = [&](const QString& line) {
        if (line.startsWith(QLatin1String("ORGANIZER"), Qt::CaseInsensitive) ||
            line.startsWith(QLatin1String("ATTENDEE"), Qt::CaseInsensitive))
            peopleLines << line;
        else
            clean += line.toUtf8() + "\r\n";
    };
    for (QByteArray l : data.split('\n')) {
        if (l.endsWith('\r')) l.chop(1);
        const QString line = PstUtf8OrCp1252(l);
        if (!pending.isNull() && (line.startsWith(u' ') || line.startsWith(u'\t'))) {
            pending += line.mid(1);
            continue;
        }
        if (!pending.isNull()) take(pending);
        pending = line;
    }
    if (!pending.isNull()) take(pending);

    Unique root{icalparser_parse_string(clean.constData())};
    icalcomponent* ev = nullptr;
    if (root.c) {
        ev = icalcomponent_isa(root.c) == ICAL_VEVENT_COMPONENT
                 ? root.c
                 : icalcomponent_get_first_component(root.c, ICAL_VEVENT_COMPONENT);
    }
    if (!ev) {
        why = QStringLiteral("no calendar event");
        return false;
    }
    QString tzidDefault;
    if (icalcomponent* vtz = icalcomponent_get_first_component(root.c, ICAL_VTIMEZONE_COMPONENT))
        if (icalproperty* id = icalcomponent_get_first_property(vtz, ICAL_TZID_PROPERTY))
            tzidDefault = QString::fromUtf8(icalproperty_get_tzid(id));

    QTimeZone startZone, endZone;
    QDateTime start, end;
    if (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_DTSTART_PROPERTY))
        start = Instant(p, tzidDefault, startZone);
    if (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_DTEND_PROPERTY))
        end = Instant(p, tzidDefault, endZone);
    auto time = [](const QDateTime& t) { return pst::MakeI8(ToFileTime(t), pst::PT_SYSTIME); };
    if (start.isValid()) {
        PstSetNamed(d, pst::PSETID_Appointment, kLidAppointmentStartWhole, time(start));
        PstSetNamed(d, pst::PSETID_Common, kLidCommonStart, time(start));
        d.msg.props[kStartDate] = time(start);
    }
    if (end.isValid()) {
        PstSetNamed(d, pst::PSETID_Appointment, kLidAppointmentEndWhole, time(end));
        PstSetNamed(d, pst::PSETID_Common, kLidCommonEnd, time(end));
        d.msg.props[kEndDate] = time(end);
    }
    if (startZone.isValid()) PstSetZone(d, startZone, true);
    if (endZone.isValid()) PstSetZone(d, endZone, false);

    auto text = [&](icalproperty_kind kind) { return Text(icalcomponent_get_first_property(ev, kind)); };
    if (const QString s = text(ICAL_SUMMARY_PROPERTY); !s.isEmpty()) {
        d.msg.props[pst::PidTagSubject] = pst::MakeUtf8(s.toStdString());
        d.msg.props[kNormalizedSubject] = pst::MakeUtf8(s.toStdString());
    }
    if (const QString s = text(ICAL_DESCRIPTION_PROPERTY); !s.isEmpty())
        d.msg.props[pst::PidTagBody] = pst::MakeUtf8(s.toStdString());
    if (const QString s = text(ICAL_LOCATION_PROPERTY); !s.isEmpty())
        PstSetNamed(d, pst::PSETID_Appointment, kLidLocation, pst::MakeUtf8(s.toStdString()));
    std::vector<std::string> categories;
    for (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_CATEGORIES_PROPERTY); p;
         p = icalcomponent_get_next_property(ev, ICAL_CATEGORIES_PROPERTY))
        for (const QString& c : Text(p).split(u',', Qt::SkipEmptyParts))
            if (c.trimmed() != QLatin1String("NONE")) categories.push_back(c.trimmed().toStdString());
    if (!categories.empty()) {
        if (uint16_t id = d.NamedString(pst::PS_PUBLIC_STRINGS, "Keywords"))
            d.msg.props[id] = pst::MakeMvUnicode(categories);
    }
    for (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_X_PROPERTY); p;
         p = icalcomponent_get_next_property(ev, ICAL_X_PROPERTY)) {
        const char* name = icalproperty_get_x_name(p);
        if (name && QByteArray(name) == "X-MICROSOFT-CDO-IMPORTANCE") {
            const int v = Text(p).toInt();
            d.msg.props[pst::PidTagImportance] = pst::MakeLong(uint32_t(std::clamp(v, 0, 2)));
        }
    }
    // The reminder: the first display alarm's offset before the start.
    if (icalcomponent* alarm = icalcomponent_get_first_component(ev, ICAL_VALARM_COMPONENT)) {
        if (icalproperty* trig = icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY)) {
            const icaltriggertype t = icalproperty_get_trigger(trig);
            const int before = -icaldurationtype_as_int(t.duration) / 60;
            PstSetNamed(d, pst::PSETID_Common, kLidReminderSet, pst::MakeBool(true));
            PstSetNamed(d, pst::PSETID_Common, kLidReminderDelta,
                        pst::MakeLong(uint32_t(std::max(before, 0))));
        }
    }
    // People.
    for (const QString& line : peopleLines) {
        QString head, value;
        SplitLine(line, head, value);
        const QList<PstPerson> people = PeopleOf(head, value);
        if (people.isEmpty()) continue;
        if (head.startsWith(QLatin1String("ORGANIZER"), Qt::CaseInsensitive)) {
            PstSetSender(d, people.front(), true);
            continue;
        }
        const QString role = Param(head, "ROLE").toUpper();
        const uint32_t type = role == QLatin1String("OPT-PARTICIPANT")   ? 2
                              : role == QLatin1String("NON-PARTICIPANT") ? 3
                                                                         : 1;
        QList<PstPerson> all;
        for (const auto& r : d.msg.recipients)
            if ((pst::AsLong(r.props.at(pst::PidTagRecipientType)) & 0xF) == type)
                all << PstPerson{QString::fromStdString(pst::ToUtf8(r.props.at(pst::PidTagDisplayName))),
                                 QString::fromStdString(pst::ToUtf8(r.props.at(pst::PidTagEmailAddress))),
                                 QString::fromStdString(pst::ToUtf8(r.props.at(pst::PidTagAddressType)))};
        PstSetRecipients(d, type, all + people);
    }
    // Attachments: inline binary ATTACH values with their file names.
    for (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_ATTACH_PROPERTY); p;
         p = icalcomponent_get_next_property(ev, ICAL_ATTACH_PROPERTY)) {
        icalattach* a = icalproperty_get_attach(p);
        if (!a || icalattach_get_is_url(a)) continue;
        const unsigned char* raw = icalattach_get_data(a);
        const QByteArray bytes = QByteArray::fromBase64(QByteArray(reinterpret_cast<const char*>(raw)));
        QString name = QStringLiteral("attachment");
        for (icalparameter* x = icalproperty_get_first_parameter(p, ICAL_X_PARAMETER); x;
             x = icalproperty_get_next_parameter(p, ICAL_X_PARAMETER))
            if (QByteArray(icalparameter_get_xname(x)) == "X-FILENAME")
                name = PstUtf8OrCp1252(icalparameter_get_xvalue(x));
        pst::Attachment att;
        att.data.assign(bytes.begin(), bytes.end());
        att.props[pst::PidTagAttachMethod] = pst::MakeLong(pst::kAttachByValue);
        att.props[pst::PidTagAttachFilename] = pst::MakeUtf8(name.toStdString());
        att.props[pst::PidTagAttachLongFilename] = pst::MakeUtf8(name.toStdString());
        att.props[pst::PidTagDisplayName] = pst::MakeUtf8(name.toStdString());
        att.props[pst::PidTagAttachMimeTag] = pst::MakeUtf8("application/octet-stream");
        att.props[pst::PidTagRenderingPosition] = pst::MakeLong(0xFFFFFFFF);
        d.msg.attachments.push_back(std::move(att));
    }
    return true;
}
