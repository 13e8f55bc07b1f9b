#include "convert/TempFolder.h"

#include <QDir>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

QString PrivateTempFolder(const QString &name)
{
    const QString path = QDir::tempPath() + u'/' + name;
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat info {};
    // lstat, so that a symbolic link is seen as one and never followed.
    if (::lstat(native.constData(), &info) != 0)
        return {};
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        return {};
    if ((info.st_mode & 077) != 0 && ::chmod(native.constData(), 0700) != 0)
        return {};
    return path + u'/';
}

QString DetachFolder()
{
    return PrivateTempFolder(QStringLiteral("temp"));
}
