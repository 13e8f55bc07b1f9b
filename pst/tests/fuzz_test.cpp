// Seeded random mutations of real files through the whole reader: nothing may crash or hang.
#include <chrono>
#include <random>

#include "pst/testsupport/fuzz.h"
#include "pst/tests/test_util.h"

namespace pst {
namespace {

std::shared_ptr<Bytes> SmallStoreWithMessages() {
    auto bytes = std::make_shared<Bytes>();
    std::string err;
    auto s = test::Take(Store::CreateOn(std::make_unique<MemoryIo>(bytes), "Personal Folders"), err);
    auto f = s->AddFolder(s->IpmSubtree(), "Inbox", "IPF.Note");
    for (int i = 0; i < 3; ++i) (void)s->AddMessage(*f, test::SampleMessage(i, i == 1 ? 20000 : 10));
    (void)s->Commit();
    return bytes;
}

TEST(Fuzz, MutatedFilesNeverCrashTheReader) {
    const std::vector<std::shared_ptr<Bytes>> seeds = {test::ReadWholeFile(test::ReferencePath()),
                                                       SmallStoreWithMessages()};
    std::mt19937_64 rng(20261211);
#if defined(__SANITIZE_ADDRESS__)
    const int kInputs = 400;  // the sanitizer build runs each input about 15 times slower
#else
    const int kInputs = 2000;
#endif
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kInputs; ++i) {
        Bytes b = *seeds[i % seeds.size()];
        // Mutate where the structures are: the header, the B-tree pages, and the blocks.
        int edits = 1 + static_cast<int>(rng() % 8);
        for (int e = 0; e < edits; ++e) {
            size_t at;
            switch (rng() % 4) {
                case 0:
                    at = rng() % 564;
                    break;
                case 1:
                    at = 0x4400 + rng() % (b.size() - 0x4400);
                    break;
                default:
                    at = 0x4600 + rng() % std::min<size_t>(0x20000, b.size() - 0x4600);
                    break;
            }
            switch (rng() % 3) {
                case 0:
                    b[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
                    break;
                case 1:
                    b[at] = static_cast<uint8_t>(rng());
                    break;
                default:
                    b[at] = (rng() % 2) ? 0xFF : 0x00;
                    break;
            }
        }
        if (rng() % 16 == 0) b.resize(rng() % b.size());
        FuzzPstReader(b.data(), b.size());
    }
    double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    RecordProperty("inputs", kInputs);
    std::printf("fuzzed %d inputs in %.2f s\n", kInputs, secs);
}

}  // namespace
}  // namespace pst
