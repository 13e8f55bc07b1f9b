#include "common/handoff/HandoffPaths.h"

#include <QDir>

QString HandoffFilePath(const QString& handoffFolder, const char* fileName) {
    return handoffFolder + QString::fromLatin1(fileName);
}

QString WithTrailingSeparator(const QString& folder) {
    QString native = QDir::toNativeSeparators(folder);
    if (!native.endsWith(QDir::separator())) native += QDir::separator();
    return native;
}
