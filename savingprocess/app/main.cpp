// nsfsave: one folder, or the collected calendar entries, of one database per process.

#include "SavingDialog.h"
#include "StoreFactory.h"
#include "savingprocess/engine/SavingRun.h"

#include <QApplication>
#include <QThread>
#include <QTimer>

#include <cstdlib>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("nsfsave"));

    static RunState state;
    static LNNotesSession session;
    const ChildCommandLine commandLine = ParseSaveCommandLine(QCoreApplication::arguments().mid(1));
    PrepareRunState(commandLine, state);

    auto* dialog = new CsavingprocessDlg(state.keepRunning);
    static SavingRun run(commandLine, state, *dialog, session, DefaultStoreFactory());
    dialog->show();

    QTimer::singleShot(0, dialog, [dialog] {
        session.Initialize(800, 1);
        QThread* worker = QThread::create([dialog] {
            run.Run();
            // End of run: on the window's thread, close the database, end the Notes session and
            // leave at once. The outcome is in "setting.txt"; the exit code means nothing.
            QMetaObject::invokeMethod(
                dialog,
                [] {
                    run.Engine().CloseDatabase();
                    session.Term();
                    std::_Exit(255);
                },
                Qt::BlockingQueuedConnection);
        });
        worker->start(QThread::NormalPriority);
    });
    return QApplication::exec();
}
