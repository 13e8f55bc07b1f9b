#pragma once
// A temporary folder, an open run log and a writer context for the calendar, contact and
// group writer tests.

#include "common/handoff/RunLog.h"
#include "common/handoff/RunOptions.h"
#include "convert/mail/ConvertContext.h"
#include "convert/calendar/InterchangeText.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

class WriterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        // Detached attachments and photos go below the system temporary folder under fixed
        // names; a folder of its own per test keeps parallel test processes apart.
        qputenv("TMPDIR", QFile::encodeName(dir_.path()));
        logPath_ = dir_.filePath(RunLog::FileName());
        ASSERT_TRUE(log_.Open(logPath_, RunLog::Opening::Recreate));
    }

    QString Path(const QString& name) const { return dir_.filePath(name); }
    // A path whose folder does not exist, so the file cannot be created.
    QString BadPath(const QString& name) const { return dir_.filePath(QStringLiteral("missing/") + name); }

    static QByteArray Bytes(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Everything logged so far, without the byte-order mark.
    QString Logged() const {
        const QByteArray bytes = Bytes(logPath_).mid(2);
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
    }

    QTemporaryDir dir_;
    QString logPath_;
    RunOptions options_;
    RunLog log_;
    RunCounts counters_;
    ConvertContext context_{nullptr, &options_, &log_, &counters_};
};

// The error paths count the same way for every writer: the second counter only in counter
// mode 1.
inline void ExpectErrorCounted(const RunCounts& counters, std::uint8_t counterMode) {
    EXPECT_EQ(counters.errors, 1u);
    EXPECT_EQ(counters.secondErrors, counterMode == 1 ? 1u : 0u);
    EXPECT_EQ(counters.warnings, 0u);
}
