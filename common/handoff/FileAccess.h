#pragma once
// The four ways the programs open a hand-off file. Each returns false when the file could not
// be opened or the bytes could not all be written; callers decide what that means.

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <functional>

namespace handoff_detail {

// Create, truncating an existing file (the creator of a file).
bool CreateTruncated(const QString& path, const QByteArray& bytes);
// Open the existing file for reading and writing, never create or truncate it, and write from
// offset 0: a shorter record leaves the tail of a longer one behind it.
bool OverwriteFromStart(const QString& path, const QByteArray& bytes);
// Open the existing file, never create it, and write at its end.
bool AppendAtEnd(const QString& path, const QByteArray& bytes);
// Open the existing file for reading and writing, never create it, and hand it to read.
bool ReadExisting(const QString& path, const std::function<void(QIODevice&)>& read);

}  // namespace handoff_detail
