// nsfview. Started by nsfadd once per task. The listing mode runs without a display; the preview
// and save-options modes, and the empty window of an unknown mode, show the program's windows.
#include "nsfview/app/MainDialog.h"
#include "nsfview/app/ViewerUi.h"
#include "nsfview/core/Viewer.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTextStream>
#include <QTimer>

namespace {

class PrintedPrompts : public ViewerPrompts {
  public:
    void Message(const QString& text) override { QTextStream(stderr) << "nsfview: " << text << '\n'; }
};

int RunListingMode(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("nsfview"));
    ViewerSession session(ViewerCommandLine(QCoreApplication::arguments().mid(1)));
    PrintedPrompts prompts;
    if (session.Start(prompts)) session.RunListing();
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    {
        QStringList arguments;
        for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
        // The launcher's headless runs need no display: the listing mode never shows a window.
        if (ModeOf(ViewerCommandLine(arguments).mode) == ViewerMode::Listing)
            return RunListingMode(argc, argv);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("nsfview"));
    ViewerSession session(ViewerCommandLine(QCoreApplication::arguments().mid(1)));
    DesktopUi ui;
    CLotusNotesDlg dialog(session, ui);
    ui.SetParent(&dialog);
    QTimer::singleShot(0, &dialog, [&dialog] { dialog.Initialize(); });
    dialog.exec();
    return 0;
}
