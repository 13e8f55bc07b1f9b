// Writes a conversion scenario to a folder, for profiling nsfsave by hand:
//   save_scenario DIR KIND COUNT     (KIND: mail, attach, contact, appointment)
// DIR gets db.dxl, out/mail.pst (with an "Inbox"), "hand off/" with config.txt, setting.txt,
// cal.txt and the run log; it prints the nsfsave command line.

#include "SaveBenchSupport.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        QTextStream(stderr) << "usage: save_scenario DIR mail|attach|contact|appointment COUNT\n";
        return 2;
    }
    Scenario scenario;
    if (!WriteScenario(args[1], KindByName(args[2]), args[3].toInt(), scenario)) {
        QTextStream(stderr) << "save_scenario: cannot write the scenario\n";
        return 1;
    }
    QTextStream(stdout) << "QT_QPA_PLATFORM=offscreen nsfsave '" << scenario.database << "' '' 0 '"
                        << scenario.pst << "' '" << scenario.handoff << "'\n";
    return 0;
}
