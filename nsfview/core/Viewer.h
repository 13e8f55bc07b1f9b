#pragma once
// nsfview's start-up and its listing mode: the command line, the hand-off files it opens, the
// run log, and the folder list written for the launcher. The windows of the other modes call
// the same pieces.

#include "common/handoff/ChildCommandLine.h"
#include "common/handoff/RunLog.h"
#include "common/handoff/RunOptions.h"
#include "nsfview/core/NsfScanner.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>

enum class ViewerMode { Empty = 0, Preview = 1, SaveOptions = 2, Listing = 3 };

// Exactly "1", "2" or "3"; anything else is the empty window.
ViewerMode ModeOf(const QString& mode);

// The command line in either form: five arguments after the program name (POSIX), or the raw
// "<db>/D <server>/C <mode>/P <pst>/F<folder>" line, which a shell may have split at spaces.
ChildCommandLine ViewerCommandLine(const QStringList& argumentsAfterProgram);

// Messages to the user; the windows show a message box, the headless program prints.
class ViewerPrompts {
  public:
    virtual ~ViewerPrompts() = default;
    virtual void Message(const QString& text) = 0;
};

// The application's state for one run of nsfview.
class ViewerSession {
  public:
    explicit ViewerSession(ChildCommandLine commandLine, ScanReport report = {});

    // Opens "Folderpth.txt" (never creating it) and the run log, and writes the start line.
    // False, after the message "Folder file cannot be open", when the folder file is missing:
    // nothing else may happen then.
    bool Start(ViewerPrompts& prompts);

    // The listing mode: reads "config.txt", lists every kept folder of the database and
    // writes them into "Folderpth.txt". A database that does not open writes nothing.
    void RunListing();

    ViewerMode Mode() const { return mode_; }
    const ChildCommandLine& CommandLine() const { return line_; }
    RunOptions& Options() { return options_; }
    RunLog& Log() { return log_; }
    std::atomic<std::uint8_t>& KeepRunning() { return keepRunning_; }
    QString FolderListPath() const;

  private:
    void Status(const QString& text);

    ChildCommandLine line_;
    ViewerMode mode_;
    ScanReport report_;
    RunOptions options_;
    RunLog log_;
    std::atomic<std::uint8_t> keepRunning_{1};
};
