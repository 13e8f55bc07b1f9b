#include "common/handoff/RunOptions.h"

#include "HandoffTestSupport.h"

#include <cstring>

namespace {

QByteArray F64(double v) {
    QByteArray raw(8, '\0');
    std::memcpy(raw.data(), &v, 8);  // the test machines are little-endian
    return raw;
}

// Every field set to a value unlike its default.
RunOptions Full() {
    RunOptions o;
    o.counterMode = 1;
    o.selectionMode = 1;
    o.reservedFlag = 1;
    o.pstTargetFolder = QStringLiteral("D:\\out\\");
    o.reservedText = QStringLiteral("r");
    o.logPath = QStringLiteral("C:\\l\\QuenmarkHarbex_log_.txt");
    o.includeAllFolder = 0;
    o.reserved1 = 1;
    o.reserved2 = 1;
    o.reserved3 = 3;
    o.addressTranslation = 1;
    o.smtpPatternOn = 1;
    o.smtpFormat = 7;
    o.smtpDomain = QStringLiteral("example.com");
    o.csvTranslationOn = 1;
    o.namesNsfTranslationOn = 1;
    o.folderMappingOn = 1;
    o.removeEncryption = 1;
    o.saveDocLinks = 1;
    o.saveInternetHeader = 1;
    o.addressMap = {{"b", "b@x;c@x"}, {"B", "upper"}, {"a", ""}};
    o.folderMap = {{"Inbox", "Posteingang"}};
    o.dateRanges = {{{43000.5, 0}, {43001.25, 2}}};
    return o;
}

TEST(RunOptions, EmptyCollectionsGiveTheFixedFieldsAndThreeZeroCounts) {
    RunOptions o;
    o.logPath = QStringLiteral("L");
    const QByteArray expected = Bytes()
                                    .U8(0)
                                    .U8(0)
                                    .U8(0)
                                    .U32(0)
                                    .U32(0)
                                    .U32(1)
                                    .Units("L")
                                    .U32(1)
                                    .U32(0)
                                    .U32(0)
                                    .U32(0)
                                    .U8(0)
                                    .U8(0)
                                    .U32(0)
                                    .U32(0)
                                    .U8(0)
                                    .U8(0)
                                    .U8(0)
                                    .U32(0)
                                    .U32(0)
                                    .U32(0)
                                    .U64(0)
                                    .U64(0)
                                    .U64(0);
    EXPECT_EQ(SerializeRunOptions(o).toHex(' '), expected.toHex(' '));
    EXPECT_EQ(SerializeRunOptions(RunOptions{}).size(), 80);
}

TEST(RunOptions, CollectionsAreCountedInLowHalfAndKeysAscendByCodeUnit) {
    RunOptions o;
    o.addressMap = {{"b", "2"}, {"B", "1"}, {"a", "3"}};
    o.dateRanges = {{{1.5, 0}, {2.0, 1}}};
    const QByteArray tail = Bytes()
                                .U32(3)
                                .U32(0)
                                .U32(1)
                                .Units("B")
                                .U32(1)
                                .Units("1")
                                .U32(1)
                                .Units("a")
                                .U32(1)
                                .Units("3")
                                .U32(1)
                                .Units("b")
                                .U32(1)
                                .Units("2")
                                .U64(0)
                                .U64(1)
                                .Raw(F64(1.5))
                                .U32(0)
                                .Raw(F64(2.0))
                                .U32(1);
    EXPECT_TRUE(SerializeRunOptions(o).endsWith(tail));
}

TEST_F(HandoffFolder, RunOptionsRoundTripThroughTheFile) {
    const QString path = Path("config.txt");
    Put(path, QByteArray(500, 'x'));
    ASSERT_TRUE(WriteRunOptions(path, Full()));
    EXPECT_EQ(Get(path), SerializeRunOptions(Full()));  // truncated, not overwritten in place
    RunOptions read;
    ASSERT_TRUE(ReadRunOptions(path, read));
    EXPECT_EQ(read, Full());
}

TEST_F(HandoffFolder, MissingRunOptionsGiveDefaultsWithoutCreatingTheFile) {
    RunOptions read = Full();
    EXPECT_FALSE(ReadRunOptions(Path("config.txt"), read));
    EXPECT_EQ(read, RunOptions{});
    EXPECT_EQ(read.includeAllFolder, 1u);
    EXPECT_FALSE(QFile::exists(Path("config.txt")));
}

TEST(RunOptions, RepeatedKeyKeepsItsFirstValueAndTextEndsAtNul) {
    const QByteArray bytes = Bytes()
                                 .U8(0)
                                 .U8(0)
                                 .U8(0)
                                 .U32(3)
                                 .Units(QString("ab") + QChar(0))
                                 .U32(0)
                                 .U32(0)
                                 .U32(1)
                                 .U32(0)
                                 .U32(0)
                                 .U32(0)
                                 .U8(0)
                                 .U8(0)
                                 .U32(0)
                                 .U32(0)
                                 .U8(0)
                                 .U8(0)
                                 .U8(0)
                                 .U32(0)
                                 .U32(0)
                                 .U32(0)
                                 .U64(2)
                                 .U32(1)
                                 .Units("k")
                                 .U32(1)
                                 .Units("1")
                                 .U32(1)
                                 .Units("k")
                                 .U32(1)
                                 .Units("2")
                                 .U64(0)
                                 .U64(0);
    const RunOptions read = ParseRunOptions(bytes);
    EXPECT_EQ(read.pstTargetFolder, "ab");
    EXPECT_EQ(read.addressMap, (std::map<QString, QString>{{"k", "1"}}));
}

TEST(RunOptions, FileCutAnywhereKeepsDefaultsFromTheCutOn) {
    const RunOptions full = Full();
    const QByteArray bytes = SerializeRunOptions(full);
    RunOptions previous;  // what the prefix one byte shorter gave
    for (qsizetype cut = 0; cut <= bytes.size(); ++cut) {
        SCOPED_TRACE(cut);
        const RunOptions read = ParseRunOptions(bytes.left(cut));
        // Every field is either whole from the file or still its default, and a longer prefix
        // never loses a field a shorter one had.
        EXPECT_TRUE(read.pstTargetFolder.isEmpty() || read.pstTargetFolder == full.pstTargetFolder);
        EXPECT_TRUE(read.smtpDomain.isEmpty() || read.smtpDomain == full.smtpDomain);
        EXPECT_TRUE(read.includeAllFolder == 1 || read.includeAllFolder == full.includeAllFolder);
        EXPECT_LE(previous.addressMap.size(), read.addressMap.size());
        EXPECT_LE(previous.dateRanges.size(), read.dateRanges.size());
        previous = read;
    }
    EXPECT_EQ(previous, full);
    // Cut inside the log path: it and everything after it keep their defaults.
    const qsizetype insideLog = 3 + 4 + 2 * 7 + 4 + 2 + 4 + 10;
    RunOptions expected;
    expected.counterMode = expected.selectionMode = expected.reservedFlag = 1;
    expected.pstTargetFolder = full.pstTargetFolder;
    expected.reservedText = full.reservedText;
    EXPECT_EQ(ParseRunOptions(bytes.left(insideLog)), expected);
}

TEST(RunOptions, HugeCountsAndLengthsEndWithTheData) {
    const QByteArray fixed = SerializeRunOptions(RunOptions{}).left(80 - 24);
    const struct {
        const char* name;
        QByteArray bytes;
        std::size_t addresses;
        std::size_t ranges;
    } cases[] = {
        {"map count 2^63", Bytes().Raw(fixed).U64(1ull << 63).U32(1).Units("k").U32(0), 1, 0},
        {"map count all ones", Bytes().Raw(fixed).U64(~0ull), 0, 0},
        {"range count 2^63", Bytes().Raw(fixed).U64(0).U64(0).U64(1ull << 63).Raw(QByteArray(30, 0)), 0, 1},
        {"key length 0xFFFFFFFF", Bytes().Raw(fixed).U64(1).U32(0xFFFFFFFF).Units("abc"), 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RunOptions read = ParseRunOptions(c.bytes);
        EXPECT_EQ(read.addressMap.size(), c.addresses);
        EXPECT_EQ(read.dateRanges.size(), c.ranges);
        EXPECT_TRUE(read.folderMap.empty());
    }
    RunOptions textCut = ParseRunOptions(Bytes().U8(1).U8(1).U8(1).U32(0xFFFFFFFF).Units("abc"));
    EXPECT_EQ(textCut.reservedFlag, 1);
    EXPECT_TRUE(textCut.pstTargetFolder.isEmpty());
    EXPECT_EQ(textCut.includeAllFolder, 1u);
}

}  // namespace
