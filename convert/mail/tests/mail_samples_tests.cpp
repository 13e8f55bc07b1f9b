// Every mail and task of the sample database data/mail.dxl, read and written as EML, and each
// file parsed by Python's email package.

#include "convert/mail/EmlWriter.h"
#include "convert/mail/FieldReader.h"
#include "convert/mail/TextHelpers.h"

#include "mail_eml_support.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace {

using MailSamplesTest = EmlFixture;

TEST_F(MailSamplesTest, EveryMailAndTaskOfTheSampleDatabase) {
    ASSERT_EQ(session.GetDatabase(MAIL_TEST_SOURCE_DIR "/data/mail.dxl", &database), LNNOERROR);
    ASSERT_EQ(database.Open(), LNNOERROR);
    options.saveDocLinks = 1;
    options.removeEncryption = 1;

    struct Written {
        QString path;
        QString subject;
        QStringList names;  // attachment part names in order (links, then files)
    };
    std::vector<Written> written;
    std::vector<NOTEID> ids;
    ASSERT_EQ(database.GetDocumentIDs(&ids), LNNOERROR);
    for (NOTEID id : ids) {
        LNDocument document;
        if (database.GetDocument(id, &document) != LNNOERROR || document.Open() != LNNOERROR) continue;
        LNString form;
        if (LNCatchStatus([&] { form = document.GetFormName(); }) != LNNOERROR) continue;
        document.Close();
        const bool task = form == "Task";
        if (!task && form != "Memo" && form != "Reply" && form != "NonDelivery Report" &&
            form != "Return Receipt")
            continue;
        Written w{dir.filePath(QString::number(id) + ".eml"), {}, {}};
        const qsizetype logBefore = LogText().size();
        LNSTATUS thrown = 0;
        int result = 0;
        if (task) {
            const TaskFields t = ReadTaskFields(Context(), id, &thrown);
            w.subject = t.subject;
            result = WriteTaskEml(Context(), id, t, w.path);
        } else {
            const MailFields m = ReadMailFields(Context(), id, &thrown);
            w.subject = m.subject;
            result = WriteMailEml(Context(), id, m, w.path);
        }
        EXPECT_EQ(thrown, 0u) << id;
        ASSERT_EQ(result, 1) << id;
        // The names the log lists are the parts the message must carry.
        const QString lines = LogText().mid(logBefore);
        for (const QString& line : lines.split("\r\n")) {
            const qsizetype tab = line.indexOf(u'\t');
            if (!line.startsWith("Link Documents :\t") && !line.startsWith("Attachments:\t")) continue;
            for (const QString& name : line.mid(tab + 1).split(u',', Qt::SkipEmptyParts)) w.names << name;
        }
        written.push_back(w);
    }
    ASSERT_GE(written.size(), 5u) << "the sample database holds mails and tasks";
    EXPECT_EQ(counts.errors, 0u) << LogText().toStdString();

    QStringList files;
    for (const Written& w : written) files << w.path;
    QProcess python;
    python.start("/usr/bin/python3", QStringList{SourceFile("mail_eml_check.py")} + files);
    ASSERT_TRUE(python.waitForFinished(60000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QJsonArray parsed = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    ASSERT_EQ(parsed.size(), static_cast<qsizetype>(written.size()));
    for (std::size_t i = 0; i < written.size(); ++i) {
        SCOPED_TRACE(written[i].path.toStdString());
        const QJsonObject message = parsed[static_cast<qsizetype>(i)].toObject();
        EXPECT_TRUE(message["defects"].toArray().isEmpty());
        EXPECT_EQ(message["headers"].toObject()["Subject"].toString(), written[i].subject);
        const QJsonArray parts = message["parts"].toArray();
        ASSERT_EQ(parts.size(), written[i].names.size() + 1);
        for (qsizetype p = 0; p < written[i].names.size(); ++p)
            EXPECT_EQ(parts[p + 1].toObject()["filename"].toString(), written[i].names[p]);
    }
}

}  // namespace
