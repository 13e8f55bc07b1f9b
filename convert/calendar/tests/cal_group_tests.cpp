// The group TXT writer: five labelled UTF-16LE lines after FF FE, and its failure path.

#include "cal_test_support.h"
#include "convert/calendar/GroupText.h"

namespace {

QByteArray Utf16Le(const QString& text) {
    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    return bytes;
}

using GroupTextTest = WriterTest;

TEST_F(GroupTextTest, WritesFiveLabelledLines) {
    ContactFields full;
    full.ListName = QStringLiteral("Team Ö");
    full.ListDescription = QStringLiteral("Everyone in R&D");
    full.ListOwner = QStringLiteral("CN=Anna Berg/O=Acme");
    full.Members = QStringLiteral("CN=Anna Berg/O=Acme;CN=Bo Ek/O=Acme;bo@x.example");
    full.Comment = QStringLiteral("Weekly 😀");
    ContactFields bare;
    bare.ListName = QStringLiteral("Solo");

    const struct {
        const char* name;
        ContactFields fields;
        QString text;
    } cases[] = {
        {"every value, members kept in their Notes form", full,
         QStringLiteral("Group Name: Team Ö\r\nGroup Description: Everyone in R&D\r\n"
                        "Group Owner: CN=Anna Berg/O=Acme\r\n"
                        "Group Members: CN=Anna Berg/O=Acme;CN=Bo Ek/O=Acme;bo@x.example\r\n"
                        "Comments: Weekly 😀\r\n")},
        {"empty values keep their labels", bare,
         QStringLiteral("Group Name: Solo\r\nGroup Description: \r\nGroup Owner: \r\nGroup Members: "
                        "\r\nComments: \r\n")},
    };
    QString expectedLog;
    for (const auto& c : cases) {
        EXPECT_EQ(WriteGroupText(Path(QStringLiteral("1.txt")), c.fields, context_), 1) << c.name;
        EXPECT_EQ(Bytes(Path(QStringLiteral("1.txt"))), Utf16Le(c.text)) << c.name;
        expectedLog += QStringLiteral("Item Name:\t") + c.fields.ListName + QStringLiteral("\r\n");
    }
    EXPECT_EQ(Logged(), expectedLog);
}

TEST_F(GroupTextTest, FailuresCountAnErrorAndLogTheirLine) {
    ContactFields f;
    f.ListName = QStringLiteral("Team");
    EXPECT_EQ(WriteGroupText(BadPath(QStringLiteral("1.txt")), f, context_), 0);
    EXPECT_EQ(Logged(), QStringLiteral("ERROR:Invalid Path. Group Entry cannot be dump. \r\n"));
    ExpectErrorCounted(counters_, 0);

    if (QFile::exists(QStringLiteral("/dev/full"))) {
        EXPECT_EQ(WriteGroupText(QStringLiteral("/dev/full"), f, context_), 0);
        EXPECT_TRUE(Logged().endsWith(QStringLiteral("ERROR:Distribution list Entry is Not Dump \r\n")));
    }
}

}  // namespace
