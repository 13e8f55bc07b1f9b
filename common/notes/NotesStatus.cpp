#include "common/notes/LNStatus.h"

#include <atomic>
#include <cstring>
#include <string>

namespace {

std::atomic<bool> g_throwAll{false};

const char* KnownText(LNSTATUS status) {
    switch (status) {
        case LNNOERROR:
            return "No error";
        case LNERR_RETRY_IN_FRESH_PROCESS:
            return "The document cannot be opened in this process; retry in a fresh process";
        case LNERR_SESSION_NOT_INITIALIZED:
            return "The Notes session is not initialized";
        case LNERR_THREAD_NOT_INITIALIZED:
            return "This thread is not registered with the Notes session (InitThread)";
        case LNERR_INVALID_ARGUMENT:
            return "Invalid argument";
        case LNERR_SERVER_NOT_AVAILABLE:
            return "Server not available: only local databases can be opened";
        case LNERR_FILE_NOT_FOUND:
            return "File does not exist";
        case LNERR_FILE_READ:
            return "The database file cannot be read";
        case LNERR_NSF_NOT_SUPPORTED:
            return "This is a binary NSF file; only its DXL export can be read";
        case LNERR_BAD_XML:
            return "The database file is damaged: its XML is not well-formed or is truncated";
        case LNERR_BAD_ENCODING:
            return "The database file is not UTF-8 encoded";
        case LNERR_NOT_DXL:
            return "The file is not a DXL database export";
        case LNERR_DATABASE_NOT_OPEN:
            return "Database is not open";
        case LNERR_NOTE_NOT_FOUND:
            return "Note item not found";
        case LNERR_NOTE_NOT_OPEN:
            return "Document is not open";
        case LNERR_NOTE_DAMAGED:
            return "The document is damaged";
        case LNERR_VIEW_NOT_FOUND:
            return "View or folder not found";
        case LNERR_VIEW_NOT_OPEN:
            return "View or folder is not open";
        case LNERR_ENTRY_INDEX:
            return "Entry index out of range";
        case LNERR_ENTRY_NO_DOCUMENT:
            return "The entry has no document (category row)";
        case LNERR_ITEM_NOT_FOUND:
            return "Item not found";
        case LNERR_ITEM_NOT_RICHTEXT:
            return "Item is not rich text";
        case LNERR_NO_DATE_RANGE:
            return "The calendar entry has no start date";
        case LNERR_ATTACHMENT_NOT_FOUND:
            return "Attachment not found";
        case LNERR_ATTACHMENT_DAMAGED:
            return "The attachment's data is damaged";
        case LNERR_FILE_WRITE:
            return "The file cannot be written";
        case LNERR_NOT_ENCRYPTED:
            return "The document is not encrypted";
        case LNERR_DECRYPT_NO_KEY:
            return "You cannot decrypt this document because you do not have the key";
        case LNERR_FORM_NOT_FOUND:
            return "Form not found";
        case LNERR_BAD_HANDLE:
            return "Invalid handle";
        case LNERR_TOO_LARGE:
            return "The value is too large";
        case LNWARN_NOT_FOUND:
            return "No more objects of that type";
        case LNERR_INTERNAL:
            return "Internal error of the Notes layer";
        case LNERR_ATTACHMENT_COMPRESSED:
            return "The attachment is stored with Notes compression (Huffman or LZ1) and cannot be read; "
                   "export the database again with uncompressed attachments (DXL exporter option "
                   "UncompressAttachments)";
        case LNERR_DXL_ENTITIES:
            return "The file declares XML entities, which a DXL export never does; it is refused";
        default:
            return nullptr;
    }
}

}  // namespace

std::size_t LNGetErrorMessageText(LNSTATUS status, char* buffer, std::size_t bufferSize) {
    if (!buffer || bufferSize == 0) return 0;
    std::string text;
    if (const char* known = KnownText(status))
        text = known;
    else
        text = "Notes error " + std::to_string(status);
    std::size_t n = text.size();
    if (n > bufferSize - 1) {
        n = bufferSize - 1;
        // Never leave half a UTF-8 sequence at the end.
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    }
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return n;
}

QString LNGetErrorMessageText(LNSTATUS status) {
    char buf[512];
    const std::size_t n = LNGetErrorMessageText(status, buf, sizeof buf);
    return QString::fromUtf8(buf, static_cast<qsizetype>(n));
}

void LNSetThrowAllErrors(bool on) {
    g_throwAll = on;
}
bool LNGetThrowAllErrors() {
    return g_throwAll;
}
