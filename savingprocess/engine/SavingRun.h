#pragma once
// The two passes of an nsfsave process as its worker runs them (a folder run, the calendar
// run), and what the process takes from its command line and hand-off folder at start.

#include "common/handoff/ChildCommandLine.h"
#include "common/notes/Notes.h"
#include "savingprocess/engine/ConversionEngine.h"
#include "savingprocess/engine/RunState.h"
#include "savingprocess/engine/SaveStore.h"

#include <QStringList>

#include <functional>
#include <memory>

// Creates the PST session of a run; nothing when no session can be had.
using StoreFactory = std::function<std::unique_ptr<StoreSession>()>;

// The command line in either form: one argument holding the raw line with its markers
// ("<db>/D <server>/C <mode>/P <pst>/F<folder>"), or the five values as five arguments.
ChildCommandLine ParseSaveCommandLine(const QStringList& argumentsAfterProgram);

// Exactly "1" selects the calendar run.
bool IsCalendarRun(const ChildCommandLine& commandLine);

// The hand-off paths and "config.txt" (defaults when it is missing) into the run state.
void PrepareRunState(const ChildCommandLine& commandLine, RunState& state);

class SavingRun {
  public:
    SavingRun(ChildCommandLine commandLine, RunState& state, ProgressWindow& window, LNNotesSession& session,
              StoreFactory storeFactory);

    // The run the mode selects.
    void Run();
    void FolderRun();
    void CalendarRun();

    ConversionEngine& Engine() { return engine_; }

  private:
    // The run log, the PST session and the store; false (after its message) when the run ends.
    bool OpenLogAndStore(bool folderRun);

    ChildCommandLine commandLine_;
    RunState& state_;
    ProgressWindow& window_;
    LNNotesSession& session_;
    StoreFactory storeFactory_;
    std::unique_ptr<StoreSession> store_;
    ConversionEngine engine_;
};
