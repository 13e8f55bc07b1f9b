#pragma once
// Notes document links exported as .ndl files, which lead back to the linked document when
// opened on a machine with the Notes client.

#include <QByteArray>
#include <QString>

#include <cstdint>

// Upper-case hexadecimal, left-padded with '0' to 8 digits.
QString Hex8(std::uint32_t value);

// A replica id (a TIMEDATE of two values): hex of the second value, ':', hex of the first.
QString ReplicaText(std::uint32_t first, std::uint32_t second);

// A UNID of four values (file part first and second, note part first and second):
// "OF" second:first of the file part, "-ON" second:first of the note part.
QString UnidText(std::uint32_t file1, std::uint32_t file2, std::uint32_t note1, std::uint32_t note2);

// The bytes of one .ndl file; texts in the ANSI code page, CR LF between the tags and no line
// end after the last one.
QByteArray NdlText(const QString& replica, const QString& view, const QString& note,
                   const QString& description);

#include "common/notes/LNStatus.h"

#include <functional>

class CMimeBody;
struct ConvertContext;

// Receives one exported link file: its name ("1.ndl") and its bytes.
using DocLinkFileSink = std::function<void(const QString& fileName, const QByteArray& content)>;

// When saveDocLinks is 1 and the document has links and a "$Links" item: logs
// "Link Documents :\t", exports every document link of its "Body" as n.ndl (numbered from 1
// for every document), hands each file to attach and logs its name followed by ",", then a line
// end. The files are written into the private detach folder and deleted again.
void ExportDocLinks(const ConvertContext& context, NOTEID noteId, const DocLinkFileSink& attach);
// The EML form: each link file becomes an attachment part of message.
void ExportDocLinks(const ConvertContext& context, NOTEID noteId, CMimeBody& message);
