// bench_notes FILE [DETACH_DIR]
// Opens a DXL database (make one with nsf_generate_samples --large), reads every document
// (subject, recipients, rich-text plain text) and, with DETACH_DIR, detaches every attachment.
// Prints the opening time, the time per document, and the resident memory after each step and
// at its peak.
#include "common/notes/Notes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <sys/resource.h>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

long StatusKb(const char* key) {
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::string(key).size()));
    return -1;
}

// CPU seconds of this process: on a shared machine the wall clock says little.
double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Clock {
    std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
    double cpu = CpuSeconds();
    double Wall() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
    }
    double Cpu() const { return CpuSeconds() - cpu; }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [DETACH_DIR]\n", argv[0]);
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    std::printf("file: %s, %.1f MB\n", argv[1], double(QFileInfo(path).size()) / 1e6);
    std::printf("memory at start: %ld kB resident\n", StatusKb("VmRSS:"));

    LNNotesSession session;
    session.Initialize();
    LNDatabase db;
    Clock t;
    if (session.GetDatabase(path, &db) || db.Open()) {
        std::fprintf(stderr, "cannot open: %s\n", qPrintable(LNGetErrorMessageText(db.Open())));
        return 1;
    }
    std::printf(
        "open (index pass): %.3f s CPU (%.3f s wall) for %u documents; %ld kB "
        "resident after\n",
        t.Cpu(), t.Wall(), db.GetDocumentCount(), StatusKb("VmRSS:"));

    std::vector<NOTEID> ids;
    db.GetDocumentIDs(&ids);
    t = Clock();
    std::size_t chars = 0, failed = 0, attachments = 0;
    std::vector<LNAttachment> toDetach;
    for (NOTEID id : ids) {
        LNDocument doc;
        if (db.GetDocument(id, &doc) || doc.Open()) {
            ++failed;
            continue;
        }
        const LNSTATUS s = LNCatchStatus([&] {
            chars += doc.GetSubject().size() + doc.GetRecipients(LNRECIPIENTTYPE_TO).size();
            LNRichText rt;
            if (doc.GetRichText("Body", &rt) == LNNOERROR) chars += rt.GetPlainText().size();
            for (const auto& a : doc.GetAttachments()) {
                ++attachments;
                if (argc > 2) toDetach.push_back(a);
            }
        });
        if (s) ++failed;
        doc.Close();
    }
    const double readCpu = t.Cpu();
    std::printf(
        "read every document: %.3f s CPU (%.3f s wall), %.1f us CPU per document "
        "(%zu failed, %zu chars, %zu attachments); %ld kB resident after\n",
        readCpu, t.Wall(), ids.empty() ? 0.0 : readCpu * 1e6 / double(ids.size()), failed, chars, attachments,
        StatusKb("VmRSS:"));

    if (argc > 2) {
        const QDir dir(QString::fromLocal8Bit(argv[2]));
        t = Clock();
        std::uint64_t bytes = 0;
        int n = 0;
        for (const auto& a : toDetach) {
            const QString out = dir.filePath(QStringLiteral("bench-%1.bin").arg(n++));
            if (a.Detach(out) == LNNOERROR) bytes += a.GetSize();
            QFile::remove(out);
        }
        std::printf(
            "detach %zu attachments, %.1f MB: %.3f s CPU (%.3f s wall); %ld kB "
            "resident after\n",
            toDetach.size(), double(bytes) / 1e6, t.Cpu(), t.Wall(), StatusKb("VmRSS:"));
    }
    std::printf("peak resident memory: %ld kB\n", StatusKb("VmHWM:"));
    return 0;
}
