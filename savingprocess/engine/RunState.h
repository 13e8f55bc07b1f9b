#pragma once
// The state one nsfsave process shares between its window and its worker, and the window as
// the worker sees it.

#include "common/handoff/RunLog.h"
#include "common/handoff/RunOptions.h"
#include "convert/mail/ConvertContext.h"

#include <QString>

#include <atomic>
#include <cstdint>

struct RunState {
    // Cleared by the Stop button on the window's thread, read and set back by the pass loops on
    // the worker: atomic, so the two threads never race on it.
    std::atomic<std::uint8_t> keepRunning{1};
    // Set by the pass loops when the pass must end early and a fresh process resume it.
    std::uint32_t restart = 0;
    RunCounts counts;
    RunOptions options;
    RunLog log;
    QString settingPath;  // hand-off folder + "setting.txt"
    QString calPath;      // hand-off folder + "cal.txt"
};

// The progress window. Every call returns after the window has handled it.
class ProgressWindow {
  public:
    virtual ~ProgressWindow() = default;
    virtual void SetRange(std::uint32_t lower, std::uint32_t upper) = 0;
    virtual void SetPosition(std::uint32_t position) = 0;
    virtual void SetStatus(const QString& text) = 0;
    // A message box with the program's title and the information icon; returns when it has
    // been dismissed.
    virtual void ShowMessage(const QString& text) = 0;
};
