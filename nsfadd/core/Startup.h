#pragma once
// What happens before the launcher's window opens: the guard against a second launcher of the
// same user, and the look-up of the Notes program folder, the working folder of every child.

#include <QString>

#include <memory>
#include <utility>
#include <vector>

class QLockFile;

// A lock file in the user's runtime folder, held for the life of the process. The file names
// the holding process, so a lock left behind by a process that crashed or was killed is found
// stale and taken over by the next start.
class SingleInstance {
  public:
    // folder empty: the user's runtime folder (QStandardPaths::RuntimeLocation).
    explicit SingleInstance(const QString& folder = {});
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // False when another launcher holds the lock. A lock that cannot be created at all (no
    // writable runtime folder) does not keep the program from running.
    bool Acquire();
    // Gives the lock up before the process ends at once.
    void Release();
    QString LockPath() const { return path_; }

    static QString AlreadyRunningText();  // "Another instance of application is already running"

  private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
};

// One sub-key of the system's "App Paths" key: its name and, when it could be read, its "Path".
struct AppPathsEntry {
    QString name;
    bool pathRead = false;
    QString path;
};

// The Notes program folder from the App Paths sub-keys in enumeration order: the first whose
// name is exactly "notes.exe" (letter case counts) ends the search, with its "Path" if read.
QString NotesFolderFromAppPaths(const std::vector<AppPathsEntry>& entries);
// A folder of fewer than 2 characters counts as "not installed".
bool NotesInstalled(const QString& notesFolder);
QString NotesMissingText();

struct NotesCheck {
    QString folder;  // empty: the children run in nsfadd's own folder
    bool showMessage = false;
};
// On Windows the registry is read as the Notes client's installer left it. Elsewhere the
// databases are read through the built-in DXL layer: there is no client to look for, so the
// check passes without a folder and shows nothing.
NotesCheck CheckNotesInstallation();
