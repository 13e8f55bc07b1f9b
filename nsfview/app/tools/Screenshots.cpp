// Shows each window of nsfview with example content and saves what the display shows of it.
// Run under a virtual display:
//   xvfb-run -a -s "-screen 0 1280x1024x24" nsfview_screens docs/screenshots data/mail.dxl
#include "nsfview/app/AdvancedDialog.h"
#include "nsfview/app/FolderTreeWidget.h"
#include "nsfview/app/MainDialog.h"
#include "nsfview/app/SaveDialog.h"

#include "common/handoff/FolderList.h"
#include "common/handoff/HandoffPaths.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QTreeWidget>

namespace {

// Answers without a person: messages are printed, dialogs are not shown modally.
class ShotUi : public ViewerUi {
  public:
    void Message(const QString& text) override { QTextStream(stdout) << "message: " << text << '\n'; }
    bool Ask(const QString&) override { return false; }
    int Run(QDialog&) override { return QDialog::Rejected; }
    QString ChooseFolder(const QString&) override { return {}; }
    QString ChooseFile() override { return {}; }
    void OpenUrl(const QUrl&) override {}
    QDateTime Now() override { return QDateTime(QDate(2026, 12, 11), QTime(10, 0)); }
    void EndProcess() override {}
};

void Settle(int ms = 300) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool WaitFor(QObject* sender, const char* signal) {
    QEventLoop loop;
    QObject::connect(sender, signal, &loop, SLOT(quit()));
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    return true;
}

// What the display shows inside the window's frame.
bool Shoot(QWidget& window, const QDir& out, const QString& name) {
    window.raise();
    window.activateWindow();
    Settle();
    const QRect frame = window.frameGeometry();
    const QPixmap shot = window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    const QString path = out.filePath(name);
    if (!shot.save(path)) {
        QTextStream(stderr) << "cannot write " << path << '\n';
        return false;
    }
    QTextStream(stdout) << path << '\n';
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 3) {
        QTextStream(stderr) << "usage: nsfview_screens OUTPUT_FOLDER DATABASE\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QString database = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    QTemporaryDir handoff;
    const QString folder = handoff.path() + QLatin1Char('/');
    CreateEmptyFolderList(HandoffFilePath(folder, kFolderListFileName));
    bool ok = true;

    ShotUi ui;
    ViewerSession session(ChildCommandLine{database, {}, QStringLiteral("1"), {}, folder});
    CLotusNotesDlg main(session, ui);
    main.move(40, 40);
    main.show();
    QTimer::singleShot(0, &main, [&main] { main.Initialize(); });
    WaitFor(&main, SIGNAL(scanFinished()));
    FolderTreeWidget* tree = main.TreeView();
    for (int i = 0; i < main.Tree().Size(); ++i)
        if (main.Tree().Item(i).text == QLatin1String("Inbox")) {
            tree->setCurrentItem(tree->ItemAt(i));
            emit tree->textClicked(tree->ItemAt(i));
            WaitFor(&main, SIGNAL(listingFinished()));
            break;
        }
    ok = Shoot(main, out, QStringLiteral("main-window.png")) && ok;

    RunOptions options = session.Options();
    savefilterDlg save(options, ui, &main);
    save.findChild<QLineEdit*>(QStringLiteral("folderPath"))->setText(QStringLiteral("/home/ann/pst"));
    save.findChild<QRadioButton*>(QStringLiteral("manualPeriod"))->click();
    save.findChild<QDateTimeEdit*>(QStringLiteral("startDate"))
        ->setDateTime(QDateTime(QDate(2026, 1, 1), QTime(0, 0)));
    save.findChild<QPushButton*>(QStringLiteral("addRange"))->click();
    save.move(120, 120);
    save.show();
    ok = Shoot(save, out, QStringLiteral("save-dialog.png")) && ok;
    save.hide();

    Advancesettingdlg advanced(options, ui, &main);
    for (const char* box : {"addressTranslation", "folderMapping"})
        advanced.findChild<QCheckBox*>(QString::fromLatin1(box))->click();
    advanced.findChild<QLineEdit*>(QStringLiteral("domainName"))->setText(QStringLiteral("example.com"));
    advanced.findChild<QLineEdit*>(QStringLiteral("changeFolderName"))
        ->setText(QStringLiteral("Posteingang"));
    advanced.move(120, 80);
    advanced.show();
    ok = Shoot(advanced, out, QStringLiteral("advanced-settings.png")) && ok;
    advanced.hide();

    AboutBox about(&main);
    about.move(200, 200);
    about.show();
    ok = Shoot(about, out, QStringLiteral("about-box.png")) && ok;
    about.hide();
    return ok ? 0 : 1;
}
