#pragma once
// One entry per reader of untrusted hand-off bytes. Each parses the input and checks what must
// hold for any input (re-encoding what was read and reading it again gives the same bytes).
// Returns 0 when that holds and 1 when it does not; a crash or sanitizer report is a failure
// by itself.

#include <cstddef>
#include <cstdint>

// The first byte picks the mode the file is read for; the rest is the file.
int FuzzFolderList(const std::uint8_t* data, std::size_t size);
int FuzzResumeRecord(const std::uint8_t* data, std::size_t size);
int FuzzCalendarIds(const std::uint8_t* data, std::size_t size);
int FuzzRunOptions(const std::uint8_t* data, std::size_t size);
// The bytes as Latin-1 text of a raw Windows command line.
int FuzzChildCommandLine(const std::uint8_t* data, std::size_t size);
