#include "nsfadd/core/Startup.h"

#include <QDir>
#include <QLockFile>
#include <QSettings>
#include <QStandardPaths>

SingleInstance::SingleInstance(const QString& folder) {
    QString dir = folder;
    if (dir.isEmpty()) dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QDir::tempPath();
    path_ = QDir(dir).filePath(QStringLiteral("nsfadd.lock"));
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::Acquire() {
    lock_ = std::make_unique<QLockFile>(path_);
    // Never stale by age: a running launcher may sit idle for days. Staleness comes only from
    // the holder's process being gone (or another program now using its number).
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0)) return true;
    const bool heldByOther = lock_->error() == QLockFile::LockFailedError;
    lock_.reset();
    return !heldByOther;
}

void SingleInstance::Release() {
    if (lock_) lock_->unlock();
    lock_.reset();
}

QString SingleInstance::AlreadyRunningText() {
    return QStringLiteral("Another instance of application is already running");
}

QString NotesFolderFromAppPaths(const std::vector<AppPathsEntry>& entries) {
    for (const AppPathsEntry& entry : entries) {
        if (entry.name != QLatin1String("notes.exe")) continue;
        return entry.pathRead ? entry.path : QString();
    }
    return {};
}

bool NotesInstalled(const QString& notesFolder) {
    return notesFolder.size() >= 2;
}

QString NotesMissingText() {
    return QStringLiteral(
        "Lotus notes is not installed on this computer. To run this application on you must have Lotus "
        "notes installed on your computer or Use CommandLine to overwrite.");
}

NotesCheck CheckNotesInstallation() {
#ifdef Q_OS_WIN
    QSettings appPaths(
        QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths"),
        QSettings::NativeFormat);
    std::vector<AppPathsEntry> entries;
    for (const QString& key : appPaths.childGroups()) {
        appPaths.beginGroup(key);
        const QVariant path = appPaths.value(QStringLiteral("Path"));
        entries.push_back({key, path.isValid(), path.toString()});
        appPaths.endGroup();
    }
    NotesCheck check;
    check.folder = NotesFolderFromAppPaths(entries);
    check.showMessage = !NotesInstalled(check.folder);
    return check;
#else
    return {};
#endif
}
