#pragma once
// Small text functions shared by the document readers and the interchange-file writers.

#include <QByteArray>
#include <QString>

#include <string>
#include <string_view>

// Notes text to UTF-16 through the Notes layer's translation (its Notes text is UTF-8). Like the
// Notes translation into a zero-filled buffer, the result ends at the first NUL the text holds.
QString ToWide(std::string_view notesText);
QString ToWide(const char* notesText, qsizetype length);
QString ToWide(const QString& text);

// UTF-16 back to Notes text; false when the text has no faithful Notes form (a lone surrogate).
bool ToNotes(const QString& text, std::string* notesText);

// Every LF, CR, '/', ':', '*', '?', '<', '>', '|', '"' and '\' replaced by a space, then every
// TAB. Used for item names in the run log and for attachment names.
QString CleanName(const QString& text);

// Windows-1252 stands in for the system ANSI code page on every platform.
QString FromAnsi(const QByteArray& bytes);
QByteArray ToAnsi(const QString& text);

// One RFC 2047 encoded word over the whole text: "=?utf-8?B?" + base64 of its UTF-8 bytes +
// "?=", even for plain ASCII, never split or folded.
QByteArray EncodedWord(const QString& text);
