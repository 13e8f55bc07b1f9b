// nsfadd. With --export it converts databases from the command line, without windows; the
// launcher's windows come with the program's dialogs.
#include "nsfadd/core/BatchExport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTextStream>

#include <csignal>

namespace {

std::atomic<bool> stopRequested{false};

extern "C" void RequestStop(int) {
    stopRequested.store(true);
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("nsfadd"));
    QTextStream out(stdout), err(stderr);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (!IsBatchCommandLine(args)) {
        err << "nsfadd: the launcher's windows are not part of this build; use --export (see --help)\n";
        return 2;
    }
    const BatchParse parse = ParseBatchCommandLine(args, QDateTime::currentDateTime());
    if (parse.action == BatchParse::Action::Help) {
        out << BatchUsage();
        return 0;
    }
    if (parse.action == BatchParse::Action::Error) {
        err << "nsfadd: " << parse.error << "\n";
        return 2;
    }
    // Ctrl-C or a scheduler's TERM: the running children are asked to end, the report is
    // still written.
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);

    std::vector<std::unique_ptr<ProcessLauncher>> launchers;
    for (int i = 0; i < parse.settings.jobs; ++i) {
        launchers.push_back(std::make_unique<ProcessLauncher>(ProcessLauncher::FromOwnFolder()));
        launchers.back()->SetUnattended(true);
        const QString temporary = JobTemporaryFolder(parse.settings, i);
        if (temporary.isEmpty()) {
            err << "nsfadd: --log-folder: cannot create a temporary folder in " << parse.settings.logFolder
                << "\n";
            return 2;
        }
        launchers.back()->SetTemporaryFolder(temporary);
    }
    const BatchRun run = RunBatchExport(
        parse.settings, [&](int job) -> ChildLauncher* { return launchers[std::size_t(job)].get(); }, out,
        &stopRequested);
    if (!parse.settings.reportPath.isEmpty() &&
        !WriteBatchReport(parse.settings.reportPath, parse.settings, run))
        err << "nsfadd: --report: cannot write " << parse.settings.reportPath << "\n";
    int converted = 0;
    for (const auto& f : run.files) converted += f.end == FileOutcome::End::Converted ? 1 : 0;
    out << QStringLiteral("%1 of %2 databases converted in %3 s")
               .arg(converted)
               .arg(run.files.size())
               .arg(run.seconds, 0, 'f', 1);
    if (run.stopped) out << ", stopped";
    out << "\n" << Qt::flush;
    if (run.ExitStatus() != 0)
        err << "nsfadd: not every database was converted; the run log in " << parse.settings.logFolder
            << " says why\n";
    return run.ExitStatus();
}
