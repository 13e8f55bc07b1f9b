#pragma once
// What the EML tests share: a private system temporary folder per test (so that the "temp"
// detach folder of one test never meets another's), UTC as local time, the golden files, and a
// small reader of the attachment parts the writer produces.

#include "mail_fixture.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QRegularExpression>
#include <QString>

#include <cstdlib>
#include <ctime>

struct EmlPart {
    QString name;
    QByteArray content;
};

class EmlFixture : public MailFixture {
  protected:
    QByteArray savedTmpDir = qgetenv("TMPDIR");

    void SetUp() override {
        MailFixture::SetUp();
        qputenv("TMPDIR", dir.filePath("tmp").toUtf8());
        QDir().mkpath(dir.filePath("tmp"));
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        if (savedTmpDir.isEmpty())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", savedTmpDir);
        MailFixture::TearDown();
    }

    QString EmlPath() const { return dir.filePath("1.eml"); }
    QString TempFolder() const { return dir.filePath("tmp/temp/"); }

    QByteArray ReadEml() const {
        QFile file(EmlPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static QString SourceFile(const QString& relative) {
        return QStringLiteral(MAIL_TEST_SOURCE_DIR "/convert/mail/tests/") + relative;
    }

    static QByteArray Golden(const QString& name) {
        QFile file(SourceFile("golden/" + name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("missing " + name.toUtf8());
    }

    static QString BoundaryOf(const QByteArray& eml) {
        static const QRegularExpression pattern("boundary=\"([^\"]+)\"");
        return pattern.match(QString::fromLatin1(eml)).captured(1);
    }

    static QByteArray WithoutBoundary(QByteArray eml) {
        const QString boundary = BoundaryOf(eml);
        return boundary.isEmpty() ? eml : eml.replace(boundary.toLatin1(), "@BOUNDARY@");
    }

    // The base64 parts after the body part, with their names decoded from the encoded word.
    static QList<EmlPart> AttachmentParts(const QByteArray& eml) {
        QList<EmlPart> parts;
        const QByteArray delimiter = "\r\n--" + BoundaryOf(eml).toLatin1();
        static const QRegularExpression name("name=\"=\\?utf-8\\?B\\?([^?]*)\\?=\"");
        const QList<QByteArray> pieces = Split(eml, delimiter);
        for (const QByteArray& piece : pieces) {
            if (!piece.startsWith("\r\nContent-Transfer-Encoding: base64\r\n")) continue;
            const qsizetype bodyStart = piece.indexOf("\r\n\r\n");
            EmlPart part;
            part.name = QString::fromUtf8(QByteArray::fromBase64(
                name.match(QString::fromLatin1(piece.left(bodyStart))).captured(1).toLatin1()));
            part.content = QByteArray::fromBase64(piece.mid(bodyStart + 4));
            parts.append(part);
        }
        return parts;
    }

  private:
    static QList<QByteArray> Split(const QByteArray& text, const QByteArray& delimiter) {
        QList<QByteArray> pieces;
        qsizetype from = 0;
        for (qsizetype at; (at = text.indexOf(delimiter, from)) >= 0; from = at + delimiter.size())
            pieces.append(text.mid(from, at - from));
        pieces.append(text.mid(from));
        return pieces;
    }
};
