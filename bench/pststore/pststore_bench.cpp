// pststore_bench COUNT DIR: imports COUNT mails (HTML and plain bodies, an inline image and two
// attachments of 20 KB and 200 KB), COUNT contacts and COUNT appointments into a new store in
// DIR the way the saving runs do (add, import, set properties, save), and prints items per
// second for each kind and the peak memory of the process.
#include <sys/resource.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include "common/pst/PstStore.h"

namespace {

QByteArray Base64Lines(const QByteArray& bytes) {
    QByteArray b64 = bytes.toBase64(), out;
    for (qsizetype i = 0; i < b64.size(); i += 76) out += b64.mid(i, 76) + "\r\n";
    return out;
}

QByteArray Mail(int i) {
    QByteArray small(20 * 1024, 'a'), large(200 * 1024, '\0');
    for (qsizetype k = 0; k < large.size(); ++k) large[k] = char((k * 31 + i) & 0xFF);
    return "From: =?utf-8?B?" + QByteArray("Ann Lee <ann@acme.com>").toBase64() +
           "?=\r\n"
           "To: =?utf-8?B?" +
           QByteArray("bob@acme.com;Cy Wu;di@acme.com").toBase64() +
           "?=\r\n"
           "Subject: Report " +
           QByteArray::number(i) +
           "\r\n"
           "Date: Tue, 3 Jul 2018 10:15:00 +0100\r\n"
           "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
           "--b\r\nContent-Type: text/html; charset=\"UTF-8\"\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
           "<p>" +
           QByteArray(3000, 'x') +
           " Gr\xC3\xBC\xC3\x9F"
           "e</p>\r\n"
           "--b\r\nContent-Type: image/png\r\nContent-ID: <logo@acme>\r\nContent-Transfer-Encoding: "
           "base64\r\n\r\n" +
           Base64Lines(QByteArray(4096, 'p')) +
           "--b\r\nContent-Transfer-Encoding: base64\r\nContent-Type: application/octet-stream; "
           "name=\"small.txt\"\r\n\r\n" +
           Base64Lines(small) +
           "--b\r\nContent-Transfer-Encoding: base64\r\nContent-Type: application/octet-stream; "
           "name=\"large.bin\"\r\n\r\n" +
           Base64Lines(large) + "--b--\r\n";
}

QByteArray Contact(int i) {
    return "BEGIN:VCARD\r\nN;CHARSET=utf-8:Berg" + QByteArray::number(i) +
           ";Anna;M;Dr;Jr\r\n"
           "FN;CHARSET=utf-8:Anna Berg\r\nORG;CHARSET=utf-8:Acme "
           "AB;R&D\r\nEMAIL;CHARSET=utf-8:anna@acme.example\r\n"
           "ADR;TYPE=work;ENCODING=QUOTED-PRINTABLE;CHARSET=utf-8:;;Industriv=C3=A4gen 3;Lund;;223 "
           "70;Sweden\r\n"
           "TEL;TYPE=work,voice:+46 46 101\r\nTITLE;CHARSET=utf-8:Chief Engineer\r\nBDAY:19800703\r\n"
           "NOTE;CHARSET=utf-8;ENCODING=QUOTED-PRINTABLE:Met at the fair.\r\nEND:VCARD\r\n";
}

QByteArray Event(int i) {
    return "BEGIN:VCALENDAR\r\nBEGIN:VTIMEZONE\r\nTZID:Greenwich Mean "
           "Time\r\nEND:VTIMEZONE\r\nBEGIN:VEVENT\r\n"
           "DTEND;TZID=\"Greenwich Mean Time\":20180703T100000\r\nDTSTART;TZID=\"Greenwich Mean "
           "Time\":20180703T091500\r\n"
           "SUMMARY;CHARSET=utf-8:Planning " +
           QByteArray::number(i) +
           "\r\nORGANIZER;CN=\"ann@acme.com\"\r\n"
           "ATTENDEE;CN=\"Bo "
           "Ek;cy@acme.com\"\r\nDESCRIPTION;CHARSET=utf-8:Agenda\r\nLOCATION;CHARSET=utf-8:Room 4\r\n"
           "CATEGORIES:Blue\r\nBEGIN:VALARM\r\nTRIGGER:-PT15M\r\nACTION:DISPLAY\r\nEND:VALARM\r\nEND:"
           "VEVENT\r\nEND:VCALENDAR\r\n";
}

long PeakKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: pststore_bench COUNT DIR\n");
        return 2;
    }
    const int count = std::max(1, atoi(argv[1]));
    QDir dir(QString::fromLocal8Bit(argv[2]));
    dir.mkpath(QStringLiteral("."));
    const QString pst = dir.filePath(QStringLiteral("bench.pst"));
    QFile::remove(pst);
    PstSession session;
    PstStore store = session.OpenStore(pst);
    if (!store) {
        std::fprintf(stderr, "%s\n", qPrintable(session.LastError()));
        return 1;
    }
    store.Prepare();
    const struct {
        const char* label;
        int folder;
        const char* cls;
        int type;
        const char* ext;
        QByteArray (*file)(int);
    } kinds[] = {{"mail with attachments", kPstInbox, "IPM.Note", kPstImportEml, "eml", Mail},
                 {"contacts", kPstContacts, "IPM.Contact", kPstImportVcf, "vcf", Contact},
                 {"appointments", kPstCalendar, "IPM.Appointment", kPstImportIcs, "ics", Event}};
    for (const auto& k : kinds) {
        PstItems items = store.DefaultFolder(k.folder).Items();
        const QString file = dir.filePath(QStringLiteral("item.") + QLatin1String(k.ext));
        qint64 writing = 0;
        QElapsedTimer all;
        all.start();
        int failed = 0;
        for (int i = 0; i < count; ++i) {
            QElapsedTimer w;
            w.start();
            QFile f(file);
            f.open(QIODevice::WriteOnly);
            f.write(k.file(i));
            f.close();
            writing += w.nsecsElapsed();
            PstItem item = items.Add(QLatin1String(k.cls));
            if (!item.Import(file, k.type)) ++failed;
            item.SetCategories(QStringLiteral("Blue"));
            item.SetRead(true);
            if (!item.Save()) ++failed;
        }
        store.Flush();
        const double secs = double(all.nsecsElapsed() - writing) / 1e9;
        std::printf("%-22s %6d items  %7.2f s  %8.1f items/s  failed %d\n", k.label, count, secs,
                    count / secs, failed);
    }
    session.LogOff();
    std::printf("file %.1f MB, peak RSS %.1f MB\n", double(QFileInfo(pst).size()) / 1e6,
                double(PeakKb()) / 1024.0);
    return 0;
}
