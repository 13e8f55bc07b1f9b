#include "convert/TextHelpers.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

QString UpToFirstNul(QString text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0)
        text.truncate(nul);
    return text;
}

}  // namespace

QString ToWide(const char *notesText, qsizetype length)
{
    if (notesText == nullptr || length <= 0)
        return {};
    // ICU's LMBCS-1 decoder, which Qt reaches by name, knows the group bytes (0x14 + UCS-2,
    // the code page groups) of the Notes character set.
    QStringDecoder decoder("LMBCS-1");
    if (!decoder.isValid())
        return UpToFirstNul(QString::fromLatin1(notesText, length));
    return UpToFirstNul(decoder.decode(QByteArrayView(notesText, length)));
}

QString ToWide(const QByteArray &notesText)
{
    return ToWide(notesText.constData(), notesText.size());
}

QString ToWide(const QString &text)
{
    return UpToFirstNul(text);
}

QByteArray ToNotes(const QString &text)
{
    QStringEncoder encoder("LMBCS-1");
    if (!encoder.isValid())
        return {};
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return {};
    return bytes;
}

QString CleanName(const QString &text)
{
    QString cleaned = text;
    for (QChar &c : cleaned) {
        switch (c.unicode()) {
        case u'\n': case u'\r': case u'/': case u':': case u'*': case u'?':
        case u'<': case u'>': case u'|': case u'"': case u'\\': case u'\t':
            c = u' ';
            break;
        default:
            break;
        }
    }
    return cleaned;
}

QString FromAnsi(const QByteArray &bytes)
{
    QStringDecoder decoder("windows-1252");
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

QByteArray ToAnsi(const QString &text)
{
    QStringEncoder encoder("windows-1252");
    if (!encoder.isValid())
        return text.toLatin1();
    return encoder.encode(text);
}

QByteArray EncodedWord(const QString &text)
{
    return "=?utf-8?B?" + text.toUtf8().toBase64() + "?=";
}
