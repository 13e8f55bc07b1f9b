#include "convert/richtext/RichTextPictureFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t ModeOf(const QString& path) {
    struct stat st {};
    EXPECT_EQ(lstat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    return st.st_mode & 0777;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

TEST(PrivateFolder, CreatesOrNarrowsTheUsersOwnFolder) {
    QTemporaryDir dir;
    const QString fresh = dir.path() + "/temp/";
    ASSERT_TRUE(PreparePrivateFolder(fresh));
    EXPECT_EQ(ModeOf(dir.path() + "/temp"), 0700u);
    EXPECT_TRUE(PreparePrivateFolder(fresh));  // an existing folder is not an error

    const QString open = dir.path() + "/open";
    ASSERT_TRUE(QDir().mkdir(open));
    ASSERT_EQ(chmod(QFile::encodeName(open).constData(), 0777), 0);
    ASSERT_TRUE(PreparePrivateFolder(open));
    EXPECT_EQ(ModeOf(open), 0700u);

    EXPECT_FALSE(PreparePrivateFolder(dir.path() + "/missing/parent/temp/"));
}

TEST(PrivateFolder, RefusesLinksFilesAndOtherUsersFolders) {
    QTemporaryDir dir;
    const QString target = dir.path() + "/target";
    ASSERT_TRUE(QDir().mkdir(target));
    ASSERT_TRUE(QFile::link(target, dir.path() + "/link"));
    EXPECT_FALSE(PreparePrivateFolder(dir.path() + "/link/"));

    QFile file(dir.path() + "/file");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_FALSE(PreparePrivateFolder(dir.path() + "/file"));

    const QString foreign = dir.path() + "/foreign";
    ASSERT_TRUE(QDir().mkdir(foreign));
    if (chown(QFile::encodeName(foreign).constData(), geteuid() + 4242, getegid()) != 0)
        GTEST_SKIP() << "giving a folder to another user needs root";
    EXPECT_FALSE(PreparePrivateFolder(foreign));
}

TEST(PictureFolder, IsTempInsideTheSystemTemporaryFolder) {
    QTemporaryDir dir;
    const QByteArray saved = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(dir.path()));
    const QString folder = RichTextPictureFolder();
    qputenv("TMPDIR", saved);
    EXPECT_EQ(folder, QDir::toNativeSeparators(dir.path() + "/temp/"));
}

TEST(PictureFile, KeepsAnEarlierDocumentsPictureOfTheSameName) {
    QTemporaryDir dir;
    const QString folder = dir.path() + "/";
    RichTextPicture first{"Body0A3F.gif", "gif", "GIF89a-first"};
    const QString path = SavePictureFile(folder, first);
    EXPECT_EQ(path, folder + "Body0A3F.gif");
    EXPECT_EQ(ReadAll(path), first.data);
    EXPECT_EQ(SavePictureFile(folder, first), path);  // same bytes: the same file

    RichTextPicture second{"Body0A3F.gif", "gif", "GIF89a-second"};
    const QString other = SavePictureFile(folder, second);
    EXPECT_TRUE(QRegularExpression("/Body0A3F-[0-9a-f]{8}\\.gif$").match(other).hasMatch())
        << other.toStdString();
    EXPECT_EQ(ReadAll(other), second.data);
    EXPECT_EQ(ReadAll(path), first.data);
    EXPECT_EQ(SavePictureFile(folder, second), other);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2);
}

TEST(PictureFile, NeverWritesThroughALinkOrOutsideTheFolder) {
    QTemporaryDir dir;
    const QString folder = dir.path() + "/";
    const QString victim = dir.path() + "/victim";
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("precious");
    file.close();
    ASSERT_TRUE(QFile::link(victim, folder + "Body1B.png"));
    const QString path = SavePictureFile(folder, {"Body1B.png", "png", "\x89PNG-data"});
    EXPECT_FALSE(path.isEmpty());
    EXPECT_NE(path, folder + "Body1B.png");
    EXPECT_EQ(ReadAll(victim), "precious");

    EXPECT_TRUE(SavePictureFile(folder, {"../x.gif", "gif", "GIF89a"}).isEmpty());
    EXPECT_TRUE(SavePictureFile(dir.path() + "/missing/", {"a.gif", "gif", "GIF89a"}).isEmpty());
}

}  // namespace
