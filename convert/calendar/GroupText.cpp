#include "convert/calendar/GroupText.h"

#include "convert/mail/ConvertContext.h"

int WriteGroupText(const QString& txtPath, const ContactFields& f, const ConvertContext& context) {
    LineFile txt(txtPath);
    if (!txt.Create())
        return WriterFailure(context, QStringLiteral("ERROR:Invalid Path. Group Entry cannot be dump. \r\n"));
    return RunWriterSteps(
        context, txt, QStringLiteral("ERROR:Distribution list Entry is Not Dump \r\n"), [&] {
            const QString text = QStringLiteral("Group Name: ") + f.ListName + QStringLiteral("\r\n") +
                                 QStringLiteral("Group Description: ") + f.ListDescription +
                                 QStringLiteral("\r\n") + QStringLiteral("Group Owner: ") + f.ListOwner +
                                 QStringLiteral("\r\n") + QStringLiteral("Group Members: ") + f.Members +
                                 QStringLiteral("\r\n") + QStringLiteral("Comments: ") + f.Comment +
                                 QStringLiteral("\r\n");
            QByteArray bytes("\xFF\xFE", 2);
            for (const QChar c : text) {
                bytes.append(static_cast<char>(c.unicode() & 0xFF));
                bytes.append(static_cast<char>(c.unicode() >> 8));
            }
            txt.Write(bytes);
            if (!txt.Close()) return false;
            context.Log(QStringLiteral("Item Name:\t") + f.ListName + QStringLiteral("\r\n"));
            return true;
        });
}
