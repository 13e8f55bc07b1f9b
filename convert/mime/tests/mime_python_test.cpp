// Every sample message is read back by an independent parser, Python's email package, which
// must find the same header fields, leaf parts, file names and content bytes, with no defects.
#include "convert/mime/FieldCode.h"
#include "convert/mime/Mime.h"
#include "mime_samples.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace {

struct Leaf {
    QString type;
    QString filename;  // empty: none
    QByteArray payload;
};

QString MediaType(const CMimeBody& part) {
    const CMimeHeaderField* f = part.FindField(QStringLiteral("Content-Type"));
    if (!f) return QStringLiteral("text/plain");
    return f->value.section(u';', 0, 0).trimmed().toLower();
}

void CollectLeaves(const CMimeBody& part, QList<Leaf>& out) {
    if (!part.Parts().empty()) {
        for (const auto& child : part.Parts()) CollectLeaves(*child, out);
        return;
    }
    const QString name = part.Parameter(QStringLiteral("Content-Type"), QStringLiteral("name"));
    out.append(
        {MediaType(part), name.isEmpty() ? QString() : DecodeFieldText(name.toUtf8()), part.Content()});
}

}  // namespace

TEST(MimePython, IndependentParserAgrees) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::vector<mime_samples::Sample> samples = mime_samples::All();
    QStringList files;
    for (size_t i = 0; i < samples.size(); ++i) {
        const std::optional<QByteArray> bytes = samples[i].message->Serialize();
        ASSERT_TRUE(bytes.has_value()) << samples[i].name.toStdString();
        QFile file(dir.filePath(QStringLiteral("sample%1.eml").arg(i)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(*bytes), bytes->size());
        files.append(file.fileName());
    }
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral(MIME_PARSE_SCRIPT)} + files);
    ASSERT_TRUE(python.waitForFinished(60000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QJsonArray results = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    ASSERT_EQ(results.size(), static_cast<qsizetype>(samples.size()));

    for (size_t i = 0; i < samples.size(); ++i) {
        const mime_samples::Sample& sample = samples[i];
        SCOPED_TRACE(sample.name.toStdString());
        const QJsonObject result = results[static_cast<qsizetype>(i)].toObject();
        for (const QJsonValue& defect : result[QStringLiteral("defects")].toArray()) {
            // The EML layout puts the attachment name's encoded word in double quotes; the
            // parser notes that and still decodes the name, which is compared below.
            if (defect.toString() ==
                    QStringLiteral("header Content-Type: encoded word inside quoted string") ||
                defect.toString() ==
                    QStringLiteral("header Content-Type: missing trailing whitespace after encoded-word"))
                continue;
            ADD_FAILURE() << "defect: " << defect.toString().toStdString();
        }

        QStringList names;
        for (const CMimeHeaderField& field : sample.message->Fields()) names.append(field.name);
        QStringList parsedNames;
        for (const QJsonValue& name : result[QStringLiteral("header_names")].toArray())
            parsedNames.append(name.toString());
        EXPECT_EQ(parsedNames, names);
        const QJsonObject headers = result[QStringLiteral("headers")].toObject();
        for (const auto& [name, value] : sample.headers)
            EXPECT_EQ(headers[name].toString().toStdString(), value.toStdString()) << name.toStdString();

        QList<Leaf> expected;
        CollectLeaves(*sample.message, expected);
        const QJsonArray leaves = result[QStringLiteral("leaves")].toArray();
        ASSERT_EQ(leaves.size(), expected.size());
        for (qsizetype k = 0; k < leaves.size(); ++k) {
            const QJsonObject leaf = leaves[k].toObject();
            EXPECT_EQ(leaf[QStringLiteral("type")].toString().toStdString(), expected[k].type.toStdString())
                << "leaf " << k;
            EXPECT_EQ(leaf[QStringLiteral("filename")].toString().toStdString(),
                      expected[k].filename.toStdString())
                << "leaf " << k;
            const QByteArray payload =
                QByteArray::fromBase64(leaf[QStringLiteral("payload")].toString().toLatin1());
            EXPECT_EQ(payload.size(), expected[k].payload.size()) << "leaf " << k;
            EXPECT_TRUE(payload == expected[k].payload) << "leaf " << k << " content differs";
        }
    }
}
