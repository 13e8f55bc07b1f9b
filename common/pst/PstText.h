#pragma once
// Text helpers of the importers. Private to common/pst.

#include <QByteArray>
#include <QString>

// Reads a whole interchange file, refusing one above the size any converted item can have.
bool PstReadFile(const QString& path, QByteArray& out, QString& why);
// Bytes in a named character set as text; UTF-8 when none is named, Windows-1252 for bytes
// that are not valid in the named set.
QString PstDecodeCharset(const QByteArray& bytes, const QByteArray& charset);
// A line that is not valid UTF-8 read as Windows-1252.
QString PstUtf8OrCp1252(const QByteArray& line);
// The text Outlook previews for an HTML body: tags dropped, entities and breaks resolved.
QString PstHtmlToText(const QString& html);
