#pragma once
// A hand-off folder, a run log, a Notes session and a store in memory around one engine.

#include "FakeStore.h"
#include "common/handoff/CalendarIds.h"
#include "common/handoff/ResumeRecord.h"
#include "common/notes/DxlBuilder.h"
#include "savingprocess/engine/ConversionEngine.h"
#include "savingprocess/engine/SavingRun.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

class RecordingWindow : public ProgressWindow {
  public:
    void SetRange(std::uint32_t lower, std::uint32_t upper) override { range = {lower, upper}; }
    void SetPosition(std::uint32_t position) override {
        positions.push_back(position);
        if (onPosition) onPosition(position);
    }
    void SetStatus(const QString& text) override { statuses << text; }
    void ShowMessage(const QString& text) override { messages << text; }

    std::pair<std::uint32_t, std::uint32_t> range{0, 0};
    std::vector<std::uint32_t> positions;
    QStringList statuses, messages;
    std::function<void(std::uint32_t)> onPosition;
};

inline const QString kInboxPath = QStringLiteral("\\\\Personal Folders\\Inbox");
inline const QString kDbPath = QStringLiteral("/mem/engine.dxl");

class EngineTest : public ::testing::Test {
  public:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // The interchange files go to the system temporary folder: one of our own per test.
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("tmp")));
        qputenv("TMPDIR", (dir.path() + QStringLiteral("/tmp")).toLocal8Bit());
        ASSERT_EQ(session.Initialize(), LNNOERROR);
        handoff = dir.path() + u'/';
        state.settingPath = handoff + QStringLiteral("setting.txt");
        state.calPath = handoff + QStringLiteral("cal.txt");
        state.options.logPath = handoff + RunLog::FileName();
        RunLog creator;
        ASSERT_TRUE(creator.Open(state.options.logPath, RunLog::Opening::Recreate));
        creator.Close();
        ASSERT_TRUE(state.log.Open(state.options.logPath, RunLog::Opening::AppendExisting));
        ASSERT_TRUE(CreateEmptyCalendarIds(state.calPath));
        store.byPath[kInboxPath];
        for (auto code : {DefaultFolderCode::Calendar, DefaultFolderCode::Contacts, DefaultFolderCode::Tasks,
                          DefaultFolderCode::GroupLists})
            store.byCode[code];
    }
    void TearDown() override { NotesMemoryDatabases::Clear(); }

    // Registers the database and opens it in the engine.
    void Open(const DxlBuilder& builder) {
        builder.Register(kDbPath);
        ASSERT_EQ(engine.OpenDatabase(kDbPath, QString()), 1);
    }
    void StartAt(NOTEID folder, std::uint32_t index, const QString& path = kInboxPath) {
        ASSERT_TRUE(CreateResumeRecord(state.settingPath, ResumeRecord{folder, index, path, 1}));
    }
    int Dump(NOTEID folder, std::uint32_t index = 0, const QString& path = kInboxPath) {
        StartAt(folder, index, path);
        auto pst = store.Session();
        return engine.DumpFolder(index, path, folder, *pst);
    }
    ResumeRecord Setting() const {
        ResumeRecord record{};
        EXPECT_TRUE(ReadResumeRecord(state.settingPath, record));
        return record;
    }
    std::vector<std::uint32_t> CalIds() const {
        std::vector<std::uint32_t> ids;
        EXPECT_TRUE(ReadCalendarIds(state.calPath, ids));
        return ids;
    }
    QString LogText() const {
        QFile file(state.options.logPath);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll().mid(2);
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
    }
    // Every fragment appears in the log, in this order.
    void ExpectLogInOrder(const QStringList& fragments) const {
        const QString log = LogText();
        qsizetype at = 0;
        for (const QString& fragment : fragments) {
            const qsizetype found = log.indexOf(fragment, at);
            ASSERT_GE(found, 0) << "missing after offset " << at << ": " << fragment.toStdString()
                                << "\nlog:\n"
                                << log.toStdString();
            at = found + fragment.size();
        }
    }
    QStringList TempFiles() const {
        return QDir(dir.path() + QStringLiteral("/tmp/QuenmarkHarbexConvTmp")).entryList(QDir::Files);
    }

    QTemporaryDir dir;
    QString handoff;
    RunState state;
    RecordingWindow window;
    LNNotesSession session;
    FakeStore store;
    ConversionEngine engine{session, state, window};
};
