// Time zones by name: Notes zone texts and zone names.
#include "common/pst/PstProps.h"
#include "common/pst/PstStore.h"

struct PstTimeZoneData {
    QTimeZone zone;
    QString name;
};

QTimeZone PstTimeZone::Zone() const {
    return d_ ? d_->zone : QTimeZone();
}
QString PstTimeZone::Name() const {
    return d_ ? d_->name : QString();
}

PstTimeZone PstSession::TimeZoneByName(const QString& name) const {
    PstTimeZone out;
    QTimeZone z(name.trimmed().toUtf8());
    if (!z.isValid()) {
        ctx_->Fail(QStringLiteral("unknown time zone: ") + name, {});
        return out;
    }
    auto d = std::make_shared<PstTimeZoneData>();
    d->zone = z;
    d->name = QString::fromUtf8(QTimeZone::ianaIdToWindowsId(z.id()));
    out.d_ = d;
    return out;
}

void PstItem::SetStartTimeZone(const PstTimeZone&) {}
void PstItem::SetEndTimeZone(const PstTimeZone&) {}
