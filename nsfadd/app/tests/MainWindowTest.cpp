// The launcher's windows wired to the core: dialogs answered by the test, nsfview and nsfsave
// played by a fake launcher.
#include "nsfadd/app/MainWindow.h"
#include "nsfadd/app/MigrationDlg.h"
#include "nsfadd/app/UserDialogs.h"

#include "../../core/tests/FakeChildren.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <deque>

namespace {

struct FakeDialogs : UserDialogs {
    QStringList messages, questions;
    std::deque<bool> answers;  // Yes when none is queued
    QString folder;
    std::optional<QStringList> databases;
    void Message(QWidget*, const QString& text) override { messages << text; }
    bool Question(QWidget*, const QString& text) override {
        questions << text;
        if (answers.empty()) return true;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    QString ChooseFolder(QWidget*, const QString&) override { return folder; }
    std::optional<QStringList> ChooseDatabases(QWidget*) override { return databases; }
    void About(QWidget*) override {}
    void Open(const QUrl&) override {}
};

// nsfview answers by its mode; nsfsave may be held at a gate to look at the windows while it
// "runs".
struct Children : FakeChildren {
    FolderStatus previewAnswer = FolderStatus::Back;
    QString outputFolder;
    QSemaphore* gate = nullptr;
    bool Run(ChildProgram program, const ChildCommandLine& line, const std::function<bool()>& w) override {
        const QString folderList = HandoffFilePath(line.handoffFolder, kFolderListFileName);
        if (program == ChildProgram::View && line.mode == "2") {
            calls.push_back(line);
            WriteFolderListOutputFolder(folderList, outputFolder);
            return true;
        }
        if (program == ChildProgram::View && line.mode == "1") {
            calls.push_back(line);
            if (previewAnswer == FolderStatus::Result)
                WriteFolderListSelection(folderList, listing, outputFolder, {});
            else
                WriteFolderListStatus(folderList, previewAnswer);
            return true;
        }
        if (program == ChildProgram::Save && gate) gate->acquire();
        return FakeChildren::Run(program, line, w);
    }
};

struct Launcher {
    QTemporaryDir dir;
    LauncherState state;
    FakeDialogs dialogs;
    Children children;
    int ended = 0;
    CCHarbexFirstDlgDlg window{state, dialogs, children, [this] { ++ended; }};
    Launcher() {
        children.outputFolder = QDir::toNativeSeparators(dir.filePath("out")) + QDir::separator();
        QDir().mkpath(dir.filePath("out"));
        children.listing = {{"Inbox", 1, 0x20}, {"Projects\\2019", 1, 0x24}};
        window.show();
    }
    QString Touch(const QString& name) const {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        return QDir::toNativeSeparators(dir.filePath(name));
    }
    void ChooseLogFolder() {
        dialogs.folder = QDir::toNativeSeparators(dir.path());
        window.Button("browse")->click();
    }
    // Clicks a button and lets its worker run to its end.
    void ClickAndWait(const char* button) {
        QSignalSpy done(&window, &CCHarbexFirstDlgDlg::workerFinished);
        window.Button(button)->click();
        QVERIFY(done.wait(10000));
    }
    QStringList Rows(QTableWidget* table, int column = 0) const {
        QStringList rows;
        for (int r = 0; r < table->rowCount(); ++r)
            rows << (table->item(r, column) ? table->item(r, column)->text() : QString());
        return rows;
    }
    QString Log() const {
        QFile f(dir.filePath(RunLog::FileName()));
        f.open(QIODevice::ReadOnly);
        const QByteArray b = f.readAll().mid(2);
        return QString(reinterpret_cast<const QChar*>(b.constData()), b.size() / 2);
    }
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void startsIdleAndIgnoresEnterAndEscape() {
        Launcher l;
        QCOMPARE(l.window.windowTitle(), QString("nsfadd"));
        QCOMPARE(l.window.StatusLine()->text(), QString("Select NSF file for conversion."));
        QCOMPARE(l.window.List()->horizontalHeaderItem(0)->text(), QString("File Path"));
        QVERIFY(!l.window.Progress()->isVisible());
        QVERIFY(!l.window.Button("stop")->isVisible());
        for (QWidget* target :
             {static_cast<QWidget*>(&l.window), static_cast<QWidget*>(l.window.Button("close"))}) {
            QTest::keyClick(target, Qt::Key_Escape);
            QTest::keyClick(target, Qt::Key_Return);
        }
        QVERIFY(l.window.isVisible());
        QVERIFY(l.dialogs.questions.isEmpty());
    }

    void addsRemovesAndRefuses() {
        Launcher l;
        l.window.Button("add")->click();
        QCOMPARE(l.dialogs.messages, QStringList{"Please enter folder path to save log and settings files."});
        l.ChooseLogFolder();
        QCOMPARE(l.window.LogFolder()->text(), QDir::toNativeSeparators(l.dir.path()));

        const QString a = l.Touch("a.nsf"), b = l.Touch("b.dxl"), gone = l.dir.filePath("gone.nsf");
        l.dialogs.messages.clear();
        l.dialogs.databases = QStringList{a, gone, b, a.toUpper()};
        l.ClickAndWait("add");
        QCOMPARE(l.Rows(l.window.List()), (QStringList{a, b}));
        QCOMPARE(l.dialogs.messages, (QStringList{"Please make sure that nsf files are not corrupt.",
                                                  gone + " Selected file is not valid."}));
        QCOMPARE(l.window.StatusLine()->text(), QString("Total number of files: [2]"));
        QVERIFY(!l.window.Progress()->isVisible());
        QVERIFY(l.Log().endsWith(a + "\r\n" + gone + " Selected file is not valid.\r\n" + b +
                                 "\r\nTotal number of files: [2]\r\n"));

        l.state.busy = 1;
        l.dialogs.messages.clear();
        for (const char* button : {"add", "search", "remove", "removeAll", "close"})
            l.window.Button(button)->click();
        QCOMPARE(l.dialogs.messages,
                 (QStringList{"Please stop the running process to add file(s) in the list.",
                              "Please stop the running process to search nsf files",
                              "Please stop the running process to remove file(s) from the list.",
                              "Please stop the running process to remove file(s) from the list.",
                              "Please wait for the running process."}));
        l.state.busy = 0;

        l.window.List()->selectRow(0);
        l.window.Button("remove")->click();
        QCOMPARE(l.Rows(l.window.List()), QStringList{b});
        QCOMPARE(l.window.StatusLine()->text(), QString("Total number of files: [1]"));
        l.window.Button("removeAll")->click();
        QCOMPARE(l.window.List()->rowCount(), 0);
        QCOMPARE(l.window.StatusLine()->text(), QString("Add files to continue the process."));
    }

    void searchFillsTheListAndStopAsks() {
        Launcher l;
        l.ChooseLogFolder();
        QDir().mkpath(l.dir.filePath("tree/sub"));
        const QString x = l.Touch("tree/X.NSF"), y = l.Touch("tree/sub/y.Nsf");
        l.Touch("tree/z.nsf.bak");
        l.dialogs.folder = l.dir.filePath("tree");
        l.ClickAndWait("search");
        QStringList rows = l.Rows(l.window.List());
        rows.sort();
        QCOMPARE(rows, (QStringList{x, y}));
        QCOMPARE(l.window.StatusLine()->text(), QString("Total number of files: [2]"));

        // Stop asks only while something runs; Yes clears the flag the loops watch.
        l.window.Stop();
        QVERIFY(l.dialogs.questions.isEmpty());
        l.state.busy = 1;
        l.dialogs.answers = {false, true};
        l.window.Stop();
        QCOMPARE(l.state.busy.load(), 1);
        l.window.Stop();
        QCOMPARE(l.state.busy.load(), 0);
    }

    void previewBackReturnsToTheListAndSaveConverts() {
        Launcher l;
        l.ChooseLogFolder();
        const QString a = l.Touch("a.nsf"), b = l.Touch("my mail.nsf");
        l.dialogs.databases = QStringList{a, b};
        l.ClickAndWait("add");
        l.dialogs.messages.clear();

        l.ClickAndWait("preview");
        QCOMPARE(l.dialogs.messages, QStringList{"Please Select a File From a List Control"});

        l.window.List()->selectRow(1);
        l.ClickAndWait("preview");
        QCOMPARE(l.children.calls.back().databasePath, b);
        QCOMPARE(l.children.calls.back().mode, QString("1"));
        QVERIFY(l.window.isVisible());
        QVERIFY(!l.window.ProgressWindow());
        QCOMPARE(l.window.List()->rowCount(), 2);

        l.children.previewAnswer = FolderStatus::Result;
        l.dialogs.messages.clear();
        l.ClickAndWait("preview");
        QVERIFY(!l.window.isVisible());
        QVERIFY(l.window.ProgressWindow() && l.window.ProgressWindow()->isVisible());
        const QStringList rows = l.Rows(l.window.ProgressWindow()->Rows());
        QCOMPARE(rows.first(), "Output PST file Path: " + l.children.outputFolder + "MY MAIL.PST");
        QCOMPARE(rows.last(), QString("NSF file conversion process successfully."));
        QCOMPARE(l.dialogs.messages, QStringList{"NSF file conversion process successfully."});
        QVERIFY(QFile::exists(l.children.outputFolder + "MY MAIL.PST"));

        // The progress window's Close is the way out: it asks, logs and ends the process.
        l.window.ProgressWindow()->CloseButton()->click();
        QCOMPARE(l.dialogs.questions.last(), QString("Do you want to Close Application ?"));
        QCOMPARE(l.ended, 1);
        QVERIFY(l.Log().endsWith("Application closed by user\r\n"));
    }

    void previewClosedAsksToClose() {
        Launcher l;
        l.ChooseLogFolder();
        l.dialogs.databases = QStringList{l.Touch("a.nsf")};
        l.ClickAndWait("add");
        l.window.List()->selectRow(0);
        l.children.previewAnswer = FolderStatus::Closed;
        l.dialogs.answers = {false};
        l.ClickAndWait("preview");
        QCOMPARE(l.dialogs.questions, QStringList{"Do you want to Close Application ?"});
        QCOMPARE(l.ended, 0);
    }

    void exportShowsFileRowsAndStaysResponsive() {
        Launcher l;
        l.ChooseLogFolder();
        const QString a = l.Touch("a.nsf"), b = l.Touch("b.nsf");
        l.dialogs.databases = QStringList{a, b};
        l.ClickAndWait("add");
        QSemaphore gate;
        l.children.gate = &gate;
        // A failing check must not leave the worker waiting at the gate for ever.
        const auto open = qScopeGuard([&] { gate.release(1000); });
        QSignalSpy done(&l.window, &CCHarbexFirstDlgDlg::workerFinished);
        l.window.Button("export")->click();

        // While nsfsave "runs", the progress window keeps handling events: the rows show it.
        QTRY_VERIFY(l.window.ProgressWindow() != nullptr);
        MigrationDlg* progress = l.window.ProgressWindow();
        QTRY_COMPARE(l.Rows(progress->Rows(), 1).mid(0, 2), (QStringList{"Processing...", "Pending"}));
        QVERIFY(progress->isVisible());
        QVERIFY(!l.window.isVisible());
        QTest::keyClick(progress, Qt::Key_Escape);
        QVERIFY(progress->isVisible());
        gate.release(1000);
        QVERIFY(done.wait(10000));

        const QStringList texts = l.Rows(progress->Rows()), statuses = l.Rows(progress->Rows(), 1);
        QCOMPARE(texts.mid(0, 2), (QStringList{a, b}));
        QCOMPARE(statuses.mid(0, 2), (QStringList{"Completed", "Completed"}));
        QVERIFY(texts.contains("Processing folder: \\\\Personal Folders\\Projects\\2019"));
        QCOMPARE(texts.last(),
                 QString("Conversion process successfully completed for selected NSF file(s)."));
        QCOMPARE(l.dialogs.messages.last(),
                 QString("Conversion process completed for selected NSF files(s)"));
        QCOMPARE(progress->Progress()->value(), 2);
        QVERIFY(QFile::exists(l.children.outputFolder + "A.PST"));
        QVERIFY(QFile::exists(l.children.outputFolder + "B.PST"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
