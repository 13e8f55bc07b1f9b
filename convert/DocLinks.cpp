#include "convert/DocLinks.h"

#include "convert/TextHelpers.h"

QString Hex8(std::uint32_t value)
{
    return QStringLiteral("%1").arg(value, 8, 16, QChar(u'0')).toUpper();
}

QString ReplicaText(std::uint32_t first, std::uint32_t second)
{
    return Hex8(second) + u':' + Hex8(first);
}

QString UnidText(std::uint32_t file1, std::uint32_t file2, std::uint32_t note1,
                 std::uint32_t note2)
{
    return QStringLiteral("OF") + Hex8(file2) + u':' + Hex8(file1) + QStringLiteral("-ON") +
           Hex8(note2) + u':' + Hex8(note1);
}

QByteArray NdlText(const QString &replica, const QString &view, const QString &note,
                   const QString &description)
{
    QByteArray text = "<NDL>\r\n";
    text += "<REPLICA " + ToAnsi(replica) + ">\r\n";
    text += "<VIEW " + ToAnsi(view) + ">\r\n";
    text += "<NOTE " + ToAnsi(note) + ">\r\n";
    text += "<REM>" + ToAnsi(description) + "</REM>\r\n";
    text += "</NDL>";
    return text;
}
