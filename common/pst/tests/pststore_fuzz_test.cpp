// Seeded random mutations of the interchange files the imports read: none may crash, hang or
// trip a sanitizer, and the untouched seeds must still import.
#include <gtest/gtest.h>

#include <QByteArray>
#include <random>

#include "common/pst/testsupport/PstImportFuzz.h"
#include "common/pst/tests/pststore_samples.h"

namespace {

QByteArray Input(char type, const QByteArray& file) {
    return QByteArray(1, type) + file;
}

int Feed(const QByteArray& input) {
    return FuzzPstImport(reinterpret_cast<const std::uint8_t*>(input.constData()), size_t(input.size()));
}

TEST(PstImportFuzz, MutatedFilesImportWithoutFault) {
    const QByteArray txt("\xFF\xFEG\0r\0o\0u\0p\0", 12);
    const QByteArray seeds[] = {Input(0, kRichEml), Input(1, kVcf), Input(2, kIcs), Input(3, txt)};
    for (const QByteArray& seed : seeds) {
        EXPECT_EQ(Feed(seed), 1) << seed.left(40).toStdString();
    }
    std::mt19937 random(20261211);
#if defined(__SANITIZE_ADDRESS__)
    constexpr int kInputs = 400;  // the sanitizer build runs about four times slower
#else
    constexpr int kInputs = 1600;
#endif
    int took = 0;
    for (int i = 0; i < kInputs; ++i) {
        QByteArray in = seeds[i % 4];
        const int edits = 1 + int(random() % 8);
        for (int e = 0; e < edits && in.size() > 1; ++e) {
            const qsizetype at = 1 + qsizetype(random() % uint32_t(in.size() - 1));
            switch (random() % 4) {
                case 0:
                    in[at] = char(random());
                    break;
                case 1:
                    in.insert(at, QByteArray(1 + int(random() % 16), char(random())));
                    break;
                case 2:
                    in.remove(at, 1 + qsizetype(random() % 32));
                    break;
                default:
                    in.truncate(at);
                    break;
            }
        }
        took += Feed(in);
    }
    EXPECT_GT(took, kInputs / 10);  // the mutations still reach the importers' inner paths
}

}  // namespace
