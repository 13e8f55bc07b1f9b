#pragma once
// HTML of a document's rich text for the readers (mail, task, calendar, contact): the reader
// fills the handles and the note ID, calls ConvertNote, and ConvertBodyItem only when that
// returns an empty string. Pictures are saved as files in RichTextPictureFolder() and the
// HTML refers to them by full path.

#include "common/notes/NotesFlat.h"

#include <QString>

#include <cstdint>
#include <string>

struct RichTextHtmlOptions;

struct HtmlBodyConverter {
    LNSTATUS status = LNNOERROR;  // the last status of the Notes layer, 0 = success
    std::uint32_t converter = 0;  // the conversion under way, 0 when none
    NOTEHANDLE noteHandle = 0;    // native handle of the open document
    DHANDLE databaseHandle = 0;   // native handle of the open database
    NOTEID noteId = 0;
    std::uint32_t referenceHandle = 0;  // the picture being saved (ordinal + 1), 0 when none
    QString pictureFolder;              // where pictures go; empty means RichTextPictureFolder()

    // Every rich-text item of the document, in item order, as one HTML document, with sections
    // and outlines expanded and tables shown row by row. Empty on any failure and when the
    // document has no rich text.
    QString ConvertNote();
    // The item "Body" alone, without those options. Empty on any failure or without "Body".
    QString ConvertBodyItem();

  private:
    RichTextHtmlOptions Options(bool expanded);
    // The handle of the document, opened by note ID when the note handle is stale; throws
    // the status on failure (only ever inside LNCatchStatus).
    NOTEHANDLE OpenNote(LNDocument* document, bool* openedHere);
    LNSTATUS RenderItem(NOTEHANDLE note, const std::string& itemName, const RichTextHtmlOptions& options,
                        QString* fragment);
    QString SavePicture(const struct RichTextPicture& picture);
    int folderState_ = 0;  // 0 not yet checked, 1 usable, -1 refused
};
