#pragma once
// How the launcher starts nsfview and nsfsave: from the folder of its own executable, one at a
// time, waiting for each without a time-out. Tests put a fake in its place.

#include "common/handoff/ChildCommandLine.h"

#include <QString>

#include <functional>

enum class ChildProgram { View, Save };

class ChildLauncher {
  public:
    virtual ~ChildLauncher() = default;
    // Starts the child and waits for its end; false when it could not be started. While it
    // runs, `whileRunning` is called about once a second; when it answers false the child is
    // asked to end (the run was stopped from outside).
    virtual bool Run(ChildProgram program, const ChildCommandLine& commandLine,
                     const std::function<bool()>& whileRunning = {}) = 0;
};

class ProcessLauncher : public ChildLauncher {
  public:
    // programFolder: where nsfview and nsfsave lie (nsfadd's own folder); workingFolder: the
    // children's current directory (the Notes program folder, or programFolder when none).
    ProcessLauncher(QString programFolder, QString workingFolder);
    // The folder of the running executable, for both.
    static ProcessLauncher FromOwnFolder();

    bool Run(ChildProgram program, const ChildCommandLine& commandLine,
             const std::function<bool()>& whileRunning = {}) override;

    QString ProgramPath(ChildProgram program) const;

    // No person watches the run (the batch command line): the children's windows are not
    // shown (the offscreen platform unless one is set) and their messages go to the standard
    // error stream instead of waiting for a click.
    void SetUnattended(bool unattended) { unattended_ = unattended; }
    // The system temporary folder of the children (TMPDIR), where nsfsave writes its
    // interchange files by note ID: runs side by side must not share it.
    void SetTemporaryFolder(const QString& folder) { temporaryFolder_ = folder; }

  private:
    QString programFolder_;
    QString workingFolder_;
    bool unattended_ = false;
    QString temporaryFolder_;
};
