#include <QApplication>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("nsfadd"));
    QTextStream(stderr) << "nsfadd: this program's window is not built yet\n";
    return 0;
}
