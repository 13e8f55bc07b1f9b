#include "common/pst/testsupport/PstImportFuzz.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "common/pst/PstStore.h"

namespace {

struct Scratch {
    // A memory file system keeps the inputs fast where there is one.
    QTemporaryDir dir{QDir(QStringLiteral("/dev/shm")).exists()
                          ? QStringLiteral("/dev/shm/pst-fuzz-XXXXXX")
                          : QDir::tempPath() + QStringLiteral("/pst-fuzz-XXXXXX")};
    std::unique_ptr<PstSession> session;
    PstStore store;
    int items = 0;

    PstFolder Folder() {
        // A fresh store now and then, so that a long run does not grow one file without end.
        if (!session || ++items % 500 == 0) {
            store = PstStore();
            session.reset();
            QFile::remove(dir.filePath(QStringLiteral("f.pst")));
            session = std::make_unique<PstSession>();
            store = session->OpenStore(dir.filePath(QStringLiteral("f.pst")));
        }
        return store.TopFolder();
    }
};

}  // namespace

int FuzzPstImport(const std::uint8_t* data, std::size_t size) {
    static Scratch scratch;
    if (size == 0 || !scratch.dir.isValid()) return 0;
    static const struct {
        int type;
        const char* cls;
        const char* file;
    } kinds[] = {{kPstImportEml, "IPM.Note", "i.eml"},
                 {kPstImportVcf, "IPM.Contact", "i.vcf"},
                 {kPstImportIcs, "IPM.Appointment", "i.ics"},
                 {kPstImportGroupText, "IPM.DistList", "i.txt"}};
    const auto& kind = kinds[data[0] % 4];
    const QString path = scratch.dir.filePath(QLatin1String(kind.file));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return 0;
    f.write(reinterpret_cast<const char*>(data + 1), qint64(size - 1));
    f.close();
    PstItem item = scratch.Folder().Items().Add(QLatin1String(kind.cls));
    const bool took = item.Import(path, kind.type);
    item.Save();
    return took ? 1 : 0;
}
