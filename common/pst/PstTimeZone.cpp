// Time zones by name: Notes zone texts and zone names, and their Outlook form.
#include <QRegularExpression>

#include "common/pst/PstProps.h"
#include "common/pst/PstStore.h"
#include "common/pst/PstZoneRules.h"

using namespace pstprops;

struct PstTimeZoneData {
    QTimeZone zone;
    QString name;
};

namespace {

QTimeZone ByName(const QString& raw) {
    const QString name = raw.trimmed();
    if (name.isEmpty()) return {};
    static const QStringList utc = {QStringLiteral("UTC"), QStringLiteral("GMT"), QStringLiteral("Z"),
                                    QStringLiteral("Greenwich Mean Time"),
                                    QStringLiteral("Coordinated Universal Time")};
    if (utc.contains(name, Qt::CaseInsensitive)) return QTimeZone::utc();
    if (QTimeZone::isTimeZoneIdAvailable(name.toUtf8())) return QTimeZone(name.toUtf8());
    for (const QString& w : {name, name + QStringLiteral(" Standard Time")}) {
        const QByteArray iana = QTimeZone::windowsIdToDefaultIanaId(w.toUtf8());
        if (!iana.isEmpty()) return QTimeZone(iana);
    }
    return {};
}

// "Z=-1$DO=1$DL=3 -1 1 10 -1 1$ZX=25$ZN=W. Europe": Z is the standard offset west of UTC in
// hours, DO whether daylight saving is observed, DL its start and end (month, week, weekday),
// ZN the zone's Windows name without " Standard Time".
QTimeZone FromNotes(const QString& text) {
    QMap<QString, QString> f;
    for (const QString& part : text.split(u'$')) {
        const qsizetype eq = part.indexOf(u'=');
        if (eq > 0) f.insert(part.left(eq).trimmed().toUpper(), part.mid(eq + 1).trimmed());
    }
    bool ok = false;
    double hours = f.value(QStringLiteral("Z")).toDouble(&ok);
    if (!ok || hours < -14 || hours > 14) return {};
    const int offset = int(-hours * 3600);
    const bool dst = f.value(QStringLiteral("DO")) == QLatin1String("1");
    const QStringList dl = f.value(QStringLiteral("DL")).split(u' ', Qt::SkipEmptyParts);
    const int dstMonth = dl.value(0).toInt();
    auto fits = [&](const QTimeZone& z) {
        if (!z.isValid()) return false;
        const QDateTime jan(QDate(QDate::currentDate().year(), 1, 15), QTime(12, 0), QTimeZone::utc());
        const QDateTime jul(QDate(QDate::currentDate().year(), 7, 15), QTime(12, 0), QTimeZone::utc());
        const int std = std::min(z.standardTimeOffset(jan), z.standardTimeOffset(jul));
        if (std != offset || z.hasDaylightTime() != dst) return false;
        if (!dst || dstMonth == 0) return true;
        const auto t =
            z.nextTransition(QDateTime(QDate(jan.date().year(), 1, 1), QTime(0, 0), QTimeZone::utc()));
        // The first transition of the year: the start of daylight time in the north, its end in
        // the south; DL names the start month either way.
        if (!t.atUtc.isValid()) return false;
        const int month = t.atUtc.date().month();
        const int dlEnd = dl.value(3).toInt();
        return month == dstMonth || month == dlEnd;
    };
    const QString zn = f.value(QStringLiteral("ZN"));
    if (QTimeZone z = ByName(zn); fits(z)) return z;
    // No name that fits: a zone with the same offset and daylight rule, the Windows defaults first.
    QList<QByteArray> candidates;
    for (const QByteArray& id : QTimeZone::availableTimeZoneIds(offset)) candidates << id;
    for (const QByteArray& id : candidates) {
        const QByteArray win = QTimeZone::ianaIdToWindowsId(id);
        if (!win.isEmpty() && QTimeZone::windowsIdToDefaultIanaId(win) == id && fits(QTimeZone(id)))
            return QTimeZone(id);
    }
    for (const QByteArray& id : candidates)
        if (fits(QTimeZone(id))) return QTimeZone(id);
    return QTimeZone(offset);
}

struct SystemTime {
    uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0, hour = 0, minute = 0;
};

void Put16(QByteArray& b, int v) {
    b.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
}
void Put32(QByteArray& b, int v) {
    Put16(b, v & 0xFFFF);
    Put16(b, (v >> 16) & 0xFFFF);
}
void PutSystemTime(QByteArray& b, const SystemTime& t) {
    for (int v : {int(t.year), int(t.month), int(t.dayOfWeek), int(t.day), int(t.hour), int(t.minute), 0, 0})
        Put16(b, v);
}

// A transition as Windows describes it: the n-th (5 = last) weekday of a month, at a local time
// of the offset in force before it.
SystemTime RuleOf(const QTimeZone::OffsetData& t, int offsetBefore) {
    SystemTime s;
    const QDateTime local = t.atUtc.toUTC().addSecs(offsetBefore);
    const QDate d = local.date();
    s.month = uint16_t(d.month());
    s.dayOfWeek = uint16_t(d.dayOfWeek() % 7);
    s.day = uint16_t(d.day() + 7 > d.daysInMonth() ? 5 : (d.day() - 1) / 7 + 1);
    s.hour = uint16_t(local.time().hour());
    s.minute = uint16_t(local.time().minute());
    return s;
}

struct Rule {
    int bias = 0, daylightBias = 0;
    SystemTime standardDate, daylightDate;
};

Rule RuleFor(const QTimeZone& z, int year) {
    Rule r;
    const QDateTime from(QDate(year, 1, 1), QTime(0, 0), QTimeZone::utc());
    const QDateTime to(QDate(year + 1, 1, 1), QTime(0, 0), QTimeZone::utc());
    const int stdOffset = z.standardTimeOffset(from.addDays(182)) < z.standardTimeOffset(from)
                              ? z.standardTimeOffset(from.addDays(182))
                              : z.standardTimeOffset(from);
    r.bias = -stdOffset / 60;
    if (!z.hasDaylightTime()) return r;
    const auto transitions = z.transitions(from, to);
    for (const auto& t : transitions) {
        if (t.daylightTimeOffset > 0) {
            r.daylightDate = RuleOf(t, stdOffset);
            r.daylightBias = -t.daylightTimeOffset / 60;
        } else {
            r.standardDate = RuleOf(t, stdOffset - r.daylightBias * 60);
        }
    }
    if (r.daylightDate.month == 0 || r.standardDate.month == 0) r = Rule{-stdOffset / 60, 0, {}, {}};
    return r;
}

}  // namespace

QTimeZone PstResolveZone(const QString& text) {
    if (text.contains(QLatin1String("Z="), Qt::CaseInsensitive)) return FromNotes(text);
    return ByName(text);
}

QString PstWindowsZoneName(const QTimeZone& zone) {
    if (zone == QTimeZone::utc() || zone.id() == "UTC") return QStringLiteral("UTC");
    const QByteArray win = QTimeZone::ianaIdToWindowsId(zone.id());
    return win.isEmpty() ? QString::fromUtf8(zone.id()) : QString::fromUtf8(win);
}

QByteArray PstTzStruct(const QTimeZone& zone, int year) {
    const Rule r = RuleFor(zone, year);
    QByteArray b;
    Put32(b, r.bias);
    Put32(b, 0);
    Put32(b, r.daylightBias);
    Put16(b, 0);
    PutSystemTime(b, r.standardDate);
    Put16(b, 0);
    PutSystemTime(b, r.daylightDate);
    return b;
}

QByteArray PstTzDefinition(const QTimeZone& zone, int year) {
    const Rule r = RuleFor(zone, year);
    const QString key = PstWindowsZoneName(zone);
    QByteArray b;
    b.append('\x02').append('\x01');
    Put16(b, 6 + 2 * int(key.size()));
    Put16(b, 0x0002);
    Put16(b, int(key.size()));
    for (QChar c : key) Put16(b, c.unicode());
    Put16(b, 1);  // one rule
    b.append('\x02').append('\x01');
    Put16(b, 0x003E);
    Put16(b, 0x0003);  // TZRULE_FLAG_EFFECTIVE_TZREG | TZRULE_FLAG_RECUR_CURRENT_TZREG
    Put16(b, year);
    b.append(QByteArray(14, '\0'));
    Put32(b, r.bias);
    Put32(b, 0);
    Put32(b, r.daylightBias);
    PutSystemTime(b, r.standardDate);
    PutSystemTime(b, r.daylightDate);
    return b;
}

QTimeZone PstTimeZone::Zone() const {
    return d_ ? d_->zone : QTimeZone();
}
QString PstTimeZone::Name() const {
    return d_ ? d_->name : QString();
}

PstTimeZone PstSession::TimeZoneByName(const QString& name) const {
    PstTimeZone out;
    const QTimeZone z = PstResolveZone(name);
    if (!z.isValid()) {
        ctx_->Fail(QStringLiteral("unknown time zone: ") + name, {});
        return out;
    }
    auto d = std::make_shared<PstTimeZoneData>();
    d->zone = z;
    d->name = PstWindowsZoneName(z);
    out.d_ = d;
    return out;
}

void PstSetZone(PstItemData& d, const QTimeZone& zone, bool start) {
    // The rule of the year the appointment starts in (this year when no start is set yet).
    int year = QDate::currentDate().year();
    if (auto it = d.msg.props.find(d.Named(pst::PSETID_Appointment, kLidAppointmentStartWhole));
        it != d.msg.props.end()) {
        const qint64 ms = qint64(pst::AsI8(it->second) / 10000) - 11644473600000LL;
        year = QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc()).date().year();
    }
    const QByteArray def = PstTzDefinition(zone, year);
    PstSetNamed(d, pst::PSETID_Appointment, start ? kLidTzDefStart : kLidTzDefEnd,
                pst::MakeBinary(pst::Bytes(def.begin(), def.end())));
    if (!start) return;
    const QByteArray tz = PstTzStruct(zone, year);
    PstSetNamed(d, pst::PSETID_Appointment, kLidTimeZoneStruct,
                pst::MakeBinary(pst::Bytes(tz.begin(), tz.end())));
    PstSetNamed(d, pst::PSETID_Appointment, kLidTimeZoneDescription,
                pst::MakeUtf8(PstWindowsZoneName(zone).toStdString()));
}

void PstItem::SetStartTimeZone(const PstTimeZone& zone) {
    if (d_ && zone) PstSetZone(*d_, zone.Zone(), true);
}
void PstItem::SetEndTimeZone(const PstTimeZone& zone) {
    if (d_ && zone) PstSetZone(*d_, zone.Zone(), false);
}
