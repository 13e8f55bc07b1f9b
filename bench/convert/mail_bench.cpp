// A mail with one large attachment, read from a DXL database and written as an EML file by
// ReadMailFields and WriteMailEml: wall time and peak resident memory, for 29 MiB and for
// smaller sizes to show that both grow linearly with the attachment.
//
//   build/bin/mail_bench [MiB ...]      (default: 7 14 29)
//
// Each size runs in a fresh child process so that the peak RSS belongs to that size alone; the
// database file is written by the parent beforehand.

#include "common/notes/DxlBuilder.h"
#include "common/notes/Notes.h"
#include "convert/mail/EmlWriter.h"
#include "convert/mail/FieldReader.h"

#include <QByteArray>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

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

bool WriteDatabase(const QString& path, long mebibytes) {
    const qsizetype size = static_cast<qsizetype>(mebibytes) * 1024 * 1024;
    QByteArray file(size, Qt::Uninitialized);
    std::mt19937_64 rng(29);
    for (qsizetype i = 0; i + 8 <= size; i += 8) {
        const std::uint64_t v = rng();
        std::memcpy(file.data() + i, &v, 8);
    }
    DxlBuilder b;
    b.AddDocument("Memo")
        .Text("Subject", "Large attachment")
        .Names("From", {"CN=Ann Lee/O=Acme"})
        .Text("INetFrom", "ann@acme.com")
        .Names("SendTo", {"CN=Bob Jones/O=Acme"})
        .Date("PostedDate", "20180703T090506,00+00")
        .Text("Body", "See the attachment.")
        .Attach("big.bin", file);
    return b.Save(path);
}

int RunOne(const QString& databasePath, const QString& emlPath, long mebibytes) {
    LNNotesSession session;
    session.Initialize();
    LNDatabase database;
    if (session.GetDatabase(databasePath, &database) != LNNOERROR || database.Open() != LNNOERROR) {
        std::fprintf(stderr, "%ld MiB: database does not open\n", mebibytes);
        return 1;
    }
    std::vector<NOTEID> ids;
    database.GetDocumentIDs(&ids);
    const long baseline = PeakRssKiB();
    RunOptions options;
    RunCounts counts;
    const ConvertContext context{&database, &options, nullptr, &counts};

    const auto start = std::chrono::steady_clock::now();
    const MailFields fields = ReadMailFields(context, ids.at(0));
    const int written = WriteMailEml(context, ids.at(0), fields, emlPath);
    const auto end = std::chrono::steady_clock::now();
    const qint64 emlSize = QFileInfo(emlPath).size();
    if (written != 1 || counts.errors != 0 || emlSize < mebibytes * 1024 * 1024) {
        std::fprintf(stderr, "%ld MiB: writing failed\n", mebibytes);
        return 1;
    }
    const double ms = std::chrono::duration<double, std::milli>(end - start).count();
    const long peak = PeakRssKiB();
    std::printf(
        "%3ld MiB attachment: %8.1f ms, %6.1f MiB/s, EML %lld bytes, peak RSS %ld KiB, "
        "%ld KiB above the open database (%.2f x the attachment)\n",
        mebibytes, ms, static_cast<double>(mebibytes) / (ms / 1000.0), static_cast<long long>(emlSize), peak,
        peak - baseline, static_cast<double>(peak - baseline) / static_cast<double>(mebibytes * 1024));
    return 0;
}

// Building the database costs several times the attachment; done in a child of its own, it
// leaves no trace in the peak of the measuring child.
template <typename F>
int RunInChild(F work) {
    const pid_t child = fork();
    if (child == 0) {
        const int result = work();
        std::fflush(nullptr);
        _exit(result);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<long> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::strtol(argv[i], nullptr, 10));
    if (sizes.empty()) sizes = {7, 14, 29};
    QTemporaryDir dir;
    // The detach folder goes under the benchmark's own folder.
    qputenv("TMPDIR", dir.path().toUtf8());
    int failures = 0;
    for (long mebibytes : sizes) {
        const QString databasePath = dir.filePath(QString::number(mebibytes) + ".dxl");
        if (mebibytes <= 0 || mebibytes >= 30 ||
            RunInChild([&] { return WriteDatabase(databasePath, mebibytes) ? 0 : 1; }) != 0) {
            std::fprintf(stderr, "%ld MiB: not a size below 30 MiB, or the database failed\n", mebibytes);
            ++failures;
            continue;
        }
        if (RunInChild([&] { return RunOne(databasePath, dir.filePath("1.eml"), mebibytes); }) != 0)
            ++failures;
        QFile::remove(databasePath);
    }
    return failures == 0 ? 0 : 1;
}
