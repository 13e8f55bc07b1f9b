// Header-field codecs: the charset paths, delimiters and quote states, and the decoder.
#include "convert/mime/testsupport/MimeFuzz.h"
#include "convert/mime/FieldCode.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QList>

#include <memory>
#include <random>

namespace {

QByteArray EncodeField(const QString& fieldName, const QByteArray& value, const QByteArray& charset) {
    std::unique_ptr<CFieldCodeBase> codec = FieldCodecRegistry::Instance().Create(fieldName);
    codec->SetInput(value);
    codec->SetCharset(charset);
    const QByteArray out = codec->Encode();
    EXPECT_EQ(out.size(), codec->EncodedSize());
    return out;
}

// Restores the registry's settings when a test changes them.
struct RegistrySettings {
    ~RegistrySettings() {
        FieldCodecRegistry::Instance().SetDefaultCharset({});
        FieldCodecRegistry::Instance().SetAutoFolding(false);
    }
};

}  // namespace

TEST(MimeFieldCode, ClassesByFieldName) {
    auto& registry = FieldCodecRegistry::Instance();
    const struct {
        const char* field;
        std::uint8_t quoteState;
        const char* delimiters;
    } cases[] = {
        {"subject", 255, ""},     {"Comments", 255, ""},           {"Content-Description", 255, ""},
        {"FROM", 0, ",:"},        {"Resent-Reply-To", 0, ",:"},    {"bcc", 0, ",:"},
        {"content-type", 0, ";"}, {"Content-Disposition", 0, ";"}, {"X-Mailer", 0, ""},
        {"Date", 0, ""},
    };
    for (const auto& c : cases) {
        auto codec = registry.Create(QString::fromLatin1(c.field));
        EXPECT_EQ(codec->InitialQuoteState(), c.quoteState) << c.field;
        for (const char b : QByteArrayView(",:;\" ("))
            EXPECT_EQ(codec->IsDelimiter(b), std::strchr(c.delimiters, b) != nullptr) << c.field << " " << b;
    }
}

TEST(MimeFieldCode, ValuesWithoutCharsetAreCopied) {
    for (const char* field : {"Subject", "From", "Content-Type", "X-Other"}) {
        const QByteArray value = "Caf\xC3\xA9; \"a, b\" <x@y>,\tz";
        EXPECT_EQ(EncodeField(QString::fromLatin1(field), value, {}), value) << field;
    }
}

TEST(MimeFieldCode, CharsetPaths) {
    const struct {
        const char* field;
        QByteArray value;
        QByteArray encoded;
    } cases[] = {
        // Unstructured: one run, 'B' for a mostly 8-bit value, 'Q' for a mostly ASCII one.
        {"Subject",
         "Gr\xC3\xBC\xC3\x9F"
         "e",
         "=?utf-8?B?R3LDvMOfZQ==?="},
        {"Subject", "Caf\xC3\xA9 au lait", "=?utf-8?Q?Caf=C3=A9=20au=20lait?="},
        {"Subject", "plain ASCII, kept", "plain ASCII, kept"},
        // Address lists: the quoted phrase becomes the words, a fold follows each ','.
        {"To", "\"M\xC3\xBCller, Hans\" <hm@example.com>, bob@example.com",
         "=?utf-8?Q?M=C3=BCller=2C=20Hans?= <hm@example.com>,\r\n\tbob@example.com"},
        // Two 8-bit words with a space between stay one text.
        {"From",
         "Jos\xC3\xA9 Mar\xC3\xAD"
         "a <j@x>",
         "=?utf-8?B?Sm9zw6kgTWFyw61h?= <j@x>"},
        {"Cc", "a@b (J\xC3\xB6rg)", "a@b (=?utf-8?B?SsO2cmc=?=)"},
        {"Cc", "list: a@b, c@d;", "list:\r\n\ta@b,\r\n\tc@d;"},
        {"Bcc", "a@b,", "a@b,"},
        // Parameters: quotes stay around the words, a fold follows each ';'.
        {"Content-Disposition",
         "attachment; filename=\"Gr\xC3\xBC\xC3\x9F"
         "e.pdf\"",
         "attachment;\r\n\tfilename=\"=?utf-8?B?R3LDvMOfZS5wZGY=?=\""},
        {"X-Note", "\xC3\x84rger", "=?utf-8?B?w4RyZ2Vy?="},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EncodeField(QString::fromLatin1(c.field), c.value, "utf-8"), c.encoded)
            << c.field << ": " << c.value.toStdString();
}

TEST(MimeFieldCode, DefaultCharsetAndFolding) {
    RegistrySettings restore;
    auto& registry = FieldCodecRegistry::Instance();
    registry.SetDefaultCharset("utf-8");
    EXPECT_EQ(EncodeField("Subject", "\xC3\x84rger", {}), "=?utf-8?B?w4RyZ2Vy?=");
    registry.SetDefaultCharset({});
    registry.SetAutoFolding(true);
    QByteArray words;
    for (int i = 0; i < 40; ++i) words += "word" + QByteArray::number(i) + " ";
    const QByteArray folded = EncodeField("X-Long", words, {});
    for (const QByteArray& line : folded.split('\n')) EXPECT_LE(line.size(), 77) << line.toStdString();
    EXPECT_EQ(QByteArray(folded).replace("\r\n", ""), words) << "unfolding must give the value back";
}

TEST(MimeFieldCode, EncodedValuesDecodeToTheText) {
    std::mt19937 rng(5);
    const char16_t pieces[] = {u'a',      u'Z', u' ', u'\u00e9', u'\u00fc',
                               u'\u4e2d', u'x', u' ', u'\u0416', u'q'};
    for (int round = 0; round < 300; ++round) {
        QString text;
        const int n = 1 + static_cast<int>(rng() % 120);
        for (int i = 0; i < n; ++i) text += QChar(pieces[rng() % std::size(pieces)]);
        text = text.trimmed();
        if (text.isEmpty()) continue;
        for (const char* field : {"Subject", "To"}) {
            const QByteArray encoded = EncodeField(QString::fromLatin1(field), text.toUtf8(), "UTF-8");
            QString decoded = DecodeFieldText(encoded);
            EXPECT_EQ(decoded, text) << field << ": " << encoded.toStdString();
        }
    }
}

TEST(MimeFieldDecoder, WordsAndMalformedInput) {
    const struct {
        QByteArray in;
        QString text;
    } cases[] = {
        {"=?utf-8?B?R3LDvMOfZQ==?=", QStringLiteral("Grüße")},
        {"=?ISO-8859-1?q?caf=E9_au_lait?=", QStringLiteral("café au lait")},
        {"=?utf-8?Q?a?= \r\n =?utf-8?Q?b?=", QStringLiteral("ab")},
        {"=?utf-8?Q?a?= x =?utf-8?Q?b?=", QStringLiteral("a x b")},
        {"=?utf-8?B?ww==?= =?UTF-8?B?qQ==?=", QStringLiteral("é")},
        {"=?utf-8*en?Q?hi?=", QStringLiteral("hi")},
        {"no words here", QStringLiteral("no words here")},
        {"=?utf-8?X?abc?=", QStringLiteral("=?utf-8?X?abc?=")},
        {"=?utf-8?B?abc", QStringLiteral("=?utf-8?B?abc")},
        {"=??B?QQ==?=", QStringLiteral("=??B?QQ==?=")},
        {"=?utf-8?Q?a=ZZ?=", QStringLiteral("=?utf-8?Q?a=ZZ?=")},
        {"=?utf-8?Q?a=4?=", QStringLiteral("=?utf-8?Q?a=4?=")},
        {"=?utf-8?B?!!!?=", QStringLiteral("=?utf-8?B?!!!?=")},
        {"=?utf-8?Q?a b?=", QStringLiteral("=?utf-8?Q?a b?=")},
        {"=?=?utf-8?Q?ok?=", QStringLiteral("=?ok")},
        {"=?", QStringLiteral("=?")},
        {"?=", QStringLiteral("?=")},
        {"", QString()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeFieldText(c.in), c.text) << c.in.toStdString();
        CFieldCodeBase codec;
        codec.SetInput(c.in);
        EXPECT_LE(codec.Decode().size(), c.in.size());
    }
    CFieldCodeBase codec;
    codec.SetInput("=?iso-8859-1?Q?=E9?= =?utf-8?B?w6k=?=");
    EXPECT_EQ(codec.Decode(), "\xE9\xC3\xA9");
}

TEST(MimeFieldDecoder, PathologicalInputStaysLinear) {
    // Each of these makes a naive decoder rescan to the end from every "=?".
    const QByteArray units[] = {"=?", "=?a?B?", "=?a?Q?=", "=?a?B?!!", "?=?"};
    QElapsedTimer timer;
    timer.start();
    for (const QByteArray& unit : units) {
        QByteArray in = unit.repeated(200000 / unit.size());
        in += "?=";
        CFieldCodeBase codec;
        codec.SetInput(in);
        EXPECT_LE(codec.Decode().size(), in.size());
        (void)DecodeFieldText(in);
    }
    // Quadratic behaviour would take minutes here; linear takes milliseconds.
    EXPECT_LT(timer.elapsed(), 20000);
}

TEST(MimeFieldDecoder, SeededMutationFuzz) {
    const QByteArray seeds[] = {
        "=?utf-8?B?R3LDvMOfZQ==?= <a@b>, =?iso-8859-1?Q?caf=E9?=",
        "\"M\xC3\xBCller, Hans\" <hm@example.com>, (c\xC3\xB6mment) x",
        "multipart/mixed; boundary=\"__=_Part_Boundary_001_000001.000002\"",
        "=?utf-8?Q?a?= =?utf-8?Q?b?= =?x?b?AAAA?=",
        "SGVsbG8=\r\n=3D=\r\nsoft",
    };
    std::mt19937 rng(20261211);
    const char* tokens[] = {"=?", "?=", "?B?", "?q?",  "\"", "(",    "<", ">",
                            ")",  ",",  ";",   "\r\n", "\\", "\xC3", "="};
    int runs = 0;
    for (int i = 0; i < 4000; ++i) {
        QByteArray data = seeds[rng() % std::size(seeds)];
        const int edits = 1 + static_cast<int>(rng() % 8);
        for (int e = 0; e < edits && !data.isEmpty(); ++e) {
            const qsizetype at = static_cast<qsizetype>(rng() % static_cast<unsigned>(data.size()));
            switch (rng() % 5) {
                case 0:
                    data[at] = static_cast<char>(rng() & 0xFF);
                    break;
                case 1:
                    data.remove(at, 1 + static_cast<qsizetype>(rng() % 4));
                    break;
                case 2:
                    data.insert(at, tokens[rng() % std::size(tokens)]);
                    break;
                case 3:
                    data.insert(at, data.mid(at, 1 + static_cast<qsizetype>(rng() % 16)));
                    break;
                default:
                    data.truncate(at);
                    break;
            }
        }
        ASSERT_EQ(FuzzFieldDecoder(reinterpret_cast<const uint8_t*>(data.constData()),
                                   static_cast<size_t>(data.size())),
                  0);
        ++runs;
    }
    EXPECT_EQ(runs, 4000);
}

TEST(MimeFieldCode, RegisteringAgainReplaces) {
    auto& registry = FieldCodecRegistry::Instance();
    registry.Register(QStringLiteral("X-List"),
                      [] { return std::unique_ptr<CFieldCodeBase>(new CFieldCodeAddress); });
    EXPECT_TRUE(registry.Create(QStringLiteral("x-list"))->IsDelimiter(','));
    registry.Register(QStringLiteral("x-LIST"),
                      [] { return std::unique_ptr<CFieldCodeBase>(new CFieldCodeText); });
    auto codec = registry.Create(QStringLiteral("X-List"));
    EXPECT_FALSE(codec->IsDelimiter(','));
    EXPECT_EQ(codec->InitialQuoteState(), CFieldCodeBase::kWholeValue);
}
