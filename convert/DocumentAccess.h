#pragma once
// The document side of the calendar and contact readers and writers: opening a document by
// note ID for one step, its HTML rendering, and detaching one attachment for reading.

#include "common/notes/Notes.h"
#include "convert/ConvertContext.h"

#include <QFile>
#include <QString>

// A document opened by note ID for the length of one step, closed on every way out.
class OpenedDocument {
  public:
    OpenedDocument(const ConvertContext& context, NOTEID noteId);
    ~OpenedDocument() { document_.Close(); }
    OpenedDocument(const OpenedDocument&) = delete;
    OpenedDocument& operator=(const OpenedDocument&) = delete;

    bool IsOpen() const { return document_.IsOpen(); }
    LNDocument& operator*() { return document_; }
    LNDocument* operator->() { return &document_; }

  private:
    LNDocument document_;
};

// The note as HTML: the whole-note conversion, else the "Body" item alone; empty when both
// give nothing.
QString DocumentHtml(const ConvertContext& context, LNDocument& document);

// Detaches the attachment to `path` (an older file of that name is removed first, so it can
// never stand in for this attachment) and opens the result for reading in `file`. False when
// either step fails.
bool DetachForReading(const LNAttachment& attachment, const QString& path, QFile& file);
