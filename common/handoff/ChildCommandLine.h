#pragma once
// The five values with which nsfadd starts nsfview and nsfsave.
//
// Windows form: "<db>/D <server>/C <mode>/P <pst>/F<hand-off folder>", one raw line with no
// program name, no quoting and nothing trimmed. POSIX paths contain "/", so the markers could
// occur inside a value there; elsewhere the same five values travel as five separate arguments
// after the program name, in the same order.

#include <QString>
#include <QStringList>

class QProcess;

struct ChildCommandLine {
    QString databasePath;
    QString server;
    QString mode;
    QString pstPath;
    QString handoffFolder;  // ends with the platform separator

    bool operator==(const ChildCommandLine&) const = default;

    // Windows raw form.
    QString ToRaw() const;
    // Markers are searched case-sensitively in the order "/D ", "/C ", "/P ", "/F", each in the
    // rest after the one before; a missing marker leaves its value and all later ones empty.
    static ChildCommandLine ParseRaw(const QString& commandLine);

    // POSIX form: the five values, in order, as separate arguments.
    QStringList ToArguments() const;
    // The arguments after the program name; missing ones stay empty, extra ones are ignored.
    static ChildCommandLine FromArguments(const QStringList& arguments);

    // The argument list to start a child with (QProcess::setArguments); empty values are
    // passed as empty arguments so that later values keep their places.
    QStringList ProcessArguments() const { return ToArguments(); }
    // Sets program and arguments of a child about to be started.
    void ConfigureProcess(QProcess& process, const QString& program) const;

    // The five values of the running process, from QCoreApplication::arguments().
    static ChildCommandLine FromCurrentProcess();
};
