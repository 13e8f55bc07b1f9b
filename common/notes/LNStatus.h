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

    LNERR_SESSION_NOT_INITIALIZED = 0x4001,
    LNERR_THREAD_NOT_INITIALIZED,
    LNERR_INVALID_ARGUMENT,
    LNERR_SERVER_NOT_AVAILABLE,
    LNERR_FILE_NOT_FOUND,
    LNERR_FILE_READ,
    LNERR_NSF_NOT_SUPPORTED,   // a binary .nsf file: only its DXL export can be read
    LNERR_BAD_XML,             // not well-formed XML, or truncated
    LNERR_BAD_ENCODING,        // not UTF-8
    LNERR_NOT_DXL,             // well-formed XML but no <database> root
    LNERR_DATABASE_NOT_OPEN,
    LNERR_NOTE_NOT_FOUND,
    LNERR_NOTE_NOT_OPEN,
    LNERR_NOTE_DAMAGED,        // the document's own XML is damaged
    LNERR_VIEW_NOT_FOUND,
    LNERR_VIEW_NOT_OPEN,
    LNERR_ENTRY_INDEX,         // entry index out of range
    LNERR_ENTRY_NO_DOCUMENT,   // a category row has no document behind it
    LNERR_ITEM_NOT_FOUND,
    LNERR_ITEM_NOT_RICHTEXT,
    LNERR_NO_DATE_RANGE,
    LNERR_ATTACHMENT_NOT_FOUND,
    LNERR_ATTACHMENT_DAMAGED,  // bad base64, wrong size, unsupported compression
    LNERR_FILE_WRITE,
    LNERR_NOT_ENCRYPTED,
    LNERR_DECRYPT_NO_KEY,
    LNERR_FORM_NOT_FOUND,
    LNERR_BAD_HANDLE,
    LNERR_TOO_LARGE,           // a value beyond the layer's size limits
    LNWARN_NOT_FOUND,          // a cursor has no further object of the asked type
    LNERR_INTERNAL,            // an unexpected failure inside the layer
};

// Copies the text of a status into buffer (NUL-terminated, cut at a character boundary) and
// returns the number of bytes written without the NUL. The text is UTF-8.
std::size_t LNGetErrorMessageText(LNSTATUS status, char *buffer, std::size_t bufferSize);
QString LNGetErrorMessageText(LNSTATUS status);

// When on, every public call that reports a failing status throws that status (as LNSTATUS)
// instead of returning it, the way the Notes class library does after LNSetThrowAllErrors.
// Off by default. Process-wide.
void LNSetThrowAllErrors(bool on);
bool LNGetThrowAllErrors();

// Runs f and turns a thrown LNSTATUS into a returned one; 0 when nothing was thrown.
template <class F>
LNSTATUS LNCatchStatus(F &&f) noexcept
{
    try {
        f();
    } catch (LNSTATUS thrown) {
        return thrown;
    } catch (...) {
        return LNERR_INTERNAL;
    }
    return LNNOERROR;
}
