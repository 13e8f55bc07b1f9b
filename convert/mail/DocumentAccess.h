#pragma once
// The document side of the readers and writers: opening a document by note ID for one step,
// item texts, its HTML rendering, and detaching one attachment for reading.

#include "common/notes/Notes.h"
#include "convert/mail/ConvertContext.h"

#include <QFile>
#include <QString>

#include <vector>

// A document opened by note ID for the length of one step, closed on every way out. Status()
// keeps why it could not be opened (LNERR_INTERNAL without a database).
class OpenedDocument {
  public:
    OpenedDocument(const ConvertContext& context, NOTEID noteId);
    ~OpenedDocument() { document_.Close(); }
    OpenedDocument(const OpenedDocument&) = delete;
    OpenedDocument& operator=(const OpenedDocument&) = delete;

    bool IsOpen() const { return document_.IsOpen(); }
    LNSTATUS Status() const { return status_; }
    LNDocument& operator*() { return document_; }
    LNDocument* operator->() { return &document_; }

  private:
    LNDocument document_;
    LNSTATUS status_ = LNNOERROR;
};

// The item's values as text joined with ";", or an empty text when the item is missing.
QString ItemText(const LNDocument& document, const char* name);

// Notes texts joined with ";".
QString Joined(const std::vector<LNString>& entries);

// The note as HTML: the whole-note conversion, else the "Body" item alone; empty when both
// give nothing.
QString DocumentHtml(const ConvertContext& context, LNDocument& document);

// Detaches the attachment to `path` (an older file of that name is removed first, so it can
// never stand in for this attachment) and opens the result for reading in `file`. False when
// either step fails.
bool DetachForReading(const LNAttachment& attachment, const QString& path, QFile& file);
