// nsfview. Started by nsfadd; the listing mode runs without a display. The windows of the
// preview and save-options modes come with the program's dialogs.
#include "nsfview/core/Viewer.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {

class PrintedPrompts : public ViewerPrompts {
  public:
    void Message(const QString& text) override { QTextStream(stderr) << "nsfview: " << text << '\n'; }
};

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("nsfview"));
    ViewerSession session(ViewerCommandLine(QCoreApplication::arguments().mid(1)));
    PrintedPrompts prompts;
    if (session.Mode() != ViewerMode::Listing) {
        // Only the listing mode exists without windows; the others would wait for a person.
        QTextStream(stderr) << "nsfview: mode \"" << session.CommandLine().mode
                            << "\" needs the program's windows, which this build does not have; only the "
                               "listing mode \"3\" runs\n";
        return 0;
    }
    if (session.Start(prompts)) session.RunListing();
    return 0;
}
