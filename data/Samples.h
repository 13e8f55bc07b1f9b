#pragma once
// The sample databases of data/: what data/*.dxl hold, as builders.

#include "common/notes/DxlBuilder.h"

DxlBuilder MailDatabase();    // mail.dxl
DxlBuilder NamesDatabase();   // names.dxl: a names.nsf-style address book
DxlBuilder FaultsDatabase();  // faults.dxl: documents and folders with fault marks
// A mail database of count documents for benchmarks; the first carries an attachment of
// attachmentMb megabytes when attachmentMb > 0.
DxlBuilder LargeDatabase(int count, int attachmentMb);

// Databases written the way Domino's DXL exporter writes them, without extension marks
// (DominoSamples.cpp; the sources of each construct are in docs/notes.md).
QByteArray DominoMailDxl();            // domino-mail.dxl: a mail file, MIME "DXL" and "raw"
QByteArray DominoNoteFormatDxl();      // domino-notes.dxl: exported with ForceNoteFormat
QByteArray DominoSingleDocumentDxl();  // domino-document.dxl: one document alone, with a BOM
QByteArray DominoMimeMessage();        // the Internet mail inside domino-mail.dxl's <mime>
QByteArray DominoPdf();                // the bytes of its attachments report.pdf and minutes.pdf
QByteArray DominoGif();                // the bytes of its inline image
