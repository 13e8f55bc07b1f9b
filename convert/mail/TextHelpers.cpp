#include "convert/mail/TextHelpers.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

QString UpToFirstNul(QString text) {
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0) text.truncate(nul);
    return text;
}

}  // namespace

QString ToWide(std::string_view notesText) {
    // The same UTF-8 reading as LNStringTranslate: invalid bytes become U+FFFD.
    return UpToFirstNul(QString::fromUtf8(notesText.data(), static_cast<qsizetype>(notesText.size())));
}

QString ToWide(const char* notesText, qsizetype length) {
    if (notesText == nullptr || length <= 0) return {};
    return ToWide(std::string_view(notesText, static_cast<std::size_t>(length)));
}

QString ToWide(const QString& text) {
    return UpToFirstNul(text);
}

bool ToNotes(const QString& text, std::string* notesText) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return false;
    }
    const QByteArray bytes = text.toUtf8();
    notesText->assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return true;
}

QString CleanName(const QString& text) {
    QString cleaned = text;
    for (QChar& c : cleaned) {
        switch (c.unicode()) {
            case u'\n':
            case u'\r':
            case u'/':
            case u':':
            case u'*':
            case u'?':
            case u'<':
            case u'>':
            case u'|':
            case u'"':
            case u'\\':
            case u'\t':
                c = u' ';
                break;
            default:
                break;
        }
    }
    return cleaned;
}

QString FromAnsi(const QByteArray& bytes) {
    QStringDecoder decoder("windows-1252");
    if (!decoder.isValid()) return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

QByteArray ToAnsi(const QString& text) {
    QStringEncoder encoder("windows-1252");
    if (!encoder.isValid()) return text.toLatin1();
    return encoder.encode(text);
}

QByteArray EncodedWord(const QString& text) {
    return "=?utf-8?B?" + text.toUtf8().toBase64() + "?=";
}
