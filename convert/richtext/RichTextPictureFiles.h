#pragma once
// Where the pictures of rendered rich text are kept: the folder "temp" inside the system
// temporary folder, private to the user, one file per picture, referenced by full path.

#include "convert/richtext/RichTextHtml.h"

#include <QString>

// QDir::tempPath() + "temp" + separator, in native separators (e.g. "/tmp/temp/").
QString RichTextPictureFolder();

// Makes `folder` usable for files no other user may read or replace: creates it with mode
// 0700, or accepts an existing real folder of the user's own (narrowing its mode to 0700).
// False when it is a symbolic link, not a folder, belongs to another user or cannot be made.
bool PreparePrivateFolder(const QString& folder);

// Writes the picture into `folder` (which ends with a separator) and returns the file's full
// path, or empty when it cannot be written. A file of that name with the same bytes is used
// as it is. One with other bytes belongs to an earlier document whose HTML points to it, so
// it is kept and the picture goes to the name with "-" and the first 8 hex digits of its
// SHA-1 before the extension (e.g. "Body0A3F-1c2d3e4f.gif").
QString SavePictureFile(const QString& folder, const RichTextPicture& picture);
