#pragma once
// Writes a mail or a task as an EML file: a multipart/mixed message with the body part first,
// then one base64 part per document link and per file attachment. Header texts are written by
// the writer itself as one RFC 2047 encoded word each ("=?utf-8?B?...?="); there is no
// MIME-Version and no Content-Disposition field.

#include "common/notes/LNStatus.h"
#include "convert/mail/ConvertContext.h"
#include "convert/mail/MailFields.h"

#include <QByteArray>
#include <QString>

class CMimeBody;

// Both return 1 when the file was written, 0 otherwise. A file that cannot be created is given
// up silently; any other failure counts an error and logs "ERROR:Mail Entry is Not Dump \r\n"
// (or "ERROR:Task Entry is Not Dump \r\n").
int WriteMailEml(const ConvertContext& context, NOTEID noteId, const MailFields& fields,
                 const QString& emlPath);
int WriteTaskEml(const ConvertContext& context, NOTEID noteId, const TaskFields& fields,
                 const QString& emlPath);

// One attachment part: Content-Transfer-Encoding base64, Content-Type application/octet-stream
// with the name as an encoded word. Content of 30 MiB or more is left out (the part keeps its
// fields); the result says whether the content went in.
bool AddAttachmentPart(CMimeBody& message, const QString& name, const QByteArray& content);

// The name under which an attachment is detached into the private folder: the cleaned name,
// made safe as a single file name ("", "." or ".." get a "_" in front, a name too long for the
// file system is shortened, keeping its extension).
QString DetachFileName(const QString& cleanedName);
