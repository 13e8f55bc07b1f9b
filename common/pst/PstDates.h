#pragma once
// The date texts the document readers hand on ("7/3/2018 9:05:06", month first, no leading
// zeros, optionally with AM/PM) as instants. They are read month first on every system, whatever
// the locale, in the zone the reader wrote them in: the converting machine's own zone for mail
// and task texts, UTC for the calendar texts.

#include <QDateTime>
#include <QString>
#include <QTimeZone>

// An invalid QDateTime when the text is not such a date.
QDateTime PstParseDateText(const QString& text, const QTimeZone& zone = QTimeZone::systemTimeZone());
