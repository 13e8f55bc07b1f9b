// A stand-in child: prints the five values it received, one per line, as UTF-8, so a test can
// see what a started child really gets.
#include "common/handoff/ChildCommandLine.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    for (const QString& value : ChildCommandLine::FromCurrentProcess().ToArguments())
        std::printf("[%s]\n", value.toUtf8().constData());
    return 0;
}
