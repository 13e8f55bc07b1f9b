#pragma once
// Messages shared by the unit tests (size bound, layout) and the check with Python's parser.

#include "convert/mime/Mime.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <random>
#include <vector>

namespace mime_samples {

struct Sample {
    QString name;
    std::unique_ptr<CMimeMessage> message;
    // Header values as Python's email package reports them (str of the parsed header).
    QList<std::pair<QString, QString>> headers;
};

inline QByteArray RandomBytes(qsizetype n, unsigned seed) {
    std::mt19937 rng(seed);
    QByteArray b(n, Qt::Uninitialized);
    for (char& c : b) c = static_cast<char>(rng() & 0xFF);
    return b;
}

// The EML writer's form of a header text: one 'B' word over its UTF-8.
inline QString Word(const QString& text) {
    return QStringLiteral("=?utf-8?B?") + QString::fromLatin1(text.toUtf8().toBase64()) +
           QStringLiteral("?=");
}

inline CMimeBody* Attach(CMimeBody* parent, const QString& name, const QByteArray& bytes) {
    CMimeBody* part = parent->AddPart();
    part->PutTransferEncoding(QStringLiteral("base64"));
    part->PutContentType(QStringLiteral("application/octet-stream"));
    part->PutFileContent(name, bytes);
    return part;
}

// The layout the EML writer produces, with fixed boundary and contents.
inline void BuildWriterLayout(CMimeMessage& m) {
    m.PutFrom(QStringLiteral("=?utf-8?B?QQ==?= <a@b>"));
    m.PutTo(QStringLiteral("=?utf-8?B?Qw==?= <c@d>"));
    m.PutCc(QStringLiteral("=?utf-8?B?RQ==?= <e@f>"));
    m.PutBcc(QStringLiteral("=?utf-8?B?Rw==?= <g@h>"));
    m.PutSubject(QStringLiteral("=?utf-8?B?SGk=?="));
    m.PutContentType(QStringLiteral("multipart/mixed"));
    m.PutBoundary(QStringLiteral("B"));
    CMimeBody* body = m.AddPart();
    body->PutContentType(QStringLiteral("text/html"));
    body->PutCharset(QStringLiteral("UTF-8"));
    body->PutTransferEncoding(QStringLiteral("8bit"));
    body->PutText("<p>x</p>", 0);
    CMimeBody* file = m.AddPart();
    file->PutTransferEncoding(QStringLiteral("base64"));
    file->PutContentType(QStringLiteral("application/octet-stream"));
    file->PutFileContent(QStringLiteral("=?utf-8?B?YS9iLnR4dA==?="), QByteArray(58, 'z'));
}

inline void BuildLoneEmptyPart(CMimeMessage& m) {
    m.PutBoundary(QStringLiteral("B"));
    m.AddPart();
}

inline std::vector<Sample> All() {
    std::vector<Sample> samples;
    auto add = [&](const char* name, QList<std::pair<QString, QString>> headers,
                   const std::function<void(CMimeMessage&)>& build) {
        Sample s{QString::fromLatin1(name), std::make_unique<CMimeMessage>(), std::move(headers)};
        build(*s.message);
        samples.push_back(std::move(s));
    };

    // Address fields carry the word for the display name only: a word is never an address.
    add("writer mail",
        {{"From", "Jörg Müller <jm@example.com>"},
         {"To", "bob@example.com"},
         {"Subject", "Grüße, plain and ASCII"}},
        [](CMimeMessage& m) {
            m.PutFrom(Word(QStringLiteral("Jörg Müller")) + QStringLiteral(" <jm@example.com>"));
            m.PutTo(QStringLiteral("bob@example.com"));
            m.PutSubject(Word(QStringLiteral("Grüße, plain and ASCII")));
            m.PutContentType(QStringLiteral("multipart/mixed"));
            m.PutBoundary();
            CMimeBody* body = m.AddPart();
            body->PutContentType(QStringLiteral("text/plain"));
            body->PutCharset(QStringLiteral("UTF-8"));
            body->PutTransferEncoding(QStringLiteral("8bit"));
            body->PutText(QStringLiteral("Hallo Jörg,\r\nsee the files.\r\n").toUtf8());
            Attach(&m, Word(QStringLiteral("report ä.pdf")), RandomBytes(58, 1));
            Attach(&m, Word(QStringLiteral("exact.bin")), RandomBytes(57, 2));
            Attach(&m, Word(QStringLiteral("big.dat")), RandomBytes(200000, 3));
        });
    add("body-less mail", {{"Subject", "no body"}}, [](CMimeMessage& m) {
        m.PutSubject(Word(QStringLiteral("no body")));
        m.PutContentType(QStringLiteral("multipart/mixed"));
        m.PutBoundary();
        m.AddPart();
    });
    add("html body with CC and BCC",
        {{"CC", "a@example.com, b@example.com"}, {"BCC", "Ça va <c@example.com>"}}, [](CMimeMessage& m) {
            m.PutCc(QStringLiteral("a@example.com, b@example.com"));
            m.PutBcc(Word(QStringLiteral("Ça va")) + QStringLiteral(" <c@example.com>"));
            m.PutContentType(QStringLiteral("multipart/mixed"));
            m.PutBoundary(QStringLiteral("simple"));
            CMimeBody* body = m.AddPart();
            body->PutContentType(QStringLiteral("text/html"));
            body->PutCharset(QStringLiteral("UTF-8"));
            body->PutTransferEncoding(QStringLiteral("8bit"));
            body->PutText(QStringLiteral("<p>Ünïcödé — 中文</p>").toUtf8());
        });
    add("quoted-printable and empty attachment", {{"Subject", "qp"}}, [](CMimeMessage& m) {
        m.PutSubject(QStringLiteral("qp"));
        m.PutBoundary();
        CMimeBody* text = m.AddPart();
        text->PutContentType(QStringLiteral("text/plain"), QString());
        text->PutCharset(QStringLiteral("utf-8"));
        text->PutTransferEncoding(QStringLiteral("quoted-printable"));
        QByteArray body = "line with trailing space \r\n.\r\na=b\t\r\n";
        body += QByteArray(200, 'x') + " " + QStringLiteral("é").toUtf8().repeated(40) + "\r\nend ";
        text->PutText(body);
        Attach(&m, QStringLiteral("C:\\temp\\empty.txt"), QByteArray());
    });
    add("nested multipart", {{"Subject", "nested"}}, [](CMimeMessage& m) {
        m.PutSubject(QStringLiteral("nested"));
        m.PutContentType(QStringLiteral("multipart/mixed"));
        m.PutBoundary();
        CMimeBody* alt = m.AddPart();
        alt->PutContentType(QStringLiteral("multipart/alternative"));
        alt->PutBoundary();
        CMimeBody* plain = alt->AddPart();
        plain->PutContentType(QStringLiteral("text/plain; charset=us-ascii"));
        plain->PutText("plain", 0);
        CMimeBody* html = alt->AddPart();
        html->PutContentType(QStringLiteral("text/html; charset=us-ascii"));
        html->PutText("<b>html</b>", 0);
        Attach(&m, QStringLiteral("photo.JPG"), RandomBytes(1000, 4));
    });
    add("fields with a charset",
        {{"From", "\"Müller, Hans\" <hm@example.com>"},
         {"To", "José María <jm@example.com>, plain@example.com"},
         {"Subject", "Fête de l’été — 夏"},
         {"X-Note", "Ärger im Büro"}},
        [](CMimeMessage& m) {
            m.PutFrom(QStringLiteral("\"Müller, Hans\" <hm@example.com>"), QStringLiteral("utf-8"));
            m.PutTo(QStringLiteral("José María <jm@example.com>, plain@example.com"),
                    QStringLiteral("UTF-8"));
            m.PutSubject(QStringLiteral("Fête de l’été — 夏"), QStringLiteral("iso-8859-1"));
            m.PutField(QStringLiteral("X-Note"), QStringLiteral("Ärger im Büro"),
                       QStringLiteral("ISO-8859-1"));
            m.PutContentType(QStringLiteral("text/plain"));
            m.PutCharset(QStringLiteral("utf-8"));
            m.PutTransferEncoding(QStringLiteral("base64"));
            m.PutText(QStringLiteral("Grüße aus Köln").toUtf8());
        });
    add("header injection attempt", {{"Subject", "hello Bcc: victim@example.com"}}, [](CMimeMessage& m) {
        m.PutSubject(QStringLiteral("hello\r\nBcc: victim@example.com"));
        m.PutField(QStringLiteral("X-Folded"), QStringLiteral("first\r\n second"));
        m.PutText("body", 0);
    });
    add("single leaf without fields", {}, [](CMimeMessage& m) { m.PutText("just text\r\n", 0); });
    add("many attachments", {}, [](CMimeMessage& m) {
        m.PutBoundary();
        for (int i = 0; i < 12; ++i)
            Attach(&m, Word(QStringLiteral("file %1.doc").arg(i)),
                   RandomBytes(i * 37, static_cast<unsigned>(10 + i)));
    });
    add("writer layout", {{"From", "A <a@b>"}, {"Subject", "Hi"}}, BuildWriterLayout);
    add("lone empty part", {}, BuildLoneEmptyPart);
    return samples;
}

}  // namespace mime_samples
