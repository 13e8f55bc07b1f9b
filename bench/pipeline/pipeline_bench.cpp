// The whole export of a large generated database with the real programs: items per second,
// peak memory of nsfadd, nsfview and nsfsave, and the time against copying the database file
// and writing the PST's bytes to a plain file; then two databases with --jobs 1 and --jobs 2.
//
//   pipeline_bench [--items N] [--work DIR]      (default 20000 items, a temporary folder)
//
// nsfadd starts its children from its own folder, so the bench runs a copy of nsfadd from a
// folder where nsfview and nsfsave are links to this program: started under those names it runs
// the real program and records its peak memory (wait4) in the file PIPELINE_BENCH_PEAKS names.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string kBin = NSF_BIN_DIR;

struct Ran {
    int status = -1;
    long peakKb = 0;  // the process alone (VmHWM), or its tree when waited for by wait4
    double seconds = 0;
};

long HighWaterKb(pid_t pid) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

// Runs a program; watchOwn samples the process's own high-water mark instead of the tree's.
Ran Run(const std::vector<std::string>& argv, bool watchOwn) {
    QElapsedTimer clock;
    clock.start();
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    Ran ran;
    int status = 0;
    rusage usage{};
    for (;;) {
        const pid_t done = wait4(pid, &status, watchOwn ? WNOHANG : 0, &usage);
        if (done == pid) break;
        if (done < 0) return ran;
        ran.peakKb = std::max(ran.peakKb, HighWaterKb(pid));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (!watchOwn) ran.peakKb = usage.ru_maxrss;
    ran.seconds = double(clock.nsecsElapsed()) / 1e9;
    return ran;
}

// Started as nsfview or nsfsave: run the real one and record its peak.
int Wrap(const std::string& name, int argc, char** argv) {
    std::vector<std::string> args = {kBin + "/" + name};
    for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
    const Ran ran = Run(args, false);
    if (const char* peaks = std::getenv("PIPELINE_BENCH_PEAKS")) {
        if (FILE* f = std::fopen(peaks, "a")) {
            std::fprintf(f, "%s %ld %.3f\n", name.c_str(), ran.peakKb, ran.seconds);
            std::fclose(f);
        }
    }
    return ran.status;
}

double CopyFile(const QString& from, const QString& to) {
    QElapsedTimer clock;
    clock.start();
    QFile in(from), out(to);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return -1;
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (qint64 n; (n = in.read(buffer.data(), buffer.size())) > 0;) out.write(buffer.constData(), n);
    out.flush();
    fsync(out.handle());
    return double(clock.nsecsElapsed()) / 1e9;
}

struct Peaks {
    std::map<std::string, long> peakKb;
    std::map<std::string, int> runs;
};

Peaks ReadPeaks(const QString& path) {
    Peaks p;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return p;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() < 2) continue;
        const std::string name = parts[0].toStdString();
        p.peakKb[name] = std::max(p.peakKb[name], parts[1].toLong());
        ++p.runs[name];
    }
    return p;
}

struct ExportFigures {
    Ran nsfadd;
    Peaks children;
    double items = 0;
    int converted = 0;
};

ExportFigures Export(const QString& bin, const QString& work, const QString& tag, const QStringList& dbs,
                     int jobs) {
    const QString log = work + "/" + tag + "/log", out = work + "/" + tag + "/out";
    QDir().mkpath(log);
    QDir().mkpath(out);
    const QString peaks = work + "/" + tag + "/peaks.txt", report = work + "/" + tag + "/report.json";
    qputenv("PIPELINE_BENCH_PEAKS", peaks.toLocal8Bit());
    std::vector<std::string> argv = {(bin + "/nsfadd").toStdString(),
                                     "--export",
                                     "--quiet",
                                     "--log-folder",
                                     log.toStdString(),
                                     "--output",
                                     out.toStdString(),
                                     "--report",
                                     report.toStdString(),
                                     "--jobs",
                                     std::to_string(jobs)};
    for (const QString& db : dbs) argv.push_back(db.toStdString());
    ExportFigures fig;
    fig.nsfadd = Run(argv, true);
    fig.children = ReadPeaks(peaks);
    QFile r(report);
    if (r.open(QIODevice::ReadOnly)) {
        const QJsonObject root = QJsonDocument::fromJson(r.readAll()).object();
        fig.converted = root["converted"].toInt();
        for (const auto& file : root["files"].toArray()) {
            fig.items += file.toObject()["totals"].toObject()["converted"].toDouble();
            fig.items += file.toObject()["calendar"].toObject()["converted"].toDouble();
        }
    }
    return fig;
}

void Print(const char* title, const ExportFigures& f) {
    std::printf("%s: %.2f s, %d database(s) converted, %.0f items, %.1f items/s (exit %d)\n", title,
                f.nsfadd.seconds, f.converted, f.items,
                f.nsfadd.seconds > 0 ? f.items / f.nsfadd.seconds : 0.0, f.nsfadd.status);
    std::printf("  peak memory: nsfadd %.1f MB", double(f.nsfadd.peakKb) / 1024.0);
    for (const auto& [name, kb] : f.children.peakKb)
        std::printf(", %s %.1f MB (%d runs)", name.c_str(), double(kb) / 1024.0, f.children.runs.at(name));
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    const std::string self = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName().toStdString();
    if (self == "nsfview" || self == "nsfsave") return Wrap(self, argc, argv);

    int items = 20000;
    QString workArg;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--items") == 0) items = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--work") == 0) workArg = QString::fromLocal8Bit(argv[i + 1]);
    }
    QTemporaryDir temp;
    const QString work = workArg.isEmpty() ? temp.path() : workArg;
    const QString bin = work + "/bin";
    QDir().mkpath(bin);
    QFile::remove(bin + "/nsfadd");
    if (!QFile::copy(QString::fromStdString(kBin + "/nsfadd"), bin + "/nsfadd")) return 1;
    QFile(bin + "/nsfadd").setPermissions(QFile(QString::fromStdString(kBin + "/nsfadd")).permissions());
    const QString me = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    for (const char* child : {"nsfview", "nsfsave"}) {
        QFile::remove(bin + "/" + child);
        QFile::link(me, bin + "/" + child);
    }

    const QString db = work + "/a/large.dxl", db2 = work + "/b/large2.dxl";
    QDir().mkpath(work + "/a");
    QDir().mkpath(work + "/b");
    std::printf("generating %d mails (every 50th with an attachment)...\n", items);
    if (Run({kBin + "/nsf_generate_samples", "--large", std::to_string(items), db.toStdString()}, false)
            .status != 0)
        return 1;
    QFile::remove(db2);
    QFile::copy(db, db2);
    std::printf("database: %.1f MB\n", double(QFileInfo(db).size()) / 1048576.0);

    const ExportFigures one = Export(bin, work, "one", {db}, 1);
    Print("export of one database", one);
    const QString pst = work + "/one/out/LARGE.PST";
    const double copyDb = CopyFile(db, work + "/copy.dxl");
    const double writePst = CopyFile(pst, work + "/copy.pst");
    std::printf(
        "  PST: %.1f MB; copying the database %.2f s, writing the PST's bytes %.2f s; export / (copy + "
        "write) = "
        "%.1f\n",
        double(QFileInfo(pst).size()) / 1048576.0, copyDb, writePst,
        one.nsfadd.seconds / std::max(1e-6, copyDb + writePst));

    const ExportFigures serial = Export(bin, work, "two-serial", {db, db2}, 1);
    Print("two databases, --jobs 1", serial);
    const ExportFigures parallel = Export(bin, work, "two-parallel", {db, db2}, 2);
    Print("two databases, --jobs 2", parallel);
    std::printf("  --jobs 2 speed-up: %.2f\n",
                serial.nsfadd.seconds / std::max(1e-6, parallel.nsfadd.seconds));
    return 0;
}
