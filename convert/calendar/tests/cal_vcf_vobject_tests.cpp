// python3-vobject, an independent vCard reader, finds the people and fields the VCF writer
// wrote.

#include "cal_sample_support.h"
#include "cal_vcf_samples.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

namespace {

QJsonArray ReadWithVobject(const QStringList& paths) {
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 QStringList{QStringLiteral(CAL_VCF_READ_SCRIPT)} + paths);
    EXPECT_TRUE(python.waitForFinished(30000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().constData();
    return QJsonDocument::fromJson(python.readAllStandardOutput()).array();
}

// The values of every property of that name, in file order.
QJsonArray Values(const QJsonArray& card, const QString& name) {
    QJsonArray values;
    for (const QJsonValue& line : card) {
        if (line[0].toString() == name) values.append(line[1]);
    }
    return values;
}

QJsonArray Strings(std::initializer_list<QString> texts) {
    QJsonArray out;
    for (const QString& t : texts) out.append(t);
    return out;
}

TEST_F(VcfWriterTest, VobjectReadsThePeopleBack) {
    ContactFields withPhoto = FullContact();
    withPhoto.AttachmentNames = QStringLiteral("ContactPhoto, ");
    ContactFields nameless;
    nameless.Email1 = QStringLiteral("only@x.example");
    ContactFields cyrillic;
    cyrillic.FirstName = QStringLiteral("Иван");
    cyrillic.LastName = QStringLiteral("Петров");
    cyrillic.HomePhone = QStringLiteral("+7 495 000");
    Write(QStringLiteral("a.vcf"), withPhoto, PhotoStep());
    Write(QStringLiteral("b.vcf"), nameless);
    Write(QStringLiteral("c.vcf"), cyrillic);
    ContactFields injected;
    injected.FirstName = QStringLiteral("Eve\r\nEND:VCARD");
    injected.Comment = QStringLiteral("x\r\nEND:VCARD");
    Write(QStringLiteral("d.vcf"), injected);

    const QJsonArray cards = ReadWithVobject({Path(QStringLiteral("a.vcf")), Path(QStringLiteral("b.vcf")),
                                              Path(QStringLiteral("c.vcf")), Path(QStringLiteral("d.vcf"))});
    ASSERT_EQ(cards.size(), 4);
    const QJsonArray full = cards[0].toArray();
    EXPECT_EQ(Values(full, QStringLiteral("N")),
              QJsonArray{Strings({QStringLiteral("Berg"), QStringLiteral("Anna"), QStringLiteral("M"),
                                  QStringLiteral("Dr"), QStringLiteral("Jr")})});
    EXPECT_EQ(Values(full, QStringLiteral("FN")), Strings({QStringLiteral("Dr Anna M Berg Jr")}));
    EXPECT_EQ(Values(full, QStringLiteral("EMAIL")),
              Strings({QStringLiteral("anna@acme.example"), QStringLiteral("second@x.example"),
                       QStringLiteral("fourth@x.example"), QStringLiteral("fifth@x.example"),
                       QStringLiteral("third@x.example")}));
    const QJsonArray addresses = Values(full, QStringLiteral("ADR"));
    ASSERT_EQ(addresses.size(), 3);
    EXPECT_EQ(addresses[0].toArray()[2].toString(), QStringLiteral("Storgatan 1\r\nLgh 1102"));
    EXPECT_EQ(addresses[0].toArray()[3].toString(), QStringLiteral("Malmö"));
    EXPECT_EQ(addresses[1].toArray()[1].toString(), QStringLiteral("Building 7"));
    EXPECT_EQ(addresses[1].toArray()[2].toString(), QStringLiteral("Industrivägen 3"));
    EXPECT_EQ(addresses[2].toArray()[3].toString(), QStringLiteral("Oslo"));
    EXPECT_EQ(Values(full, QStringLiteral("TEL")).size(), 11);
    EXPECT_EQ(Values(full, QStringLiteral("NOTE")),
              Strings({QStringLiteral("Met at the fair.\r\nLikes tea = yes")}));
    EXPECT_EQ(Values(full, QStringLiteral("BDAY")), Strings({QStringLiteral("19800703")}));
    EXPECT_EQ(Values(full, QStringLiteral("X-MS-ANNIVERSARY")), Strings({QStringLiteral("2005615")}));
    EXPECT_EQ(Values(full, QStringLiteral("PHOTO")), Strings({QString::fromLatin1(kPhoto.toBase64())}));

    const QJsonArray bare = cards[1].toArray();
    EXPECT_TRUE(Values(bare, QStringLiteral("N")).isEmpty());
    EXPECT_EQ(Values(bare, QStringLiteral("ADR")).size(), 3);
    EXPECT_EQ(Values(cards[2].toArray(), QStringLiteral("FN")), Strings({QStringLiteral("Иван Петров ")}));
    // Text from the document never ends the card early.
    EXPECT_EQ(Values(cards[3].toArray(), QStringLiteral("FN")), Strings({QStringLiteral("Eve END:VCARD ")}));
    EXPECT_EQ(Values(cards[3].toArray(), QStringLiteral("NOTE")),
              Strings({QStringLiteral("x\r\nEND:VCARD")}));
}

// Every contact of the sample database reads back with its name and its e-mail addresses.
TEST_F(SampleTest, VobjectReadsEverySampleContact) {
    const ConvertedSamples samples = ConvertAll();
    QStringList paths;
    for (const auto& contact : samples.contacts) paths.append(contact.second);
    const QJsonArray cards = ReadWithVobject(paths);
    ASSERT_EQ(cards.size(), qsizetype(samples.contacts.size()));
    for (qsizetype i = 0; i < cards.size(); ++i) {
        const ContactFields& f = samples.contacts[std::size_t(i)].first;
        const QJsonArray card = cards[i].toArray();
        EXPECT_EQ(Values(card, QStringLiteral("N")).size(),
                  f.FirstName.isEmpty() && f.LastName.isEmpty() ? 0 : 1);
        QJsonArray emails;
        for (const QString* email : {&f.Email1, &f.Email2, &f.Email4, &f.Email5, &f.Email3}) {
            if (!email->isEmpty()) emails.append(OneLine(*email));
        }
        EXPECT_EQ(Values(card, QStringLiteral("EMAIL")), emails) << paths[i].toStdString();
        EXPECT_EQ(Values(card, QStringLiteral("ADR")).size(), 3);
        if (!f.Comment.isEmpty()) {
            QString note = f.Comment;
            note.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\n', QStringLiteral("\r\n"));
            EXPECT_EQ(Values(card, QStringLiteral("NOTE")), QJsonArray{note}) << paths[i].toStdString();
        }
    }
}

}  // namespace
