// The progress window: its layout in dialog units, the keys it swallows, the close box it does
// not have, calls from the worker that wait for the window, and Stop during a real run.

#include "SavingDialog.h"
#include "SaveRunSupport.h"

#include "common/handoff/ResumeRecord.h"
#include "common/handoff/RunOptions.h"
#include "common/notes/DxlBuilder.h"
#include "savingprocess/engine/PstStorePort.h"
#include "savingprocess/engine/SavingRun.h"

#include <QApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "nsfsave_window_tests";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

TEST(SavingDialog, LayoutKeysAndCloseBox) {
    App();
    std::atomic<std::uint8_t> keepRunning{1};
    CsavingprocessDlg dialog(keepRunning);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "nsfsave");
    const QFontMetrics m(dialog.font());
    EXPECT_EQ(dialog.size(), QSize(qRound(370 * m.averageCharWidth() / 4.0), qRound(68 * m.height() / 8.0)));
    EXPECT_EQ(dialog.StopButton()->geometry(), dialog.DialogUnits(318, 10, 48, 18));
    EXPECT_EQ(dialog.StopButton()->toolTip(), "Stop the process");
    EXPECT_TRUE(dialog.StatusLine()->isReadOnly());
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);

    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
        QTest::keyClick(&dialog, static_cast<Qt::Key>(key));
    EXPECT_TRUE(dialog.close() == false && dialog.isVisible())
        << "no key and no close request ends the window";
    EXPECT_EQ(keepRunning.load(), 1) << "Enter does not press Stop";

    QTest::mouseClick(dialog.StopButton(), Qt::LeftButton);
    QTest::mouseClick(dialog.StopButton(), Qt::LeftButton);
    EXPECT_EQ(keepRunning.load(), 0);

    // A worker's calls return once the window has taken them.
    QThread* worker = QThread::create([&dialog] {
        dialog.SetRange(0, 500);
        dialog.SetPosition(120);
        dialog.SetStatus("Dumping Folder data \\\\Personal Folders\\Inbox");
    });
    worker->start();
    while (!worker->isFinished()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    delete worker;
    EXPECT_EQ(dialog.ProgressBar()->maximum(), 500);
    EXPECT_EQ(dialog.ProgressBar()->value(), 120);
    EXPECT_EQ(dialog.StatusLine()->text(), "Dumping Folder data \\\\Personal Folders\\Inbox");
}

// Stop during a run: the entry under way is saved, the pass ends as stopped.
TEST(SavingDialog, StopEndsThePassAfterTheCurrentItem) {
    App();
    SaveRunFolder folder;
    ASSERT_TRUE(folder.Prepare(RunOptions{}));
    ASSERT_TRUE(folder.CreatePst({"Inbox"}));
    DxlBuilder b("Stop");
    std::vector<NOTEID> ids;
    for (int i = 0; i < 400; ++i)
        ids.push_back(b.AddDocument("Memo").Text("Subject", "m" + std::to_string(i)).Id());
    const NOTEID inbox = b.AddFolder("Inbox").Entries(ids).Id();
    const QString database = folder.Root() + "/stop.dxl";
    ASSERT_TRUE(b.Save(database));
    const QString path = SaveRunFolder::FolderPath("Inbox");
    ASSERT_TRUE(CreateResumeRecord(folder.Handoff() + "setting.txt", ResumeRecord{inbox, 0, path, 1}));

    RunState state;
    const ChildCommandLine line{database, "", "0", folder.Pst(), folder.Handoff()};
    PrepareRunState(line, state);
    LNNotesSession session;
    session.Initialize();
    CsavingprocessDlg dialog(state.keepRunning);
    dialog.show();
    SavingRun run(line, state, dialog, session, [] { return CreatePstStoreSession(); });
    QThread* worker = QThread::create([&run] { run.Run(); });
    worker->start();
    bool pressed = false;
    while (!worker->isFinished()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!pressed && dialog.ProgressBar()->value() >= 10) {
            QTest::mouseClick(dialog.StopButton(), Qt::LeftButton);
            pressed = true;
        }
    }
    delete worker;
    run.Engine().CloseDatabase();
    ASSERT_TRUE(pressed);
    EXPECT_EQ(folder.Record(), (ResumeRecord{inbox, 0, path, 0}));
    EXPECT_EQ(state.keepRunning.load(), 1);
    const QString log = folder.LogText();
    const qsizetype converted = log.count("Processing email: ");
    EXPECT_GE(converted, 11);
    EXPECT_LT(converted, 400);
    EXPECT_TRUE(log.contains(QString::number(converted) + "\t:items found\r\n"))
        << "the last entry was finished";
    EXPECT_EQ(dialog.StatusLine()->text(), "Saving process completed");
}

}  // namespace
