#include "nsfadd/core/ChildLauncher.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>

ProcessLauncher::ProcessLauncher(QString programFolder, QString workingFolder)
    : programFolder_(std::move(programFolder)), workingFolder_(std::move(workingFolder)) {}

ProcessLauncher ProcessLauncher::FromOwnFolder() {
    const QString own = QCoreApplication::applicationDirPath();
    return ProcessLauncher(own, own);
}

QString ProcessLauncher::ProgramPath(ChildProgram program) const {
    return QDir(programFolder_)
        .filePath(program == ChildProgram::View ? QStringLiteral("nsfview") : QStringLiteral("nsfsave"));
}

bool ProcessLauncher::Run(ChildProgram program, const ChildCommandLine& commandLine,
                          const std::function<bool()>& whileRunning) {
    QProcess process;
    commandLine.ConfigureProcess(process, ProgramPath(program));
    process.setWorkingDirectory(workingFolder_);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The children are windowed programs; without a display they run on the offscreen platform.
    if (!environment.contains(QStringLiteral("QT_QPA_PLATFORM")) &&
        !environment.contains(QStringLiteral("DISPLAY")) &&
        !environment.contains(QStringLiteral("WAYLAND_DISPLAY")))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.start();
    if (!process.waitForStarted(-1)) return false;
    bool asked = false;
    while (!process.waitForFinished(1000)) {
        if (process.state() == QProcess::NotRunning) break;
        if (!asked && whileRunning && !whileRunning()) {
            process.terminate();
            asked = true;
        }
    }
    return true;
}
