#include "common/handoff/FileAccess.h"

#include <QFile>

namespace handoff_detail {

namespace {

bool WriteAll(QFile& file, const QByteArray& bytes) {
    return file.write(bytes) == bytes.size() && file.flush();
}

bool OpenExisting(QFile& file) {
    return file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly);
}

}  // namespace

bool CreateTruncated(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && WriteAll(file, bytes);
}

bool OverwriteFromStart(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return OpenExisting(file) && file.seek(0) && WriteAll(file, bytes);
}

bool AppendAtEnd(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return OpenExisting(file) && file.seek(file.size()) && WriteAll(file, bytes);
}

bool ReadExisting(const QString& path, const std::function<void(QIODevice&)>& read) {
    QFile file(path);
    if (!OpenExisting(file)) return false;
    read(file);
    return true;
}

}  // namespace handoff_detail
