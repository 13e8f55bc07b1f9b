#include "common/handoff/FolderList.h"

#include "HandoffTestSupport.h"

namespace {

using Records = std::vector<FolderRecord>;

const Records kTwo = {{QStringLiteral("Inbox\\Old"), 1, 0x1234}, {QStringLiteral("Drafts"), 0, 7}};

QByteArray TwoRecordBytes() {
    return Bytes().U32(2).U32(18).Units("Inbox\\Old").U8(1).U32(0x1234).U32(12).Units("Drafts").U8(0).U32(7);
}

class FolderList : public HandoffFolder {
  protected:
    QString file_ = Path("Folderpth.txt");
};

TEST_F(FolderList, EveryRecordKindHasItsExactLayout) {
    struct Case {
        const char* name;
        std::function<bool(const QString&)> write;
        QByteArray bytes;
        FolderListKind kind;
    };
    const Case cases[] = {
        {"cancelled", [](const QString& p) { return WriteFolderListStatus(p, FolderStatus::NoResult); },
         Bytes().U8(0), FolderListKind::SaveOptions},
        {"back", [](const QString& p) { return WriteFolderListStatus(p, FolderStatus::Back); }, Bytes().U8(2),
         FolderListKind::Selection},
        {"closed", [](const QString& p) { return WriteFolderListStatus(p, FolderStatus::Closed); },
         Bytes().U8(3), FolderListKind::Selection},
        {"save options: 10 characters count 20 bytes",
         [](const QString& p) { return WriteFolderListOutputFolder(p, "C:\\out\\ab\\"); },
         Bytes().U8(1).U32(20).Units("C:\\out\\ab\\"), FolderListKind::SaveOptions},
        {"listing: records and nothing after",
         [](const QString& p) { return WriteFolderListRecords(p, kTwo); },
         Bytes().U8(1).Raw(TwoRecordBytes()), FolderListKind::Listing},
        {"selection: records, target folder, empty reserved text",
         [](const QString& p) { return WriteFolderListSelection(p, kTwo, "D:\\pst\\", ""); },
         Bytes().U8(1).Raw(TwoRecordBytes()).U32(14).Units("D:\\pst\\").U32(0), FolderListKind::Selection},
        {"listing of no folders", [](const QString& p) { return WriteFolderListRecords(p, {}); },
         Bytes().U8(1).U32(0), FolderListKind::Listing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(CreateEmptyFolderList(file_));
        ASSERT_TRUE(c.write(file_));
        EXPECT_EQ(Get(file_).toHex(' '), c.bytes.toHex(' '));
        FolderListResult read;
        ASSERT_TRUE(ReadFolderList(file_, c.kind, read));
        EXPECT_FALSE(read.damaged);
        EXPECT_EQ(SerializeFolderList(read, c.kind), c.bytes);
    }
}

TEST_F(FolderList, ReaderTakesWhatTheModeCarries) {
    ASSERT_TRUE(CreateEmptyFolderList(file_));
    ASSERT_TRUE(WriteFolderListSelection(file_, kTwo, "D:\\pst\\", "r"));
    FolderListResult read;
    ASSERT_TRUE(ReadFolderList(file_, FolderListKind::Selection, read));
    EXPECT_EQ(read.status, FolderStatus::Result);
    EXPECT_EQ(read.records, kTwo);
    EXPECT_EQ(read.pstTargetFolder, "D:\\pst\\");
    EXPECT_EQ(read.reservedText, "r");

    ASSERT_TRUE(WriteFolderListOutputFolder(file_, "E:\\x\\"));
    ASSERT_TRUE(ReadFolderList(file_, FolderListKind::SaveOptions, read));
    EXPECT_EQ(read.status, FolderStatus::Result);
    EXPECT_EQ(read.outputFolder, "E:\\x\\");
    EXPECT_TRUE(read.records.empty());
}

TEST_F(FolderList, ShorterRecordOverALongerOneLeavesTheTailWhichIsIgnored) {
    ASSERT_TRUE(CreateEmptyFolderList(file_));
    ASSERT_TRUE(WriteFolderListRecords(file_, kTwo));
    const qsizetype longSize = Get(file_).size();
    const Records one = {{QStringLiteral("Tasks"), 1, 9}};
    ASSERT_TRUE(WriteFolderListRecords(file_, one));
    EXPECT_EQ(Get(file_).size(), longSize);
    FolderListResult read;
    ASSERT_TRUE(ReadFolderList(file_, FolderListKind::Listing, read));
    EXPECT_EQ(read.records, one);

    ASSERT_TRUE(WriteFolderListStatus(file_, FolderStatus::Back));
    ASSERT_TRUE(ReadFolderList(file_, FolderListKind::Listing, read));
    EXPECT_EQ(read.status, FolderStatus::Back);
    EXPECT_TRUE(read.records.empty());
}

TEST_F(FolderList, EmptyFileReadsAsNoResultAndCreateEmptyTruncates) {
    Put(file_, "\x01\x05\x00\x00\x00");
    ASSERT_TRUE(CreateEmptyFolderList(file_));
    EXPECT_TRUE(Get(file_).isEmpty());
    FolderListResult read;
    read.status = FolderStatus::Closed;
    ASSERT_TRUE(ReadFolderList(file_, FolderListKind::Listing, read));
    EXPECT_EQ(read, FolderListResult{});
}

TEST_F(FolderList, MissingFileIsReportedAndNeverCreated) {
    FolderListResult read;
    EXPECT_FALSE(ReadFolderList(file_, FolderListKind::Listing, read));
    EXPECT_FALSE(WriteFolderListStatus(file_, FolderStatus::Closed));
    EXPECT_FALSE(WriteFolderListRecords(file_, kTwo));
    EXPECT_FALSE(QFile::exists(file_));
    EXPECT_FALSE(CreateEmptyFolderList(Path("no such folder/Folderpth.txt")));
}

TEST(FolderListDamage, CutOrOversizedContentReadsAsDamagedNoResult) {
    const QByteArray selection = Bytes().U8(1).Raw(TwoRecordBytes()).U32(4).Units("D:").U32(0).Get();
    for (qsizetype cut = 1; cut < selection.size(); ++cut) {
        SCOPED_TRACE(cut);
        const FolderListResult read = ParseFolderList(selection.left(cut), FolderListKind::Selection);
        EXPECT_TRUE(read.damaged);
        EXPECT_EQ(read.status, FolderStatus::NoResult);
        EXPECT_TRUE(read.records.empty());
    }
    const struct {
        const char* name;
        QByteArray bytes;
        FolderListKind kind;
    } cases[] = {
        {"path length 0xFFFFFFFF", Bytes().U8(1).U32(1).U32(0xFFFFFFFF).Units("ab"), FolderListKind::Listing},
        {"count 0xFFFFFFFF", Bytes().U8(1).U32(0xFFFFFFFF).U32(0).U8(1).U32(5), FolderListKind::Listing},
        {"output folder length 0xFFFFFFFF", Bytes().U8(1).U32(0xFFFFFFFF), FolderListKind::SaveOptions},
        {"selection without its texts", Bytes().U8(1).U32(0), FolderListKind::Selection},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const FolderListResult read = ParseFolderList(c.bytes, c.kind);
        EXPECT_TRUE(read.damaged);
        EXPECT_EQ(read.status, FolderStatus::NoResult);
    }
}

TEST(FolderListDamage, OddByteCountLosesOnlyTheHalfUnitAndUnknownStatusIsKept) {
    const FolderListResult odd =
        ParseFolderList(Bytes().U8(1).U32(5).Units("abc").Get(), FolderListKind::SaveOptions);
    EXPECT_FALSE(odd.damaged);
    EXPECT_EQ(odd.outputFolder, "ab");
    EXPECT_EQ(ParseFolderList(Bytes().U8(9).U32(0), FolderListKind::Listing).status,
              static_cast<FolderStatus>(9));
}

}  // namespace
