#include "convert/mail/testsupport/MailFuzz.h"

#include "convert/mail/AddressTranslation.h"
#include "convert/mail/EmlWriter.h"
#include "convert/mail/FieldReader.h"
#include "convert/mail/TextHelpers.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QList>

#include <cstdlib>
#include <vector>

namespace {

// The bytes split at NUL into UTF-8 texts; missing texts are empty.
QList<QString> Texts(const std::uint8_t* data, std::size_t size, qsizetype count) {
    QList<QString> texts;
    const QList<QByteArray> pieces =
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)).split('\0');
    for (qsizetype i = 0; i < count; ++i)
        texts.append(i < pieces.size() ? QString::fromUtf8(pieces[i]) : QString());
    return texts;
}

void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

int FuzzMailTexts(const std::uint8_t* data, std::size_t size) {
    const QList<QString> t = Texts(data, size, 5);
    RunOptions options;
    options.smtpDomain = t[3];
    options.smtpFormat = size > 0 ? data[0] % 10u : 0u;
    options.addressMap = {{t[0].toUpper(), t[2]}, {CommonNameOf(t[1]).toUpper(), t[2]}};
    for (int mode = 0; mode < 4; ++mode) {
        options.csvTranslationOn = mode & 1 ? 1 : 0;
        options.smtpPatternOn = mode & 2 ? 1 : 0;
        (void)TranslateAddressLists(t[0], t[1], options);
    }
    // Every entry it keeps is free of ";", and the closing step drops those at the end.
    Require(!MergeAddressLists(t[0], t[1]).endsWith(u';'));
    const QString picked = PickAddress(t[2], t[1]);
    Require(picked.isEmpty() || CToken(t[2]).Entries().contains(picked));
    (void)SmtpPattern(t[4], options);

    const QString cleaned = CleanName(t[4]);
    Require(cleaned.size() == t[4].size());
    for (QChar c : QStringLiteral("/\\:*?<>|\"\r\n\t")) Require(!cleaned.contains(c));
    const QString file = DetachFileName(cleaned);
    Require(!file.isEmpty() && file != QStringLiteral(".") && file != QStringLiteral(".."));
    Require(!file.contains(u'/') && !file.contains(QChar(u'\0')));
    Require(file.toUtf8().size() <= 255);

    (void)HtmlItemText(std::vector<std::uint8_t>(data, data + size));
    return 0;
}

int FuzzEmlWriter(const std::uint8_t* data, std::size_t size) {
    const QList<QString> t = Texts(data, size, 8);
    MailFields fields;
    fields.from = t[0];
    fields.to = t[1];
    fields.cc = t[2];
    fields.bcc = t[3];
    fields.subject = t[4];
    fields.dateText = t[5];
    fields.body = t[6];
    fields.bodyIsHtml = size > 0 && (data[0] & 1) ? 1 : 0;
    fields.attachmentNames = t[7];  // no database: the attachment walk finds nothing

    const QString path =
        QDir::tempPath() + QStringLiteral("/mail_fuzz_%1.eml").arg(QCoreApplication::applicationPid());
    RunOptions options;
    RunCounts counts;
    const ConvertContext context{nullptr, &options, nullptr, &counts};
    Require(WriteMailEml(context, 0, fields, path) == 1);
    QFile file(path);
    Require(file.open(QIODevice::ReadOnly));
    const QByteArray eml = file.readAll();
    file.close();
    QFile::remove(path);

    // The header holds one line per field and no bare line break; the boundary's delimiter
    // stands exactly where the writer put it: before the body part and at the end.
    const qsizetype headerEnd = eml.indexOf("\r\n\r\n");
    Require(headerEnd > 0);
    const QByteArray header = eml.left(headerEnd + 2);
    Require(header.count('\n') == header.count("\r\n"));
    const qsizetype at = header.indexOf("boundary=\"");
    Require(at > 0);
    const QByteArray boundary = header.mid(at + 10, header.indexOf('"', at + 10) - at - 10);
    Require(!boundary.isEmpty());
    Require(eml.count("--" + boundary) == 2);
    Require(eml.endsWith("\r\n--" + boundary + "--\r\n"));
    Require(eml.contains(fields.body.toUtf8()));
    return 0;
}
