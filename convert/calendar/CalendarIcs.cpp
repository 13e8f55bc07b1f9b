#include "convert/calendar/CalendarIcs.h"

#include "convert/mail/ConvertContext.h"

#include <QStringList>

namespace {

QByteArray TwoDigits(const QString& part) {
    const QByteArray bytes = part.trimmed().toLatin1();
    return bytes.size() == 1 ? QByteArrayLiteral("0") + bytes : bytes;
}

QByteArray ZonedDate(const char* property, const QString& dateText) {
    return QByteArray(property) + ";TZID=\"" + kReferenceZoneName + "\":" + IcsDateValue(dateText);
}

// A parameter value sits between double quotes, which it cannot contain itself (RFC 5545
// 3.1: a quoted parameter value excludes DQUOTE).
QByteArray QuotedParameter(const QString& text) {
    QString value = OneLine(text);
    value.replace(QLatin1Char('"'), QLatin1Char('\''));
    return "\"" + EncodeAnsi(value) + "\"";
}

// A text of blanks and line breaks only: readers find no value in such a property and drop it
// with an error, so it is written like an absent one.
bool IsBlank(const QString& text) {
    return text.trimmed().isEmpty();
}

// The categories joined with ',' instead of ';', without the blank entries that readers refuse
// as empty values.
QString CategoryList(const QString& categories) {
    QStringList kept;
    for (const QString& category : OneLine(categories).split(QLatin1Char(';'))) {
        if (!IsBlank(category)) kept.append(category);
    }
    return kept.join(QLatin1Char(','));
}

}  // namespace

QByteArray IcsDateValue(const QString& dateText) {
    const QString trimmed = dateText.trimmed();
    const qsizetype blank = trimmed.indexOf(QLatin1Char(' '));
    const QStringList date = trimmed.left(blank < 0 ? trimmed.size() : blank).split(QLatin1Char('/'));
    const QStringList time = blank < 0 ? QStringList() : trimmed.mid(blank + 1).split(QLatin1Char(':'));
    const auto part = [](const QStringList& list, qsizetype i) {
        return i < list.size() ? list.at(i) : QString();
    };
    return part(date, 2).trimmed().toLatin1() + TwoDigits(part(date, 0)) + TwoDigits(part(date, 1)) + "T" +
           TwoDigits(part(time, 0)) + TwoDigits(part(time, 1)) + TwoDigits(part(time, 2));
}

int WriteCalendarIcsFile(const QString& icsPath, const CalendarFields& f, const ConvertContext& context,
                         const IcsAttachStep& docLinks, const IcsAttachStep& attachments) {
    LineFile ics(icsPath);
    if (!ics.Create())
        return WriterFailure(context,
                             QStringLiteral("ERROR:Invalid Path. Calendar Entry cannot be dump. \r\n"));
    return RunWriterSteps(context, ics, QStringLiteral("ERROR:Calendar Entry is Not Dump \r\n"), [&] {
        ics.Line("BEGIN:VCALENDAR");
        ics.Line("BEGIN:VTIMEZONE");
        if (!f.StartTimeZone.isEmpty()) ics.Line(QByteArray("TZID:") + kReferenceZoneName);
        ics.Line("END:VTIMEZONE");
        ics.Line("BEGIN:VEVENT");
        if (!f.CreatedDateText.isEmpty()) ics.Line("CREATED:" + IcsDateValue(f.CreatedDateText));
        if (!f.EndDateText.isEmpty()) ics.Line(ZonedDate("DTEND", f.EndDateText));
        if (!f.StartDateText.isEmpty()) ics.Line(ZonedDate("DTSTART", f.StartDateText));
        // RFC 5545 3.8.7.3 names the property LAST-MODIFIED; a shorter name is dropped by
        // standard readers and the date would be lost.
        if (!f.LastModifiedDateText.isEmpty())
            ics.Line("LAST-MODIFIED:" + IcsDateValue(f.LastModifiedDateText));
        if (!IsBlank(f.Summary)) ics.Line("SUMMARY;CHARSET=utf-8:" + OneLine(f.Summary).toUtf8());
        if (!f.From.isEmpty()) ics.Line("ORGANIZER;CN=" + QuotedParameter(f.From));
        if (!f.RequiredAttendees.isEmpty()) ics.Line("ATTENDEE;CN=" + QuotedParameter(f.RequiredAttendees));

        QString itemName = f.From;
        if (!f.From.isEmpty()) itemName += QLatin1Char(' ');
        itemName += f.Summary;
        context.Log(QStringLiteral("Item Name:\t") + itemName + QStringLiteral("\r\n"));

        if (context.Options().saveDocLinks == 1 && docLinks) docLinks(ics);
        if (!f.AttachmentNames.isEmpty()) {
            context.Log(QStringLiteral("Attachments:\t"));
            if (attachments) attachments(ics);
            context.Log(QStringLiteral("\r\n"));
        }

        if (!IsBlank(f.Body)) {
            QString body = f.Body;
            body.replace(QLatin1Char('\n'), QLatin1String("\\n"));
            ics.Line("DESCRIPTION;CHARSET=utf-8:" + body.toUtf8());
        }
        if (!IsBlank(f.Location)) ics.Line("LOCATION;CHARSET=utf-8:" + OneLine(f.Location).toUtf8());
        const QString categories = CategoryList(f.Categories);
        ics.Line("CATEGORIES:" + (categories.isEmpty() ? QByteArray("NONE") : EncodeAnsi(categories)));
        ics.Line("X-MICROSOFT-CDO-IMPORTANCE:" + QByteArray::number(f.Importance));
        if (f.AlarmEnabled) {
            ics.Line("BEGIN:VALARM");
            // The offset counts minutes before the start. A negative one lies after the start;
            // "-PT-5M" is no duration (RFC 5545 3.3.6), so that case gets the positive form.
            const std::int64_t offset = f.AlarmOffsetMinutes;
            if (offset > 0)
                ics.Line("TRIGGER:-PT" + QByteArray::number(offset) + "M");
            else if (offset < 0)
                ics.Line("TRIGGER:PT" + QByteArray::number(-offset) + "M");
            ics.Line("ACTION:DISPLAY");
            ics.Line("DESCRIPTION:Reminder");
            ics.Line("END:VALARM");
        }
        ics.Line("END:VEVENT");
        ics.Line("END:VCALENDAR");
        return ics.Close();
    });
}
