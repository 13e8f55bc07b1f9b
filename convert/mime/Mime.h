#pragma once
// The MIME model the EML writer fills and serialises: a header of named fields, bodies with
// content and child parts, and the top-level message with its field setters.
//
// Field names, values and charsets are UTF-16 text; they become bytes when written: UTF-8, or,
// for a field with a charset, that charset when it is one this model can produce (UTF-8,
// ISO-8859-1, US-ASCII), else UTF-8 under the label "UTF-8". Content is bytes. Output is bytes
// with CR LF line ends.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

struct CMimeHeaderField {
    QString name;
    QString value;    // the whole field body, parameters included
    QString charset;  // empty for every field the writers create
};

class CMimeHeader {
  public:
    CMimeHeader() = default;
    virtual ~CMimeHeader();
    CMimeHeader(const CMimeHeader&) = delete;
    CMimeHeader& operator=(const CMimeHeader&) = delete;

    virtual void Reset();
    // An upper bound of what WriteTo produces.
    virtual qint64 MeasureSize() const;
    // Serialises into at most `capacity` bytes and returns the count written, or -1 when the
    // model cannot be written (a multipart body without a boundary).
    virtual qint64 WriteTo(char* buffer, qint64 capacity) const;

    // Overwrites the first field of that name in place (name, value and charset), or appends
    // a new field. An empty name is ignored.
    void PutField(const QString& name, const QString& value, const QString& charset = {});
    const CMimeHeaderField* FindField(const QString& name) const;
    const std::vector<CMimeHeaderField>& Fields() const { return fields_; }

    // Parameter `parameter` of field `field`, quotes and escapes removed; empty when absent.
    QString Parameter(const QString& field, const QString& parameter) const;
    // Sets a parameter on an existing field (nothing happens when the field is absent).
    void SetParameter(const QString& field, const QString& parameter, const QString& value);

    // MeasureSize bytes, WriteTo them, trimmed to the count written; none on failure.
    std::optional<QByteArray> Serialize() const;

  protected:
    qint64 HeaderSize() const;
    qint64 WriteHeader(char* buffer, qint64 capacity) const;

    std::vector<CMimeHeaderField> fields_;
};

class CMimeBody : public CMimeHeader {
  public:
    // Content of 30 MiB or more is not attached.
    static constexpr quint64 kMaxFileContent = 31457280;

    CMimeBody() = default;
    ~CMimeBody() override;

    void Reset() override;
    qint64 MeasureSize() const override;
    qint64 WriteTo(char* buffer, qint64 capacity) const override;

    void PutContentType(const QString& value, const QString& charset = {});
    void PutTransferEncoding(const QString& value);
    // Parameter "charset" of Content-Type; a missing Content-Type becomes "text/plain" first.
    void PutCharset(const QString& charset);
    // Parameter "name" of Content-Type; a missing Content-Type is chosen by the extension.
    void PutName(const QString& name);
    // Makes the part multipart: a multipart Content-Type stays, anything else becomes
    // "multipart/mixed"; then the "boundary" parameter is set to `boundary`, or to a generated
    // one when none is given.
    void PutBoundary(const std::optional<QString>& boundary = std::nullopt);
    // A new empty child part, owned by this body.
    CMimeBody* AddPart();

    // Replaces the content with a copy of `length` bytes (0 = up to the first NUL). Returns
    // the length stored, or -1 when memory runs out or the length is negative (no content).
    qint64 PutText(const char* bytes, qint64 length);
    qint64 PutText(const QByteArray& bytes);  // shares the bytes instead of copying them
    // Stores the bytes when 0 < size < kMaxFileContent, else keeps the content as it was;
    // then PutName with the part of `name` after its last backslash. False on out of memory.
    bool PutFileContent(const QString& name, const char* bytes, quint64 size);
    bool PutFileContent(const QString& name, const QByteArray& bytes);

    const QByteArray& Content() const { return content_; }
    quint64 ContentSize() const { return static_cast<quint64>(content_.size()); }
    const std::vector<std::unique_ptr<CMimeBody>>& Parts() const { return parts_; }
    QString Boundary() const { return Parameter(QStringLiteral("Content-Type"), QStringLiteral("boundary")); }

    // The media type chosen for a file name by its extension ("application/octet-stream" when
    // there is no known extension).
    static QString MediaTypeForName(const QString& name);
    // A fresh boundary "__=_Part_Boundary_%03d_%06d.%06d"; the counter runs 1 to 9.
    QString GenerateBoundary() const;

  private:
    QByteArray content_;
    std::vector<std::unique_ptr<CMimeBody>> parts_;
};

class CMimeMessage : public CMimeBody {
  public:
    // An RFC 5322 "Date" field from local time; false (no field) when the time cannot be
    // represented or lies before 1970.
    bool PutDate(int year, int month, int day, int hour, int minute, int second);
    void PutFrom(const QString& value, const QString& charset = {});
    void PutTo(const QString& value, const QString& charset = {});
    void PutCc(const QString& value, const QString& charset = {});
    void PutBcc(const QString& value, const QString& charset = {});
    void PutSubject(const QString& value, const QString& charset = {});
};
