// nsfadd_screenshots FOLDER: pictures of every launcher window, in the states a user meets, as
// nsfadd-*.png in FOLDER. The windows are the real ones; the children and the user's answers
// are played, so no database is needed.
#include "nsfadd/app/AboutDlg.h"
#include "nsfadd/app/MainWindow.h"
#include "nsfadd/app/MigrationDlg.h"
#include "nsfadd/app/UserDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

struct NoDialogs : UserDialogs {
    QString folder;
    std::optional<QStringList> databases;
    void Message(QWidget*, const QString&) override {}
    bool Question(QWidget*, const QString&) override { return false; }
    QString ChooseFolder(QWidget*, const QString&) override { return folder; }
    std::optional<QStringList> ChooseDatabases(QWidget*) override { return databases; }
    void About(QWidget*) override {}
    void Open(const QUrl&) override {}
};

struct NoChildren : ChildLauncher {
    bool Run(ChildProgram, const ChildCommandLine&, const std::function<bool()>&) override { return false; }
};

void Settle() {
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
}

bool Save(QWidget* window, const QString& path) {
    Settle();
    const bool saved = window->grab().save(path);
    std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "wrote" : "cannot write", qPrintable(path));
    return saved;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: nsfadd_screenshots FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir work(QDir::tempPath() + "/nsfconvert-XXXXXX");
    const QString data = work.filePath("Mail Archive");
    QDir().mkpath(data + "/2019");
    QStringList databases;
    for (const char* name :
         {"jsmith.nsf", "2019/projects.nsf", "2019/team-calendar.dxl", "archive 2018.nsf"}) {
        QFile f(data + "/" + name);
        f.open(QIODevice::WriteOnly);
        databases << QDir::toNativeSeparators(f.fileName());
    }

    LauncherState state;
    NoDialogs dialogs;
    NoChildren children;
    CCHarbexFirstDlgDlg window(state, dialogs, children, [] {});
    window.show();
    bool ok = Save(&window, out.filePath("nsfadd-main-start.png"));

    dialogs.folder = QDir::toNativeSeparators(work.path());
    window.ChooseLogFolder();
    dialogs.databases = databases;
    window.AddFiles();
    while (window.WorkerRunning()) QApplication::processEvents();
    window.List()->selectRow(1);
    ok = Save(&window, out.filePath("nsfadd-main-list.png")) && ok;

    // A search as it looks while it runs: the animated bar and Stop.
    window.StatusLine()->setText(databases[2]);
    window.Progress()->setRange(0, 1000);
    window.Progress()->setValue(420);
    window.Progress()->show();
    window.Button("stop")->show();
    ok = Save(&window, out.filePath("nsfadd-main-search.png")) && ok;
    window.Progress()->hide();
    window.Button("stop")->hide();

    MigrationDlg progress;
    progress.show();
    const QString output = QDir::toNativeSeparators(work.filePath("PST")) + QDir::separator();
    for (const QString& db : databases) progress.AddFileRow({db, {}}, output);
    progress.SetFileStatus(0, FileStatus::Completed);
    progress.SetFileStatus(1, FileStatus::Processing);
    progress.AddActivityRow("Output PST file Path: " + output + "JSMITH.PST");
    progress.AddActivityRow("pst file structure created successfully");
    progress.AddActivityRow("Processing folder: \\\\Personal Folders\\Inbox");
    progress.AddActivityRow("Processing folder: \\\\Personal Folders\\Projects\\2019");
    progress.AddActivityRow("Output PST file Path: " + output + "PROJECTS.PST");
    progress.AddActivityRow("pst file structure created successfully");
    progress.AddActivityRow("Processing folder: \\\\Personal Folders\\Inbox");
    progress.SetProgressRange(0, 6);
    progress.SetProgressPosition(2);
    ok = Save(&progress, out.filePath("nsfadd-progress.png")) && ok;

    CQuenmarkAboutDlg about;
    about.show();
    ok = Save(&about, out.filePath("nsfadd-about.png")) && ok;

    QMessageBox question(QMessageBox::Information, "nsfadd", "Do you want to Close Application ?",
                         QMessageBox::Yes | QMessageBox::No);
    question.show();
    ok = Save(&question, out.filePath("nsfadd-close-question.png")) && ok;
    return ok ? 0 : 1;
}
