#include "convert/mime/Mime.h"

#include "convert/mime/FieldCode.h"
#include "convert/mime/MimeCodec.h"

#include <QList>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <new>

namespace {

const QString kContentType = QStringLiteral("Content-Type");
const QString kTransferEncoding = QStringLiteral("Content-Transfer-Encoding");

bool IsSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// RFC 2045 token characters, and '.' which the parameter scan accepts in unquoted values.
bool IsTokenChar(QChar c) {
    const char16_t u = c.unicode();
    return u > 0x20 && u < 0x7F && !QStringView(u"()<>@,;:\\\"/[]?=").contains(c);
}

// Finds parameter `name` in a field value, skipping ';' inside quoted strings. On success sets
// [valueStart, valueEnd) to the parameter's value text as written.
bool FindParameter(const QString& value, const QString& name, qsizetype& valueStart, qsizetype& valueEnd) {
    const qsizetype n = value.size();
    bool quoted = false;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = value[i];
        if (quoted) {
            if (c == u'\\')
                ++i;
            else if (c == u'"')
                quoted = false;
            continue;
        }
        if (c == u'"') {
            quoted = true;
            continue;
        }
        if (c != u';') continue;
        qsizetype j = i;
        while (j < n && (IsSpace(value[j]) || value[j] == u';')) ++j;
        const qsizetype eq = value.indexOf(u'=', j);
        if (eq < 0) return false;
        const qsizetype after = j + name.size();
        if (after > eq || QStringView(value).sliced(j, name.size()).compare(name, Qt::CaseInsensitive) != 0 ||
            !(after == eq || IsSpace(value[after])))
            continue;
        qsizetype v = eq + 1;
        while (v < n && IsSpace(value[v])) ++v;
        qsizetype e = v;
        if (e < n && value[e] == u'"') {
            for (++e; e < n && value[e] != u'"'; ++e)
                if (value[e] == u'\\') ++e;
            e = std::min(e + 1, n);
        } else {
            while (e < n && (IsTokenChar(value[e]) || value[e] == u'.')) ++e;
        }
        valueStart = v;
        valueEnd = e;
        return true;
    }
    return false;
}

// A parameter value as a quoted string. Quotes already around the value are kept; quotes and
// backslashes inside it are escaped so that they cannot end the string early.
QString QuoteParameter(const QString& value) {
    QStringView inner(value);
    if (inner.startsWith(u'"')) inner = inner.sliced(1);
    if (value.size() >= 2 && inner.endsWith(u'"')) inner.chop(1);
    QString out;
    out.reserve(inner.size() + 2);
    out += u'"';
    for (const QChar c : inner) {
        if (c == u'"' || c == u'\\') out += u'\\';
        out += c;
    }
    out += u'"';
    return out;
}

QString UnquoteParameter(QStringView text) {
    if (!text.startsWith(u'"')) return text.toString();
    QString out;
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (text[i] == u'"') break;
        if (text[i] == u'\\' && i + 1 < text.size()) ++i;
        out += text[i];
    }
    return out;
}

// A field value as bytes, with the charset its encoded words will carry. Text that the named
// charset cannot hold, or a charset this model cannot produce, falls back to UTF-8.
void ValueBytes(const CMimeHeaderField& field, QByteArray& bytes, QByteArray& charset) {
    charset = field.charset.trimmed().toLatin1();
    const bool latin1 = mime::EqualsNoCase(charset, "iso-8859-1") || mime::EqualsNoCase(charset, "latin1");
    const bool ascii = mime::EqualsNoCase(charset, "us-ascii");
    if (latin1 || ascii) {
        const char16_t limit = latin1 ? 0x100 : 0x80;
        bool fits = true;
        for (const QChar c : field.value) fits = fits && c.unicode() < limit;
        if (fits) {
            bytes = field.value.toLatin1();
            return;
        }
    }
    bytes = field.value.toUtf8();
    const bool utf8 = mime::EqualsNoCase(charset, "utf-8") || mime::EqualsNoCase(charset, "utf8");
    if (!charset.isEmpty() && !utf8) {
        bool allAscii = true;
        for (const char b : bytes) allAscii = allAscii && static_cast<unsigned char>(b) < 0x80;
        if (!allAscii) charset = "UTF-8";
    }
}

// One header line "Name: value" CR LF. A line break that is not a fold (CR LF followed by a
// space or tab) would end the field early or start a forged one, so it becomes one space;
// a name keeps only printable ASCII other than ':'.
QByteArray FieldLine(const CMimeHeaderField& field) {
    QByteArray name = field.name.toUtf8();
    for (char& b : name)
        if (static_cast<unsigned char>(b) <= 0x20 || static_cast<unsigned char>(b) >= 0x7F || b == ':')
            b = '-';
    QByteArray bytes, charset;
    ValueBytes(field, bytes, charset);
    std::unique_ptr<CFieldCodeBase> codec = FieldCodecRegistry::Instance().Create(field.name);
    codec->SetInput(bytes);
    codec->SetCharset(charset);
    codec->SetStartColumn(name.size() + 2);
    const QByteArray value = codec->Encode();
    QByteArray line;
    line.reserve(name.size() + value.size() + 4);
    line.append(name).append(": ");
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value[i];
        const bool pair = c == '\r' && i + 1 < value.size() && value[i + 1] == '\n';
        if (pair && i + 2 < value.size() && (value[i + 2] == ' ' || value[i + 2] == '\t')) {
            line.append("\r\n");
            ++i;
        } else if (pair || c == '\r' || c == '\n') {
            line.append(' ');
            i += pair ? 1 : 0;
        } else {
            line.append(c);
        }
    }
    line.append("\r\n");
    return line;
}

struct Writer {
    char* out;
    qint64 capacity;
    qint64 count = 0;
    void Put(QByteArrayView bytes) {
        const qint64 m = std::min<qint64>(bytes.size(), capacity - count);
        if (m > 0) {
            std::memcpy(out + count, bytes.data(), static_cast<size_t>(m));
            count += m;
        }
    }
};

// The classic rand() recurrence, so that each body draws its own numbers 0 to 32767 without
// touching the process's shared generator.
struct BoundaryRandom {
    std::uint32_t state;
    int Next() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFF);
    }
};

std::atomic<int> boundaryCounter{0};

}  // namespace

// ---------------------------------------------------------------------------- header

CMimeHeader::~CMimeHeader() = default;

void CMimeHeader::Reset() {
    fields_.clear();
}

void CMimeHeader::PutField(const QString& name, const QString& value, const QString& charset) {
    if (name.isEmpty()) return;
    for (CMimeHeaderField& field : fields_) {
        if (field.name.compare(name, Qt::CaseInsensitive) == 0) {
            field = {name, value, charset.isNull() ? QStringLiteral("") : charset};
            return;
        }
    }
    fields_.push_back({name, value, charset.isNull() ? QStringLiteral("") : charset});
}

const CMimeHeaderField* CMimeHeader::FindField(const QString& name) const {
    for (const CMimeHeaderField& field : fields_)
        if (field.name.compare(name, Qt::CaseInsensitive) == 0) return &field;
    return nullptr;
}

QString CMimeHeader::Parameter(const QString& field, const QString& parameter) const {
    const CMimeHeaderField* f = FindField(field);
    qsizetype start = 0, end = 0;
    if (!f || !FindParameter(f->value, parameter, start, end)) return {};
    return UnquoteParameter(QStringView(f->value).sliced(start, end - start));
}

void CMimeHeader::SetParameter(const QString& field, const QString& parameter, const QString& value) {
    for (CMimeHeaderField& f : fields_) {
        if (f.name.compare(field, Qt::CaseInsensitive) != 0) continue;
        const QString quoted = QuoteParameter(value);
        qsizetype start = 0, end = 0;
        if (FindParameter(f.value, parameter, start, end))
            f.value.replace(start, end - start, quoted);
        else
            f.value += QStringLiteral("; ") + parameter + u'=' + quoted;
        return;
    }
}

qint64 CMimeHeader::HeaderSize() const {
    qint64 size = 2;
    for (const CMimeHeaderField& field : fields_) size += FieldLine(field).size();
    return size;
}

qint64 CMimeHeader::WriteHeader(char* buffer, qint64 capacity) const {
    Writer w{buffer, std::max<qint64>(capacity, 0)};
    for (const CMimeHeaderField& field : fields_) w.Put(FieldLine(field));
    w.Put("\r\n");
    return w.count;
}

qint64 CMimeHeader::MeasureSize() const {
    return HeaderSize();
}

qint64 CMimeHeader::WriteTo(char* buffer, qint64 capacity) const {
    return WriteHeader(buffer, capacity);
}

std::optional<QByteArray> CMimeHeader::Serialize() const {
    try {
        QByteArray out(MeasureSize(), Qt::Uninitialized);
        const qint64 n = WriteTo(out.data(), out.size());
        if (n < 0) return std::nullopt;
        out.truncate(n);
        return out;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

// ---------------------------------------------------------------------------- body

CMimeBody::~CMimeBody() = default;

void CMimeBody::Reset() {
    CMimeHeader::Reset();
    parts_.clear();
    content_ = QByteArray();
}

qint64 CMimeBody::MeasureSize() const {
    qint64 size = HeaderSize();
    const CMimeHeaderField* encoding = FindField(kTransferEncoding);
    std::unique_ptr<CMimeCodeBase> codec =
        TransferCodecRegistry::Instance().Create(encoding ? encoding->value : QString());
    codec->SetInput(content_);
    size += codec->EncodedSize();
    if (!parts_.empty()) {
        const qint64 boundary = Boundary().toUtf8().size();
        for (const auto& part : parts_) size += boundary + 6 + part->MeasureSize();
        size += boundary + 8;
    }
    return size;
}

qint64 CMimeBody::WriteTo(char* buffer, qint64 capacity) const {
    capacity = std::max<qint64>(capacity, 0);
    qint64 n = WriteHeader(buffer, capacity);
    const CMimeHeaderField* encoding = FindField(kTransferEncoding);
    std::unique_ptr<CMimeCodeBase> codec =
        TransferCodecRegistry::Instance().Create(encoding ? encoding->value : QString());
    codec->SetInput(content_);
    n += codec->EncodeTo(buffer + n, capacity - n);
    if (parts_.empty()) return n;
    const QByteArray boundary = Boundary().toUtf8();
    if (boundary.isEmpty()) return -1;
    Writer w{buffer, capacity, n};
    for (size_t i = 0; i < parts_.size(); ++i) {
        // The delimiter's own CR LF supplies the blank line that ends the header.
        if (i == 0 && w.count >= 2 && buffer[w.count - 2] == '\r' && buffer[w.count - 1] == '\n')
            w.count -= 2;
        w.Put("\r\n--");
        w.Put(boundary);
        w.Put("\r\n");
        const qint64 child = parts_[i]->WriteTo(buffer + w.count, capacity - w.count);
        if (child < 0) return -1;
        w.count += child;
    }
    w.Put("\r\n--");
    w.Put(boundary);
    w.Put("--\r\n");
    return w.count;
}

void CMimeBody::PutContentType(const QString& value, const QString& charset) {
    PutField(kContentType, value, charset);
}

void CMimeBody::PutTransferEncoding(const QString& value) {
    PutField(kTransferEncoding, value);
}

void CMimeBody::PutCharset(const QString& charset) {
    if (!FindField(kContentType)) PutField(kContentType, QStringLiteral("text/plain"));
    SetParameter(kContentType, QStringLiteral("charset"), charset);
}

void CMimeBody::PutName(const QString& name) {
    if (!FindField(kContentType)) PutField(kContentType, MediaTypeForName(name));
    SetParameter(kContentType, QStringLiteral("name"), name);
}

QString CMimeBody::MediaTypeForName(const QString& name) {
    static const struct {
        const char16_t* extension;
        const char16_t* type;
    } kTable[] = {
        {u"xml", u"application/xml"},
        {u"doc", u"application/msword"},
        {u"rtf", u"application/rtf"},
        {u"xls", u"application/vnd.ms-excel"},
        {u"ppt", u"application/vnd.ms-powerpoint"},
        {u"pdf", u"application/pdf"},
        {u"zip", u"application/zip"},
        {u"jpeg", u"image/jpeg"},
        {u"jpg", u"image/jpeg"},
        {u"gif", u"image/gif"},
        {u"tif", u"image/tiff"},
        {u"tiff", u"image/tiff"},
        {u"wav", u"audio/basic"},
        {u"mp3", u"audio/basic"},
        {u"mpg", u"video/mpeg"},
        {u"mpeg", u"video/mpeg"},
    };
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot >= 0) {
        const QStringView extension = QStringView(name).sliced(dot + 1);
        for (const auto& entry : kTable)
            if (extension.compare(QStringView(entry.extension), Qt::CaseInsensitive) == 0)
                return QString::fromUtf16(entry.type);
    }
    return QStringLiteral("application/octet-stream");
}

QString CMimeBody::GenerateBoundary() const {
    BoundaryRandom random{static_cast<std::uint32_t>(static_cast<std::uint64_t>(std::time(nullptr)) ^
                                                     reinterpret_cast<std::uintptr_t>(this))};
    const int counter = boundaryCounter.fetch_add(1) + 1;
    const int first = random.Next();
    const int second = random.Next();
    int expected = counter;
    if (counter > 8) boundaryCounter.compare_exchange_strong(expected, 0);
    char text[64];
    std::snprintf(text, sizeof text, "__=_Part_Boundary_%03d_%06d.%06d", counter, second, first);
    return QString::fromLatin1(text);
}

void CMimeBody::PutBoundary(const std::optional<QString>& boundary) {
    const QString b = boundary ? *boundary : GenerateBoundary();
    const CMimeHeaderField* type = FindField(kContentType);
    if (!type) {
        PutField(kContentType, QStringLiteral("multipart/mixed"));
    } else {
        const qsizetype semicolon = type->value.indexOf(u';');
        const QStringView media =
            QStringView(type->value).first(semicolon < 0 ? type->value.size() : semicolon).trimmed();
        const qsizetype slash = media.indexOf(u'/');
        const QStringView top = slash < 0 ? media : media.first(slash);
        if (top.compare(u"multipart", Qt::CaseInsensitive) != 0)
            PutField(kContentType, QStringLiteral("multipart/mixed"), type->charset);
    }
    SetParameter(kContentType, QStringLiteral("boundary"), b);
}

CMimeBody* CMimeBody::AddPart() {
    parts_.push_back(std::make_unique<CMimeBody>());
    return parts_.back().get();
}

qint64 CMimeBody::PutText(const char* bytes, qint64 length) {
    if (length < 0 || length > std::numeric_limits<qsizetype>::max() / 2) {
        content_ = QByteArray();
        return -1;
    }
    if (!bytes)
        length = 0;
    else if (length == 0)
        length = static_cast<qint64>(std::strlen(bytes));
    try {
        content_ = QByteArray(bytes, length);
    } catch (const std::bad_alloc&) {
        content_ = QByteArray();
        return -1;
    }
    return length;
}

qint64 CMimeBody::PutText(const QByteArray& bytes) {
    content_ = bytes;
    return content_.size();
}

bool CMimeBody::PutFileContent(const QString& name, const char* bytes, quint64 size) {
    bool ok = true;
    if (bytes && size > 0 && size < kMaxFileContent) {
        try {
            content_ = QByteArray(bytes, static_cast<qsizetype>(size));
        } catch (const std::bad_alloc&) {
            content_ = QByteArray();
            ok = false;
        }
    }
    PutName(name.sliced(name.lastIndexOf(u'\\') + 1));
    return ok;
}

bool CMimeBody::PutFileContent(const QString& name, const QByteArray& bytes) {
    if (!bytes.isEmpty() && static_cast<quint64>(bytes.size()) < kMaxFileContent) content_ = bytes;
    PutName(name.sliced(name.lastIndexOf(u'\\') + 1));
    return true;
}

// ---------------------------------------------------------------------------- message

bool CMimeMessage::PutDate(int year, int month, int day, int hour, int minute, int second) {
    // Beyond these the broken-down fields would overflow or the text would not be a date.
    if (year < 1970 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 60)
        return false;
    std::tm broken{};
    broken.tm_year = year - 1900;
    broken.tm_mon = month - 1;
    broken.tm_mday = day;
    broken.tm_hour = hour;
    broken.tm_min = minute;
    broken.tm_sec = second;
    broken.tm_isdst = -1;
    const std::time_t instant = std::mktime(&broken);
    if (instant < 0) return false;
    std::tm local{}, utc{};
    if (!localtime_r(&instant, &local) || !gmtime_r(&instant, &utc)) return false;
    int dayDifference = local.tm_mday - utc.tm_mday;
    if (dayDifference > 1)
        dayDifference = -1;  // the month wrapped: local is the last day, UTC the first
    else if (dayDifference < -1)
        dayDifference = 1;
    const int offset =
        dayDifference * 1440 + (local.tm_hour - utc.tm_hour) * 60 + (local.tm_min - utc.tm_min);
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const int absolute = offset < 0 ? -offset : offset;
    char text[40];
    std::snprintf(text, sizeof text, "%s, %d %s %d %02d:%02d:%02d %c%02d%02d", kDays[local.tm_wday],
                  local.tm_mday, kMonths[local.tm_mon], local.tm_year + 1900, local.tm_hour, local.tm_min,
                  local.tm_sec, offset >= 0 ? '+' : '-', absolute / 60, absolute % 60);
    PutField(QStringLiteral("Date"), QString::fromLatin1(text));
    return true;
}

void CMimeMessage::PutFrom(const QString& value, const QString& charset) {
    PutField(QStringLiteral("From"), value, charset);
}
void CMimeMessage::PutTo(const QString& value, const QString& charset) {
    PutField(QStringLiteral("To"), value, charset);
}
void CMimeMessage::PutCc(const QString& value, const QString& charset) {
    PutField(QStringLiteral("CC"), value, charset);
}
void CMimeMessage::PutBcc(const QString& value, const QString& charset) {
    PutField(QStringLiteral("BCC"), value, charset);
}
void CMimeMessage::PutSubject(const QString& value, const QString& charset) {
    PutField(QStringLiteral("Subject"), value, charset);
}
