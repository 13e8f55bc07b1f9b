#include "convert/richtext/TempFolder.h"

#include "convert/richtext/RichTextPictureFiles.h"

#include <QDir>

QString PrivateTempFolder(const QString& name) {
    const QString path = QDir::tempPath() + u'/' + name + u'/';
    return PreparePrivateFolder(path) ? path : QString();
}

QString DetachFolder() {
    // The same folder the rich-text pictures go to.
    const QString folder = QDir::fromNativeSeparators(RichTextPictureFolder());
    return PreparePrivateFolder(folder) ? folder : QString();
}
