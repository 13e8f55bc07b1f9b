#include "nsfadd/core/PassCounts.h"

#include <QFile>
#include <QRegularExpression>

#include <algorithm>

PassCounts ParsePassCounts(const QString& text, bool folderPass) {
    PassCounts counts;
    if (!folderPass) {
        counts.found = std::uint64_t(text.count(QStringLiteral("\r\nItem ID:\t")));
        counts.converted = std::uint64_t(text.count(QStringLiteral("save app")));
        counts.errors = std::uint64_t(text.count(QStringLiteral("ERROR:")));
        counts.warnings = std::uint64_t(text.count(QStringLiteral("arning:Document cannot be opened")));
        return counts;
    }
    static const QRegularExpression kFound(QStringLiteral("(\\d+)\\t:items found\\r\\n"));
    static const QRegularExpression kDumped(QStringLiteral("(\\d+)\\t:items Dump\\r\\n"));
    static const QRegularExpression kWarnings(QStringLiteral("Warnings:\\t (\\d+)"));
    static const QRegularExpression kErrors(QStringLiteral("Errors:\\t(\\d+)"));
    const auto each = [&](const QRegularExpression& re, auto&& use) {
        for (auto it = re.globalMatch(text); it.hasNext();) use(it.next().captured(1).toULongLong());
    };
    each(kFound, [&](std::uint64_t n) { counts.found = std::max(counts.found, n); });
    each(kDumped, [&](std::uint64_t n) { counts.converted += n; });
    each(kWarnings, [&](std::uint64_t n) { counts.warnings += n; });
    each(kErrors, [&](std::uint64_t n) { counts.errors += n; });
    return counts;
}

PassCounts ReadPassCounts(const QString& logPath, qint64 fromOffset, bool folderPass) {
    QFile file(logPath);
    if (!file.open(QIODevice::ReadOnly)) return {};
    // The log is UTF-16: start on a whole code unit.
    fromOffset = std::max<qint64>(fromOffset, 2) & ~qint64(1);
    if (!file.seek(fromOffset)) return {};
    const QByteArray bytes = file.readAll();
    const QString text(reinterpret_cast<const QChar*>(bytes.constData()), bytes.size() / 2);
    return ParsePassCounts(text, folderPass);
}
