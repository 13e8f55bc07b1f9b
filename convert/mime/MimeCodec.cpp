#include "convert/mime/MimeCodec.h"

#include <algorithm>
#include <cstring>

namespace {

const char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const char kHexDigits[] = "0123456789ABCDEF";

// Where encoder output goes: either counted or written into a bounded buffer, so that the
// size and the bytes come from the same code.
struct CountSink {
    qint64 count = 0;
    void Put(char) { ++count; }
    void Put(const char*, qint64 n) { count += n; }
    bool Full() const { return false; }
};

struct BufferSink {
    char* out;
    qint64 capacity;
    qint64 count = 0;
    void Put(char c) {
        if (count < capacity) out[count++] = c;
    }
    void Put(const char* p, qint64 n) {
        const qint64 m = std::min(n, capacity - count);
        if (m > 0) {
            std::memcpy(out + count, p, static_cast<size_t>(m));
            count += m;
        }
    }
    bool Full() const { return count >= capacity; }
};

int Base64Value(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

int HexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Encodes one group of 1 to 3 bytes into 4 characters with '=' fill.
void Base64Group(const unsigned char* in, qint64 n, char* out) {
    const unsigned v =
        (unsigned(in[0]) << 16) | (n > 1 ? unsigned(in[1]) << 8 : 0u) | (n > 2 ? unsigned(in[2]) : 0u);
    out[0] = kBase64Alphabet[(v >> 18) & 63];
    out[1] = kBase64Alphabet[(v >> 12) & 63];
    out[2] = n > 1 ? kBase64Alphabet[(v >> 6) & 63] : '=';
    out[3] = n > 2 ? kBase64Alphabet[v & 63] : '=';
}

template <class Sink>
void Base64Run(const unsigned char* in, qint64 length, bool breakLines, Sink& sink) {
    // 57 input bytes make one full line of 76 characters.
    constexpr qint64 kLineBytes = 57;
    char line[80];
    qint64 pos = 0;
    while (pos < length && !sink.Full()) {
        const qint64 take = std::min(kLineBytes, length - pos);
        qint64 w = 0;
        for (qint64 g = 0; g < take; g += 3, w += 4)
            Base64Group(in + pos + g, std::min<qint64>(3, take - g), line + w);
        pos += take;
        if (breakLines) {
            line[w++] = '\r';
            line[w++] = '\n';
        }
        sink.Put(line, w);
    }
}

bool IsPlainQP(unsigned char c) {
    return c >= '!' && c <= '~' && c != '=';
}

template <class Sink>
void QPRun(const unsigned char* in, qint64 length, bool encodeBreaks, Sink& sink) {
    // The current output line; a line never holds more than 75 characters plus the '=' of a
    // soft break, so 80 bytes suffice.
    char line[80];
    qint64 lineLen = 0;
    qint64 lastSpace = -1;  // index in `line` of the last space or tab that may take a break
    auto softBreak = [&](qint64 keep) {
        sink.Put(line, keep);
        sink.Put("=\r\n", 3);
        std::memmove(line, line + keep, static_cast<size_t>(lineLen - keep));
        lineLen -= keep;
        lastSpace = -1;
    };
    for (qint64 i = 0; i < length && !sink.Full(); ++i) {
        const unsigned char c = in[i];
        if (!encodeBreaks && (c == '\r' || c == '\n')) {
            sink.Put(line, lineLen);
            sink.Put(static_cast<char>(c));
            lineLen = 0;
            lastSpace = -1;
            continue;
        }
        char token[3];
        qint64 width = 1;
        bool breakable = false;
        const bool lineEndFollows = i + 1 == length || in[i + 1] == '\r';
        const bool dotLine = c == '.' && !encodeBreaks && i >= 2 && in[i - 2] == '\r' && in[i - 1] == '\n' &&
                             i + 2 < length && in[i + 1] == '\r' && in[i + 2] == '\n';
        if ((c == ' ' || c == '\t') && !lineEndFollows) {
            token[0] = static_cast<char>(c);
            breakable = true;
        } else if (IsPlainQP(c) && !dotLine) {
            token[0] = static_cast<char>(c);
        } else {
            token[0] = '=';
            token[1] = kHexDigits[c >> 4];
            token[2] = kHexDigits[c & 15];
            width = 3;
        }
        if (lineLen + width >= 76) {
            if (lastSpace >= 0) softBreak(lastSpace + 1);
            if (lineLen + width >= 76) softBreak(lineLen);
        }
        std::memcpy(line + lineLen, token, static_cast<size_t>(width));
        if (breakable && lineLen > 0) lastSpace = lineLen;
        lineLen += width;
    }
    sink.Put(line, lineLen);
}

}  // namespace

namespace mime {

QByteArray Base64(QByteArrayView in) {
    QByteArray out((in.size() + 2) / 3 * 4, Qt::Uninitialized);
    BufferSink sink{out.data(), out.size()};
    Base64Run(reinterpret_cast<const unsigned char*>(in.data()), in.size(), false, sink);
    return out;
}

bool DecodeBase64(QByteArrayView in, QByteArray& out, bool strict) {
    out.clear();
    out.reserve(in.size() / 4 * 3 + 3);
    unsigned bits = 0;
    int count = 0;
    for (const char ch : in) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '=') {
            if (strict) continue;
            break;
        }
        const int v = Base64Value(c);
        if (v < 0) {
            if (strict) return false;
            continue;
        }
        bits = (bits << 6) | unsigned(v);
        if (++count == 4) {
            out.append(static_cast<char>((bits >> 16) & 0xFF));
            out.append(static_cast<char>((bits >> 8) & 0xFF));
            out.append(static_cast<char>(bits & 0xFF));
            bits = 0;
            count = 0;
        }
    }
    // A final group of 2 or 3 characters carries 1 or 2 bytes; a lone character carries none.
    if (count >= 2) out.append(static_cast<char>((bits >> (count == 2 ? 4 : 10)) & 0xFF));
    if (count == 3) out.append(static_cast<char>((bits >> 2) & 0xFF));
    return true;
}

bool EqualsNoCase(QByteArrayView a, QByteArrayView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

}  // namespace mime

// ---------------------------------------------------------------------------- identity

CMimeCodeBase::~CMimeCodeBase() = default;

void CMimeCodeBase::SetInput(QByteArrayView input) {
    input_ = input.data();
    length_ = input.size();
}

void CMimeCodeBase::SetInput(const char* bytes, qint64 length) {
    input_ = bytes;
    length_ = bytes ? std::max<qint64>(length, 0) : 0;
}

qint64 CMimeCodeBase::EncodedSize() const {
    return length_;
}
qint64 CMimeCodeBase::DecodedSize() const {
    return length_;
}

qint64 CMimeCodeBase::EncodeTo(char* out, qint64 capacity) const {
    BufferSink sink{out, std::max<qint64>(capacity, 0)};
    sink.Put(input_, length_);
    return sink.count;
}

qint64 CMimeCodeBase::DecodeTo(char* out, qint64 capacity) const {
    return CMimeCodeBase::EncodeTo(out, capacity);
}

QByteArray CMimeCodeBase::Encode() const {
    QByteArray out(EncodedSize(), Qt::Uninitialized);
    out.truncate(EncodeTo(out.data(), out.size()));
    return out;
}

QByteArray CMimeCodeBase::Decode() const {
    QByteArray out(DecodedSize(), Qt::Uninitialized);
    out.truncate(DecodeTo(out.data(), out.size()));
    return out;
}

// ---------------------------------------------------------------------------- base64

qint64 CMimeCodeBase64::EncodedSize() const {
    const qint64 n = (length_ + 2) / 3 * 4;
    return option_ ? n + 2 * (n / 76) + 2 : n;
}

qint64 CMimeCodeBase64::EncodeTo(char* out, qint64 capacity) const {
    BufferSink sink{out, std::max<qint64>(capacity, 0)};
    Base64Run(reinterpret_cast<const unsigned char*>(input_), length_, option_, sink);
    return sink.count;
}

qint64 CMimeCodeBase64::DecodedSize() const {
    return length_ / 4 * 3 + 3;
}

qint64 CMimeCodeBase64::DecodeTo(char* out, qint64 capacity) const {
    QByteArray bytes;
    mime::DecodeBase64(QByteArrayView(input_, length_), bytes, false);
    BufferSink sink{out, std::max<qint64>(capacity, 0)};
    sink.Put(bytes.constData(), bytes.size());
    return sink.count;
}

// ---------------------------------------------------------------------------- quoted-printable

// The estimate bounds the output: every byte counts at most its width (a '.' that becomes =2E
// always has CR and LF neighbours, each counted 2 wider than written), and each pair of lines
// that ends in soft breaks carries at least 74 characters, so there are at most 2 soft breaks
// of 3 bytes per 74 characters.
qint64 CMimeCodeQP::EncodedSize() const {
    qint64 total = length_;
    for (qint64 i = 0; i < length_; ++i)
        if (!IsPlainQP(static_cast<unsigned char>(input_[i]))) total += 2;
    return total + 6 * (total / 74);
}

qint64 CMimeCodeQP::EncodedSizeExact() const {
    CountSink sink;
    QPRun(reinterpret_cast<const unsigned char*>(input_), length_, option_, sink);
    return sink.count;
}

qint64 CMimeCodeQP::EncodeTo(char* out, qint64 capacity) const {
    BufferSink sink{out, std::max<qint64>(capacity, 0)};
    QPRun(reinterpret_cast<const unsigned char*>(input_), length_, option_, sink);
    return sink.count;
}

qint64 CMimeCodeQP::DecodeTo(char* out, qint64 capacity) const {
    BufferSink sink{out, std::max<qint64>(capacity, 0)};
    const auto* in = reinterpret_cast<const unsigned char*>(input_);
    for (qint64 i = 0; i < length_ && !sink.Full(); ++i) {
        if (in[i] != '=') {
            sink.Put(static_cast<char>(in[i]));
            continue;
        }
        if (i + 1 < length_ && in[i + 1] == '\n') {  // soft break with a bare LF
            i += 1;
        } else if (i + 2 < length_ && in[i + 1] == '\r' && in[i + 2] == '\n') {
            i += 2;
        } else if (i + 2 < length_ && HexValue(in[i + 1]) >= 0 && HexValue(in[i + 2]) >= 0) {
            sink.Put(static_cast<char>(HexValue(in[i + 1]) * 16 + HexValue(in[i + 2])));
            i += 2;
        } else {
            sink.Put('=');  // not an escape: kept as written
        }
    }
    return sink.count;
}

// ---------------------------------------------------------------------------- encoded word

namespace {

bool QVerbatim(unsigned char c, CMimeEncodedWord::QContext context) {
    if (context == CMimeEncodedWord::QContext::Phrase)
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '!' ||
               c == '*' || c == '+' || c == '-' || c == '/';
    return (c >= '!' && c <= '<') || c == '>' || (c >= '@' && c <= '^') || (c >= '`' && c <= '~');
}

bool IsUtf8Charset(QByteArrayView charset) {
    return mime::EqualsNoCase(charset, "utf-8") || mime::EqualsNoCase(charset, "utf8");
}

// Length of the character that starts at in[i]: for UTF-8 a lead byte and its continuation
// bytes (RFC 2047 section 5 forbids splitting a character across words), else one byte.
qint64 CharLength(const unsigned char* in, qint64 i, qint64 length, bool utf8) {
    qint64 n = 1;
    if (utf8)
        while (i + n < length && n < 4 && (in[i + n] & 0xC0) == 0x80) ++n;
    return n;
}

}  // namespace

qint64 CMimeEncodedWord::BytesPerBWord() const {
    // (68 - charset length) / 4 x 3, but at least one group so that a long charset name
    // cannot stall the encoder.
    return std::max<qint64>(3, (68 - charset_.size()) / 4 * 3);
}

qint64 CMimeEncodedWord::CharsPerQWord() const {
    return std::max<qint64>(3, 68 - charset_.size());
}

template <class Sink>
void CMimeEncodedWord::Run(Sink& sink) const {
    const auto* in = reinterpret_cast<const unsigned char*>(input_);
    const bool utf8 = IsUtf8Charset(charset_);
    const char letter = IsBEncoding() ? 'B' : 'Q';
    auto open = [&](bool first) {
        if (!first) sink.Put(' ');
        sink.Put("=?", 2);
        sink.Put(charset_.constData(), charset_.size());
        sink.Put('?');
        sink.Put(letter);
        sink.Put('?');
    };
    if (IsBEncoding()) {
        const qint64 per = BytesPerBWord();
        char group[4];
        for (qint64 start = 0; start < length_ && !sink.Full();) {
            qint64 end = std::min(length_, start + per);
            // Step back to the lead byte of a split character, unless the word would be empty.
            if (utf8 && end < length_) {
                qint64 back = end;
                while (back > start && (in[back] & 0xC0) == 0x80 && end - back < 3) --back;
                if (back > start && (in[back] & 0xC0) != 0x80) end = back;
            }
            open(start == 0);
            for (qint64 g = start; g < end; g += 3) {
                Base64Group(in + g, std::min<qint64>(3, end - g), group);
                sink.Put(group, 4);
            }
            sink.Put("?=", 2);
            start = end;
        }
        return;
    }
    const qint64 maxChars = CharsPerQWord();
    qint64 wordChars = 0;
    bool any = false;
    for (qint64 i = 0; i < length_ && !sink.Full();) {
        const qint64 n = CharLength(in, i, length_, utf8);
        qint64 width = 0;
        for (qint64 j = i; j < i + n; ++j) width += QVerbatim(in[j], qContext_) ? 1 : 3;
        if (!any || (wordChars > 0 && wordChars + width > maxChars)) {
            if (any) sink.Put("?=", 2);
            open(!any);
            any = true;
            wordChars = 0;
        }
        for (qint64 j = i; j < i + n; ++j) {
            if (QVerbatim(in[j], qContext_)) {
                sink.Put(static_cast<char>(in[j]));
            } else {
                const char esc[3] = {'=', kHexDigits[in[j] >> 4], kHexDigits[in[j] & 15]};
                sink.Put(esc, 3);
            }
        }
        wordChars += width;
        i += n;
    }
    if (any) sink.Put("?=", 2);
}

qint64 CMimeEncodedWord::EncodedSize() const {
    CountSink sink;
    Run(sink);
    return sink.count;
}

qint64 CMimeEncodedWord::EncodeTo(char* out, qint64 capacity) const {
    BufferSink sink{out, std::max<qint64>(capacity, 0)};
    Run(sink);
    return sink.count;
}

// ---------------------------------------------------------------------------- registry

TransferCodecRegistry::TransferCodecRegistry() {
    Register(QStringLiteral("quoted-printable"), [] { return std::make_unique<CMimeCodeQP>(); });
    Register(QStringLiteral("base64"), [] { return std::make_unique<CMimeCodeBase64>(); });
}

TransferCodecRegistry& TransferCodecRegistry::Instance() {
    static TransferCodecRegistry registry;
    return registry;
}

void TransferCodecRegistry::Register(const QString& name, Factory factory) {
    factories_.Register(name, std::move(factory));
}

std::unique_ptr<CMimeCodeBase> TransferCodecRegistry::Create(const QString& name) const {
    if (const Factory* factory = factories_.Find(name.trimmed())) return (*factory)();
    return std::make_unique<CMimeCodeBase>();
}
