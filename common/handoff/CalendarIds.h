#pragma once
// "cal.txt": the note IDs of calendar documents met by the folder runs, as a flat sequence of
// u32 values with no header and no count, duplicates kept.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

// nsfadd, at the start of each database: create and truncate.
bool CreateEmptyCalendarIds(const QString& path);
// nsfsave folder runs: add one ID at the end of the existing file (never creating it).
bool AppendCalendarId(const QString& path, std::uint32_t noteId);
// nsfsave calendar run: every ID of the existing file, in file order.
bool ReadCalendarIds(const QString& path, std::vector<std::uint32_t>& noteIds);
// Four bytes at a time; a trailing group of fewer than four bytes is padded with zero bytes
// into one more value.
std::vector<std::uint32_t> ParseCalendarIds(const QByteArray& bytes);
