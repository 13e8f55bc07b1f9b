#pragma once
// The counts of one nsfsave pass, read from the lines its processes added to the run log.

#include <QString>

#include <cstdint>

struct PassCounts {
    std::uint64_t found = 0;
    std::uint64_t converted = 0;
    std::uint64_t warnings = 0;
    std::uint64_t errors = 0;
};

// Reads the run log from byte `fromOffset` to its end. A folder pass counts its folder
// summaries: the largest number of items found, the items dumped, warnings and errors summed
// over the processes. A calendar pass counts its "Item ID" and "save app" lines.
PassCounts ReadPassCounts(const QString& logPath, qint64 fromOffset, bool folderPass);
PassCounts ParsePassCounts(const QString& logText, bool folderPass);
