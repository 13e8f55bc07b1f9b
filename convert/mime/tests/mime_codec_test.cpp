// Transfer-encoding codecs and encoded words.
#include "convert/mime/MimeCodec.h"

#include <gtest/gtest.h>

#include <QList>

#include <random>

namespace {

QByteArray Bytes(qsizetype n, unsigned seed) {
    std::mt19937 rng(seed);
    QByteArray b(n, Qt::Uninitialized);
    for (char& c : b) c = static_cast<char>(rng() & 0xFF);
    return b;
}

template <class Codec>
QByteArray EncodeWith(const QByteArray& in, bool option) {
    Codec codec;
    codec.SetInput(in);
    codec.SetOption(option);
    return codec.Encode();
}

}  // namespace

TEST(MimeBase64, LineBreakingAt57Bytes) {
    const struct {
        qsizetype inputBytes;
        QList<qsizetype> lineLengths;  // characters per line before each CR LF
    } cases[] = {
        {0, {}}, {1, {4}}, {57, {76}}, {58, {76, 4}}, {114, {76, 76}}, {115, {76, 76, 4}},
    };
    for (const auto& c : cases) {
        const QByteArray out = EncodeWith<CMimeCodeBase64>(QByteArray(c.inputBytes, 'x'), true);
        QList<qsizetype> got;
        qsizetype start = 0;
        for (qsizetype at = out.indexOf("\r\n"); at >= 0; at = out.indexOf("\r\n", start)) {
            got.append(at - start);
            start = at + 2;
        }
        EXPECT_EQ(start, out.size()) << c.inputBytes << ": output must end with CR LF";
        EXPECT_EQ(got, c.lineLengths) << c.inputBytes;
    }
}

TEST(MimeBase64, KnownVectorsAndRoundTrip) {
    // RFC 4648 section 10.
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(EncodeWith<CMimeCodeBase64>(plain, false), QByteArray(encoded));
        EXPECT_EQ(mime::Base64(plain), QByteArray(encoded));
    }
    for (qsizetype n : {1, 2, 3, 56, 57, 58, 1000}) {
        const QByteArray in = Bytes(n, static_cast<unsigned>(n));
        const QByteArray out = EncodeWith<CMimeCodeBase64>(in, true);
        CMimeCodeBase64 decoder;
        decoder.SetInput(out);
        EXPECT_EQ(decoder.Decode(), in) << n;
        EXPECT_EQ(out.simplified().replace(' ', ""), in.toBase64()) << n;
    }
}

TEST(MimeBase64, EncodedSizeBoundsOutputAndStopsAtCapacity) {
    for (bool breakLines : {true, false}) {
        for (qsizetype n : {0, 1, 56, 57, 58, 171, 4000}) {
            CMimeCodeBase64 codec;
            const QByteArray in = Bytes(n, 7);
            codec.SetInput(in);
            codec.SetOption(breakLines);
            QByteArray buffer(codec.EncodedSize(), '\0');
            const qint64 written = codec.EncodeTo(buffer.data(), buffer.size());
            EXPECT_LE(written, codec.EncodedSize());
            EXPECT_GE(written + 2, codec.EncodedSize()) << "estimate is off by more than one CR LF";
            QByteArray small(10, '#');
            EXPECT_EQ(codec.EncodeTo(small.data(), 5), std::min<qint64>(5, written));
            EXPECT_EQ(small.mid(5), QByteArray(5, '#')) << "wrote past the capacity";
        }
    }
}

TEST(MimeQuotedPrintable, Rules) {
    const struct {
        QByteArray in;
        QByteArray out;
    } cases[] = {
        {"plain text", "plain text"},
        {"a=b", "a=3Db"},
        {"trailing ", "trailing=20"},
        {"trailing\t", "trailing=09"},
        {"space \r\nnext", "space=20\r\nnext"},
        {"tab\t\r\n", "tab=09\r\n"},
        {"mid\tdle", "mid\tdle"},
        {"a\r\n.\r\nb", "a\r\n=2E\r\nb"},
        {"a\r\n..\r\nb", "a\r\n..\r\nb"},
        {".\r\n", ".\r\n"},
        {"caf\xC3\xA9", "caf=C3=A9"},
        {QByteArray("nul\0x", 5), "nul=00x"},
        {"bare\nlf", "bare\nlf"},
    };
    for (const auto& c : cases) EXPECT_EQ(EncodeWith<CMimeCodeQP>(c.in, false), c.out) << c.in.toStdString();
    // With the option on, line breaks are data too.
    EXPECT_EQ(EncodeWith<CMimeCodeQP>("a \r\n.\r\nb", true), "a=20=0D=0A.=0D=0Ab");
}

TEST(MimeQuotedPrintable, SoftBreaks) {
    // 80 letters: a hard break at the current point after 75 characters.
    EXPECT_EQ(EncodeWith<CMimeCodeQP>(QByteArray(80, 'a'), false),
              QByteArray(75, 'a') + "=\r\n" + QByteArray(5, 'a'));
    // With a space on the line, the break goes after it and the word moves down.
    const QByteArray words = QByteArray(70, 'a') + " " + QByteArray(10, 'b');
    EXPECT_EQ(EncodeWith<CMimeCodeQP>(words, false), QByteArray(70, 'a') + " =\r\n" + QByteArray(10, 'b'));
    // An escape never straddles the break: 74 letters and "=3D" would make 77.
    EXPECT_EQ(EncodeWith<CMimeCodeQP>(QByteArray(74, 'a') + "=", false), QByteArray(74, 'a') + "=\r\n=3D");
    // A leading space of a line is no break point.
    EXPECT_EQ(EncodeWith<CMimeCodeQP>(" " + QByteArray(80, 'c'), false),
              " " + QByteArray(74, 'c') + "=\r\n" + QByteArray(6, 'c'));
}

TEST(MimeQuotedPrintable, LinesStayShortSizeBoundsAndDecodeRestores) {
    std::mt19937 rng(42);
    const char alphabet[] = "ab .=\t\r\n\xE9\x01";
    for (int round = 0; round < 400; ++round) {
        QByteArray in(static_cast<qsizetype>(rng() % 600), Qt::Uninitialized);
        for (char& c : in) c = alphabet[rng() % (sizeof alphabet - 1)];
        if (round % 3 == 0) in = Bytes(in.size(), static_cast<unsigned>(round));
        CMimeCodeQP codec;
        codec.SetInput(in);
        const QByteArray out = codec.Encode();
        ASSERT_EQ(out.size(), codec.EncodedSizeExact());
        ASSERT_LE(out.size(), codec.EncodedSize()) << "estimate must bound the output";
        // Lines split at any CR or LF the input had; none may exceed 76 characters.
        for (const QByteArray& line : out.split('\n'))
            for (const QByteArray& piece : line.split('\r'))
                ASSERT_LE(piece.size(), 76) << piece.toStdString();
        CMimeCodeQP decoder;
        decoder.SetInput(out);
        ASSERT_EQ(decoder.Decode(), in) << "round " << round;
    }
    // The worst case of the estimate: short words alternating with 73-letter runs.
    QByteArray worst;
    for (int i = 0; i < 50; ++i) worst += "x " + QByteArray(73, 'y') + " z";
    CMimeCodeQP codec;
    codec.SetInput(worst);
    EXPECT_LE(codec.EncodedSizeExact(), codec.EncodedSize());
}

TEST(MimeCodeBase, IdentityCopiesWithinCapacity) {
    CMimeCodeBase codec;
    const QByteArray in = "7bit text\r\n";
    codec.SetInput(in);
    EXPECT_EQ(codec.EncodedSize(), in.size());
    EXPECT_EQ(codec.Encode(), in);
    char out[4];
    EXPECT_EQ(codec.EncodeTo(out, 4), 4);
    EXPECT_EQ(QByteArray(out, 4), "7bit");
    codec.SetInput(nullptr, 99);
    EXPECT_EQ(codec.EncodedSize(), 0);
}

TEST(MimeTransferRegistry, NamesAndFallback) {
    auto& registry = TransferCodecRegistry::Instance();
    const QByteArray in(58, 'q');
    auto encoded = [&](const char* name) {
        auto codec = registry.Create(QString::fromLatin1(name));
        codec->SetInput(in);
        return codec->Encode();
    };
    EXPECT_EQ(encoded("BASE64"), EncodeWith<CMimeCodeBase64>(in, true));
    EXPECT_EQ(encoded("Quoted-Printable"), EncodeWith<CMimeCodeQP>(in, false));
    for (const char* identity : {"7bit", "8bit", "", "binary", "x-unknown"})
        EXPECT_EQ(encoded(identity), in) << identity;
}

TEST(MimeEncodedWord, BWordsSplitAtCharacterBoundaries) {
    CMimeEncodedWord word;
    word.SetCharset("utf-8");
    word.SetEncoding('b');
    EXPECT_EQ(word.BytesPerBWord(), 45);
    word.SetInput("Hello");
    EXPECT_EQ(word.Encode(), "=?utf-8?B?SGVsbG8=?=");
    // 30 two-byte characters: 60 bytes; a 45-byte word would end inside a character.
    QByteArray text;
    for (int i = 0; i < 30; ++i) text += "\xC3\xA9";
    word.SetInput(text);
    const QList<QByteArray> words = word.Encode().split(' ');
    ASSERT_EQ(words.size(), 2);
    QByteArray joined;
    for (const QByteArray& w : words) {
        ASSERT_TRUE(w.startsWith("=?utf-8?B?") && w.endsWith("?="));
        const QByteArray bytes = QByteArray::fromBase64(w.mid(10, w.size() - 12));
        EXPECT_TRUE(QString::fromUtf8(bytes).toUtf8() == bytes) << "word holds a split character";
        joined += bytes;
    }
    EXPECT_EQ(joined, text);
}

TEST(MimeEncodedWord, QWordsEscapeAndSplit) {
    CMimeEncodedWord word;
    word.SetCharset("iso-8859-1");
    word.SetEncoding('Q');
    word.SetInput("a b=c?d_e\xE9");
    EXPECT_EQ(word.Encode(), "=?iso-8859-1?Q?a=20b=3Dc=3Fd=5Fe=E9?=");
    word.SetQContext(CMimeEncodedWord::QContext::Phrase);
    word.SetInput("M\xFCller, \"H\"");
    EXPECT_EQ(word.Encode(), "=?iso-8859-1?Q?M=FCller=2C=20=22H=22?=");
    // Words hold at most 68 - charset length characters of encoded text.
    const QByteArray hundred(100, '\xE9');
    word.SetInput(hundred);
    for (const QByteArray& w : word.Encode().split(' ')) {
        ASSERT_TRUE(w.startsWith("=?iso-8859-1?Q?") && w.endsWith("?="));
        EXPECT_LE(w.size() - 17, 68 - 10);
    }
    // An absurd charset name still makes progress.
    word.SetCharset(QByteArray(200, 'c'));
    word.SetInput("\xE9\xE9");
    EXPECT_EQ(word.Encode().count("?Q?"), 2);
    word.SetEncoding('B');
    const QByteArray ten(10, '\xE9');
    word.SetInput(ten);
    EXPECT_EQ(word.Encode().count("?B?"), 4);
}

TEST(MimeTransferRegistry, RegisteringAgainReplaces) {
    auto& registry = TransferCodecRegistry::Instance();
    const QByteArray in = "a=b";
    auto encoded = [&](const char* name) {
        auto codec = registry.Create(QString::fromLatin1(name));
        codec->SetInput(in);
        return codec->Encode();
    };
    registry.Register(QStringLiteral("X-Test"), [] { return std::make_unique<CMimeCodeQP>(); });
    EXPECT_EQ(encoded("x-test"), QByteArray("a=3Db"));
    registry.Register(QStringLiteral("x-TEST"), [] { return std::make_unique<CMimeCodeBase64>(); });
    EXPECT_EQ(encoded("X-Test"), QByteArray("YT1i\r\n"));
}
