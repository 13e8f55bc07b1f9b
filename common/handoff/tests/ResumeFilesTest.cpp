// "setting.txt", "cal.txt" and the launcher's restart decision built on them.
#include "common/handoff/CalendarIds.h"
#include "common/handoff/PassRestart.h"
#include "common/handoff/ResumeRecord.h"

#include "HandoffTestSupport.h"

#include <optional>

namespace {

class ResumeFiles : public HandoffFolder {
  protected:
    QString setting_ = Path("setting.txt");
    QString cal_ = Path("cal.txt");
};

TEST_F(ResumeFiles, ResumeRecordIsThirteenPlusTwoNBytes) {
    const struct {
        ResumeRecord record;
        QByteArray bytes;
    } cases[] = {
        {{0x1234, 0, QStringLiteral("\\\\Personal"), 1},  // 10 characters, length 10
         Bytes().U32(0x1234).U32(0).U32(10).Units("\\\\Personal").U8(1)},
        {{0, 99, QString(), 0}, Bytes().U32(0).U32(99).U32(0).U8(0)},
        {{0xFFFFFFFF, 7, QString(QChar(0x20AC)), 1},
         Bytes().U32(0xFFFFFFFF).U32(7).U32(1).U8(0xAC).U8(0x20).U8(1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.record.path.toStdString());
        ASSERT_TRUE(CreateResumeRecord(setting_, c.record));
        EXPECT_EQ(Get(setting_).toHex(' '), c.bytes.toHex(' '));
        EXPECT_EQ(c.bytes.size(), 13 + 2 * c.record.path.size());
        ResumeRecord read;
        ASSERT_TRUE(ReadResumeRecord(setting_, read));
        EXPECT_EQ(read, c.record);
    }
}

TEST_F(ResumeFiles, CheckpointOverwritesInPlaceAndCreateTruncates) {
    const ResumeRecord longer{5, 0, QStringLiteral("\\\\Personal Folders\\Inbox"), 1};
    const ResumeRecord shorter{5, 42, QStringLiteral("\\\\P"), 0};
    ASSERT_TRUE(CreateResumeRecord(setting_, longer));
    ASSERT_TRUE(OverwriteResumeRecord(setting_, shorter));
    const QByteArray bytes = Get(setting_);
    EXPECT_EQ(bytes.size(), 13 + 2 * longer.path.size());
    EXPECT_TRUE(bytes.startsWith(SerializeResumeRecord(shorter)));
    ResumeRecord read;
    ASSERT_TRUE(ReadResumeRecord(setting_, read));
    EXPECT_EQ(read, shorter);

    ASSERT_TRUE(CreateResumeRecord(setting_, shorter));
    EXPECT_EQ(Get(setting_), SerializeResumeRecord(shorter));
}

TEST_F(ResumeFiles, MissingOrDamagedRecordIsReportedAndLeavesTheCallersValues) {
    const ResumeRecord previous{1, 7, QStringLiteral("kept"), 1};
    ResumeRecord read = previous;
    EXPECT_FALSE(ReadResumeRecord(setting_, read));
    EXPECT_FALSE(OverwriteResumeRecord(setting_, previous));
    EXPECT_FALSE(QFile::exists(setting_));

    const QByteArray whole = SerializeResumeRecord({3, 4, QStringLiteral("abc"), 1});
    for (qsizetype cut = 0; cut < whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        Put(setting_, whole.left(cut));
        EXPECT_FALSE(ReadResumeRecord(setting_, read));
        EXPECT_EQ(read, previous);
    }
    EXPECT_FALSE(ParseResumeRecord(Bytes().U32(1).U32(2).U32(0xFFFFFFFF).Units("ab").U8(1).Get(), read));
    EXPECT_FALSE(ParseResumeRecord(Bytes().U32(1).U32(2).U32(0x80000000).Get(), read));
    EXPECT_EQ(read, previous);
}

TEST_F(ResumeFiles, CalendarIdsAppendAndReadBack) {
    std::vector<std::uint32_t> ids{99};
    EXPECT_FALSE(ReadCalendarIds(cal_, ids));
    EXPECT_FALSE(AppendCalendarId(cal_, 1));
    EXPECT_FALSE(QFile::exists(cal_));

    ASSERT_TRUE(CreateEmptyCalendarIds(cal_));
    ASSERT_TRUE(ReadCalendarIds(cal_, ids));
    EXPECT_TRUE(ids.empty());
    for (std::uint32_t id : {0x11223344u, 5u, 5u}) ASSERT_TRUE(AppendCalendarId(cal_, id));
    EXPECT_EQ(Get(cal_), Bytes().U32(0x11223344).U32(5).U32(5).Get());
    ASSERT_TRUE(ReadCalendarIds(cal_, ids));
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{0x11223344u, 5u, 5u}));

    ASSERT_TRUE(CreateEmptyCalendarIds(cal_));
    EXPECT_TRUE(Get(cal_).isEmpty());
}

TEST(CalendarIds, TrailingGroupIsPaddedWithZeroBytes) {
    const struct {
        QByteArray bytes;
        std::vector<std::uint32_t> ids;
    } cases[] = {
        {QByteArray(), {}},
        {QByteArray("\x01", 1), {1}},
        {QByteArray("\x01\x00\x00\x00\x02\x03", 6), {1, 0x0302}},
        {QByteArray("\xff\xff\xff\xff\x01\x02\x03", 7), {0xFFFFFFFF, 0x030201}},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseCalendarIds(c.bytes), c.ids) << c.bytes.toHex().toStdString();
}

// Each step: what "setting.txt" held after a process (nullopt: unreadable) and the decision.
struct Step {
    std::optional<ResumeRecord> found;
    PassDecision decision;
};

ResumeRecord At(std::uint32_t index, std::uint8_t continueFlag = 1) {
    return {0, index, QString(), continueFlag};
}

TEST(PassRestart, DecidesByFlagIndexAndStrikes) {
    using D = PassDecision;
    const struct {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"finished, or ended early at entry 0", {{At(0), D::Finished}}},
        {"stop wins over any index", {{At(5, 0), D::Stopped}}},
        {"stop after restarts", {{At(100), D::RunAgain}, {At(0, 0), D::Stopped}}},
        {"progress each time", {{At(100), D::RunAgain}, {At(200), D::RunAgain}, {At(0), D::Finished}}},
        {"four ends at 7: given up after the fourth",
         {{At(7), D::RunAgain}, {At(7), D::RunAgain}, {At(7), D::RunAgain}, {At(7), D::GivenUp}}},
        {"first end at 1 already one strike",
         {{At(1), D::RunAgain}, {At(1), D::RunAgain}, {At(1), D::GivenUp}}},
        {"strikes count over the whole pass",
         {{At(7), D::RunAgain},
          {At(7), D::RunAgain},
          {At(9), D::RunAgain},
          {At(9), D::RunAgain},
          {At(11), D::RunAgain},
          {At(11), D::GivenUp}}},
        {"unreadable file counts as no progress",
         {{std::nullopt, D::RunAgain}, {std::nullopt, D::RunAgain}, {std::nullopt, D::GivenUp}}},
        {"unreadable after progress keeps the last index",
         {{At(50), D::RunAgain},
          {std::nullopt, D::RunAgain},
          {At(50), D::RunAgain},
          {std::nullopt, D::GivenUp}}},
        {"a strike then finished", {{At(1), D::RunAgain}, {At(0), D::Finished}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PassRestart pass;
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const Step& step = c.steps[i];
            EXPECT_EQ(pass.AfterProcess(step.found ? &*step.found : nullptr), step.decision)
                << "process " << i + 1;
        }
    }
}

TEST_F(ResumeFiles, PassRestartReadsTheSettingFile) {
    PassRestart pass;
    ASSERT_TRUE(CreateResumeRecord(setting_, At(30)));
    EXPECT_EQ(pass.AfterProcess(setting_), PassDecision::RunAgain);
    EXPECT_EQ(pass.LastIndex(), 30u);
    Put(setting_, "\x01\x02");  // cut short: no progress
    EXPECT_EQ(pass.AfterProcess(setting_), PassDecision::RunAgain);
    EXPECT_EQ(pass.Strikes(), 1);
    ASSERT_TRUE(OverwriteResumeRecord(setting_, At(0)));
    EXPECT_EQ(pass.AfterProcess(setting_), PassDecision::Finished);
}

}  // namespace
