#pragma once
// The sample databases of data/: what data/*.dxl hold, as builders.

#include "common/notes/DxlBuilder.h"

DxlBuilder MailDatabase();    // mail.dxl
DxlBuilder NamesDatabase();   // names.dxl: a names.nsf-style address book
DxlBuilder FaultsDatabase();  // faults.dxl: documents and folders with fault marks
// A mail database of count documents for benchmarks; the first carries an attachment of
// attachmentMb megabytes when attachmentMb > 0.
DxlBuilder LargeDatabase(int count, int attachmentMb);
