#pragma once
// The run log of a test's hand-off folder as text, without its byte-order mark.

#include <QFile>
#include <QString>

inline QString ReadLogText(const QString& path, bool* hasMark = nullptr) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = f.readAll();
    const bool mark = bytes.startsWith("\xFF\xFE");
    if (hasMark) *hasMark = mark;
    const QByteArray body = mark ? bytes.mid(2) : bytes;
    return QString(reinterpret_cast<const QChar*>(body.constData()), body.size() / 2);
}
