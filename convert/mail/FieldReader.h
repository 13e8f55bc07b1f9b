#pragma once
// Reads a mail or task document once into the flat record the EML writer and the PST import
// use. Neither reader writes to the run log: a document that cannot be opened, or that has no
// "Subject" item, gives an empty record.

#include "common/notes/LNStatus.h"
#include "common/notes/Notes.h"
#include "convert/mail/ConvertContext.h"
#include "convert/mail/MailFields.h"

#include <QString>

#include <cstdint>
#include <vector>

// A Notes status thrown by the Notes layer after the "Subject" check ends the read. The record
// collected so far is returned and the status is stored in *thrown (0 otherwise), so that the
// folder dump can leave the entry as it leaves one whose reading raised a status.
MailFields ReadMailFields(const ConvertContext& context, NOTEID noteId, LNSTATUS* thrown = nullptr);
TaskFields ReadTaskFields(const ConvertContext& context, NOTEID noteId, LNSTATUS* thrown = nullptr);

// The text of an HTML item (type 21) from its raw value: the type word, then the text, which is
// UTF-16LE when the value's fourth byte is 0 and 8-bit otherwise. A value of 4 bytes or fewer
// holds no text.
QString HtmlItemText(const std::vector<std::uint8_t>& rawValue);

// The body tries of every reader: a text "Body" item; when that gives nothing, an HTML item as
// its text, or rich text through the HTML converter, both marked as HTML in bodyIsHtml.
void ReadBodyItem(const ConvertContext& context, LNDocument& document, QString& body,
                  std::uint8_t& bodyIsHtml);
