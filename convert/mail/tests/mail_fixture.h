#pragma once
// A database built in memory with DxlBuilder, opened through the Notes layer, with the run
// options, counts and a run log in a private folder: what a reader or writer call needs.

#include "common/handoff/RunLog.h"
#include "common/notes/DxlBuilder.h"
#include "common/notes/Notes.h"
#include "convert/mail/ConvertContext.h"

#include <QFile>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <ostream>

// Readable failure messages for texts.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

class MailFixture : public ::testing::Test {
  protected:
    LNNotesSession session;
    LNDatabase database;
    RunOptions options;
    RunCounts counts;
    RunLog log;
    QTemporaryDir dir;
    QString databasePath = "/mem/mail-" + QUuid::createUuid().toString(QUuid::Id128) + ".dxl";

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        session.Initialize();
        ASSERT_TRUE(log.Open(dir.filePath("QuenmarkHarbex_log_.txt"), RunLog::Opening::CreateOrAppend));
    }
    void TearDown() override {
        database.Close();
        NotesMemoryDatabases::Remove(databasePath);
    }

    void Open(const DxlBuilder& builder) {
        database.Close();
        builder.Register(databasePath);
        ASSERT_EQ(session.GetDatabase(databasePath, &database), LNNOERROR);
        ASSERT_EQ(database.Open(), LNNOERROR);
    }

    ConvertContext Context() { return {&database, &options, &log, &counts}; }

    // Everything logged so far, without the byte-order mark.
    QString LogText() const {
        QFile file(dir.filePath("QuenmarkHarbex_log_.txt"));
        if (!file.open(QIODevice::ReadOnly)) return {};
        const QByteArray bytes = file.readAll().mid(2);
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
    }
};
