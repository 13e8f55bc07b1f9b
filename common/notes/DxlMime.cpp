// Mail stored as MIME, as the DXL exporter writes it in either of its two ways:
//  - MIME option "DXL": the whole message as one RFC 822 stream in a <mime> element;
//  - MIME option "raw" (the default): items of TYPE_MIME_PART (<rawitemdata type='19'>), each
//    a MIME_PART record of HCL's C API (mimeods.h) with the boundary, headers and body of one
//    part, a part's body possibly kept in a $FILE object; the message headers in items of
//    TYPE_RFC822_TEXT (<rawitemdata type='502'>, an RFC822ITEMDESC record).
// Both become one message, which the document then presents the way the readers know:
// "Body" as an HTML (or text) item with inline images in place, the files as attachments,
// and the header items (From, SendTo, CopyTo, BlindCopyTo, Subject, PostedDate, $MessageID)
// where the document does not carry them itself.

#include "common/notes/DxlReader.h"

#include <QDateTime>
#include <QStringDecoder>
#include <QTimeZone>

#include <algorithm>
#include <cstring>
#include <map>

namespace notes_detail {

namespace {

constexpr std::uint16_t kTypeMimePart = 0x19;     // TYPE_MIME_PART
constexpr std::uint16_t kTypeRfc822Text = 0x502;  // TYPE_RFC822_TEXT
constexpr std::uint16_t kHtmlWord = 0x15;         // TYPE_HTML, the first word of the Body value
constexpr std::size_t kMimePartHeader = 20;       // sizeof(MIME_PART)
constexpr std::uint32_t kPartHasBoundary = 0x1;   // MIME_PART_HAS_BOUNDARY
constexpr std::uint32_t kPartHasHeaders = 0x2;    // MIME_PART_HAS_HEADERS
constexpr std::uint32_t kPartBodyInObject = 0x4;  // MIME_PART_BODY_IN_DBOBJECT
constexpr std::size_t kRfc822Header = 14;         // sizeof(RFC822ITEMDESC)
constexpr std::uint32_t kRfc822FormatMask = 0x7;  // RFC822_ITEM_FORMAT_MASK
constexpr std::uint32_t kRfc822FormatDate = 0x2;  // RFC822_ITEM_FORMAT_DATE
constexpr int kMaxDepth = 16;                     // nesting of multiparts
constexpr std::size_t kMaxParts = 4096;
constexpr std::size_t kMaxInlineImages = 256;  // shown in place; others stay attachments

std::uint16_t Word(const QByteArray& b, qsizetype at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      (static_cast<unsigned char>(b[at + 1]) << 8));
}
std::uint32_t DWord(const QByteArray& b, qsizetype at) {
    return Word(b, at) | (static_cast<std::uint32_t>(Word(b, at + 2)) << 16);
}

// ---------------------------------------------------------------------------------------------
// Header values

QString DecodeCharset(const QByteArray& bytes, const QByteArray& charset) {
    QStringDecoder decoder(charset.isEmpty() ? QByteArray("utf-8") : charset.trimmed());
    if (!decoder.isValid()) return QString::fromLatin1(bytes);
    QString text = decoder.decode(bytes);
    if (decoder.hasError() && charset.isEmpty()) return QString::fromLatin1(bytes);
    return text;
}

QByteArray QuotedPrintable(QByteArrayView in, bool header) {
    QByteArray out;
    out.reserve(in.size());
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '_' && header) {
            out += ' ';
        } else if (c == '=' && i + 2 < in.size() && hex(in[i + 1]) >= 0 && hex(in[i + 2]) >= 0) {
            out += static_cast<char>(hex(in[i + 1]) * 16 + hex(in[i + 2]));
            i += 2;
        } else if (c == '=' && (i + 1 == in.size() || in[i + 1] == '\r' || in[i + 1] == '\n')) {
            // a soft line break
            if (i + 1 < in.size() && in[i + 1] == '\r') ++i;
            if (i + 1 < in.size() && in[i + 1] == '\n') ++i;
        } else {
            out += c;
        }
    }
    return out;
}

// RFC 2047 encoded words ("=?utf-8?B?...?="); blanks between two encoded words vanish.
QString DecodeWords(const QByteArray& value) {
    QString out;
    qsizetype i = 0;
    bool lastWasWord = false;
    QString pendingBlank;
    while (i < value.size()) {
        const qsizetype start = value.indexOf("=?", i);
        if (start < 0) break;
        const qsizetype q1 = value.indexOf('?', start + 2);
        const qsizetype q2 = q1 < 0 ? -1 : value.indexOf('?', q1 + 1);
        const qsizetype end = q2 < 0 ? -1 : value.indexOf("?=", q2 + 1);
        if (q1 < 0 || q2 != q1 + 2 || end < 0) break;
        const QByteArray between = value.mid(i, start - i);
        if (!(lastWasWord && between.trimmed().isEmpty())) out += DecodeCharset(between, "utf-8");
        QByteArray charset = value.mid(start + 2, q1 - start - 2);
        if (const qsizetype star = charset.indexOf('*'); star >= 0)
            charset.truncate(star);  // RFC 2231 language
        const char enc = static_cast<char>(value[q1 + 1] | 0x20);
        const QByteArray text = value.mid(q2 + 1, end - q2 - 1);
        const QByteArray bytes = enc == 'b' ? QByteArray::fromBase64(text) : QuotedPrintable(text, true);
        out += DecodeCharset(bytes, charset);
        lastWasWord = true;
        i = end + 2;
    }
    out += DecodeCharset(value.mid(i), "utf-8");
    return out.trimmed();
}

// "type/subtype; a=b; c="d"" into the lower-case value and its parameters (RFC 2231
// "name*=charset''text" too).
struct HeaderValue {
    QByteArray value;
    std::map<QByteArray, QString> params;
};

HeaderValue ParseHeaderValue(const QByteArray& text) {
    HeaderValue h;
    qsizetype i = text.indexOf(';');
    h.value = (i < 0 ? text : text.left(i)).trimmed().toLower();
    while (i >= 0 && i < text.size()) {
        ++i;
        const qsizetype eq = text.indexOf('=', i);
        if (eq < 0) break;
        QByteArray name = text.mid(i, eq - i).trimmed().toLower();
        qsizetype j = eq + 1;
        while (j < text.size() && text[j] == ' ') ++j;
        QByteArray v;
        if (j < text.size() && text[j] == '"') {
            ++j;
            while (j < text.size() && text[j] != '"') {
                if (text[j] == '\\' && j + 1 < text.size()) ++j;
                v += text[j++];
            }
            i = text.indexOf(';', j);
        } else {
            const qsizetype semi = text.indexOf(';', j);
            v = text.mid(j, semi < 0 ? -1 : semi - j).trimmed();
            i = semi;
        }
        if (name.endsWith('*')) {
            name.chop(1);
            const qsizetype a = v.indexOf('\'');
            const qsizetype b = a < 0 ? -1 : v.indexOf('\'', a + 1);
            const QByteArray charset = a < 0 ? QByteArray() : v.left(a);
            h.params[name] =
                DecodeCharset(QByteArray::fromPercentEncoding(b < 0 ? v : v.mid(b + 1)), charset);
        } else {
            h.params[name] = DecodeWords(v);
        }
    }
    return h;
}

// ---------------------------------------------------------------------------------------------
// The entity tree

struct Entity {
    std::vector<std::pair<QByteArray, QByteArray>> headers;  // lower-case names, unfolded values
    QByteArrayView body;
    std::vector<Entity> children;

    QByteArray Header(const char* name) const {
        for (const auto& [n, v] : headers)
            if (n == name) return v;
        return {};
    }
};

// Splits headers from body and unfolds the headers.
void ParseHeaders(QByteArrayView message, Entity* e) {
    qsizetype pos = 0;
    while (pos < message.size()) {
        qsizetype eol = message.indexOf('\n', pos);
        if (eol < 0) eol = message.size();
        QByteArrayView line = message.sliced(pos, eol - pos);
        if (line.endsWith('\r')) line.chop(1);
        const qsizetype next = eol + 1;
        if (line.isEmpty()) {
            pos = next;
            e->body = message.sliced(std::min(pos, message.size()));
            return;
        }
        if ((line[0] == ' ' || line[0] == '\t') && !e->headers.empty()) {
            e->headers.back().second += ' ';
            e->headers.back().second += line.trimmed().toByteArray();
        } else if (const qsizetype colon = line.indexOf(':'); colon > 0) {
            e->headers.push_back({line.first(colon).trimmed().toByteArray().toLower(),
                                  line.sliced(colon + 1).trimmed().toByteArray()});
        }
        pos = next;
    }
    e->body = {};
}

void ParseEntity(QByteArrayView message, int depth, std::size_t* count, Entity* e) {
    ParseHeaders(message, e);
    if (++*count > kMaxParts || depth >= kMaxDepth) return;
    const HeaderValue type = ParseHeaderValue(e->Header("content-type"));
    const auto b = type.params.find("boundary");
    if (!type.value.startsWith("multipart/") || b == type.params.end() || b->second.isEmpty()) return;
    const QByteArray delimiter = "--" + b->second.toUtf8();
    QByteArrayView rest = e->body;
    qsizetype partStart = -1;
    qsizetype pos = 0;
    while (pos <= rest.size()) {
        const qsizetype at = rest.indexOf(delimiter, pos);
        if (at < 0) break;
        const bool lineStart = at == 0 || rest[at - 1] == '\n';
        if (!lineStart) {
            pos = at + 1;
            continue;
        }
        if (partStart >= 0) {
            qsizetype end = at;
            if (end > partStart && rest[end - 1] == '\n') --end;
            if (end > partStart && rest[end - 1] == '\r') --end;
            Entity child;
            ParseEntity(rest.sliced(partStart, end - partStart), depth + 1, count, &child);
            e->children.push_back(std::move(child));
        }
        const qsizetype after = at + delimiter.size();
        if (rest.sliced(after).startsWith("--")) break;  // the close delimiter
        const qsizetype eol = rest.indexOf('\n', after);
        if (eol < 0) break;
        partStart = eol + 1;
        pos = partStart;
    }
}

QByteArray DecodedBody(const Entity& e) {
    const QByteArray cte = e.Header("content-transfer-encoding").trimmed().toLower();
    if (cte == "base64") return QByteArray::fromBase64(e.body.toByteArray());
    if (cte == "quoted-printable") return QuotedPrintable(e.body, false);
    return e.body.toByteArray();
}

// ---------------------------------------------------------------------------------------------
// From the message to the document

struct Leaves {
    QString html, plain;
    bool haveHtml = false, havePlain = false;
    struct Inline {
        QString contentId;
        QByteArray type;
        QByteArray bytes;
    };
    std::vector<Inline> inlines;
    std::vector<FileData> files;
};

QString FileNameOf(const Entity& e) {
    const HeaderValue disposition = ParseHeaderValue(e.Header("content-disposition"));
    if (const auto it = disposition.params.find("filename"); it != disposition.params.end())
        return it->second;
    const HeaderValue type = ParseHeaderValue(e.Header("content-type"));
    if (const auto it = type.params.find("name"); it != type.params.end()) return it->second;
    return {};
}

void CollectLeaves(const Entity& e, Leaves* out) {
    const HeaderValue type = ParseHeaderValue(e.Header("content-type"));
    const QByteArray contentType = type.value.isEmpty() ? QByteArray("text/plain") : type.value;
    if (contentType.startsWith("multipart/")) {
        for (const Entity& child : e.children) CollectLeaves(child, out);
        return;
    }
    const HeaderValue disposition = ParseHeaderValue(e.Header("content-disposition"));
    const QString fileName = FileNameOf(e);
    const bool attachment = disposition.value == "attachment" || !fileName.isEmpty();
    QByteArray bytes = DecodedBody(e);
    const auto charset = type.params.find("charset");
    const QByteArray charsetName = charset == type.params.end() ? QByteArray() : charset->second.toLatin1();
    if (!attachment && contentType == "text/html" && !out->haveHtml) {
        out->html = DecodeCharset(bytes, charsetName);
        out->haveHtml = true;
        return;
    }
    if (!attachment && contentType == "text/plain" && !out->havePlain) {
        out->plain = DecodeCharset(bytes, charsetName);
        out->havePlain = true;
        return;
    }
    QString contentId = QString::fromUtf8(e.Header("content-id")).trimmed();
    if (contentId.startsWith(QLatin1Char('<')) && contentId.endsWith(QLatin1Char('>')))
        contentId = contentId.mid(1, contentId.size() - 2);
    if (!contentId.isEmpty() && contentType.startsWith("image/") && disposition.value != "attachment" &&
        out->inlines.size() < kMaxInlineImages)
        out->inlines.push_back({contentId, contentType, bytes});
    FileData file;
    file.name = (fileName.isEmpty() ? QStringLiteral("attachment-%1").arg(out->files.size() + 1) : fileName)
                    .toStdString();
    if (contentType == "message/rfc822" && fileName.isEmpty()) file.name += ".eml";
    file.size = static_cast<std::uint64_t>(bytes.size());
    file.sizeKnown = true;
    file.bytes = std::make_shared<const QByteArray>(std::move(bytes));
    if (!out->inlines.empty() && out->inlines.back().contentId == contentId)
        file.mimeContentId = contentId.toStdString();
    out->files.push_back(std::move(file));
}

// Addresses of a header value, split at commas outside quotes and angle brackets.
std::vector<std::string> AddressList(const QByteArray& value) {
    std::vector<std::string> out;
    QByteArray current;
    bool quoted = false;
    int angle = 0;
    for (const char c : value) {
        if (c == '"') quoted = !quoted;
        if (!quoted && c == '<') ++angle;
        if (!quoted && c == '>' && angle > 0) --angle;
        if (c == ',' && !quoted && angle == 0) {
            if (!current.trimmed().isEmpty()) out.push_back(DecodeWords(current.trimmed()).toStdString());
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.trimmed().isEmpty()) out.push_back(DecodeWords(current.trimmed()).toStdString());
    return out;
}

bool ParseMailDate(const QByteArray& value, LNDatetime* out) {
    QByteArray text = value.trimmed();
    if (const qsizetype paren = text.indexOf('('); paren > 0) text = text.left(paren).trimmed();
    const QDateTime t = QDateTime::fromString(QString::fromLatin1(text), Qt::RFC2822Date);
    if (!t.isValid()) return false;
    const int offset = t.offsetFromUtc() / 60;
    const QDateTime local = t.toOffsetFromUtc(t.offsetFromUtc());
    char dxl[40];
    const int absolute = offset < 0 ? -offset : offset;
    std::snprintf(dxl, sizeof dxl, "%04d%02d%02dT%02d%02d%02d,00%c%02d%02d", local.date().year(),
                  local.date().month(), local.date().day(), local.time().hour(), local.time().minute(),
                  local.time().second(), offset < 0 ? '-' : '+', absolute / 60, absolute % 60);
    return LNDatetime::FromDxl(dxl, false, out);
}

bool HasItem(const DocumentData& doc, std::string_view name) {
    return std::any_of(doc.items.begin(), doc.items.end(), [&](const ItemData& i) { return i.name == name; });
}

ItemData MadeItem(const std::string& name, LNITEMTYPE type) {
    ItemData item;
    item.name = name;
    item.type = type;
    item.flags = LNITEMFLAGS_SUMMARY;
    return item;
}

// Header items from the message's own headers, where the document has none of that name.
void AddHeaderItems(const Entity& top, DocumentData* doc) {
    static const std::pair<const char*, const char*> kLists[] = {
        {"from", "From"}, {"to", "SendTo"}, {"cc", "CopyTo"}, {"bcc", "BlindCopyTo"}};
    for (const auto& [header, item] : kLists) {
        const QByteArray value = top.Header(header);
        if (value.isEmpty() || HasItem(*doc, item)) continue;
        ItemData made = MadeItem(item, LNITEMTYPE_TEXT);
        made.texts = AddressList(value);
        made.flags |= LNITEMFLAGS_NAMES;
        doc->items.push_back(std::move(made));
    }
    if (const QByteArray subject = top.Header("subject"); !subject.isEmpty() && !HasItem(*doc, "Subject")) {
        ItemData made = MadeItem("Subject", LNITEMTYPE_TEXT);
        made.texts.push_back(DecodeWords(subject).toStdString());
        doc->items.push_back(std::move(made));
    }
    if (const QByteArray id = top.Header("message-id"); !id.isEmpty() && !HasItem(*doc, "$MessageID")) {
        ItemData made = MadeItem("$MessageID", LNITEMTYPE_TEXT);
        made.texts.push_back(id.trimmed().toStdString());
        doc->items.push_back(std::move(made));
    }
    LNDatetime date;
    if (!HasItem(*doc, "PostedDate") && ParseMailDate(top.Header("date"), &date)) {
        ItemData made = MadeItem("PostedDate", LNITEMTYPE_DATETIMES);
        made.dates.entries.push_back({date, date, false});
        doc->items.push_back(std::move(made));
    }
}

// The body the readers know: HTML with the inline images in place, else the plain text.
void SetBody(Leaves& leaves, DocumentData* doc) {
    ItemData body;
    body.name = "Body";
    if (leaves.haveHtml) {
        QString html = leaves.html;
        for (const auto& in : leaves.inlines) {
            const QString uri = QStringLiteral("data:") + QString::fromLatin1(in.type) +
                                QStringLiteral(";base64,") + QString::fromLatin1(in.bytes.toBase64());
            html.replace(QStringLiteral("cid:") + in.contentId, uri, Qt::CaseInsensitive);
        }
        body.type = LNITEMTYPE_HTML;
        body.rawType = kHtmlWord;
        body.made = std::make_shared<const QByteArray>(html.toUtf8());
        // An inline image shown in place is no attachment of its own.
        std::erase_if(leaves.files, [&](const FileData& f) {
            return !f.mimeContentId.empty() &&
                   leaves.html.contains(QStringLiteral("cid:") + QString::fromStdString(f.mimeContentId),
                                        Qt::CaseInsensitive);
        });
    } else {
        body.type = LNITEMTYPE_TEXT;
        body.texts.push_back(leaves.plain.toStdString());
    }
    if (leaves.havePlain) {
        ItemData plain = MadeItem("$MimePlainBody", LNITEMTYPE_TEXT);
        plain.texts.push_back(leaves.plain.toStdString());
        doc->items.push_back(std::move(plain));
    }
    doc->items.push_back(std::move(body));
}

// One TYPE_RFC822_TEXT value: its native Notes form (text, or a TIMEDATE for dates) and
// the header as it came (name, delimiter, body). The item becomes text, or a date.
void ConvertRfc822Item(const QByteArray& raw, ItemData* item) {
    if (raw.size() < static_cast<qsizetype>(kRfc822Header)) return;
    const std::uint32_t flags = DWord(raw, 2);
    const qsizetype nativeLen = Word(raw, 6), nameLen = Word(raw, 8), delimLen = Word(raw, 10),
                    bodyLen = Word(raw, 12);
    const qsizetype bodyAt = static_cast<qsizetype>(kRfc822Header) + nativeLen + nameLen + delimLen;
    if (bodyAt + bodyLen > raw.size()) return;
    const QByteArray native = raw.mid(static_cast<qsizetype>(kRfc822Header), nativeLen);
    const QByteArray body = raw.mid(bodyAt, bodyLen);
    item->rawType = 0;
    item->raw = {};
    if ((flags & kRfc822FormatMask) == kRfc822FormatDate) {
        LNDatetime date;
        item->type = LNITEMTYPE_DATETIMES;
        if (ParseMailDate(body, &date)) item->dates.entries.push_back({date, date, false});
        return;
    }
    item->type = LNITEMTYPE_TEXT;
    const QByteArray& text = body.isEmpty() ? native : body;
    if (item->name == "SendTo" || item->name == "CopyTo" || item->name == "BlindCopyTo" ||
        item->name == "From")
        item->texts = AddressList(text);
    else
        item->texts.push_back(DecodeWords(text).toStdString());
}

// The message of the MIME_PART items named like the first one, in item order.
bool AssembleParts(DatabaseImpl& db, DocumentData* doc, QByteArray* message) {
    std::string name;
    for (const ItemData& item : doc->items)
        if (item.rawType == kTypeMimePart) {
            name = item.name;
            break;
        }
    if (name.empty()) return false;
    for (const ItemData& item : doc->items) {
        if (item.rawType != kTypeMimePart || item.name != name) continue;
        QByteArray part;
        if (db.DecodeBase64(item.raw, &part) != LNNOERROR ||
            part.size() < static_cast<qsizetype>(kMimePartHeader))
            continue;
        const std::uint32_t flags = DWord(part, 2);
        const qsizetype byteCount = Word(part, 8), boundaryLen = Word(part, 10), headersLen = Word(part, 12);
        const QByteArray data = part.mid(static_cast<qsizetype>(kMimePartHeader), byteCount);
        const qsizetype boundary = (flags & kPartHasBoundary) ? std::min(boundaryLen, data.size()) : 0;
        const qsizetype headers =
            (flags & kPartHasHeaders) ? std::min(headersLen, data.size() - boundary) : 0;
        *message += data.left(boundary + headers);
        QByteArray body = data.mid(boundary + headers);
        if (flags & kPartBodyInObject) {
            // The body is kept in a $FILE object named by the body text.
            const qsizetype nul = body.indexOf('\0');
            const std::string objectName = (nul < 0 ? body : body.left(nul)).trimmed().toStdString();
            body.clear();
            for (FileData& file : doc->files) {
                if (file.name != objectName) continue;
                file.mimePart = true;
                QByteArray bytes;
                if (file.compression.empty() && db.DecodeBase64(file.data, &bytes) == LNNOERROR) {
                    Entity partHeaders;
                    ParseHeaders(data.mid(boundary, headers) + "\r\n", &partHeaders);
                    const bool base64 =
                        partHeaders.Header("content-transfer-encoding").trimmed().toLower() == "base64";
                    body = base64 ? bytes.toBase64(QByteArray::Base64Encoding) : bytes;
                }
                break;
            }
        }
        *message += body;
    }
    return true;
}

}  // namespace

void ApplyMime(DatabaseImpl& db, DocumentData* doc) {
    for (ItemData& item : doc->items) {
        if (item.rawType != kTypeRfc822Text) continue;
        QByteArray raw;
        if (db.DecodeBase64(item.raw, &raw) == LNNOERROR) ConvertRfc822Item(raw, &item);
    }
    QByteArray message;
    if (!doc->mimeSource.empty())
        message = QByteArray::fromStdString(doc->mimeSource);
    else if (!AssembleParts(db, doc, &message))
        return;
    doc->mimeSource.clear();
    Entity top;
    std::size_t count = 0;
    ParseEntity(message, 0, &count, &top);
    Leaves leaves;
    CollectLeaves(top, &leaves);
    std::erase_if(doc->items,
                  [](const ItemData& i) { return i.rawType == kTypeMimePart || i.name == "Body"; });
    // Files that hold the bodies of MIME parts are listed through those parts.
    std::vector<FileData> files;
    for (auto& f : doc->files)
        if (!f.mimePart) files.push_back(std::move(f));
    doc->files = std::move(files);
    for (auto& item : doc->items) item.file = -1;
    for (std::size_t i = 0; i < doc->files.size(); ++i) {
        ItemData fileItem = MadeItem("$FILE", LNITEMTYPE_OBJECT);
        fileItem.file = static_cast<int>(i);
        fileItem.encrypted = doc->files[i].sealed;
        doc->items.push_back(std::move(fileItem));
    }
    std::erase_if(doc->items, [](const ItemData& i) { return i.type == LNITEMTYPE_OBJECT && i.file < 0; });
    SetBody(leaves, doc);
    for (auto& f : leaves.files) {
        ItemData fileItem = MadeItem("$FILE", LNITEMTYPE_OBJECT);
        fileItem.file = static_cast<int>(doc->files.size());
        doc->files.push_back(std::move(f));
        doc->items.push_back(std::move(fileItem));
    }
    AddHeaderItems(top, doc);
    doc->isMime = true;
}

}  // namespace notes_detail
