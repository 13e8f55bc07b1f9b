#pragma once
// What nsfadd does after each nsfsave process of one pass (a folder run or the calendar run),
// judged from the "setting.txt" it finds afterwards.

#include <QString>

#include <cstdint>

struct ResumeRecord;

enum class PassDecision {
    RunAgain,  // ended early: start the same command line again, it resumes at the index
    Finished,  // go on with the next folder, or with the calendar run
    Stopped,   // the user pressed Stop: after a folder run stop all remaining work, after the
               // calendar run end that run only
    GivenUp,   // a third process without progress: go on as if the pass had finished
};

// One object per pass. A process brings no progress when its resume index equals the one found
// after the previous process (1 before the first); the pass is given up at the third such
// process, counted over the whole pass.
class PassRestart {
  public:
    // found: the record read after the process, or nullptr when "setting.txt" could not be
    // read; the previous index then stands, which counts as no progress.
    PassDecision AfterProcess(const ResumeRecord* found);
    // Reads settingsPath itself.
    PassDecision AfterProcess(const QString& settingsPath);

    std::uint32_t LastIndex() const { return last_; }
    int Strikes() const { return strikes_; }

    static constexpr int kStrikeLimit = 3;

  private:
    std::uint32_t last_ = 1;
    int strikes_ = 0;
};
