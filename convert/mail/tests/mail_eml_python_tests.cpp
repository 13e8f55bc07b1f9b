// Every EML written here is read back by Python's email package (policy=email.policy.default),
// an independent MIME parser, which must find the same headers, bodies and attachment bytes.

#include "convert/mail/EmlWriter.h"
#include "convert/mail/FieldReader.h"

#include "mail_eml_support.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace {

struct Attachment {
    std::string name;
    QByteArray bytes;
    QString expectedName;  // as the parser must find it
};

struct Case {
    const char* what;
    MailFields fields;
    std::vector<Attachment> attachments;
    bool task = false;
};

MailFields Fields(const QString& from, const QString& to, const QString& subject, const QString& body,
                  bool html) {
    MailFields f;
    f.from = from;
    f.to = to;
    f.cc = to.isEmpty() ? QString() : QString::fromUtf8("Zoë Ång;Ünal Ökten");
    f.bcc = to.isEmpty() ? QString() : "hidden@example.org";
    f.subject = subject;
    f.dateText = "12/31/2019 23:59:58";
    f.body = body;
    f.bodyIsHtml = html ? 1 : 0;
    return f;
}

QByteArray Binary(int size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7919) >> 3);
    return bytes;
}

class MailEmlPythonTest : public EmlFixture {
  protected:
    QJsonArray Parse(const QStringList& files) {
        QProcess python;
        python.start("/usr/bin/python3", QStringList{SourceFile("mail_eml_check.py")} + files);
        EXPECT_TRUE(python.waitForFinished(60000));
        EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
        return QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    }
};

TEST_F(MailEmlPythonTest, ParserFindsWhatTheWriterWrote) {
    const QString longSubject = QString::fromUtf8("Überprüfung 日本語 😀 ").repeated(20);
    std::vector<Case> cases = {
        {"html body, non-ASCII everywhere",
         Fields(QString::fromUtf8("Ana Núñez"), QString::fromUtf8("bob@acme.com;Chloé Wu"),
                QString::fromUtf8("Re: Café ☕ \"quoted\""),
                QString::fromUtf8("<html><body><p>Grüße, Привет, 你好 😀</p></body></html>"), true),
         {{"report.pdf", Binary(1000), "report.pdf"},
          {"Ünïcødé näme.txt", "text\r\nlines\n", QString::fromUtf8("Ünïcødé näme.txt")}}},
        {"plain body with line ends, a long subject",
         Fields("a@b.c", "", longSubject, "first line\r\nsecond line\r\n\r\n-- \r\nsig", false),
         {}},
        {"nothing at all", MailFields{}, {}},
        {"body quoting a delimiter, awkward names",
         Fields("x@y.z", "p@q.r", "s",
                "--__=_Part_Boundary_001_000001.000001\r\n--\r\n=?utf-8?B?AA==?=", false),
         {{"a/b\\c:d*e?f<g>h|i\"j.bin", Binary(4096), "a b c d e f g h i j.bin"},
          {"empty.txt", QByteArray(), "empty.txt"},
          {std::string(300, 'n') + ".txt", Binary(57), QString(300, u'n') + ".txt"},
          {"same.txt", "one", "same.txt"},
          {"same.txt", "two", "same.txt"}}},
        {"task",
         Fields("t@t.t", "u@u.u", "Task", "<b>do it</b>", true),
         {{"plan.xls", Binary(77), "plan.xls"}},
         true},
    };

    DxlBuilder b;
    std::vector<NOTEID> ids;
    for (Case& c : cases) {
        DxlDocumentBuilder& d = b.AddDocument(c.task ? "Task" : "Memo").Text("Subject", "s");
        for (const Attachment& a : c.attachments) {
            d.Attach(a.name, a.bytes);
            c.fields.attachmentNames += QString::fromStdString(a.name) + ", ";
        }
        ids.push_back(d.Id());
    }
    Open(b);

    QStringList files;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const QString path = dir.filePath(QString::number(i) + ".eml");
        const Case& c = cases[i];
        int written = 0;
        if (c.task) {
            TaskFields t;
            t.from = c.fields.from;
            t.to = c.fields.to;
            t.cc = c.fields.cc;
            t.bcc = c.fields.bcc;
            t.subject = c.fields.subject;
            t.dateText = c.fields.dateText;
            t.body = c.fields.body;
            t.bodyIsHtml = c.fields.bodyIsHtml;
            t.attachmentNames = c.fields.attachmentNames;
            written = WriteTaskEml(Context(), ids[i], t, path);
        } else {
            written = WriteMailEml(Context(), ids[i], c.fields, path);
        }
        ASSERT_EQ(written, 1) << c.what;
        files << path;
    }

    const QJsonArray parsed = Parse(files);
    ASSERT_EQ(parsed.size(), static_cast<qsizetype>(cases.size()));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.what);
        const QJsonObject message = parsed[i].toObject();
        EXPECT_TRUE(message["defects"].toArray().isEmpty())
            << QJsonDocument(message["defects"].toArray()).toJson().toStdString();
        EXPECT_EQ(message["contentType"].toString(), "multipart/mixed");
        // Address fields carry one encoded word over the whole list, which a strict parser
        // reads as a display name without an address: the text survives, and nothing else
        // may be reported.
        const QJsonObject headerDefects = message["headerDefects"].toObject();
        for (const QString& name : headerDefects.keys()) {
            EXPECT_TRUE(name == "From" || name == "To" || name == "CC" || name == "BCC")
                << name.toStdString();
            for (const QJsonValue& d : headerDefects[name].toArray()) {
                EXPECT_TRUE(d.toString() == "InvalidHeaderDefect" ||
                            d.toString() == "NonASCIILocalPartDefect")
                    << d.toString().toStdString();
            }
        }

        const QJsonObject headers = message["headers"].toObject();
        auto header = [&](const char* name) { return headers[name].toString(); };
        EXPECT_EQ(header("From"), c.fields.from);
        EXPECT_EQ(header("To"), c.fields.to);
        EXPECT_EQ(header("CC"), c.fields.cc);
        EXPECT_EQ(header("BCC"), c.fields.bcc);
        EXPECT_EQ(header("Subject"), c.fields.subject);
        EXPECT_EQ(header("Date"), c.fields.dateText.isEmpty() ? "" : "2019-12-31T23:59:58+00:00");

        const QJsonArray parts = message["parts"].toArray();
        ASSERT_EQ(parts.size(), static_cast<qsizetype>(c.attachments.size() + 1));
        const QJsonObject body = parts[0].toObject();
        if (c.fields.body.isEmpty()) {
            EXPECT_EQ(body["payload"].toString(), "");
        } else {
            EXPECT_EQ(body["contentType"].toString(), c.fields.bodyIsHtml ? "text/html" : "text/plain");
            EXPECT_EQ(body["charset"].toString(), "utf-8");
            EXPECT_EQ(QByteArray::fromBase64(body["payload"].toString().toLatin1()), c.fields.body.toUtf8());
        }
        for (std::size_t a = 0; a < c.attachments.size(); ++a) {
            const QJsonObject part = parts[static_cast<qsizetype>(a + 1)].toObject();
            EXPECT_EQ(part["contentType"].toString(), "application/octet-stream");
            EXPECT_EQ(part["filename"].toString(), c.attachments[a].expectedName);
            EXPECT_EQ(QByteArray::fromBase64(part["payload"].toString().toLatin1()), c.attachments[a].bytes)
                << c.attachments[a].name;
        }
    }
}

// The unit tests hold the writer's output byte for byte to these files, so parsing them covers
// every EML those tests write.
TEST_F(MailEmlPythonTest, GoldenFilesParse) {
    struct GoldenCase {
        const char* file;
        qsizetype parts;
        QStringList names;
    };
    const GoldenCase goldens[] = {{"mail_full.eml", 4, {"", "1.ndl", "report.txt", "a b c.txt"}},
                                  {"mail_empty.eml", 1, {""}},
                                  {"task_plain.eml", 1, {""}}};
    QStringList files;
    for (const GoldenCase& g : goldens) {
        QByteArray eml = Golden(g.file);
        eml.replace("@BOUNDARY@", "__=_Part_Boundary_003_004567.012345");
        QFile out(dir.filePath(g.file));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(eml);
        files << out.fileName();
    }
    const QJsonArray parsed = Parse(files);
    ASSERT_EQ(parsed.size(), 3);
    for (qsizetype i = 0; i < 3; ++i) {
        SCOPED_TRACE(goldens[i].file);
        const QJsonObject message = parsed[i].toObject();
        EXPECT_TRUE(message["defects"].toArray().isEmpty());
        const QJsonArray parts = message["parts"].toArray();
        ASSERT_EQ(parts.size(), goldens[i].parts);
        for (qsizetype p = 0; p < parts.size(); ++p)
            EXPECT_EQ(parts[p].toObject()["filename"].toString(), goldens[i].names[p]);
    }
    EXPECT_EQ(parsed[0].toObject()["headers"].toObject()["Subject"].toString(),
              QString::fromUtf8("Café: Plan/Q3?"));
    EXPECT_EQ(parsed[0].toObject()["parts"].toArray()[0].toObject()["text"].toString(),
              QString::fromUtf8("<p>Grüße</p>"));
    EXPECT_EQ(parsed[2].toObject()["parts"].toArray()[0].toObject()["text"].toString(),
              "line one\r\nline two");
}

TEST_F(MailEmlPythonTest, ReadThenWrittenDocumentWithLinks) {
    DxlBuilder b;
    const NOTEID id =
        b.AddDocument("Memo")
            .Text("Subject", "Weekly")
            .Names("From", {"CN=Ann Lee/O=Acme"})
            .Text("INetFrom", "ann@acme.com")
            .Names("SendTo", {"CN=Bob Jones/O=Acme"})
            .Date("PostedDate", "20180703T090506,00+00")
            .RichText("Body",
                      "<par>Hello <b>Bob</b> <doclink database='85257A6D004C2DC1' "
                      "view='0123456789ABCDEF0011223344556677' "
                      "document='AABBCCDDEEFF00112233445566778899' description='Budget'/></par>")
            .Text("$Links", "1")
            .Attach("notes.txt", "n")
            .Id();
    Open(b);
    options.saveDocLinks = 1;
    const MailFields f = ReadMailFields(Context(), id);
    ASSERT_EQ(WriteMailEml(Context(), id, f, EmlPath()), 1);
    EXPECT_EQ(LogText(),
              "Item Name:\tann@acme.com Weekly\r\nLink Documents :\t1.ndl,\r\n"
              "Attachments:\tnotes.txt,\r\n");

    const QJsonObject message = Parse({EmlPath()})[0].toObject();
    EXPECT_TRUE(message["defects"].toArray().isEmpty());
    EXPECT_EQ(message["headers"].toObject()["From"].toString(), "ann@acme.com");
    EXPECT_EQ(message["headers"].toObject()["To"].toString(), "Bob Jones");
    EXPECT_EQ(message["headers"].toObject()["Date"].toString(), "2018-07-03T09:05:06+00:00");
    const QJsonArray parts = message["parts"].toArray();
    ASSERT_EQ(parts.size(), 3);
    EXPECT_EQ(parts[0].toObject()["contentType"].toString(), "text/html");
    EXPECT_TRUE(parts[0].toObject()["text"].toString().contains("Hello Bob"))
        << parts[0].toObject()["text"].toString().toStdString();
    EXPECT_EQ(parts[1].toObject()["filename"].toString(), "1.ndl");
    EXPECT_TRUE(QByteArray::fromBase64(parts[1].toObject()["payload"].toString().toLatin1())
                    .startsWith("<NDL>\r\n<REPLICA 85257A6D:004C2DC1>\r\n"));
    EXPECT_EQ(parts[2].toObject()["filename"].toString(), "notes.txt");
}

TEST_F(MailEmlPythonTest, OversizedAttachmentKeepsItsPartButIsReportedAsNotSaved) {
    DxlBuilder b;
    const NOTEID id = b.AddDocument("Memo")
                          .Text("Subject", "s")
                          .Attach("big.bin", QByteArray(31457280, 'b'))
                          .Attach("empty.txt", QByteArray())
                          .Id();
    Open(b);
    MailFields f;
    f.subject = "s";
    f.attachmentNames = "big.bin, empty.txt, ";
    ASSERT_EQ(WriteMailEml(Context(), id, f, EmlPath()), 1);
    const QList<EmlPart> parts = AttachmentParts(ReadEml());
    ASSERT_EQ(parts.size(), 2);
    EXPECT_EQ(parts[0].name, "big.bin");
    EXPECT_TRUE(parts[0].content.isEmpty());
    EXPECT_EQ(LogText(), "Item Name:\ts\r\nAttachments:\tERROR: big.bin is not dump.\r\nempty.txt,\r\n");
    EXPECT_EQ(counts.errors, 1u);
}

}  // namespace
