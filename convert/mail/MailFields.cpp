#include "convert/mail/MailFields.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>

QString FormatDateText(const DateParts& p) {
    return QStringLiteral("%1/%2/%3 %4:%5:%6")
        .arg(p.month)
        .arg(p.day)
        .arg(p.year)
        .arg(p.hour)
        .arg(p.minute)
        .arg(p.second);
}

bool ParseDateText(const QString& text, DateParts& parts) {
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{1,4}) (\\d{1,2}):(\\d{1,2}):(\\d{1,2})$"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch()) return false;
    DateParts read;
    read.month = m.captured(1).toInt();
    read.day = m.captured(2).toInt();
    read.year = m.captured(3).toInt();
    read.hour = m.captured(4).toInt();
    read.minute = m.captured(5).toInt();
    read.second = m.captured(6).toInt();
    if (!QDate::isValid(read.year, read.month, read.day) ||
        !QTime::isValid(read.hour, read.minute, read.second))
        return false;
    parts = read;
    return true;
}
