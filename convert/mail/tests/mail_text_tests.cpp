#include "convert/richtext/TempFolder.h"
#include "convert/mail/TextHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(CleanNameTest, ReplacesEveryUnsafeCharacterByASpace) {
    EXPECT_EQ(CleanName("a/b\\c:d*e?f<g>h|i\"j\tk\rl\nm"), "a b c d e f g h i j k l m");
    EXPECT_EQ(CleanName("Report: Q1/Q2?.pdf"), "Report  Q1 Q2 .pdf");
    EXPECT_EQ(CleanName(QString::fromUtf8("Café ☕.txt")), QString::fromUtf8("Café ☕.txt"));
    EXPECT_EQ(CleanName(""), "");
}

TEST(ToWideTest, TranslatesNotesTextAndStopsAtNul) {
    EXPECT_EQ(ToWide(std::string("A\xD0\x9F"
                                 "B\xC3\xA9")),
              QString::fromUtf8("AПBé"));
    EXPECT_EQ(ToWide(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(ToWide(std::string("a\xFF"
                                 "b")),
              QString::fromUtf8("a\uFFFD"
                                "b"));
    EXPECT_EQ(ToWide(nullptr, 4), "");
    EXPECT_EQ(ToWide(QString::fromUtf8("x\0y", 3)), "x");

    const QString mixed = QString::fromUtf8("Grüße Привет 日本 😀");
    std::string notes;
    ASSERT_TRUE(ToNotes(mixed, &notes));
    EXPECT_EQ(ToWide(notes), mixed);
    EXPECT_FALSE(ToNotes(QString(QChar(0xD800)), &notes));  // a lone surrogate
}

TEST(AnsiTest, UsesWindows1252) {
    EXPECT_EQ(FromAnsi("\x80\xE9"), QString::fromUtf8("€é"));
    EXPECT_EQ(ToAnsi(QString::fromUtf8("€é")), QByteArray("\x80\xE9"));
}

class PrivateTempFolderTest : public ::testing::Test {
  protected:
    QString name = "mail_tmp_" + QUuid::createUuid().toString(QUuid::Id128);
    QString path = QDir::tempPath() + "/" + name;
    void TearDown() override {
        QFile::remove(path);  // the symbolic link case
        QDir(path).removeRecursively();
    }
};

TEST_F(PrivateTempFolderTest, CreatesAPrivateFolder) {
    EXPECT_EQ(PrivateTempFolder(name), path + "/");
    struct stat info {};
    ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(PrivateTempFolder(name), path + "/");  // an existing folder is fine
}

TEST_F(PrivateTempFolderTest, TightensAnOpenFolderOfOurs) {
    ASSERT_TRUE(QDir().mkpath(path));
    ::chmod(QFile::encodeName(path).constData(), 0777);
    EXPECT_EQ(PrivateTempFolder(name), path + "/");
    EXPECT_EQ(QFileInfo(path).permissions() & (QFile::ReadOther | QFile::WriteOther), 0);
}

TEST_F(PrivateTempFolderTest, RefusesASymbolicLinkOrAFile) {
    const QString target = QDir::tempPath() + "/" + name + "_target";
    ASSERT_TRUE(QDir().mkpath(target));
    ASSERT_TRUE(QFile::link(target, path));
    EXPECT_EQ(PrivateTempFolder(name), "");
    QDir(target).removeRecursively();
    QFile::remove(path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(PrivateTempFolder(name), "");
}

TEST_F(PrivateTempFolderTest, RefusesAnotherUsersFolder) {
    ASSERT_TRUE(QDir().mkpath(path));
    // Only root can hand a folder to another user; elsewhere there is nothing to check.
    if (::chown(QFile::encodeName(path).constData(), ::geteuid() == 0 ? 65534 : ::geteuid() + 1,
                static_cast<gid_t>(-1)) != 0)
        GTEST_SKIP() << "cannot give a folder to another user here";
    EXPECT_EQ(PrivateTempFolder(name), "");
}

}  // namespace
