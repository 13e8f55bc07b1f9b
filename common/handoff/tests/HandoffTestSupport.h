#pragma once
// Small helpers for the hand-off tests: a private folder per test and a byte builder that spells
// expected layouts independently of the code under test.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>

// Little-endian bytes written out by hand.
class Bytes {
  public:
    Bytes& U8(std::uint8_t v) { return Add({v}); }
    Bytes& U32(std::uint32_t v) {
        return Add({std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)});
    }
    Bytes& U64(std::uint64_t v) { return U32(std::uint32_t(v)).U32(std::uint32_t(v >> 32)); }
    Bytes& Units(const QString& text) {
        for (QChar c : text) Add({std::uint8_t(c.unicode()), std::uint8_t(c.unicode() >> 8)});
        return *this;
    }
    Bytes& Raw(const QByteArray& raw) {
        bytes_ += raw;
        return *this;
    }
    operator QByteArray() const { return bytes_; }
    QByteArray Get() const { return bytes_; }

  private:
    Bytes& Add(std::initializer_list<std::uint8_t> list) {
        for (std::uint8_t b : list) bytes_.append(static_cast<char>(b));
        return *this;
    }
    QByteArray bytes_;
};

class HandoffFolder : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    static void Put(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    static QByteArray Get(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

  private:
    QTemporaryDir dir_;
};
