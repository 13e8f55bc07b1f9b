#pragma once
// Work folders inside the system temporary folder. On a shared POSIX temporary folder another
// user could plant a folder or a symbolic link of that name to read or redirect what we write,
// so the folder must be ours, a real directory, and private (0700).

#include <QString>

// The folder name inside QDir::tempPath(), created when missing, with a trailing separator; an
// empty text when it cannot be created or is refused (a symbolic link, another user's folder).
QString PrivateTempFolder(const QString& name);

// The "temp" folder into which attachments are detached and rich-text pictures saved.
QString DetachFolder();
