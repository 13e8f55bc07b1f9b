#include "common/pst/PstDates.h"

#include <QRegularExpression>

QDateTime PstParseDateText(const QString& text, const QTimeZone& zone) {
    static const QRegularExpression re(
        QStringLiteral("^\\s*(\\d{1,2})/(\\d{1,2})/(\\d{2}|\\d{4})(?:[ "
                       "T]+(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?\\s*([AaPp][Mm])?)?\\s*$"));
    const auto m = re.match(text);
    if (!m.hasMatch()) return {};
    int year = m.captured(3).toInt();
    if (m.captured(3).size() == 2) year += year < 50 ? 2000 : 1900;
    const QDate date(year, m.captured(1).toInt(), m.captured(2).toInt());
    int hour = m.captured(4).toInt();
    const QString ampm = m.captured(7).toUpper();
    if (!ampm.isEmpty()) {
        if (hour < 1 || hour > 12) return {};
        hour = hour % 12 + (ampm == QLatin1String("PM") ? 12 : 0);
    }
    const QTime time(hour, m.captured(5).toInt(), m.captured(6).toInt());
    if (!date.isValid() || !time.isValid()) return {};
    QDateTime out(date, time, zone);
    return out.isValid() ? out : QDateTime();
}
