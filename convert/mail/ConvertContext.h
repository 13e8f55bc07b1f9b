#pragma once
// What the document readers and interchange-file writers of one nsfsave process share: the open
// database, the run options, the run log and the process's warning and error counts.

#include "common/handoff/RunLog.h"
#include "common/handoff/RunOptions.h"

#include <cstdint>

class LNDatabase;

// The counts printed in the folder summary. The second pair is kept only when counterMode is 1.
struct RunCounts {
    std::uint64_t warnings = 0;
    std::uint64_t errors = 0;
    std::uint64_t secondWarnings = 0;
    std::uint64_t secondErrors = 0;
};

struct ConvertContext {
    LNDatabase* database = nullptr;
    const RunOptions* options = nullptr;
    RunLog* log = nullptr;
    RunCounts* counts = nullptr;

    const RunOptions& Options() const;
    // The log and the counts may be absent (nsfview's item list reads fields without either).
    void Log(const QString& text) const;
    void LogLineEnd() const;
    void AddError() const;
    void AddWarning() const;
};
