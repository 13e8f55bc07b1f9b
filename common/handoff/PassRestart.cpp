#include "common/handoff/PassRestart.h"

#include "common/handoff/ResumeRecord.h"

PassDecision PassRestart::AfterProcess(const ResumeRecord* found) {
    if (found && found->continueFlag == 0) return PassDecision::Stopped;
    const std::uint32_t index = found ? found->resumeIndex : last_;
    // An early end at entry 0 looks exactly like a finished pass and is taken as one.
    if (index == 0) return PassDecision::Finished;
    if (index == last_ && ++strikes_ >= kStrikeLimit) return PassDecision::GivenUp;
    last_ = index;
    return PassDecision::RunAgain;
}

PassDecision PassRestart::AfterProcess(const QString& settingsPath) {
    ResumeRecord record;
    const bool read = ReadResumeRecord(settingsPath, record);
    return AfterProcess(read ? &record : nullptr);
}
