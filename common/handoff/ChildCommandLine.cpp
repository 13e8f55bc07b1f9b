#include "common/handoff/ChildCommandLine.h"

#include <QCoreApplication>
#include <QProcess>

#include <array>

namespace {

constexpr std::array<const char*, 4> kMarkers = {"/D ", "/C ", "/P ", "/F"};

}  // namespace

QString ChildCommandLine::ToRaw() const {
    return databasePath + QLatin1String(kMarkers[0]) + server + QLatin1String(kMarkers[1]) + mode +
           QLatin1String(kMarkers[2]) + pstPath + QLatin1String(kMarkers[3]) + handoffFolder;
}

ChildCommandLine ChildCommandLine::ParseRaw(const QString& commandLine) {
    ChildCommandLine result;
    // Each value is the text up to the next marker; the hand-off folder is all that is left.
    const std::array<QString*, 4> upToMarker = {&result.databasePath, &result.server, &result.mode,
                                                &result.pstPath};
    qsizetype from = 0;
    for (std::size_t i = 0; i < kMarkers.size(); ++i) {
        const QLatin1String marker(kMarkers[i]);
        const qsizetype at = commandLine.indexOf(marker, from, Qt::CaseSensitive);
        if (at < 0) return result;
        *upToMarker[i] = commandLine.mid(from, at - from);
        from = at + marker.size();
    }
    result.handoffFolder = commandLine.mid(from);
    return result;
}

QStringList ChildCommandLine::ToArguments() const {
    return {databasePath, server, mode, pstPath, handoffFolder};
}

ChildCommandLine ChildCommandLine::FromArguments(const QStringList& arguments) {
    ChildCommandLine result;
    std::array<QString*, 5> values = {&result.databasePath, &result.server, &result.mode, &result.pstPath,
                                      &result.handoffFolder};
    for (qsizetype i = 0; i < arguments.size() && i < qsizetype(values.size()); ++i)
        *values[static_cast<std::size_t>(i)] = arguments[i];
    return result;
}

void ChildCommandLine::ConfigureProcess(QProcess& process, const QString& program) const {
    process.setProgram(program);
    process.setArguments(ProcessArguments());
}

ChildCommandLine ChildCommandLine::FromCurrentProcess() {
    return FromArguments(QCoreApplication::arguments().mid(1));
}
