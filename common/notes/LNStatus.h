#pragma once
// Status values of the Notes layer. 0 is success, anything else a failure; every value the
// layer produces has a text (LNGetErrorMessageText). Statuses injected by a database's fault
// marks (docs/dxl-extension.md) may be any number and get a generic text when unknown.

#include <QString>

#include <cstddef>
#include <cstdint>

using LNSTATUS = std::uint32_t;
using NOTEID = std::uint32_t;

constexpr LNSTATUS LNNOERROR = 0;

enum LNStatusCode : LNSTATUS {
    // A document could not be opened now but will be in a fresh process; the caller ends its
    // pass and leaves the entry to the next process.
    LNERR_RETRY_IN_FRESH_PROCESS = 263,

    LNERR_SESSION_NOT_INITIALIZED = 16385,
    LNERR_THREAD_NOT_INITIALIZED = 16386,
    LNERR_INVALID_ARGUMENT = 16387,
    LNERR_SERVER_NOT_AVAILABLE = 16388,
    LNERR_FILE_NOT_FOUND = 16389,
    LNERR_FILE_READ = 16390,
    LNERR_NSF_NOT_SUPPORTED = 16391,  // a binary .nsf file: only its DXL export can be read
    LNERR_BAD_XML = 16392,            // not well-formed XML, or truncated
    LNERR_BAD_ENCODING = 16393,       // not UTF-8
    LNERR_NOT_DXL = 16394,            // well-formed XML but no <database> root
    LNERR_DATABASE_NOT_OPEN = 16395,
    LNERR_NOTE_NOT_FOUND = 16396,
    LNERR_NOTE_NOT_OPEN = 16397,
    LNERR_NOTE_DAMAGED = 16398,  // the document's own XML is damaged
    LNERR_VIEW_NOT_FOUND = 16399,
    LNERR_VIEW_NOT_OPEN = 16400,
    LNERR_ENTRY_INDEX = 16401,        // entry index out of range
    LNERR_ENTRY_NO_DOCUMENT = 16402,  // a category row has no document behind it
    LNERR_ITEM_NOT_FOUND = 16403,
    LNERR_ITEM_NOT_RICHTEXT = 16404,
    LNERR_NO_DATE_RANGE = 16405,
    LNERR_ATTACHMENT_NOT_FOUND = 16406,
    LNERR_ATTACHMENT_DAMAGED = 16407,  // bad base64, wrong size, unsupported compression
    LNERR_FILE_WRITE = 16408,
    LNERR_NOT_ENCRYPTED = 16409,
    LNERR_DECRYPT_NO_KEY = 16410,
    LNERR_FORM_NOT_FOUND = 16411,
    LNERR_BAD_HANDLE = 16412,
    LNERR_TOO_LARGE = 16413,   // a value beyond the layer's size limits
    LNWARN_NOT_FOUND = 16414,  // a cursor has no further object of the asked type
    LNERR_INTERNAL = 16415,    // an unexpected failure inside the layer
    // An attachment exported with its Notes compression (compression='huff' or 'lz1').
    LNERR_ATTACHMENT_COMPRESSED = 16416,
    // The file declares XML entities (Domino never writes them): refused unread.
    LNERR_DXL_ENTITIES = 16417,
};

// Copies the text of a status into buffer (NUL-terminated, cut at a character boundary) and
// returns the number of bytes written without the NUL. The text is UTF-8.
std::size_t LNGetErrorMessageText(LNSTATUS status, char* buffer, std::size_t bufferSize);
QString LNGetErrorMessageText(LNSTATUS status);

// When on, every public call that reports a failing status throws that status (as LNSTATUS)
// instead of returning it, the way the Notes class library does after LNSetThrowAllErrors.
// Off by default. Process-wide.
void LNSetThrowAllErrors(bool on);
bool LNGetThrowAllErrors();

// Runs f and turns a thrown LNSTATUS into a returned one; 0 when nothing was thrown.
template <class F>
LNSTATUS LNCatchStatus(F&& f) noexcept {
    try {
        f();
    } catch (LNSTATUS thrown) {
        return thrown;
    } catch (...) {
        return LNERR_INTERNAL;
    }
    return LNNOERROR;
}
