#include "convert/mime/FieldCode.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace {

bool IsSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// RFC 822 specials.
bool IsSpecial(unsigned char c) {
    return std::strchr("()<>@,;:\\\".[]", c) != nullptr && c != 0;
}

bool IsHigh(unsigned char c) {
    return c >= 0x80;
}

char Closer(unsigned char opener) {
    switch (opener) {
        case '"':
            return '"';
        case '(':
            return ')';
        case '<':
            return '>';
        default:
            return 0;
    }
}

struct RunInfo {
    qint64 end = 0;       // one past the run
    qint64 high = 0;      // bytes with the high bit set
    char opener = 0;      // '"', '(' or '<' when the run is a quoted construct
    bool closed = false;  // the construct's closing byte is part of the run
};

// Scans one run from `start`: up to the first whitespace or special outside a quoted
// construct; a construct that opens at the start runs to its closing byte.
RunInfo ScanRun(const unsigned char* in, qint64 n, qint64 start, std::uint8_t initialQuote) {
    RunInfo run;
    qint64 j = start;
    if (initialQuote == CFieldCodeBase::kWholeValue) {
        for (; j < n; ++j) run.high += IsHigh(in[j]);
        run.end = n;
        return run;
    }
    char closer = static_cast<char>(initialQuote);
    if (closer == 0 && j < n && Closer(in[j]) != 0) {
        run.opener = static_cast<char>(in[j]);
        closer = Closer(in[j]);
        ++j;
    }
    while (j < n) {
        const unsigned char b = in[j];
        if (closer != 0) {
            if (b == '\\' && closer == '"' && j + 1 < n) {
                run.high += IsHigh(b) + IsHigh(in[j + 1]);
                j += 2;
                continue;
            }
            ++j;
            if (b == static_cast<unsigned char>(closer)) {
                run.closed = true;
                break;
            }
            run.high += IsHigh(b);
            continue;
        }
        if (IsSpace(b) || IsSpecial(b)) break;
        run.high += IsHigh(b);
        ++j;
    }
    run.end = j;
    return run;
}

// 'B' when base64 is shorter than quoted-printable would be and the run is mostly 8-bit.
char ChooseLetter(qint64 n, qint64 high) {
    return (4 * ((n + 2) / 3) < n + 2 * high && n < 5 * high) ? 'B' : 'Q';
}

QByteArray Unescape(QByteArrayView quoted) {
    QByteArray out;
    out.reserve(quoted.size());
    for (qint64 i = 0; i < quoted.size(); ++i) {
        if (quoted[i] == '\\' && i + 1 < quoted.size()) ++i;
        out.append(quoted[i]);
    }
    return out;
}

// Inserts CR LF before the last whitespace of every line that grows past 75 characters.
QByteArray Fold(const QByteArray& in, qint64 startColumn) {
    QByteArray out;
    out.reserve(in.size() + in.size() / 32 + 8);
    qint64 lineStart = -startColumn;  // out index where the current line began
    qint64 lastSpace = -1;
    for (qint64 i = 0; i < in.size(); ++i) {
        const char c = in[i];
        out.append(c);
        if (c == '\n') {
            lineStart = out.size();
            lastSpace = -1;
            continue;
        }
        if ((c == ' ' || c == '\t') && out.size() - 1 > lineStart) lastSpace = out.size() - 1;
        if (out.size() - lineStart > 75 && lastSpace > std::max<qint64>(lineStart, 0)) {
            out.insert(lastSpace, "\r\n");
            lineStart = lastSpace + 2;
            lastSpace = -1;
        }
    }
    return out;
}

QByteArray Words(QByteArrayView bytes, QByteArrayView charset, CMimeEncodedWord::QContext context,
                 qint64 high) {
    CMimeEncodedWord word;
    word.SetInput(bytes);
    word.SetCharset(charset.toByteArray());
    word.SetEncoding(ChooseLetter(bytes.size(), high));
    word.SetQContext(context);
    return word.Encode();
}

qint64 CountHigh(QByteArrayView bytes) {
    return std::count_if(bytes.begin(), bytes.end(),
                         [](char c) { return IsHigh(static_cast<unsigned char>(c)); });
}

}  // namespace

// ---------------------------------------------------------------------------- encoding

bool CFieldCodeBase::IsDelimiter(char) const {
    return false;
}
std::uint8_t CFieldCodeBase::InitialQuoteState() const {
    return 0;
}

QByteArray CFieldCodeBase::Encoded() const {
    const FieldCodecRegistry& registry = FieldCodecRegistry::Instance();
    const QByteArray charset = charset_.isEmpty() ? registry.DefaultCharset() : charset_;
    const QByteArrayView input(input_, length_);
    if (charset.isEmpty() && !registry.AutoFolding()) return input.toByteArray();

    const auto* in = reinterpret_cast<const unsigned char*>(input_);
    const qint64 n = length_;
    const std::uint8_t initial = InitialQuoteState();
    QByteArray out;
    out.reserve(n + n / 2 + 16);
    qint64 i = 0;
    while (i < n) {
        if (IsSpace(in[i])) {
            out.append(static_cast<char>(in[i++]));
            continue;
        }
        RunInfo run = ScanRun(in, n, i, initial);
        if (run.high == 0 || charset.isEmpty()) {
            out.append(input.sliced(i, run.end - i));
        } else if (run.opener == '<') {
            out.append(input.sliced(i, run.end - i));  // an address cannot be an encoded word
        } else if (run.opener == '"' || run.opener == '(') {
            const qint64 innerEnd = run.end - (run.closed ? 1 : 0);
            QByteArray inner = input.sliced(i + 1, innerEnd - i - 1).toByteArray();
            if (run.opener == '"') inner = Unescape(inner);
            const QByteArray words = Words(inner, charset, QContext(), CountHigh(inner));
            if (run.opener == '(')
                out.append('(').append(words).append(')');
            else if (KeepsQuotesAroundWords())
                out.append('"').append(words).append('"');
            else
                out.append(words);
        } else {
            // Adjacent 8-bit runs separated only by whitespace go into one sequence of words,
            // since a decoder drops the whitespace between two encoded words.
            qint64 end = run.end;
            qint64 high = run.high;
            while (initial == 0) {
                qint64 k = end;
                while (k < n && IsSpace(in[k])) ++k;
                if (k == end || k == n || Closer(in[k]) != 0) break;
                const RunInfo next = ScanRun(in, n, k, initial);
                if (next.high == 0 || next.end == k) break;
                end = next.end;
                high += next.high;
            }
            out.append(Words(input.sliced(i, end - i), charset, QContext(), high));
            run.end = end;
        }
        i = run.end;
        if (i >= n || run.opener != 0 || initial != 0 || IsSpace(in[i])) continue;
        // The byte that ended the run. An opener starts the next run instead.
        if (Closer(in[i]) != 0) continue;
        const char terminator = static_cast<char>(in[i++]);
        out.append(terminator);
        if (IsDelimiter(terminator)) {
            qint64 k = i;
            while (k < n && IsSpace(in[k])) ++k;
            if (k < n) {  // no fold after a trailing delimiter: it would leave a blank line
                out.append("\r\n\t");
                i = k;
            }
        }
    }
    return registry.AutoFolding() ? Fold(out, startColumn_) : out;
}

qint64 CFieldCodeBase::EncodedSize() const {
    return Encoded().size();
}

qint64 CFieldCodeBase::EncodeTo(char* out, qint64 capacity) const {
    const QByteArray encoded = Encoded();
    const qint64 m = std::clamp<qint64>(capacity, 0, encoded.size());
    if (m > 0) std::memcpy(out, encoded.constData(), static_cast<size_t>(m));
    return m;
}

// ---------------------------------------------------------------------------- decoding

namespace {

struct Segment {
    QByteArray bytes;
    QByteArray charset;  // empty for text outside encoded words
    bool word = false;
};

// Splits a field value into raw text and decoded encoded words. Every scan either moves past
// what it examined or is answered from the remembered positions, so the work stays linear
// in the input whatever it holds.
std::vector<Segment> Segments(QByteArrayView value) {
    const auto* in = reinterpret_cast<const unsigned char*>(value.data());
    const qint64 n = value.size();
    std::vector<Segment> segments;
    QByteArray raw;
    // The first "?=" at or after termFrom is termAt (n when there is none); likewise spaces.
    qint64 termFrom = n + 1, termAt = n;
    qint64 spaceFrom = n + 1, spaceAt = n;
    auto findTerm = [&](qint64 from) {
        if (from < termFrom || from > termAt) {
            termFrom = from;
            termAt = n;
            for (qint64 k = from; k + 1 < n; ++k)
                if (in[k] == '?' && in[k + 1] == '=') {
                    termAt = k;
                    break;
                }
        }
        return termAt;
    };
    auto findSpace = [&](qint64 from) {
        if (from < spaceFrom || from > spaceAt) {
            spaceFrom = from;
            spaceAt = n;
            for (qint64 k = from; k < n; ++k)
                if (IsSpace(in[k]) || in[k] < 0x20 || in[k] == 0x7F) {
                    spaceAt = k;
                    break;
                }
        }
        return spaceAt;
    };
    // Tries an encoded word at p; on success fills `seg` and returns its end.
    auto tryWord = [&](qint64 p, Segment& seg) -> qint64 {
        qint64 c = p + 2;
        while (c < n && in[c] != '?' && !IsSpace(in[c]) && in[c] > 0x20 && in[c] < 0x7F && c - p < 80) ++c;
        if (c >= n || in[c] != '?' || c == p + 2 || c + 2 >= n || in[c + 2] != '?') return -1;
        const char letter = static_cast<char>(in[c + 1] | 0x20);
        if (letter != 'b' && letter != 'q') return -1;
        const qint64 t = c + 3;
        const qint64 e = findTerm(t);
        if (e >= n || findSpace(t) < e) return -1;
        QByteArrayView charset(value.data() + p + 2, c - p - 2);
        if (const qint64 star = charset.indexOf('*'); star >= 0)  // RFC 2231 language suffix
            charset = charset.first(star);
        QByteArray bytes;
        bytes.reserve(e - t);
        if (letter == 'b') {
            if (!mime::DecodeBase64(value.sliced(t, e - t), bytes, true)) return -1;
        } else {
            for (qint64 k = t; k < e; ++k) {
                const unsigned char ch = in[k];
                if (ch == '_') {
                    bytes.append(' ');
                } else if (ch == '=') {
                    auto hex = [](unsigned char h) {
                        return h >= '0' && h <= '9'                     ? h - '0'
                               : (h | 0x20) >= 'a' && (h | 0x20) <= 'f' ? (h | 0x20) - 'a' + 10
                                                                        : -1;
                    };
                    if (k + 2 >= e || hex(in[k + 1]) < 0 || hex(in[k + 2]) < 0) return -1;
                    bytes.append(static_cast<char>(hex(in[k + 1]) * 16 + hex(in[k + 2])));
                    k += 2;
                } else {
                    bytes.append(static_cast<char>(ch));
                }
            }
        }
        seg.bytes = std::move(bytes);
        seg.charset = charset.toByteArray();
        seg.word = true;
        return e + 2;
    };

    qint64 i = 0;
    while (i < n) {
        if (in[i] == '=' && i + 1 < n && in[i + 1] == '?') {
            Segment seg;
            const qint64 end = tryWord(i, seg);
            if (end > 0) {
                // Whitespace between two encoded words is not part of the text (RFC 2047 6.2).
                const bool gapOnly = std::all_of(raw.cbegin(), raw.cend(), [](char ch) {
                    return IsSpace(static_cast<unsigned char>(ch));
                });
                if (!raw.isEmpty() && !(gapOnly && !segments.empty() && segments.back().word))
                    segments.push_back({raw, {}, false});
                raw.clear();
                segments.push_back(std::move(seg));
                i = end;
                continue;
            }
        }
        raw.append(static_cast<char>(in[i++]));
    }
    if (!raw.isEmpty()) segments.push_back({raw, {}, false});
    return segments;
}

QString BytesToText(const QByteArray& bytes, const QByteArray& charset) {
    if (charset.isEmpty() || mime::EqualsNoCase(charset, "utf-8") || mime::EqualsNoCase(charset, "utf8"))
        return QString::fromUtf8(bytes);
    if (mime::EqualsNoCase(charset, "iso-8859-1") || mime::EqualsNoCase(charset, "latin1") ||
        mime::EqualsNoCase(charset, "us-ascii"))
        return QString::fromLatin1(bytes);
    QStringDecoder decoder(charset.constData());
    if (decoder.isValid()) return decoder.decode(bytes);
    return QString::fromLatin1(bytes);  // an unknown charset: keep every byte visible
}

}  // namespace

qint64 CFieldCodeBase::DecodedSize() const {
    return length_;
}  // decoding never grows

qint64 CFieldCodeBase::DecodeTo(char* out, qint64 capacity) const {
    qint64 written = 0;
    for (const Segment& seg : Segments(QByteArrayView(input_, length_))) {
        const qint64 m = std::clamp<qint64>(capacity - written, 0, seg.bytes.size());
        if (m > 0) std::memcpy(out + written, seg.bytes.constData(), static_cast<size_t>(m));
        written += m;
    }
    return written;
}

QString DecodeFieldText(QByteArrayView value) {
    QString text;
    const std::vector<Segment> segments = Segments(value);
    for (size_t i = 0; i < segments.size();) {
        QByteArray bytes = segments[i].bytes;
        size_t j = i + 1;
        if (segments[i].word)
            for (; j < segments.size() && segments[j].word &&
                   mime::EqualsNoCase(segments[j].charset, segments[i].charset);
                 ++j)
                bytes.append(segments[j].bytes);
        text += BytesToText(bytes, segments[i].charset);
        i = j;
    }
    return text;
}

// ---------------------------------------------------------------------------- registry

FieldCodecRegistry::FieldCodecRegistry() {
    const auto text = [] { return std::unique_ptr<CFieldCodeBase>(new CFieldCodeText); };
    const auto address = [] { return std::unique_ptr<CFieldCodeBase>(new CFieldCodeAddress); };
    const auto parameter = [] { return std::unique_ptr<CFieldCodeBase>(new CFieldCodeParameter); };
    for (const char* name : {"Subject", "Comments", "Content-Description"})
        Register(QString::fromLatin1(name), text);
    for (const char* name :
         {"From", "To", "Resent-To", "Cc", "Resent-Cc", "Bcc", "Resent-Bcc", "Reply-To", "Resent-Reply-To"})
        Register(QString::fromLatin1(name), address);
    for (const char* name : {"Content-Type", "Content-Disposition"})
        Register(QString::fromLatin1(name), parameter);
}

FieldCodecRegistry& FieldCodecRegistry::Instance() {
    static FieldCodecRegistry registry;
    return registry;
}

void FieldCodecRegistry::Register(const QString& name, Factory factory) {
    factories_.Register(name, std::move(factory));
}

std::unique_ptr<CFieldCodeBase> FieldCodecRegistry::Create(const QString& fieldName) const {
    if (const Factory* factory = factories_.Find(fieldName)) return (*factory)();
    return std::make_unique<CFieldCodeBase>();
}
