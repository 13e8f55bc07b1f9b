// The MIME model: fields and parameters, boundaries, dates, serialisation and its size bound.
#include "convert/mime/testsupport/MimeFuzz.h"
#include "convert/mime/Mime.h"

#include "mime_samples.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <cstdlib>
#include <ctime>
#include <random>

namespace {

QByteArray Serialized(const CMimeHeader& m) {
    const std::optional<QByteArray> out = m.Serialize();
    EXPECT_TRUE(out.has_value());
    return out.value_or(QByteArray());
}

QString TypeValue(const CMimeHeader& m) {
    const CMimeHeaderField* f = m.FindField(QStringLiteral("content-type"));
    return f ? f->value : QString();
}

// Runs the body of a test under another time zone and puts the old one back. The zones are
// POSIX TZ strings with fixed offsets, so no time-zone database is needed.
class ZoneScope {
  public:
    explicit ZoneScope(const char* zone) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        had_ = std::getenv("TZ") != nullptr;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneScope() {
        if (had_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

  private:
    std::string old_;
    bool had_ = false;
};

}  // namespace

TEST(MimeHeader, PutFieldKeepsTheFirstPosition) {
    CMimeHeader h;
    h.PutField(QStringLiteral("Subject"), QStringLiteral("one"));
    h.PutField(QStringLiteral("From"), QStringLiteral("a@b"));
    h.PutField(QStringLiteral("SUBJECT"), QStringLiteral("two"), QStringLiteral("utf-8"));
    h.PutField(QString(), QStringLiteral("ignored"));
    ASSERT_EQ(h.Fields().size(), 2u);
    EXPECT_EQ(h.Fields()[0].name, QStringLiteral("SUBJECT"));
    EXPECT_EQ(h.Fields()[0].value, QStringLiteral("two"));
    EXPECT_EQ(h.Fields()[0].charset, QStringLiteral("utf-8"));
    h.PutField(QStringLiteral("subject"), QStringLiteral("three"), QString());
    EXPECT_FALSE(h.FindField(QStringLiteral("Subject"))->charset.isNull())
        << "a null charset is stored as empty";
    EXPECT_EQ(h.FindField(QStringLiteral("from"))->value, QStringLiteral("a@b"));
    EXPECT_EQ(h.FindField(QStringLiteral("To")), nullptr);
    EXPECT_EQ(Serialized(h), QByteArray("subject: three\r\nFrom: a@b\r\n\r\n"));
    h.Reset();
    EXPECT_EQ(Serialized(h), QByteArray("\r\n"));
}

TEST(MimeHeader, Parameters) {
    const struct {
        const char* initial;
        const char* parameter;
        QString value;
        const char* result;
    } cases[] = {
        {"text/plain", "charset", QStringLiteral("UTF-8"), "text/plain; charset=\"UTF-8\""},
        {"text/plain; charset=us-ascii", "charset", QStringLiteral("UTF-8"), "text/plain; charset=\"UTF-8\""},
        {"text/plain; CHARSET = \"old\" ; format=flowed", "charset", QStringLiteral("x"),
         "text/plain; CHARSET = \"x\" ; format=flowed"},
        {"text/plain;;  charset=a.b-c; x=1", "charset", QStringLiteral("d"),
         "text/plain;;  charset=\"d\"; x=1"},
        {"text/plain; charsetx=1", "charset", QStringLiteral("d"), "text/plain; charsetx=1; charset=\"d\""},
        // A ';' inside a quoted value starts no parameter.
        {"application/octet-stream; name=\"x; charset=evil\"", "charset", QStringLiteral("u"),
         "application/octet-stream; name=\"x; charset=evil\"; charset=\"u\""},
        {"a/b", "name", QStringLiteral("\"=?utf-8?B?YQ==?=\""), "a/b; name=\"=?utf-8?B?YQ==?=\""},
        {"a/b", "name", QStringLiteral("\"half"), "a/b; name=\"half\""},
        {"a/b", "name", QStringLiteral("\""), "a/b; name=\"\""},
        {"a/b", "name", QStringLiteral("say \"hi\\"), "a/b; name=\"say \\\"hi\\\\\""},
    };
    for (const auto& c : cases) {
        CMimeHeader h;
        h.PutField(QStringLiteral("Content-Type"), QString::fromLatin1(c.initial));
        h.SetParameter(QStringLiteral("Content-Type"), QString::fromLatin1(c.parameter), c.value);
        EXPECT_EQ(TypeValue(h), QString::fromLatin1(c.result)) << c.initial;
    }
    CMimeHeader h;
    h.PutField(QStringLiteral("Content-Type"), QStringLiteral("a/b; name=\"say \\\"hi\\\"\"; x=y"));
    EXPECT_EQ(h.Parameter(QStringLiteral("content-type"), QStringLiteral("NAME")),
              QStringLiteral("say \"hi\""));
    EXPECT_EQ(h.Parameter(QStringLiteral("content-type"), QStringLiteral("x")), QStringLiteral("y"));
    EXPECT_EQ(h.Parameter(QStringLiteral("content-type"), QStringLiteral("z")), QString());
}

TEST(MimeBody, CharsetNameAndExtensionTable) {
    CMimeBody charset;
    charset.PutCharset(QStringLiteral("UTF-8"));
    EXPECT_EQ(TypeValue(charset), QStringLiteral("text/plain; charset=\"UTF-8\""));

    const std::pair<const char*, const char*> table[] = {
        {"a.xml", "application/xml"},
        {"a.DOC", "application/msword"},
        {"a.rtf", "application/rtf"},
        {"a.xls", "application/vnd.ms-excel"},
        {"a.ppt", "application/vnd.ms-powerpoint"},
        {"a.pdf", "application/pdf"},
        {"a.zip", "application/zip"},
        {"a.jpeg", "image/jpeg"},
        {"a.Jpg", "image/jpeg"},
        {"a.gif", "image/gif"},
        {"a.tif", "image/tiff"},
        {"a.tiff", "image/tiff"},
        {"a.wav", "audio/basic"},
        {"a.mp3", "audio/basic"},
        {"a.mpg", "video/mpeg"},
        {"a.mpeg", "video/mpeg"},
        {"archive.tar.gz", "application/octet-stream"},
        {"README", "application/octet-stream"},
        {"x.pdf.exe", "application/octet-stream"},
        {"trailing.", "application/octet-stream"},
    };
    for (const auto& [name, type] : table) {
        CMimeBody part;
        part.PutName(QString::fromLatin1(name));
        EXPECT_EQ(
            TypeValue(part),
            QStringLiteral("%1; name=\"%2\"").arg(QString::fromLatin1(type), QString::fromLatin1(name)));
    }
    // With a Content-Type present only the parameter is set.
    CMimeBody typed;
    typed.PutContentType(QStringLiteral("application/octet-stream"));
    typed.PutName(QStringLiteral("a.pdf"));
    EXPECT_EQ(TypeValue(typed), QStringLiteral("application/octet-stream; name=\"a.pdf\""));
}

TEST(MimeBody, BoundaryGenerationAndMultipartType) {
    const QRegularExpression pattern(
        QStringLiteral(R"re(^multipart/mixed; boundary="__=_Part_Boundary_(\d{3})_(\d{6})\.(\d{6})"$)re"));
    int previous = -1;
    for (int i = 0; i < 20; ++i) {
        CMimeMessage m;
        m.PutContentType(QStringLiteral("multipart/mixed"));
        m.PutBoundary();
        ASSERT_EQ(m.Fields().size(), 1u);
        const QRegularExpressionMatch match = pattern.match(TypeValue(m));
        ASSERT_TRUE(match.hasMatch()) << TypeValue(m).toStdString();
        const int counter = match.captured(1).toInt();
        EXPECT_GE(counter, 1);
        EXPECT_LE(counter, 9);
        if (previous >= 0) {
            EXPECT_EQ(counter, previous % 9 + 1);
        }
        previous = counter;
        EXPECT_LE(match.captured(2).toInt(), 32767);
        EXPECT_LE(match.captured(3).toInt(), 32767);
    }
    const struct {
        const char* initial;  // nullptr: no Content-Type field
        const char* result;
    } cases[] = {
        {nullptr, "multipart/mixed; boundary=\"b1\""},
        {"text/html; charset=\"UTF-8\"", "multipart/mixed; boundary=\"b1\""},
        {"multipart/alternative", "multipart/alternative; boundary=\"b1\""},
        {"Multipart/Mixed ; boundary=old", "Multipart/Mixed ; boundary=\"b1\""},
    };
    for (const auto& c : cases) {
        CMimeBody b;
        if (c.initial) b.PutContentType(QString::fromLatin1(c.initial));
        b.PutBoundary(QStringLiteral("b1"));
        EXPECT_EQ(TypeValue(b), QString::fromLatin1(c.result));
        EXPECT_EQ(b.Boundary(), QStringLiteral("b1"));
    }
}

TEST(MimeMessage, DateAndItsOffset) {
    const struct {
        const char* zone;
        int y, mo, d, h, mi, s;
        const char* text;  // nullptr: no Date field
    } cases[] = {
        {"IST-5:30", 2018, 7, 3, 10, 5, 9, "Tue, 3 Jul 2018 10:05:09 +0530"},
        {"UTC0", 2000, 2, 29, 0, 0, 0, "Tue, 29 Feb 2000 00:00:00 +0000"},
        // Local and UTC days in different months: the day difference is exactly -1 or +1.
        {"PST8", 2020, 1, 31, 16, 30, 0, "Fri, 31 Jan 2020 16:30:00 -0800"},
        {"NZDT-13", 2020, 2, 1, 5, 0, 0, "Sat, 1 Feb 2020 05:00:00 +1300"},
        {"NDT2:30", 2021, 7, 1, 22, 0, 0, "Thu, 1 Jul 2021 22:00:00 -0230"},
        {"UTC0", 1969, 12, 31, 23, 59, 59, nullptr},
        {"UTC0", 2020, 13, 1, 0, 0, 0, nullptr},
        {"UTC0", -2147483647, 1, 1, 0, 0, 0, nullptr},
    };
    for (const auto& c : cases) {
        ZoneScope zone(c.zone);
        CMimeMessage m;
        EXPECT_EQ(m.PutDate(c.y, c.mo, c.d, c.h, c.mi, c.s), c.text != nullptr) << c.zone << " " << c.y;
        const CMimeHeaderField* date = m.FindField(QStringLiteral("Date"));
        if (!c.text) {
            EXPECT_EQ(date, nullptr);
            continue;
        }
        ASSERT_NE(date, nullptr);
        EXPECT_EQ(date->value, QString::fromLatin1(c.text)) << c.zone;
    }
}

TEST(MimeMessage, WriterLayoutByteForByte) {
    CMimeMessage m;
    mime_samples::BuildWriterLayout(m);
    const QByteArray line76 = QByteArray(57, 'z').toBase64();
    const QByteArray expected =
        "From: =?utf-8?B?QQ==?= <a@b>\r\n"
        "To: =?utf-8?B?Qw==?= <c@d>\r\n"
        "CC: =?utf-8?B?RQ==?= <e@f>\r\n"
        "BCC: =?utf-8?B?Rw==?= <g@h>\r\n"
        "Subject: =?utf-8?B?SGk=?=\r\n"
        "Content-Type: multipart/mixed; boundary=\"B\"\r\n"
        "\r\n--B\r\n"
        "Content-Type: text/html; charset=\"UTF-8\"\r\n"
        "Content-Transfer-Encoding: 8bit\r\n"
        "\r\n<p>x</p>"
        "\r\n--B\r\n"
        "Content-Transfer-Encoding: base64\r\n"
        "Content-Type: application/octet-stream; name=\"=?utf-8?B?YS9iLnR4dA==?=\"\r\n"
        "\r\n" +
        line76 +
        "\r\neg==\r\n"
        "\r\n--B--\r\n";
    EXPECT_EQ(Serialized(m), expected);

    // The lone empty part is an empty header between the delimiters.
    CMimeMessage empty;
    mime_samples::BuildLoneEmptyPart(empty);
    EXPECT_EQ(Serialized(empty),
              QByteArray("Content-Type: multipart/mixed; boundary=\"B\"\r\n\r\n--B\r\n\r\n\r\n--B--\r\n"));
}

TEST(MimeBody, MultipartWithoutBoundaryFails) {
    CMimeMessage m;
    m.AddPart()->PutText("x", 0);
    char buffer[256];
    EXPECT_EQ(m.WriteTo(buffer, sizeof buffer), -1);
    EXPECT_FALSE(m.Serialize().has_value());
    // A failure deep in the tree fails the whole message.
    CMimeMessage outer;
    outer.PutBoundary(QStringLiteral("o"));
    outer.AddPart()->PutContentType(QStringLiteral("multipart/mixed; boundary=\"\""));
    outer.Parts()[0]->AddPart();
    EXPECT_EQ(outer.WriteTo(buffer, sizeof buffer), -1);
}

TEST(MimeBody, MeasureSizeBoundsEverySample) {
    for (const auto& sample : mime_samples::All()) {
        const CMimeMessage& m = *sample.message;
        const qint64 measured = m.MeasureSize();
        QByteArray buffer(measured + 16, '\x7F');
        const qint64 written = m.WriteTo(buffer.data(), measured);
        ASSERT_GE(written, 0) << sample.name.toStdString();
        EXPECT_LE(written, measured) << sample.name.toStdString();
        EXPECT_EQ(buffer.right(16), QByteArray(16, '\x7F'))
            << "wrote past the capacity: " << sample.name.toStdString();
        // A short buffer receives a prefix of the same bytes.
        const QByteArray full = buffer.left(written);
        for (qint64 capacity : {qint64(0), qint64(1), written / 3, written / 2, written - 1}) {
            QByteArray part(capacity + 4, '\x7F');
            const qint64 n = m.WriteTo(part.data(), capacity);
            ASSERT_LE(n, capacity);
            EXPECT_EQ(part.left(n), full.left(n)) << sample.name.toStdString() << " at " << capacity;
            EXPECT_EQ(part.mid(capacity), QByteArray(4, '\x7F'));
        }
    }
}

TEST(MimeBody, HeaderValuesCannotStartNewFields) {
    CMimeMessage m;
    m.PutSubject(QStringLiteral("hello\r\nBcc: victim@example.com"));
    m.PutField(QStringLiteral("X-Folded"), QStringLiteral("first\r\n second\nthird"));
    m.PutField(QStringLiteral("Bad Name:"), QStringLiteral("v"));
    EXPECT_EQ(Serialized(m), QByteArray("Subject: hello Bcc: victim@example.com\r\n"
                                        "X-Folded: first\r\n second third\r\n"
                                        "Bad-Name-: v\r\n\r\n"));
}

TEST(MimeBody, ContentRules) {
    CMimeBody part;
    EXPECT_EQ(part.PutText("abc\0def", 0), 3);
    EXPECT_EQ(part.Content(), QByteArray("abc"));
    EXPECT_EQ(part.Content().constData()[part.ContentSize()], '\0');
    EXPECT_EQ(part.PutText("abc\0def", 7), 7);
    EXPECT_EQ(part.ContentSize(), 7u);
    EXPECT_EQ(part.PutText("x", -5), -1);
    EXPECT_EQ(part.ContentSize(), 0u);

    // The 30 MiB limit: at the limit, or with the high half of the size set, nothing is
    // stored; the name is set either way.
    const char tiny[] = "tiny";
    const struct {
        quint64 size;
        bool stored;
    } sizes[] = {{0, false}, {CMimeBody::kMaxFileContent, false}, {(quint64(1) << 32) | 4, false}, {4, true}};
    for (const auto& s : sizes) {
        CMimeBody file;
        EXPECT_TRUE(file.PutFileContent(QStringLiteral("C:\\dir\\sub\\a.zip"), tiny, s.size));
        EXPECT_EQ(file.ContentSize(), s.stored ? 4u : 0u) << s.size;
        EXPECT_EQ(TypeValue(file), QStringLiteral("application/zip; name=\"a.zip\""));
    }
    QByteArray justBelow(qsizetype(CMimeBody::kMaxFileContent - 1), 'a');
    QByteArray atLimit(qsizetype(CMimeBody::kMaxFileContent), 'a');
    CMimeBody big;
    EXPECT_TRUE(big.PutFileContent(QStringLiteral("big.bin"), justBelow));
    EXPECT_EQ(big.ContentSize(), CMimeBody::kMaxFileContent - 1);
    EXPECT_TRUE(big.PutFileContent(QStringLiteral("bigger.bin"), atLimit));
    EXPECT_EQ(big.ContentSize(), CMimeBody::kMaxFileContent - 1) << "content is left as it was";
    EXPECT_EQ(big.Parameter(QStringLiteral("Content-Type"), QStringLiteral("name")),
              QStringLiteral("bigger.bin"));
    // Only a backslash separates folders: '/' belongs to base64 inside an encoded word.
    CMimeBody slash;
    slash.PutFileContent(QStringLiteral("=?utf-8?B?YS9i?="), QByteArray("x"));
    EXPECT_EQ(slash.Parameter(QStringLiteral("Content-Type"), QStringLiteral("name")),
              QStringLiteral("=?utf-8?B?YS9i?="));

    CMimeMessage m;
    m.PutBoundary();
    m.AddPart()->PutText("x", 0);
    m.PutText("preamble", 0);
    m.Reset();
    EXPECT_TRUE(m.Fields().empty());
    EXPECT_TRUE(m.Parts().empty());
    EXPECT_EQ(m.ContentSize(), 0u);
}

// A literal with embedded NULs, without its terminator.
template <size_t N>
QByteArray Raw(const char (&text)[N]) {
    return QByteArray(text, N - 1);
}

TEST(MimeBody, SeededMutationFuzzOfTheModel) {
    // Pieces are NUL-separated groups of four: operation, then up to three arguments.
    const QByteArray seeds[] = {
        Raw("\x00Subject\0Gr\xC3\xBC\xC3\x9F"
            "e\0utf-8\0\x01\0\0\0\x02\0\0\0\x04hello\0\0\0"),
        Raw("\x01"
            "b\0\0\0\x02\0\0\0\x05x\0\0\0\x06"
            "a\\b.pdf\0data\0\0\x07"
            "Content-Type\0name\0v\"q\0"),
        Raw("\x03\0\0\0\x01\0\0\0\x03\0\0\0\x04"
            "deep\0\0\0\x05"
            "abc\0\0\0"),
    };
    std::mt19937 rng(7);
    int runs = 0;
    for (int i = 0; i < 3000; ++i) {
        QByteArray data = seeds[rng() % std::size(seeds)];
        for (int e = 0, edits = 1 + static_cast<int>(rng() % 6); e < edits && !data.isEmpty(); ++e) {
            const qsizetype at = static_cast<qsizetype>(rng() % static_cast<unsigned>(data.size()));
            switch (rng() % 4) {
                case 0:
                    data[at] = static_cast<char>(rng() & 0xFF);
                    break;
                case 1:
                    data.remove(at, 1 + static_cast<qsizetype>(rng() % 3));
                    break;
                case 2:
                    data.insert(at, data.mid(at, 1 + static_cast<qsizetype>(rng() % 12)));
                    break;
                default:
                    data.insert(at, "\r\n\"=?\0;"[rng() % 7]);
                    break;
            }
        }
        ASSERT_EQ(FuzzMimeMessage(reinterpret_cast<const uint8_t*>(data.constData()),
                                  static_cast<size_t>(data.size())),
                  0);
        ++runs;
    }
    EXPECT_EQ(runs, 3000);
}
