// nsfsave benchmarks. Every figure is measured in the same run as its baseline.
//
//   save_bench [ITEMS] [FULL_PST_ITEMS]     (defaults 300 and 50000)
//
// 1. Items per second through the whole per-item path (read, write the interchange file,
//    import, save) for mail with attachments, contacts and appointments, in process, against
//    the physical baseline: the same number of bytes written to a plain file and synced as often
//    as the store syncs (once per 5 seconds and at the end).
// 2. Start-up of one nsfsave process that converts one document into a PST whose folder already
//    holds FULL_PST_ITEMS stamped items, against the same on an empty PST.
// 3. Peak memory (maximum resident set) of nsfsave on folders of ITEMS and 4 x ITEMS mails with
//    attachments, and on the full PST.

#include "SaveBenchSupport.h"

#include "common/handoff/CalendarIds.h"
#include "common/handoff/ResumeRecord.h"
#include "common/pst/PstStore.h"
#include "savingprocess/engine/PstStorePort.h"
#include "savingprocess/engine/SavingRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

extern char** environ;

namespace {

class NoWindow : public ProgressWindow {
  public:
    void SetRange(std::uint32_t, std::uint32_t) override {}
    void SetPosition(std::uint32_t) override {}
    void SetStatus(const QString&) override {}
    void ShowMessage(const QString&) override {}
};

// Bytes this process has written so far (write-type system calls).
qint64 WrittenBytes() {
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : io.readAll().split('\n'))
        if (line.startsWith("wchar:")) return line.mid(6).trimmed().toLongLong();
    return 0;
}

// The physical baseline: `bytes` written in 64 KiB pieces to a plain file, synced `syncs` times.
double BaselineSeconds(const QString& path, qint64 bytes, int syncs) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) return 0;
    std::vector<char> block(64 * 1024, 'p');
    QElapsedTimer timer;
    timer.start();
    const qint64 perSync = bytes / syncs + 1;
    qint64 sinceSync = 0;
    for (qint64 left = bytes; left > 0;) {
        const auto n = static_cast<size_t>(std::min<qint64>(left, static_cast<qint64>(block.size())));
        if (::write(fd, block.data(), n) < 0) break;
        left -= static_cast<qint64>(n);
        sinceSync += static_cast<qint64>(n);
        if (sinceSync >= perSync) {
            ::fdatasync(fd);
            sinceSync = 0;
        }
    }
    ::fdatasync(fd);
    ::close(fd);
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

struct PathFigure {
    double seconds = 0;
    qint64 bytes = 0;
};

PathFigure ConvertInProcess(const QString& dir, BenchKind kind, int count) {
    Scenario s;
    if (!WriteScenario(dir, kind, count, s)) return {};
    qputenv("TMPDIR", dir.toLocal8Bit());
    RunState state;
    const ChildCommandLine line{s.database, QString(), QStringLiteral("0"), s.pst, s.handoff};
    PrepareRunState(line, state);
    state.log.Open(state.options.logPath, RunLog::Opening::AppendExisting);
    NoWindow window;
    LNNotesSession notes;
    notes.Initialize();
    ConversionEngine engine(notes, state, window);
    engine.OpenDatabase(s.database, QString());
    auto store = CreatePstStoreSession();
    store->Open(s.pst);
    // Appointments are converted by the calendar run; their folder run only collects the IDs.
    if (kind == BenchKind::Appointment) engine.DumpFolder(0, s.folderPath, s.folderNoteId, *store);
    std::vector<std::uint32_t> ids;
    ReadCalendarIds(state.calPath, ids);

    const qint64 before = WrittenBytes();
    QElapsedTimer timer;
    timer.start();
    if (kind == BenchKind::Appointment) {
        auto calendar = store->DefaultFolder(DefaultFolderCode::Calendar);
        for (std::uint32_t id : ids) engine.DumpCalendarEntry(id, calendar.get());
    } else {
        engine.DumpFolder(0, s.folderPath, s.folderNoteId, *store);
    }
    store->LogOff();
    PathFigure f;
    f.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    f.bytes = WrittenBytes() - before;
    engine.CloseDatabase();
    return f;
}

struct ChildFigure {
    double seconds = 0;
    long maxRssKb = 0;
};

ChildFigure RunNsfsave(const Scenario& s, const QString& tmp) {
    const QByteArray program = QFile::encodeName(QCoreApplication::applicationDirPath() + "/nsfsave");
    std::vector<QByteArray> args{program, QFile::encodeName(s.database), "",
                                 "0",     QFile::encodeName(s.pst),      QFile::encodeName(s.handoff)};
    std::vector<char*> argv;
    for (QByteArray& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("NSF_DISMISS_MESSAGES", "1");
    qputenv("TMPDIR", tmp.toLocal8Bit());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    ChildFigure f;
    if (posix_spawn(&pid, program.constData(), &actions, nullptr, argv.data(), environ) != 0) return f;
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    f.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    f.maxRssKb = usage.ru_maxrss;
    posix_spawn_file_actions_destroy(&actions);
    return f;
}

// Fills the scenario's folder with `count` stamped items, as earlier processes would have.
bool FillPst(const Scenario& s, int count) {
    PstSession session;
    PstStore store = session.OpenStore(s.pst);
    PstItems items = store.FolderByPath(s.folderPath).Items();
    if (!items) return false;
    for (int i = 0; i < count; ++i) {
        PstItem item = items.Add(QStringLiteral("IPM.Note"));
        item.SetSubject(QStringLiteral("earlier mail %1").arg(i));
        item.SetNamedText(kSourcePropertySet, QString::fromLatin1(kSourcePropertyName),
                          QStringLiteral("%1").arg(i, 32, 16, QChar(u'0')).toUpper());
        if (!item.Save()) return false;
    }
    session.LogOff();
    return true;
}

// A scenario folder whose record starts at the last entry, so the process converts one document.
void StartAtLast(const Scenario& s, int count) {
    CreateResumeRecord(s.handoff + QStringLiteral("setting.txt"),
                       ResumeRecord{s.folderNoteId, static_cast<std::uint32_t>(count - 1), s.folderPath, 1});
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int items = argc > 1 ? std::atoi(argv[1]) : 300;
    const int fullItems = argc > 2 ? std::atoi(argv[2]) : 50000;
    QTemporaryDir dir;
    QTextStream out(stdout);

    out << "per-item path, " << items << " items each (ratio = time / physical baseline)\n";
    for (BenchKind kind : {BenchKind::MailWithAttachments, BenchKind::Contact, BenchKind::Appointment}) {
        const QString sub = dir.path() + "/" + QString::fromLatin1(KindName(kind)).replace(u' ', u'_');
        const PathFigure f = ConvertInProcess(sub, kind, items);
        const int syncs = 1 + static_cast<int>(f.seconds / 5.0);
        const double base = BaselineSeconds(sub + "/baseline.bin", f.bytes, syncs);
        out << QStringLiteral("  %1: %2 items/s, %3 MB written, %4 s vs baseline %5 s, ratio %6\n")
                   .arg(QString::fromLatin1(KindName(kind)), -22)
                   .arg(items / f.seconds, 0, 'f', 0)
                   .arg(static_cast<double>(f.bytes) / 1e6, 0, 'f', 1)
                   .arg(f.seconds, 0, 'f', 3)
                   .arg(base, 0, 'f', 3)
                   .arg(f.seconds / base, 0, 'f', 1);
        out.flush();
    }

    out << "start-up of one process converting one document\n";
    Scenario empty, full;
    WriteScenario(dir.path() + "/empty", BenchKind::Mail, 10, empty);
    WriteScenario(dir.path() + "/full", BenchKind::Mail, 10, full);
    QElapsedTimer fillTimer;
    fillTimer.start();
    FillPst(full, fullItems);
    out << QStringLiteral("  (filled the PST with %1 items in %2 s, %3 MB)\n")
               .arg(fullItems)
               .arg(static_cast<double>(fillTimer.elapsed()) / 1000.0, 0, 'f', 1)
               .arg(static_cast<double>(QFileInfo(full.pst).size()) / 1e6, 0, 'f', 0);
    double best[2] = {1e9, 1e9};
    long rss[2] = {0, 0};
    for (int round = 0; round < 5; ++round) {
        int i = 0;
        for (const Scenario* s : {&empty, &full}) {
            StartAtLast(*s, 10);
            const ChildFigure f = RunNsfsave(*s, dir.path());
            best[i] = std::min(best[i], f.seconds);
            rss[i] = std::max(rss[i], f.maxRssKb);
            ++i;
        }
    }
    out << QStringLiteral("  empty PST: %1 ms; PST with %2 items: %3 ms; ratio %4\n")
               .arg(best[0] * 1000, 0, 'f', 1)
               .arg(fullItems)
               .arg(best[1] * 1000, 0, 'f', 1)
               .arg(best[1] / best[0], 0, 'f', 2);

    out << "peak memory of nsfsave (maximum resident set)\n";
    out << QStringLiteral("  one document, empty PST: %1 MB; full PST: %2 MB\n")
               .arg(static_cast<double>(rss[0]) / 1024, 0, 'f', 1)
               .arg(static_cast<double>(rss[1]) / 1024, 0, 'f', 1);
    for (int count : {items, 4 * items}) {
        Scenario s;
        WriteScenario(dir.path() + QStringLiteral("/rss%1").arg(count), BenchKind::MailWithAttachments, count,
                      s);
        const ChildFigure f = RunNsfsave(s, dir.path());
        out << QStringLiteral("  folder of %1 mails with attachments: %2 MB in %3 s\n")
                   .arg(count)
                   .arg(static_cast<double>(f.maxRssKb) / 1024, 0, 'f', 1)
                   .arg(f.seconds, 0, 'f', 2);
    }
    return 0;
}
