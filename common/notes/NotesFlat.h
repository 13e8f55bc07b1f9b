#pragma once
// The flat function interface: what the rich-text-to-HTML converter needs when it holds only
// a database handle, a note handle and a note ID (the native handles of LNDatabase and
// LNDocument). A note handle is valid while its document is open, a database handle while
// its database is open; a stale or unknown handle gives LNERR_BAD_HANDLE. None of these
// functions throws.

#include "common/notes/Notes.h"

#include <cstdint>
#include <string_view>
#include <vector>

struct NotesItemInfo {
    LNITEMTYPE type = LNITEMTYPE_ERROR;
    std::uint32_t flags = 0;
    std::uint32_t valueSize = 0;  // bytes of the raw value (type word included)
};

// Looks up an item of a note by name: 0 when present (info filled when not null),
// LNERR_ITEM_NOT_FOUND when not.
LNSTATUS NSFItemInfo(NOTEHANDLE note, std::string_view itemName, NotesItemInfo* info);

// The raw value of an item (see LNItem::GetRawValue).
LNSTATUS NSFItemGetRawValue(NOTEHANDLE note, std::string_view itemName, std::vector<std::uint8_t>* value);

// The DXL <richtext> fragment of a rich-text item, UTF-8.
LNSTATUS NSFItemGetRichTextXml(NOTEHANDLE note, std::string_view itemName, LNString* xml);

// The document behind a note handle, for the full class interface (attachments and more).
LNSTATUS LNGetDocumentByHandle(NOTEHANDLE note, LNDocument* document);

// The note ID of a note handle's document.
LNSTATUS NSFNoteGetID(NOTEHANDLE note, NOTEID* noteId);

// A note of an open database, by note ID, opened; the caller closes it.
LNSTATUS NSFNoteOpenByID(DHANDLE database, NOTEID noteId, LNDocument* document);

// Loads the text of a status into buffer (the flat twin of LNGetErrorMessageText); returns
// the length written.
std::size_t OSLoadString(LNSTATUS status, char* buffer, std::size_t bufferSize);
