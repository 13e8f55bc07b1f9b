// Encoding and serialising a message with a large attachment: wall time and peak resident
// memory, for 29 MiB and for smaller sizes to show that both grow linearly.
//
//   build/bin/mime_bench [MiB ...]      (default: 7 14 29)
//
// Each size runs in a fresh child process so that the peak RSS belongs to that size alone,
// once with the attachment copied into the part and once shared with the caller's buffer.

#include "convert/mime/Mime.h"

#include <QByteArray>
#include <QString>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace {

long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int RunOne(long mebibytes, bool share) {
    const qsizetype size = static_cast<qsizetype>(mebibytes) * 1024 * 1024;
    // The attachment as the EML writer holds it after reading the detached file.
    QByteArray file(size, Qt::Uninitialized);
    std::mt19937_64 rng(29);
    for (qsizetype i = 0; i + 8 <= size; i += 8) {
        const std::uint64_t v = rng();
        std::memcpy(file.data() + i, &v, 8);
    }
    const long baseline = PeakRssKiB();

    const auto start = std::chrono::steady_clock::now();
    CMimeMessage message;
    message.PutFrom(QStringLiteral("=?utf-8?B?SsO2cmc=?= <j@example.com>"));
    message.PutSubject(QStringLiteral("=?utf-8?B?YmlnIGF0dGFjaG1lbnQ=?="));
    message.PutContentType(QStringLiteral("multipart/mixed"));
    message.PutBoundary();
    CMimeBody* body = message.AddPart();
    body->PutContentType(QStringLiteral("text/plain"));
    body->PutCharset(QStringLiteral("UTF-8"));
    body->PutTransferEncoding(QStringLiteral("8bit"));
    body->PutText("See the attachment.\r\n", 0);
    CMimeBody* part = message.AddPart();
    part->PutTransferEncoding(QStringLiteral("base64"));
    part->PutContentType(QStringLiteral("application/octet-stream"));
    // The copying overload takes the writer's read buffer as bytes; the sharing one keeps a
    // reference to the caller's QByteArray.
    if (share)
        part->PutFileContent(QStringLiteral("=?utf-8?B?YmlnLmJpbg==?="), file);
    else
        part->PutFileContent(QStringLiteral("=?utf-8?B?YmlnLmJpbg==?="), file.constData(),
                             static_cast<quint64>(file.size()));
    const qint64 measured = message.MeasureSize();
    const std::optional<QByteArray> eml = message.Serialize();
    const auto end = std::chrono::steady_clock::now();
    if (!eml || part->ContentSize() != static_cast<quint64>(size)) {
        std::fprintf(stderr, "%ld MiB: serialisation failed\n", mebibytes);
        return 1;
    }
    const double ms = std::chrono::duration<double, std::milli>(end - start).count();
    const long peak = PeakRssKiB();
    std::printf(
        "%3ld MiB attachment, %s: %8.1f ms, %7.1f MiB/s, EML %lld bytes (measured %lld), "
        "peak RSS %ld KiB, %ld KiB above the input (%.2f x the attachment)\n",
        mebibytes, share ? "shared" : "copied", ms, static_cast<double>(mebibytes) / (ms / 1000.0),
        static_cast<long long>(eml->size()), static_cast<long long>(measured), peak, peak - baseline,
        static_cast<double>(peak - baseline) * 1024.0 / static_cast<double>(size));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<long> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::strtol(argv[i], nullptr, 10));
    if (sizes.empty()) sizes = {7, 14, 29};
    int status = 0;
    for (bool share : {false, true}) {
        for (long mebibytes : sizes) {
            std::fflush(stdout);
            const pid_t child = fork();
            if (child == 0) {
                const int rc = RunOne(mebibytes, share);
                std::fflush(stdout);  // _exit does not flush
                _exit(rc);
            }
            int result = 0;
            waitpid(child, &result, 0);
            status |= WIFEXITED(result) ? WEXITSTATUS(result) : 1;
        }
    }
    return status;
}
