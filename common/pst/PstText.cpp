#include "common/pst/PstText.h"

#include <glib.h>

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>

namespace {
constexpr qint64 kMaxFile = qint64(1) << 30;

// The 32 characters Windows-1252 puts at 0x80-0x9F (0 where it has none).
constexpr char16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

QString FromCp1252(const QByteArray& b) {
    QString s;
    s.reserve(b.size());
    for (char c : b) {
        const auto u = static_cast<unsigned char>(c);
        const char16_t h = u >= 0x80 && u < 0xA0 ? kCp1252High[u - 0x80] : 0;
        s += QChar(h ? h : char16_t(u));
    }
    return s;
}
}  // namespace

bool PstReadFile(const QString& path, QByteArray& out, QString& why) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        why = f.errorString();
        return false;
    }
    if (f.size() > kMaxFile) {
        why = QStringLiteral("file too large");
        return false;
    }
    out = f.readAll();
    return true;
}

QString PstUtf8OrCp1252(const QByteArray& line) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString s = utf8.decode(line);
    return utf8.hasError() ? FromCp1252(line) : s;
}

QString PstDecodeCharset(const QByteArray& bytes, const QByteArray& charset) {
    const QByteArray cs = charset.trimmed().toLower();
    if (cs.isEmpty() || cs == "utf-8" || cs == "utf8" || cs == "us-ascii") return PstUtf8OrCp1252(bytes);
    if (cs == "iso-8859-1" || cs == "windows-1252" || cs == "cp1252" || cs == "latin1")
        return FromCp1252(bytes);
    gsize written = 0;
    gchar* out = g_convert(bytes.constData(), gssize(bytes.size()), "UTF-8", cs.constData(), nullptr,
                           &written, nullptr);
    if (!out) return PstUtf8OrCp1252(bytes);
    QString s = QString::fromUtf8(out, qsizetype(written));
    g_free(out);
    return s;
}

QString PstHtmlToText(const QString& html) {
    QString s = html;
    static const QRegularExpression dropped(
        QStringLiteral("<(script|style|head)[^>]*>.*?</\\1\\s*>"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression breaks(QStringLiteral("<(br|/p|/div|/tr|/li|/h[1-6])[^>]*>"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    s.remove(dropped);
    s.replace(breaks, QStringLiteral("\r\n"));
    s.remove(tags);
    s.replace(QLatin1String("&nbsp;"), QLatin1String(" "))
        .replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&quot;"), QLatin1String("\""))
        .replace(QLatin1String("&#39;"), QLatin1String("'"))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
    return s.trimmed();
}
