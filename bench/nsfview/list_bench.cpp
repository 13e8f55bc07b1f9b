// Lists a folder of N entries (default 100000) in the preview window and prints the time until
// the last row is shown and the longest time the window's event loop did not run meanwhile.
//   QT_QPA_PLATFORM=offscreen bench_nsfview_list [N]
#include "common/handoff/FolderList.h"
#include "common/handoff/HandoffPaths.h"
#include "common/notes/DxlBuilder.h"
#include "nsfview/app/FolderTreeWidget.h"
#include "nsfview/app/ItemListModel.h"
#include "nsfview/app/MainDialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

namespace {

class QuietUi : public ViewerUi {
  public:
    void Message(const QString&) override {}
    bool Ask(const QString&) override { return false; }
    int Run(QDialog&) override { return 0; }
    QString ChooseFolder(const QString&) override { return {}; }
    QString ChooseFile() override { return {}; }
    void OpenUrl(const QUrl&) override {}
    QDateTime Now() override { return QDateTime::currentDateTime(); }
    void EndProcess() override {}
};

void WaitFor(QObject* sender, const char* signal) {
    QEventLoop loop;
    QObject::connect(sender, signal, &loop, SLOT(quit()));
    loop.exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    DxlBuilder b;
    std::vector<NOTEID> entries;
    for (int i = 0; i < 100; ++i)
        entries.push_back(b.AddDocument("Memo")
                              .Text("Subject", "Message " + std::to_string(i))
                              .Names("SendTo", {"CN=Bob Ray/O=Acme"})
                              .Names("From", {"CN=Ann Lee/O=Acme"})
                              .Date("PostedDate", "20180703T090506,00+00")
                              .Id());
    std::vector<NOTEID> all;
    all.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) all.push_back(entries[std::size_t(i) % entries.size()]);
    b.AddFolder("Big").Entries(all);
    b.Register(QStringLiteral("/mem/bench/big.dxl"));

    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    CreateEmptyFolderList(HandoffFilePath(folder, kFolderListFileName));
    ViewerSession session(
        ChildCommandLine{QStringLiteral("/mem/bench/big.dxl"), {}, QStringLiteral("1"), {}, folder});
    QuietUi ui;
    CLotusNotesDlg dialog(session, ui);
    dialog.show();
    QTimer::singleShot(0, &dialog, [&dialog] { dialog.Initialize(); });
    WaitFor(&dialog, SIGNAL(scanFinished()));

    // A heartbeat every 5 ms: the gaps between beats are the pauses a person would feel.
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    int beats = 0;
    QTimer heartbeat;
    heartbeat.setInterval(5);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
        ++beats;
    });
    clock.start();
    heartbeat.start();
    FolderTreeWidget* tree = dialog.TreeView();
    emit tree->textClicked(tree->ItemAt(1));
    WaitFor(&dialog, SIGNAL(listingFinished()));
    const qint64 total = clock.elapsed();
    QTextStream(stdout) << "entries " << count << ", rows " << dialog.ListModel()->rowCount()
                        << ", last row after " << total << " ms, longest event-loop pause " << longest
                        << " ms, heartbeats " << beats << '\n';
    return 0;
}
