// Writes the sample databases of data/ (DXL with the project's extension):
//   nsf_generate_samples DIR                   mail.dxl, names.dxl, faults.dxl and the
//                                              Domino-style domino-*.dxl into DIR
//   nsf_generate_samples --large N FILE [MB]   N mail documents (and one attachment of MB
//                                              megabytes when given) for the benchmarks
// The output is deterministic: running it again gives the same bytes.
#include "data/Samples.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool Write(const QByteArray& dxl, const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(dxl) != dxl.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("wrote %s\n", qPrintable(path));
    return true;
}

bool Write(const DxlBuilder& b, const QString& path) {
    if (!b.Save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("wrote %s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::string(argv[1]) == "--large") {
        const int count = std::atoi(argv[2]);
        const int mb = argc >= 5 ? std::atoi(argv[4]) : 0;
        if (count <= 0 || mb < 0 || mb > 2000) {
            std::fprintf(stderr, "usage: %s --large N FILE [MB]\n", argv[0]);
            return 2;
        }
        return Write(LargeDatabase(count, mb), QString::fromLocal8Bit(argv[3])) ? 0 : 1;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR | --large N FILE [MB]\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    const bool ok = Write(MailDatabase(), dir.filePath(QStringLiteral("mail.dxl"))) &&
                    Write(NamesDatabase(), dir.filePath(QStringLiteral("names.dxl"))) &&
                    Write(FaultsDatabase(), dir.filePath(QStringLiteral("faults.dxl"))) &&
                    Write(DominoMailDxl(), dir.filePath(QStringLiteral("domino-mail.dxl"))) &&
                    Write(DominoNoteFormatDxl(), dir.filePath(QStringLiteral("domino-notes.dxl"))) &&
                    Write(DominoSingleDocumentDxl(), dir.filePath(QStringLiteral("domino-document.dxl")));
    return ok ? 0 : 1;
}
