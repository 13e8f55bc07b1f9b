// pst_bench add N DIR       N messages of about 10 KB with one attachment, against a plain file
// pst_bench open DIR        open a 1 MB and a 1 GB file, repeatedly
// pst_bench folder N DIR    N messages in one folder, committed every 1000
// pst_bench huge DIR        grow a file beyond 4 GiB (needs the disk space; not run in CI)
// pst_bench each N DIR      N messages with a commit after each one
// pst_bench readers N DIR   N messages in 4 folders, then every reader over the file (timed)
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "pst/check.h"
#include "pst/messaging.h"

using namespace pst;
using Clock = std::chrono::steady_clock;

namespace {

double Since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}
long PeakRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

NewMessage BaseMessage(size_t bodyBytes, size_t attachBytes) {
    NewMessage m;
    m.props[PidTagSenderName] = MakeUtf8("Sender Name");
    m.props[PidTagSenderEmailAddress] = MakeUtf8("sender@example.com");
    std::string body(bodyBytes, 'b');
    m.props[PidTagBody] = MakeUtf8(body);
    Recipient r;
    r.props[PidTagDisplayName] = MakeUtf8("Receiver");
    r.props[PidTagEmailAddress] = MakeUtf8("receiver@example.com");
    m.recipients.push_back(r);
    if (attachBytes) {
        Attachment a;
        a.props[PidTagAttachLongFilename] = MakeUtf8("attachment.bin");
        a.data.resize(attachBytes);
        for (size_t k = 0; k < attachBytes; ++k) a.data[k] = static_cast<uint8_t>(k * 13);
        m.attachments.push_back(a);
    }
    return m;
}

// The parts every message shares are made once, so the figures measure the library rather
// than the making of test data; each message then differs in subject, time and attachment.
NewMessage Message(int i, size_t bodyBytes, size_t attachBytes) {
    static NewMessage base;
    static size_t baseBody = SIZE_MAX, baseAttach = SIZE_MAX;
    if (baseBody != bodyBytes || baseAttach != attachBytes) {
        base = BaseMessage(bodyBytes, attachBytes);
        baseBody = bodyBytes;
        baseAttach = attachBytes;
    }
    NewMessage m = base;
    m.props[PidTagSubject] = MakeUtf8("Benchmark message " + std::to_string(i));
    m.props[PidTagMessageDeliveryTime] = MakeTime(133000000000000000ull + uint64_t(i) * 10000000);
    if (!m.attachments.empty()) m.attachments[0].data[0] = static_cast<uint8_t>(i);
    return m;
}

template <class R>
bool Report(const R& r) {
    if (!r) std::fprintf(stderr, "%s\n", r.error().c_str());
    return bool(r);
}

bool Fill(const std::string& path, int n, size_t body, size_t attach, int commitEvery, double* secs) {
    auto created = Store::Create(path, "Personal Folders");
    if (!Report(created)) return false;
    auto& s = *created;
    auto f = s->AddFolder(s->IpmSubtree(), "Inbox", "IPF.Note");
    if (!Report(f)) return false;
    auto t = Clock::now();
    for (int i = 0; i < n; ++i) {
        if (!Report(s->AddMessage(*f, Message(i, body, attach)))) return false;
        if ((i + 1) % commitEvery == 0 && !Report(s->Commit())) return false;
    }
    if (!Report(s->Commit())) return false;
    if (secs) *secs = Since(t);
    return true;
}

int Add(int n, const std::string& dir) {
    std::string path = dir + "/bench-add.pst";
    double secs = 0;
    // A body of 2 KB (4 KB stored as UTF-16) and an attachment of 6 KB: about 10 KB per message.
    if (!Fill(path, n, 2048, 6144, 1000, &secs)) return 1;
    uint64_t size = std::filesystem::file_size(path);
    std::printf("add: %d messages in %.2f s = %.0f messages/s, file %.1f MB, peak RSS %ld KB\n", n, secs,
                n / secs, static_cast<double>(size) / 1e6, PeakRssKb());
    // Baseline: the same bytes to a plain file, synced as often as the store commits.
    std::string plain = dir + "/bench-add.raw";
    FILE* fp = std::fopen(plain.c_str(), "wb");
    std::vector<char> chunk(size / n);
    auto t = Clock::now();
    for (int i = 0; i < n; ++i) {
        std::fwrite(chunk.data(), 1, chunk.size(), fp);
        if ((i + 1) % 1000 == 0) {
            std::fflush(fp);
            fdatasync(fileno(fp));
        }
    }
    std::fflush(fp);
    fdatasync(fileno(fp));
    std::fclose(fp);
    double base = Since(t);
    std::printf("baseline: same %llu bytes to a plain file in %.3f s; ratio %.1fx\n",
                (unsigned long long)size, base, secs / base);
    if (!std::getenv("PST_BENCH_NO_CHECK")) {  // set it when profiling the writer alone
        auto rep = CheckPstFile(path);
        std::printf("pstcheck: %s\n", rep.ok() ? "sound" : rep.findings[0].c_str());
    }
    std::filesystem::remove(plain);
    std::filesystem::remove(path);
    return 0;
}

double TimeOpen(const std::string& path, int reps) {
    auto t = Clock::now();
    for (int i = 0; i < reps; ++i) {
        auto s = Store::Open(path, false);
        if (!Report(s) || !Report((*s)->Subfolders((*s)->IpmSubtree()))) return -1;
    }
    return Since(t) / reps * 1e3;
}

int Open(const std::string& dir) {
    std::string small = dir + "/bench-1mb.pst", large = dir + "/bench-1gb.pst";
    if (!Fill(small, 10, 1000, 60000, 1000, nullptr)) return 1;
    if (!Fill(large, 10000, 1000, 100000, 1000, nullptr)) return 1;
    std::printf("open: %.1f MB file %.3f ms, %.1f MB file %.3f ms (open + list top folders, warm cache)\n",
                static_cast<double>(std::filesystem::file_size(small)) / 1e6, TimeOpen(small, 200),
                static_cast<double>(std::filesystem::file_size(large)) / 1e6, TimeOpen(large, 200));
    std::filesystem::remove(small);
    std::filesystem::remove(large);
    return 0;
}

int Folder(int n, const std::string& dir) {
    std::string path = dir + "/bench-folder.pst";
    double secs = 0;
    if (!Fill(path, n, 200, 0, 1000, &secs)) return 1;
    std::printf("folder: %d messages in one folder in %.1f s (%.0f/s), peak RSS %ld KB\n", n, secs, n / secs,
                PeakRssKb());
    auto s = Store::Open(path, false);
    if (!Report(s)) return 1;
    auto f = (*s)->FindSubfolder((*s)->IpmSubtree(), "Inbox");
    std::printf("folder: content count read back %u\n", f ? f->contentCount : 0);
    auto rep = CheckPstFile(path);
    std::printf("pstcheck: %s\n", rep.ok() ? "sound" : rep.findings[0].c_str());
    std::filesystem::remove(path);
    return 0;
}

// The big case of the readers' integration test: tens of thousands of messages and hundreds
// of named properties, read by pstcheck, pffexport, readpst and pst-extractor.
int Readers(int n, const std::string& dir) {
    std::string path = dir + "/bench-readers.pst";
    {
        auto created = Store::Create(path, "Personal Folders");
        if (!Report(created)) return 1;
        auto& s = *created;
        for (int f = 0; f < 4; ++f) {
            auto folder = s->AddFolder(s->IpmSubtree(), "Folder " + std::to_string(f), "IPF.Note");
            if (!Report(folder)) return 1;
            for (int i = f; i < n; i += 4) {
                NewMessage m = Message(i, 500, i % 10 == 0 ? 2000 : 0);
                auto named =
                    s->NamedPropId({PS_PUBLIC_STRINGS, std::nullopt, "X-Bench-" + std::to_string(i % 400)});
                if (!Report(named)) return 1;
                m.props[*named] = MakeUtf8("v");
                if (!Report(s->AddMessage(*folder, m))) return 1;
                if (i % 1000 == 999 && !Report(s->Commit())) return 1;
            }
            if (!Report(s->Commit())) return 1;
        }
    }
    auto run = [&](const char* what, const std::string& cmd) {
        auto t = Clock::now();
        int status = std::system(cmd.c_str());
        std::printf("%s: status %d in %.1f s\n", what, status, Since(t));
    };
    auto t = Clock::now();
    auto rep = CheckPstFile(path);
    std::printf("pstcheck: %s in %.1f s\n", rep.ok() ? "sound" : rep.findings[0].c_str(), Since(t));
    run("pffexport", "pffexport -q -t '" + dir + "/bench-pff' '" + path + "' >/dev/null 2>&1");
    run("readpst", "mkdir -p '" + dir + "/bench-readpst' && readpst -q -o '" + dir + "/bench-readpst' '" +
                       path + "' >/dev/null 2>&1");
    run("pst-extractor (messages listed below)", std::string("timeout 3600 node '") + NSF_SOURCE_DIR +
                                                     "/tests/readers/pst_extractor_walk.js' --summary '" +
                                                     path + "' | grep -c '^M'");
    std::filesystem::remove_all(dir + "/bench-pff.export");
    std::filesystem::remove_all(dir + "/bench-readpst");
    std::filesystem::remove(path);
    return 0;
}

// One commit per message: the cost of a commit must not grow with the folder.
int EachCommit(int n, const std::string& dir) {
    std::string path = dir + "/bench-each.pst";
    auto created = Store::Create(path, "Personal Folders");
    if (!Report(created)) return 1;
    auto& s = *created;
    auto f = s->AddFolder(s->IpmSubtree(), "Inbox", "IPF.Note");
    if (!Report(f)) return 1;
    const int kWindow = 1000;
    auto t = Clock::now();
    double first = 0;
    for (int i = 0; i < n; ++i) {
        if (!Report(s->AddMessage(*f, Message(i, 200, 0))) || !Report(s->Commit())) return 1;
        if (i + 1 == kWindow) first = Since(t);
        if (i + 1 == n - kWindow) t = Clock::now();
    }
    double last = Since(t);
    std::printf(
        "each-commit: %d messages, one commit each: first %d took %.2f s, last %d took %.2f s, peak RSS %ld "
        "KB\n",
        n, kWindow, first, kWindow, last, PeakRssKb());
    auto rep = CheckPstFile(path);
    std::printf("pstcheck: %s\n", rep.ok() ? "sound" : rep.findings[0].c_str());
    std::filesystem::remove(path);
    return 0;
}

int Huge(const std::string& dir) {
    std::string path = dir + "/bench-huge.pst";
    double secs = 0;
    // 4,400 messages of 1 MB each: past the 4 GiB mark of 32-bit offsets.
    if (!Fill(path, 4400, 100, 1 << 20, 200, &secs)) return 1;
    std::printf("huge: %.2f GB in %.1f s\n", static_cast<double>(std::filesystem::file_size(path)) / 1e9,
                secs);
    auto rep = CheckPstFile(path);
    std::printf("pstcheck: %s\n", rep.ok() ? "sound" : rep.findings[0].c_str());
    std::filesystem::remove(path);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "add" && argc == 4) return Add(std::atoi(argv[2]), argv[3]);
    if (mode == "open" && argc == 3) return Open(argv[2]);
    if (mode == "folder" && argc == 4) return Folder(std::atoi(argv[2]), argv[3]);
    if (mode == "huge" && argc == 3) return Huge(argv[2]);
    if (mode == "each" && argc == 4) return EachCommit(std::atoi(argv[2]), argv[3]);
    if (mode == "readers" && argc == 4) return Readers(std::atoi(argv[2]), argv[3]);
    std::fprintf(
        stderr,
        "usage: pst_bench add N DIR | open DIR | folder N DIR | huge DIR | each N DIR | readers N DIR\n");
    return 2;
}
