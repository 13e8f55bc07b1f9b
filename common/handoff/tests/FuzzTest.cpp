// Seeded random mutation of valid files through every reader's fuzz entry: a fixed number of
// inputs per reader, so the run is repeatable and takes well under a second.
#include "common/handoff/ChildCommandLine.h"
#include "common/handoff/FolderList.h"
#include "common/handoff/ResumeRecord.h"
#include "common/handoff/RunOptions.h"
#include "common/handoff/fuzz/HandoffFuzz.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace {

constexpr int kInputsPerReader = 4000;

QByteArray Mutate(QByteArray bytes, std::mt19937& random) {
    const auto pick = [&random](qsizetype n) {
        return n <= 0 ? qsizetype(0) : qsizetype(random() % std::uint32_t(n));
    };
    static const std::uint32_t kInteresting[] = {0, 1, 2, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFFE};
    const int edits = 1 + int(random() % 4);
    for (int e = 0; e < edits; ++e) {
        switch (random() % 6) {
            case 0:  // flip a byte
                if (!bytes.isEmpty()) bytes[pick(bytes.size())] = char(random());
                break;
            case 1:  // cut the file
                bytes.truncate(pick(bytes.size() + 1));
                break;
            case 2:  // a length or count made huge or small
                if (bytes.size() >= 4) {
                    const std::uint32_t v = kInteresting[random() % std::size(kInteresting)];
                    const qsizetype at = pick(bytes.size() - 3);
                    for (int i = 0; i < 4; ++i) bytes[at + i] = char(v >> (8 * i));
                }
                break;
            case 3:  // insert random bytes
                bytes.insert(pick(bytes.size() + 1), QByteArray(1 + pick(8), char(random())));
                break;
            case 4:  // remove a range
                bytes.remove(pick(bytes.size()), 1 + pick(8));
                break;
            case 5:  // repeat a piece
                if (!bytes.isEmpty()) {
                    const qsizetype at = pick(bytes.size());
                    bytes.insert(pick(bytes.size() + 1), bytes.mid(at, 1 + pick(16)));
                }
                break;
        }
    }
    return bytes;
}

struct Reader {
    const char* name;
    int (*fuzz)(const std::uint8_t*, std::size_t);
    std::vector<QByteArray> seeds;
};

std::vector<Reader> Readers() {
    RunOptions options;
    options.logPath = QStringLiteral("C:\\l\\log.txt");
    options.addressMap = {{"a", "b"}, {"c", "d"}};
    options.folderMap = {{"Inbox", "In"}};
    options.dateRanges = {{{1.0, 0}, {2.0, 0}}};
    const std::vector<FolderRecord> records = {{"Inbox", 1, 5}, {"Inbox\\Old", 0, 6}};
    FolderListResult result;
    result.status = FolderStatus::Result;
    result.records = records;
    result.outputFolder = result.pstTargetFolder = QStringLiteral("D:\\o\\");
    const auto withKind = [](FolderListKind kind, const QByteArray& bytes) {
        return QByteArray(1, char(int(kind) - 1)) + bytes;
    };
    return {
        {"FolderList",
         FuzzFolderList,
         {withKind(FolderListKind::Selection, SerializeFolderList(result, FolderListKind::Selection)),
          withKind(FolderListKind::SaveOptions, SerializeFolderList(result, FolderListKind::SaveOptions)),
          withKind(FolderListKind::Listing, SerializeFolderList(result, FolderListKind::Listing))}},
        {"ResumeRecord", FuzzResumeRecord, {SerializeResumeRecord({7, 3, "\\\\Personal Folders\\Inbox", 1})}},
        {"CalendarIds", FuzzCalendarIds, {QByteArray("\x01\x00\x00\x00\x02\x00\x00\x00", 8)}},
        {"RunOptions", FuzzRunOptions, {SerializeRunOptions(options), SerializeRunOptions(RunOptions{})}},
        {"ChildCommandLine",
         FuzzChildCommandLine,
         {ChildCommandLine{"D:\\a b.nsf", "", "0", "C:\\a.PST", "C:\\l\\"}.ToRaw().toLatin1()}},
    };
}

TEST(HandoffFuzz, MutatedFilesKeepEveryReaderSound) {
    std::mt19937 random(20240611);
    for (const Reader& reader : Readers()) {
        SCOPED_TRACE(reader.name);
        int broken = 0;
        for (int i = 0; i < kInputsPerReader; ++i) {
            const QByteArray& seed = reader.seeds[std::size_t(i) % reader.seeds.size()];
            const QByteArray input = Mutate(seed, random);
            if (reader.fuzz(reinterpret_cast<const std::uint8_t*>(input.constData()),
                            std::size_t(input.size())) != 0 &&
                ++broken <= 3)
                ADD_FAILURE() << "input " << input.toHex().toStdString();
        }
        EXPECT_EQ(broken, 0);
        RecordProperty(reader.name, kInputsPerReader);
    }
}

}  // namespace
