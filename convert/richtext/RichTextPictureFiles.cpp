#include "convert/richtext/RichTextPictureFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

QString RichTextPictureFolder() {
    return QDir::toNativeSeparators(QDir::tempPath() + QStringLiteral("/temp/"));
}

bool PreparePrivateFolder(const QString& folder) {
    QString path = QDir::fromNativeSeparators(folder);
    while (path.size() > 1 && path.endsWith(u'/')) path.chop(1);
    if (path.isEmpty()) return false;
#ifdef Q_OS_UNIX
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (lstat(native.constData(), &st) != 0) {
        if (errno != ENOENT) return false;
        // Losing a race to another creator is fine: what is there is checked below.
        if (mkdir(native.constData(), 0700) != 0 && errno != EEXIST) return false;
        if (lstat(native.constData(), &st) != 0) return false;
    }
    if (S_ISLNK(st.st_mode) || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) return false;
    if ((st.st_mode & 077) != 0 && chmod(native.constData(), 0700) != 0) return false;
    return true;
#else
    return QDir().mkpath(path) && QFileInfo(path).isDir() && !QFileInfo(path).isSymLink();
#endif
}

namespace {

enum class Existing { None, Same, Other };

Existing Compare(const QString& path, const QByteArray& data) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) return Existing::None;
    if (info.isSymLink() || !info.isFile() || info.size() != data.size()) return Existing::Other;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return Existing::Other;
    return file.readAll() == data ? Existing::Same : Existing::Other;
}

// QSaveFile renames its finished file over the name, so a link placed there is replaced,
// never followed, and a reader never sees half a picture.
bool Write(const QString& path, const QByteArray& data) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

}  // namespace

QString SavePictureFile(const QString& folder, const RichTextPicture& picture) {
    if (picture.fileName.isEmpty() || picture.fileName.contains(u'/') || picture.fileName.contains(u'\\'))
        return {};
    const QString path = folder + picture.fileName;
    switch (Compare(path, picture.data)) {
        case Existing::Same:
            return path;
        case Existing::None:
            return Write(path, picture.data) ? path : QString();
        case Existing::Other:
            break;
    }
    const QString hash =
        QString::fromLatin1(QCryptographicHash::hash(picture.data, QCryptographicHash::Sha1).toHex().left(8));
    const qsizetype dot = picture.fileName.lastIndexOf(u'.');
    const QString stem = dot < 0 ? picture.fileName : picture.fileName.left(dot);
    const QString extension = dot < 0 ? QString() : picture.fileName.mid(dot);
    const QString other = folder + stem + u'-' + hash + extension;
    if (Compare(other, picture.data) == Existing::Same) return other;
    return Write(other, picture.data) ? other : QString();
}
