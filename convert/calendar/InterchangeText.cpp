#include "convert/calendar/InterchangeText.h"

#include "convert/mail/ConvertContext.h"

#include "convert/mail/TextHelpers.h"

QByteArray EncodeAnsi(const QString& text) {
    QByteArray bytes = ToAnsi(text);
    // Only a text that comes back whole is representable in the code page.
    if (FromAnsi(bytes) != text) return text.toUtf8();
    return bytes;
}

QString OneLine(const QString& text) {
    QString out = text;
    out.replace(QLatin1String("\r\n"), QLatin1String(" "));
    out.replace(QLatin1Char('\r'), QLatin1Char(' '));
    out.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return out;
}

int WriterFailure(const ConvertContext& context, const QString& logLine) {
    context.AddError();
    context.Log(logLine);
    return 0;
}

bool LineFile::Create() {
    return file_.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

void LineFile::Write(const QByteArray& bytes) {
    if (bytes.isEmpty()) return;
    if (file_.write(bytes) != bytes.size()) failed_ = true;
}

void LineFile::Line(const QByteArray& bytes) {
    Write(bytes);
    Write(QByteArrayLiteral("\r\n"));
}

void LineFile::WriteBase64(QIODevice& source) {
    // A multiple of 3 bytes, so the pieces encode to one continuous base64 text.
    constexpr qint64 kPiece = 3 * 64 * 1024;
    for (;;) {
        const QByteArray piece = source.read(kPiece);
        if (piece.isEmpty()) break;
        Write(piece.toBase64());
        if (piece.size() < kPiece) break;
    }
}

bool LineFile::Close() {
    if (file_.isOpen() && !file_.flush()) failed_ = true;
    file_.close();
    return !failed_;
}
