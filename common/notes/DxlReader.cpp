#include "common/notes/DxlReader.h"

#include "common/notes/DxlExtension.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <map>
#include <set>

#include <sys/stat.h>
#include <unistd.h>

namespace notes_detail {

namespace {

constexpr qint64 kChunk = 1 << 16;

bool IsBase64Element(std::string_view localName) {
    return localName == "filedata" || localName == "rawitemdata" || localName == "gif" ||
           localName == "jpeg" || localName == "png" || localName == "notesbitmap" || localName == "bmp" ||
           localName == "cgm" || localName == "compositedata";
}

std::string_view LocalPart(std::string_view qualified) {
    const auto colon = qualified.find(':');
    return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

// Feeds a byte range of a device to a QXmlStreamReader chunk by chunk, and on the way:
// checks that the bytes are UTF-8, keeps the table that turns the reader's character
// offsets back into byte offsets, and holds back the content of base64 elements (attachment
// data, raw items, pictures), whose byte ranges it records instead. The parser thus never
// sees the bulk of a large database, and a document is found again by its bytes.
class XmlFeeder {
  public:
    XmlFeeder(QIODevice& device, ByteRange range, QXmlStreamReader& reader, const QByteArray& prefix)
        : device_(device), pos_(range.begin), end_(range.end), reader_(reader) {
        if (!prefix.isEmpty()) {
            reader_.addData(prefix);
            chars_ = QString::fromUtf8(prefix).size();
        }
        segments_.push_back({chars_, pos_});
    }

    // The next token; Invalid at an error (status() tells a feeding failure apart).
    QXmlStreamReader::TokenType Next() {
        for (;;) {
            const auto t = reader_.readNext();
            if (t == QXmlStreamReader::Invalid &&
                reader_.error() == QXmlStreamReader::PrematureEndOfDocumentError && status_ == 0 &&
                pos_ < end_) {
                Feed();
                continue;
            }
            if (t == QXmlStreamReader::Invalid) SetStatus(LNERR_BAD_XML);
            return t;
        }
    }

    LNSTATUS status() const { return status_; }
    void SetStatus(LNSTATUS s) {
        if (status_ == 0) status_ = s;
    }

    // Byte offset of a character offset the reader reported at the end of a tag. Lookups
    // come in file order, so each walks on from the previous one within its segment: the
    // whole index pass walks the file about once.
    qint64 ByteAt(qint64 charOffset) const {
        auto it = std::upper_bound(segments_.begin(), segments_.end(), charOffset,
                                   [](qint64 c, const Segment& s) { return c < s.chars; });
        if (it == segments_.begin()) return segments_.front().byte;
        const auto next = it;
        --it;
        qint64 chars = it->chars;
        qint64 byte = it->byte;
        if (cursorChars_ >= chars && cursorChars_ <= charOffset && cursorByte_ >= byte &&
            (next == segments_.end() || cursorByte_ < next->byte)) {
            chars = cursorChars_;
            byte = cursorByte_;
        }
        // A UTF-8 lead byte is one UTF-16 unit, a 4-byte lead two; continuation bytes none.
        while (chars < charOffset) {
            if (byte < windowStart_ || byte >= windowStart_ + window_.size()) {
                window_ = ReadAt(byte, std::min<qint64>(kChunk, end_ - byte));
                windowStart_ = byte;
                if (window_.isEmpty()) break;
            }
            const auto c = static_cast<unsigned char>(window_[static_cast<qsizetype>(byte - windowStart_)]);
            if ((c & 0xC0) != 0x80) chars += (c >= 0xF0) ? 2 : 1;
            ++byte;
        }
        cursorChars_ = chars;
        cursorByte_ = byte;
        return byte;
    }

    // Start of the tag whose end is at byte tagEnd: the last '<' before it ('<' cannot
    // occur inside a tag).
    qint64 TagStart(qint64 tagEnd) const {
        qint64 from = tagEnd;
        qint64 step = 512;  // most tags are short
        while (from > 0) {
            const qint64 begin = std::max<qint64>(0, from - step);
            step = kChunk;
            const QByteArray w = ReadAt(begin, from - begin);
            if (w.isEmpty()) return -1;
            const auto p = w.lastIndexOf('<');
            if (p >= 0) return begin + p;
            from = begin;
        }
        return -1;
    }

    // The recorded content range of the next base64 element, in document order.
    bool TakeElided(std::string_view localName, ByteRange* range) {
        // The reader sees the start tag before the feeder has found the run's end.
        while (!elided_.empty() && elided_.front().open && status_ == 0 && pos_ < end_) Feed();
        if (!elided_.empty() && elided_.front().open) return false;
        if (elided_.empty() || elided_.front().name != localName) return false;
        *range = elided_.front().range;
        elided_.pop_front();
        return true;
    }

  private:
    struct Segment {
        qint64 chars;
        qint64 byte;
    };
    struct Elided {
        std::string name;
        ByteRange range;
        bool open = false;  // its end is not found yet
    };
    enum class State { Text, TagOpen, TagName, InTag, Bang, Comment, CData, Pi, Elide };

    QByteArray ReadAt(qint64 at, qint64 n) const {
        if (n <= 0 || !device_.seek(at)) return {};
        return device_.read(n);
    }

    void Feed() {
        // A segment per chunk keeps every offset lookup within one chunk's walk.
        if (state_ != State::Elide) segments_.push_back({chars_, pos_});
        const qint64 n = std::min(kChunk, end_ - pos_);
        const QByteArray buf = ReadAt(pos_, n);
        if (buf.size() != n) {
            SetStatus(LNERR_FILE_READ);
            return;
        }
        const auto* b = reinterpret_cast<const unsigned char*>(buf.constData());
        QByteArray out;
        out.reserve(static_cast<qsizetype>(n));
        qint64 copyFrom = 0;  // start of the bytes still to be copied to out
        for (qint64 i = 0; i < n;) {
            if (state_ == State::Elide) {
                const void* lt = std::memchr(b + i, '<', static_cast<std::size_t>(n - i));
                const qint64 j = lt ? static_cast<const unsigned char*>(lt) - b : n;
                elided_.back().range.end = pos_ + j;
                if (!lt) {
                    i = n;
                    copyFrom = n;
                    break;
                }
                state_ = State::Text;
                elided_.back().open = false;
                segments_.push_back({chars_, pos_ + j});
                i = j;
                copyFrom = j;
                continue;
            }
            if (state_ == State::Text && need_ == 0) {
                // Text between tags: only the UTF-8 check and the count matter.
                const void* lt = std::memchr(b + i, '<', static_cast<std::size_t>(n - i));
                const qint64 j = lt ? static_cast<const unsigned char*>(lt) - b : n;
                for (qint64 k = i; k < j;) {
                    std::uint64_t word;
                    if (need_ == 0 && j - k >= 8 &&
                        (std::memcpy(&word, b + k, 8), (word & 0x8080808080808080ull) == 0)) {
                        chars_ += 8;  // eight ASCII bytes
                        k += 8;
                        continue;
                    }
                    if (!Utf8Byte(b[k++])) return;
                }
                textRun_ += j - i;
                if (textRun_ > kMaxTextRun) {
                    SetStatus(LNERR_TOO_LARGE);
                    return;
                }
                i = j;
                if (i >= n) break;
            }
            const unsigned char c = b[i];
            if (need_ > 0 || c >= 0x80) {
                if (!Utf8Byte(c)) return;
                ++i;
                continue;
            }
            ++chars_;
            Step(static_cast<char>(c), pos_ + i);
            if (status_ != 0) return;
            ++i;
            if (state_ == State::Elide) {
                out.append(buf.constData() + copyFrom, static_cast<qsizetype>(i - copyFrom));
                copyFrom = i;
            }
        }
        if (state_ != State::Elide && copyFrom < n)
            out.append(buf.constData() + copyFrom, static_cast<qsizetype>(n - copyFrom));
        pos_ += n;
        if (pos_ >= end_ && need_ > 0) SetStatus(LNERR_BAD_ENCODING);
        reader_.addData(out);
    }

    // Checks one byte of UTF-8 and counts the UTF-16 units of the characters it starts.
    bool Utf8Byte(unsigned char c) {
        if (need_ > 0) {
            if (c < lo_ || c > hi_) {
                SetStatus(LNERR_BAD_ENCODING);
                return false;
            }
            lo_ = 0x80;
            hi_ = 0xBF;
            --need_;
            return true;
        }
        if (c < 0x80) {
            ++chars_;
            return true;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            need_ = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            need_ = 2;
            lo_ = c == 0xE0 ? 0xA0 : 0x80;
            hi_ = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            need_ = 3;
            lo_ = c == 0xF0 ? 0x90 : 0x80;
            hi_ = c == 0xF4 ? 0x8F : 0xBF;
        } else {
            SetStatus(LNERR_BAD_ENCODING);
            return false;
        }
        chars_ += need_ == 3 ? 2 : 1;
        return true;
    }

    // The tag scanner, one ASCII byte at a time.
    void Step(char c, qint64 at) {
        switch (state_) {
            case State::Text:
                if (c == '<') {
                    state_ = State::TagOpen;
                    name_.clear();
                    textRun_ = 0;
                } else if (++textRun_ > kMaxTextRun) {
                    SetStatus(LNERR_TOO_LARGE);
                }
                break;
            case State::TagOpen:
                if (c == '!') {
                    state_ = State::Bang;
                    bang_ = "!";
                } else if (c == '?') {
                    state_ = State::Pi;
                } else if (c == '/') {
                    endTag_ = true;
                    state_ = State::InTag;
                } else {
                    endTag_ = false;
                    name_ = c;
                    state_ = State::TagName;
                }
                last_ = c;
                break;
            case State::TagName:
                if (c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\n' || c == '\r') {
                    state_ = State::InTag;
                    quote_ = 0;
                    Step(c, at);
                    return;
                }
                if (name_.size() < 64) name_ += c;
                break;
            case State::InTag:
                if (quote_) {
                    if (c == quote_) quote_ = 0;
                } else if (c == '"' || c == '\'') {
                    quote_ = c;
                } else if (c == '>') {
                    const bool selfClosing = last_ == '/';
                    state_ = State::Text;
                    textRun_ = 0;
                    if (!endTag_ && IsBase64Element(LocalPart(name_))) {
                        elided_.push_back({std::string(LocalPart(name_)), {at + 1, at + 1}, !selfClosing});
                        if (!selfClosing) state_ = State::Elide;
                    }
                }
                if (c != ' ' && c != '\t' && c != '\n' && c != '\r') last_ = c;
                break;
            case State::Bang:
                bang_ += c;
                if (bang_ == "!--") {
                    state_ = State::Comment;
                    tail_.clear();
                } else if (bang_ == "![CDATA[") {
                    state_ = State::CData;
                    tail_.clear();
                } else if (c == '[' && bang_.size() > 8) {
                    ++dtdDepth_;
                } else if (c == ']' && dtdDepth_ > 0) {
                    --dtdDepth_;
                } else if (c == '>' && dtdDepth_ == 0) {
                    state_ = State::Text;
                } else if (bang_.size() > (1 << 20)) {
                    SetStatus(LNERR_TOO_LARGE);
                }
                break;
            case State::Comment:
            case State::CData:
            case State::Pi: {
                tail_ += c;
                if (tail_.size() > 3) tail_.erase(0, tail_.size() - 3);
                const bool done = (state_ == State::Comment && tail_ == "-->") ||
                                  (state_ == State::CData && tail_ == "]]>") ||
                                  (state_ == State::Pi && tail_.size() >= 2 &&
                                   tail_.compare(tail_.size() - 2, 2, "?>") == 0);
                if (done) {
                    state_ = State::Text;
                    textRun_ = 0;
                }
                break;
            }
            case State::Elide:
                break;
        }
    }

    QIODevice& device_;
    qint64 pos_;
    qint64 end_;
    QXmlStreamReader& reader_;
    qint64 chars_ = 0;
    std::vector<Segment> segments_;
    std::deque<Elided> elided_;
    LNSTATUS status_ = 0;
    State state_ = State::Text;
    std::string name_, bang_, tail_;
    char quote_ = 0;
    char last_ = 0;
    bool endTag_ = false;
    int dtdDepth_ = 0;
    qint64 textRun_ = 0;
    int need_ = 0;
    unsigned char lo_ = 0x80, hi_ = 0xBF;
    mutable QByteArray window_;
    mutable qint64 windowStart_ = 0;
    mutable qint64 cursorChars_ = -1;
    mutable qint64 cursorByte_ = 0;
};

std::string Utf8(QStringView s) {
    return s.toUtf8().toStdString();
}

std::string Attr(const QXmlStreamReader& r, const char* name) {
    return Utf8(r.attributes().value(QLatin1String(name)));
}

std::string ExtAttr(const QXmlStreamReader& r, const char* name) {
    return Utf8(r.attributes().value(QLatin1String(dxlext::kNamespace), QLatin1String(name)));
}

bool True(const std::string& v) {
    return v == "true" || v == "1" || v == "yes";
}

LNSTATUS StatusValue(const std::string& v) {
    if (v.empty()) return 0;
    bool ok = false;
    const qulonglong n = QString::fromStdString(v).toULongLong(&ok);
    return ok && n <= 0xFFFFFFFFull ? static_cast<LNSTATUS>(n) : LNERR_INTERNAL;
}

bool ParseHex32(std::string_view hex, std::uint32_t* out) {
    if (hex.empty() || hex.size() > 8) return false;
    std::uint32_t v = 0;
    for (char c : hex) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        v = (v << 4) | static_cast<std::uint32_t>(d);
    }
    *out = v;
    return true;
}

bool IsExt(const QXmlStreamReader& r) {
    return r.namespaceUri() == QLatin1String(dxlext::kNamespace);
}
bool Is(const QXmlStreamReader& r, const char* local) {
    return r.name() == QLatin1String(local) && !IsExt(r);
}
bool IsExtElement(const QXmlStreamReader& r, const char* local) {
    return r.name() == QLatin1String(local) && IsExt(r);
}

// Token helpers over a feeder: reading stops at the first failure, which the feeder keeps.
class Walker {
  public:
    explicit Walker(XmlFeeder& f, QXmlStreamReader& r) : f_(f), r_(r) {}

    // Skips to the end of the element whose start was just read; a base64 element gives
    // its recorded content range to elided.
    bool Skip(ByteRange* elided = nullptr) {
        ByteRange range;
        const std::string current = Utf8(r_.name());
        if (IsBase64Element(current)) {
            if (!f_.TakeElided(current, &range)) return false;
            if (elided) *elided = range;
        }
        int depth = 1;
        while (depth > 0) {
            const auto t = Next();
            if (t == QXmlStreamReader::Invalid || t == QXmlStreamReader::EndDocument) return false;
            if (t == QXmlStreamReader::StartElement) {
                ByteRange ignored;
                if (IsBase64Element(Utf8(r_.name()))) f_.TakeElided(Utf8(r_.name()), &ignored);
                ++depth;
            } else if (t == QXmlStreamReader::EndElement) {
                --depth;
            }
        }
        return true;
    }

    // The text of the element whose start was just read; <break/> gives a line end.
    bool Text(std::string* out) {
        QString text;
        int depth = 1;
        while (depth > 0) {
            const auto t = Next();
            if (t == QXmlStreamReader::Invalid || t == QXmlStreamReader::EndDocument) return false;
            if (t == QXmlStreamReader::Characters) {
                if (depth == 1 || inner_) text += r_.text();
            } else if (t == QXmlStreamReader::StartElement) {
                ++depth;
                ByteRange ignored;
                if (IsBase64Element(Utf8(r_.name()))) f_.TakeElided(Utf8(r_.name()), &ignored);
                if (Is(r_, "break")) text += QLatin1Char('\n');
            } else if (t == QXmlStreamReader::EndElement) {
                --depth;
            }
        }
        *out = text.toUtf8().toStdString();
        return true;
    }

    // The DXL child-element loop: calls onChild for every child element of the element whose
    // start was just read. onChild consumes the child to its end and returns false on failure;
    // text between the children (indentation) is passed over.
    template <class F>
    bool Children(F&& onChild) {
        for (;;) {
            const auto t = Next();
            if (t == QXmlStreamReader::Invalid || t == QXmlStreamReader::EndDocument) return false;
            if (t == QXmlStreamReader::EndElement) return true;
            if (t == QXmlStreamReader::StartElement && !onChild()) return false;
        }
    }

    QXmlStreamReader::TokenType Next() { return f_.Next(); }
    bool inner_ = true;

  private:
    XmlFeeder& f_;
    QXmlStreamReader& r_;
};

bool ParseDatetimeElement(QXmlStreamReader& r, Walker& w, LNDatetime* out, bool* ok) {
    const bool dst = True(Attr(r, "dst"));
    std::string text;
    if (!w.Text(&text)) return false;
    *ok = LNDatetime::FromDxl(text, dst, out);
    return true;
}

// <created><datetime>…</datetime></created>
bool ParseWrappedDatetime(QXmlStreamReader& r, Walker& w, LNDatetime* out) {
    return w.Children([&] {
        if (!Is(r, "datetime")) return w.Skip();
        bool ok = false;
        return ParseDatetimeElement(r, w, out, &ok);
    });
}

bool ParseNoteinfo(QXmlStreamReader& r, Walker& w, NOTEID* noteId, LNUniversalID* unid, LNDatetime* created,
                   LNDatetime* modified) {
    std::uint32_t id = 0;
    if (ParseHex32(Attr(r, "noteid"), &id)) *noteId = id;
    ParseUnid(Attr(r, "unid"), unid);
    return w.Children([&] {
        if (Is(r, "created")) return ParseWrappedDatetime(r, w, created);
        if (Is(r, "modified")) return ParseWrappedDatetime(r, w, modified);
        return w.Skip();
    });
}

LNFIELDTYPE FieldType(const std::string& dxl) {
    static const std::pair<const char*, LNFIELDTYPE> kTypes[] = {
        {"text", LNFIELDTYPE_TEXT},         {"number", LNFIELDTYPE_NUMBER},
        {"datetime", LNFIELDTYPE_DATETIME}, {"keyword", LNFIELDTYPE_KEYWORDS},
        {"richtext", LNFIELDTYPE_RICHTEXT}, {"names", LNFIELDTYPE_NAMES},
        {"authors", LNFIELDTYPE_AUTHORS},   {"readers", LNFIELDTYPE_READERS},
        {"password", LNFIELDTYPE_PASSWORD}, {"formula", LNFIELDTYPE_FORMULA},
        {"timezone", LNFIELDTYPE_TIMEZONE}, {"richtextlite", LNFIELDTYPE_RICHTEXTLITE},
        {"color", LNFIELDTYPE_COLOR},
    };
    for (const auto& [name, type] : kTypes)
        if (dxl == name) return type;
    return dxl.empty() ? LNFIELDTYPE_TEXT : LNFIELDTYPE_UNKNOWN;
}

std::vector<std::string> SplitNames(const std::string& names) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const auto bar = names.find('|', start);
        std::string part = names.substr(start, bar == std::string::npos ? bar : bar - start);
        while (!part.empty() && part.front() == ' ') part.erase(0, 1);
        while (!part.empty() && part.back() == ' ') part.pop_back();
        if (!part.empty()) out.push_back(part);
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    return out;
}

bool ParseForm(QXmlStreamReader& r, Walker& w, FormData* form) {
    form->names = SplitNames(Attr(r, "name"));
    for (const auto& alias : SplitNames(Attr(r, "alias"))) form->names.push_back(alias);
    int depth = 1;
    while (depth > 0) {
        const auto t = w.Next();
        if (t == QXmlStreamReader::Invalid || t == QXmlStreamReader::EndDocument) return false;
        if (t == QXmlStreamReader::StartElement) {
            ++depth;
            if (IsBase64Element(Utf8(r.name()))) {
                if (!w.Skip()) return false;
                --depth;
            } else if (Is(r, "field")) {
                const std::string name = Attr(r, "name");
                if (!name.empty()) form->fields.push_back({name, FieldType(Attr(r, "type"))});
            }
        } else if (t == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    return true;
}

bool ParseView(QXmlStreamReader& r, Walker& w, bool folder, ViewImpl* view) {
    view->folder = folder;
    view->name = Attr(r, "name");
    view->openStatus = StatusValue(ExtAttr(r, "open-status"));
    const std::string type = ExtAttr(r, "type");
    if (!type.empty()) view->type = static_cast<int>(StatusValue(type));
    int depth = 1;
    bool inEntries = false;
    while (depth > 0) {
        const auto t = w.Next();
        if (t == QXmlStreamReader::Invalid || t == QXmlStreamReader::EndDocument) return false;
        if (t == QXmlStreamReader::EndElement) {
            if (IsExtElement(r, "entries")) inEntries = false;
            --depth;
            continue;
        }
        if (t != QXmlStreamReader::StartElement) continue;
        ++depth;
        if (depth == 2 && Is(r, "noteinfo")) {
            LNDatetime c, m;
            if (!ParseNoteinfo(r, w, &view->noteId, &view->unid, &c, &m)) return false;
            --depth;
        } else if (depth == 2 && IsExtElement(r, "entries")) {
            inEntries = true;
            view->listed = true;
        } else if (inEntries && IsExtElement(r, "entry")) {
            ViewEntryData e;
            std::uint32_t id = 0;
            if (ParseHex32(Attr(r, "noteid"), &id)) e.noteId = id;
            const std::string unread = Attr(r, "unread");
            if (!unread.empty()) e.unread = True(unread) ? 1 : 0;
            view->entries.push_back(e);
        } else if (inEntries && IsExtElement(r, "category")) {
            ViewEntryData e;
            e.category = true;
            e.title = Attr(r, "title");
            view->entries.push_back(e);
        } else if (depth == 2 && Is(r, "calendarformat")) {
            view->type = LNVIEWTYPE_CALENDAR;
        } else if (IsBase64Element(Utf8(r.name()))) {
            if (!w.Skip()) return false;
            --depth;
        }
    }
    return true;
}

// Line ends and blanks alone between two tags: the layout of the file, not content (a line
// end inside a paragraph is written <break/>).
bool IsIndentation(const QXmlStreamReader& r) {
    const QStringView text = r.text();
    return r.isWhitespace() && text.contains(QLatin1Char('\n'));
}

// Rich text: plain text and links of one <richtext> element whose start was just read.
bool ParseRichText(QXmlStreamReader& r, Walker& w, XmlFeeder& f, ItemData* item) {
    QString plain;
    std::vector<std::string> stack;
    int textDepth = 0;  // inside par or sectiontitle
    int skipDepth = 0;  // inside picture, attachmentref or similar
    int cellDepth = 0;
    for (;;) {
        const auto t = w.Next();
        if (t == QXmlStreamReader::Invalid || t == QXmlStreamReader::EndDocument) return false;
        if (t == QXmlStreamReader::StartElement) {
            const std::string name = Utf8(r.name());
            if (IsBase64Element(name)) {
                ByteRange ignored;
                f.TakeElided(name, &ignored);
            }
            stack.push_back(name);
            if (skipDepth > 0 || name == "picture" || name == "attachmentref" || name == "objectref" ||
                name == "imagemap" || name == "compositedata" || name == "nonxmlchar") {
                ++skipDepth;
            } else if (name == "par" || name == "sectiontitle") {
                ++textDepth;
            } else if (name == "break") {
                if (textDepth) plain += QLatin1Char('\n');
            } else if (name == "tab") {
                if (textDepth) plain += QLatin1Char('\t');
            } else if (name == "tablecell") {
                ++cellDepth;
            } else if (name == "doclink" || name == "viewlink" || name == "databaselink") {
                LNDocumentLink link;
                link.type = name == "doclink"    ? LNRTTYPE_DOCLINK
                            : name == "viewlink" ? LNRTTYPE_VIEWLINK
                                                 : LNRTTYPE_DBLINK;
                ParseReplicaId(Attr(r, "database"), &link.replicaId);
                ParseUnid(Attr(r, "view"), &link.viewUnid);
                ParseUnid(Attr(r, "document"), &link.documentUnid);
                link.description = Attr(r, "description");
                item->links.push_back(link);
                ++skipDepth;  // its children are presentation only
            }
        } else if (t == QXmlStreamReader::EndElement) {
            if (stack.empty()) {
                item->xml.end = f.ByteAt(r.characterOffset());
                break;
            }
            const std::string name = stack.back();
            stack.pop_back();
            if (skipDepth > 0) {
                --skipDepth;
                continue;
            }
            if (name == "par") {
                --textDepth;
                plain += cellDepth ? QLatin1Char(' ') : QLatin1Char('\n');
            } else if (name == "sectiontitle") {
                --textDepth;
                plain += QLatin1Char('\n');
            } else if (name == "tablecell") {
                --cellDepth;
                while (plain.endsWith(QLatin1Char(' '))) plain.chop(1);
                plain += QLatin1Char('\t');
            } else if (name == "tablerow") {
                if (plain.endsWith(QLatin1Char('\t'))) plain.chop(1);
                plain += QLatin1Char('\n');
            }
        } else if (t == QXmlStreamReader::Characters && textDepth > 0 && skipDepth == 0 &&
                   !IsIndentation(r)) {
            plain += r.text();
        }
    }
    item->plain = plain.toUtf8().toStdString();
    return true;
}

// Values of one item. Each parser is called with the value element's start just read and
// consumes it to its end.

bool ParseTextValue(Walker& w, ItemData* item) {
    item->type = LNITEMTYPE_TEXT;
    std::string s;
    if (!w.Text(&s)) return false;
    item->texts.push_back(std::move(s));
    return true;
}

bool ParseTextList(Walker& w, ItemData* item) {
    item->type = LNITEMTYPE_TEXT;
    return w.Children([&] {
        std::string s;
        if (!w.Text(&s)) return false;
        item->texts.push_back(std::move(s));
        return true;
    });
}

bool ParseOneNumber(Walker& w, ItemData* item) {
    std::string s;
    if (!w.Text(&s)) return false;
    bool ok = false;
    const double v = QString::fromStdString(s).trimmed().toDouble(&ok);
    if (ok) item->numbers.push_back(v);
    return true;
}

bool ParseNumberValue(QXmlStreamReader& r, Walker& w, ItemData* item) {
    item->type = LNITEMTYPE_NUMBERS;
    if (!Is(r, "numberlist")) return ParseOneNumber(w, item);
    return w.Children([&] { return ParseOneNumber(w, item); });
}

// A single <datetime>.
bool ParseOneDatetime(QXmlStreamReader& r, Walker& w, ItemData* item) {
    bool ok = false;
    LNDatetime d;
    if (!ParseDatetimeElement(r, w, &d, &ok)) return false;
    if (ok) item->dates.entries.push_back({d, d, false});
    return true;
}

// A <datetimerange> or <datetimepair>: two date-times (one stands for both).
bool ParseDatetimePair(QXmlStreamReader& r, Walker& w, ItemData* item) {
    LNDatetimeEntry e;
    e.isRange = true;
    int n = 0;
    if (!w.Children([&] {
            if (!Is(r, "datetime")) return w.Skip();
            bool ok = false;
            LNDatetime d;
            if (!ParseDatetimeElement(r, w, &d, &ok)) return false;
            if (ok) (n++ == 0 ? e.start : e.end) = d;
            return true;
        }))
        return false;
    if (n == 1) e.end = e.start;
    if (n > 0) item->dates.entries.push_back(e);
    return true;
}

bool IsDatetimePair(const QXmlStreamReader& r) {
    return Is(r, "datetimerange") || Is(r, "datetimepair");
}

// <datetime>, <datetimepair>, <datetimerange>, or a <datetimelist> of them. Domino writes
// repeat dates and calendar date lists as <datetimelist> of <datetimepair>s.
bool ParseDatetimeValue(QXmlStreamReader& r, Walker& w, ItemData* item) {
    item->type = LNITEMTYPE_DATETIMES;
    if (Is(r, "datetime")) return ParseOneDatetime(r, w, item);
    if (IsDatetimePair(r)) return ParseDatetimePair(r, w, item);
    return w.Children([&] {
        if (Is(r, "datetime")) return ParseOneDatetime(r, w, item);
        if (IsDatetimePair(r)) return ParseDatetimePair(r, w, item);
        return w.Skip();
    });
}

bool ParseRichTextValue(QXmlStreamReader& r, Walker& w, XmlFeeder& f, ItemData* item) {
    item->type = LNITEMTYPE_RICHTEXT;
    const qint64 tagEnd = f.ByteAt(r.characterOffset());
    item->xml.begin = f.TagStart(tagEnd);
    if (item->xml.begin < 0) return false;
    return ParseRichText(r, w, f, item);
}

bool ParseRawValue(QXmlStreamReader& r, Walker& w, ItemData* item) {
    std::uint32_t type = 0;
    ParseHex32(Attr(r, "type"), &type);
    item->type = static_cast<LNITEMTYPE>(type & 0xFFFF);
    item->rawType = static_cast<std::uint16_t>(type & 0xFFFF);
    return w.Skip(&item->raw);
}

// <compositedata>: rich text as base64 CD records. Kept as a raw rich-text value: it gives
// no text and no DXL to render.
bool ParseCompositeValue(Walker& w, ItemData* item) {
    item->type = LNITEMTYPE_RICHTEXT;
    item->rawType = LNITEMTYPE_RICHTEXT;
    return w.Skip(&item->raw);
}

// One <file> of an <object>.
bool ParseFile(QXmlStreamReader& r, Walker& w, DocumentData* doc, ItemData* item, bool encrypted) {
    FileData file;
    file.sealed = encrypted;
    file.name = Attr(r, "name");
    file.compression = Attr(r, "compression");
    if (file.compression == "none") file.compression.clear();
    bool ok = false;
    const qulonglong size = QString::fromStdString(Attr(r, "size")).toULongLong(&ok);
    if (ok) file.size = size, file.sizeKnown = true;
    bool hasData = false;
    if (!w.Children([&] {
            if (Is(r, "filedata")) return hasData = true, w.Skip(&file.data);
            if (Is(r, "created")) return ParseWrappedDatetime(r, w, &file.created);
            if (Is(r, "modified")) return ParseWrappedDatetime(r, w, &file.modified);
            return w.Skip();
        }))
        return false;
    if (hasData || file.sizeKnown) {
        item->file = static_cast<int>(doc->files.size());
        doc->files.push_back(std::move(file));
    }
    return true;
}

bool ParseObjectValue(QXmlStreamReader& r, Walker& w, DocumentData* doc, ItemData* item, bool encrypted) {
    item->type = LNITEMTYPE_OBJECT;
    return w.Children([&] { return Is(r, "file") ? ParseFile(r, w, doc, item, encrypted) : w.Skip(); });
}

bool ParseValue(QXmlStreamReader& r, Walker& w, XmlFeeder& f, DocumentData* doc, ItemData* item) {
    if (Is(r, "text")) return ParseTextValue(w, item);
    if (Is(r, "textlist")) return ParseTextList(w, item);
    if (Is(r, "number") || Is(r, "numberlist")) return ParseNumberValue(r, w, item);
    if (Is(r, "datetime") || IsDatetimePair(r) || Is(r, "datetimelist"))
        return ParseDatetimeValue(r, w, item);
    if (Is(r, "richtext")) return ParseRichTextValue(r, w, f, item);
    if (Is(r, "rawitemdata")) return ParseRawValue(r, w, item);
    if (Is(r, "compositedata")) return ParseCompositeValue(w, item);
    if (Is(r, "object")) return ParseObjectValue(r, w, doc, item, item->encrypted);
    if (Is(r, "mime")) {
        item->type = LNITEMTYPE_NOTEREFS;
        return w.Text(&doc->mimeSource);
    }
    // noteref lists and other kinds the layer does not interpret
    item->type = LNITEMTYPE_NOTEREFS;
    return w.Skip();
}

bool ParseItem(QXmlStreamReader& r, Walker& w, XmlFeeder& f, DocumentData* doc) {
    ItemData item;
    item.name = Attr(r, "name");
    static const std::pair<const char*, std::uint32_t> kFlags[] = {
        {"summary", LNITEMFLAGS_SUMMARY},     {"sign", LNITEMFLAGS_SIGN},
        {"seal", LNITEMFLAGS_SEAL},           {"names", LNITEMFLAGS_NAMES},
        {"authors", LNITEMFLAGS_AUTHORS},     {"readers", LNITEMFLAGS_READERS},
        {"protected", LNITEMFLAGS_PROTECTED}, {"placeholder", LNITEMFLAGS_PLACEHOLDER},
    };
    for (const auto& [attr, flag] : kFlags)
        if (True(Attr(r, attr))) item.flags |= flag;
    // seal='true' only says "encrypt this item when the document is encrypted": Domino writes
    // it on ordinary documents (every $FILE). The item is encrypted when it says sealed='true',
    // or when it is encryptable in a document the extension marks encrypted.
    item.encrypted = True(Attr(r, "sealed")) || ((item.flags & LNITEMFLAGS_SEAL) && doc->markedEncrypted);
    bool any = false;
    if (!w.Children([&] {
            if (any) return w.Skip();  // one value per item; anything more is ignored
            any = true;
            return ParseValue(r, w, f, doc, &item);
        }))
        return false;
    if (!any) item.type = LNITEMTYPE_TEXT;  // <item name='x'/>: an empty text
    doc->items.push_back(std::move(item));
    return true;
}

// The private folder that keeps first-open fault markers across processes: one per user in
// the system temporary folder, created 0700. Empty when it is a link, not a folder, another
// user's or open to others: markers never go where someone else can plant or read them.
QString FaultFolder() {
    const QString folder =
        QDir::tempPath() + QStringLiteral("/nsfconvert-dxl-faults-") + QString::number(::geteuid());
    const QByteArray native = QFile::encodeName(folder);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) return {};
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() ||
        (st.st_mode & 077) != 0)
        return {};
    return folder;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

bool ParseUnid(std::string_view hex, LNUniversalID* out) {
    if (hex.size() != 32) return false;
    LNUniversalID u;
    if (!ParseHex32(hex.substr(0, 8), &u.file.innards[1]) ||
        !ParseHex32(hex.substr(8, 8), &u.file.innards[0]) ||
        !ParseHex32(hex.substr(16, 8), &u.note.innards[1]) ||
        !ParseHex32(hex.substr(24, 8), &u.note.innards[0]))
        return false;
    *out = u;
    return true;
}

bool ParseReplicaId(std::string_view hex, LNTimeDateId* out) {
    if (hex.size() != 16) return false;
    LNTimeDateId t;
    if (!ParseHex32(hex.substr(0, 8), &t.innards[1]) || !ParseHex32(hex.substr(8, 8), &t.innards[0]))
        return false;
    *out = t;
    return true;
}

// ---------------------------------------------------------------------------------------------
// The index pass, step by step.

namespace {

// What a document's items tell about where it lives (read in the index pass, see
// FillStandardFolders).
void IndexItem(QXmlStreamReader& r, Walker& w, DocIndex* d, bool* ok) {
    const std::string name = Attr(r, "name");
    if (name == "Form" || name == "$FolderRef") {
        std::vector<std::string> texts;
        *ok = w.Children([&] {
            if (Is(r, "textlist"))
                return w.Children([&] {
                    std::string s;
                    if (!w.Text(&s)) return false;
                    texts.push_back(std::move(s));
                    return true;
                });
            std::string s;
            if (!w.Text(&s)) return false;
            texts.push_back(std::move(s));
            return true;
        });
        if (name == "Form" && !texts.empty()) d->form = texts.front();
        if (name == "$FolderRef")
            for (auto& t : texts)
                if (!t.empty()) d->folderRefs.push_back(QString::fromStdString(t).toUpper().toStdString());
        return;
    }
    if (name == "DeliveredDate") d->delivered = true;
    if (name == "PostedDate") d->posted = true;
    if (name == "$Seal" || name == "$SealData" || True(Attr(r, "sealed"))) d->sealedItems = true;
    *ok = w.Skip();
}

// A <mime> message (MIME option "DXL") carries the router's marks in its headers instead of
// items: "Received" for delivered mail, "Date" for sent mail.
bool IndexMime(Walker& w, DocIndex* d) {
    std::string text;
    if (!w.Text(&text)) return false;
    std::size_t end = text.find("\r\n\r\n");
    if (end == std::string::npos) end = text.find("\n\n");
    const std::string_view headers(text.data(), end == std::string::npos ? text.size() : end);
    auto has = [&headers](std::string_view name) {
        for (std::size_t at = 0; at < headers.size();) {
            if (headers.size() - at >= name.size() &&
                QByteArrayView(headers.substr(at, name.size()))
                        .compare(QByteArrayView(name), Qt::CaseInsensitive) == 0)
                return true;
            const std::size_t eol = headers.find('\n', at);
            if (eol == std::string_view::npos) break;
            at = eol + 1;
        }
        return false;
    };
    d->delivered = d->delivered || has("Received:");
    d->posted = d->posted || has("Date:");
    return true;
}

struct IndexPass {
    DatabaseImpl& db;
    XmlFeeder& f;
    QXmlStreamReader& r;
    Walker& w;
    std::set<NOTEID> usedIds;
    std::vector<std::size_t> withoutId;
    std::vector<std::size_t> viewsWithoutId;

    LNSTATUS Failure() const { return f.status() ? f.status() : LNERR_BAD_XML; }

    // A data note: <document>, or <note class='document'> of a note-format export.
    static bool IsDocument(const QXmlStreamReader& r) {
        if (Is(r, "document")) return true;
        if (!Is(r, "note")) return false;
        const std::string cls = Attr(r, "class");
        return cls.empty() || cls == "document" || cls == "data";
    }

    // The document whose start tag was just read, to its end.
    LNSTATUS IndexDocument() {
        DocIndex d;
        const qint64 tagEnd = f.ByteAt(r.characterOffset());
        d.bytes.begin = f.TagStart(tagEnd);
        d.form = Attr(r, "form");
        d.unread = True(ExtAttr(r, "unread"));
        d.encrypted = True(ExtAttr(r, "encrypted"));
        d.decryptStatus = StatusValue(ExtAttr(r, "decrypt-status"));
        d.openStatus = StatusValue(ExtAttr(r, "open-status"));
        d.firstOpenStatus = StatusValue(ExtAttr(r, "first-open-status"));
        d.throwStatus = StatusValue(ExtAttr(r, "throw-status"));
        bool haveId = false;
        const bool ok = w.Children([&] {
            if (Is(r, "noteinfo") && !haveId) {
                NOTEID id = 0;
                const bool parsed = ParseNoteinfo(r, w, &id, &d.unid, &d.created, &d.modified);
                if (id != 0 && !usedIds.count(id)) {
                    d.noteId = id;
                    haveId = true;
                }
                return parsed;
            }
            if (Is(r, "item")) {
                bool itemOk = true;
                IndexItem(r, w, &d, &itemOk);
                return itemOk;
            }
            if (Is(r, "mime")) return IndexMime(w, &d);
            return w.Skip();
        });
        if (!ok) return Failure();
        d.bytes.end = f.ByteAt(r.characterOffset());
        if (d.bytes.begin < 0) return LNERR_BAD_XML;
        if (haveId)
            usedIds.insert(d.noteId);
        else
            withoutId.push_back(db.docs.size());
        db.docs.push_back(std::move(d));
        return LNNOERROR;
    }

    LNSTATUS IndexView(bool folder) {
        auto view = std::make_shared<ViewImpl>();
        if (!ParseView(r, w, folder, view.get())) return Failure();
        if (view->noteId == 0 || usedIds.count(view->noteId))
            viewsWithoutId.push_back(db.views.size());
        else
            usedIds.insert(view->noteId);
        db.views.push_back(std::move(view));
        return LNNOERROR;
    }

    // One child of <database>: documents, forms, views and folders; other notes are passed over.
    LNSTATUS IndexChild() {
        if (IsDocument(r)) return IndexDocument();
        if (Is(r, "form") || Is(r, "subform")) {
            FormData form;
            if (!ParseForm(r, w, &form)) return Failure();
            db.forms.push_back(std::move(form));
            return LNNOERROR;
        }
        if (Is(r, "view") || Is(r, "folder")) return IndexView(Is(r, "folder"));
        return w.Skip() ? LNNOERROR : Failure();
    }

    // The root: a <database>, or one document exported alone.
    LNSTATUS IndexRoot() {
        if (IsDocument(r)) {
            db.rootPrefix = "<database>";
            return IndexDocument();
        }
        if (!Is(r, "database")) return LNERR_NOT_DXL;
        db.title = Attr(r, "title");
        ParseReplicaId(Attr(r, "replicaid"), &db.replicaId);
        QString prefix = QStringLiteral("<database");
        for (const auto& ns : r.namespaceDeclarations()) {
            prefix += ns.prefix().isEmpty() ? QStringLiteral(" xmlns")
                                            : QStringLiteral(" xmlns:") + ns.prefix().toString();
            prefix +=
                QStringLiteral("=\"") + ns.namespaceUri().toString().toHtmlEscaped() + QStringLiteral("\"");
        }
        prefix += QStringLiteral(">");
        db.rootPrefix = prefix.toUtf8();
        return w.Children([&] { return IndexChild() == LNNOERROR; }) ? LNNOERROR : Failure();
    }

    LNSTATUS Run() {
        bool sawRoot = false;
        for (;;) {
            const auto t = f.Next();
            switch (t) {
                case QXmlStreamReader::Invalid:
                    return Failure();
                case QXmlStreamReader::StartDocument:
                    if (!IsUtf8Declaration(r.documentEncoding())) return LNERR_BAD_ENCODING;
                    break;
                case QXmlStreamReader::DTD:
                    // Domino declares no entities; one entity referenced many times could
                    // make the parser expand it a thousandfold.
                    if (!r.entityDeclarations().isEmpty()) return LNERR_DXL_ENTITIES;
                    break;
                case QXmlStreamReader::EndDocument:
                    return sawRoot ? LNNOERROR : LNERR_NOT_DXL;
                case QXmlStreamReader::StartElement:
                    if (sawRoot) return LNERR_BAD_XML;
                    sawRoot = true;
                    if (const LNSTATUS s = IndexRoot()) return s;
                    break;
                default:
                    break;
            }
        }
    }

    static bool IsUtf8Declaration(QStringView declared) {
        const QString enc = declared.toString().toLower();
        return enc.isEmpty() || enc == QLatin1String("utf-8") || enc == QLatin1String("utf8") ||
               enc == QLatin1String("us-ascii") || enc == QLatin1String("ascii");
    }
};

}  // namespace

LNSTATUS DatabaseImpl::OpenDevice() {
    if (inMemory) {
        auto buffer = std::make_unique<QBuffer>();
        buffer->setData(memory);
        buffer->open(QIODevice::ReadOnly);
        device = std::move(buffer);
        return LNNOERROR;
    }
    QFileInfo info(path);
    if (!info.exists() || !info.isFile()) return LNERR_FILE_NOT_FOUND;
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly)) return LNERR_FILE_READ;
    device = std::move(file);
    faultKey = QCryptographicHash::hash((info.absoluteFilePath() + QString::number(info.size()) +
                                         QString::number(info.lastModified().toMSecsSinceEpoch()))
                                            .toUtf8(),
                                        QCryptographicHash::Sha1)
                   .toHex()
                   .toStdString();
    return LNNOERROR;
}

// Where the XML starts (after a UTF-8 byte-order mark), or why the file is not XML at all.
LNSTATUS DatabaseImpl::CheckHead(qint64* start) {
    const QByteArray head = device->peek(16);
    *start = head.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF")) return LNERR_BAD_ENCODING;
    // The first non-blank byte of XML is '<'. Anything else is some other format; a binary
    // NSF starts with 1A 00.
    qsizetype i = static_cast<qsizetype>(*start);
    while (i < head.size() && (head[i] == ' ' || head[i] == '\n' || head[i] == '\r' || head[i] == '\t')) ++i;
    if (head.isEmpty() || (i < head.size() && head[i] != '<')) {
        const bool nsfName = path.endsWith(QLatin1String(".nsf"), Qt::CaseInsensitive);
        if (nsfName || head.startsWith(QByteArray("\x1A\x00", 2))) return LNERR_NSF_NOT_SUPPORTED;
        return head.isEmpty() ? LNERR_BAD_XML : LNERR_NOT_DXL;
    }
    return LNNOERROR;
}

// Notes without a (unique) note ID get free ones above the highest in use.
void DatabaseImpl::AssignFreeIds(const std::set<NOTEID>& usedIds, const std::vector<std::size_t>& withoutId,
                                 const std::vector<std::size_t>& viewsWithoutId) {
    nextFreeId = usedIds.empty() ? kFirstNoteId : *usedIds.rbegin() + kNoteIdStep;
    for (std::size_t i : withoutId) docs[i].noteId = nextFreeId, nextFreeId += kNoteIdStep;
    for (std::size_t i : viewsWithoutId) views[i]->noteId = nextFreeId, nextFreeId += kNoteIdStep;
    for (std::size_t i = 0; i < docs.size(); ++i) byNoteId[docs[i].noteId] = i;
}

ViewImpl& DatabaseImpl::AddView(const std::string& name, bool folder) {
    auto v = std::make_shared<ViewImpl>();
    v->name = name;
    v->folder = folder;
    v->noteId = nextFreeId;
    nextFreeId += kNoteIdStep;
    views.push_back(v);
    return *v;
}

// "($All)" without an entry list (or missing) lists every document in creation order.
void DatabaseImpl::FillAllView() {
    auto all = std::find_if(views.begin(), views.end(), [](const auto& v) { return v->name == kAllView; });
    ViewImpl& view = all == views.end() ? AddView(kAllView, false) : **all;
    if (!view.entries.empty()) return;
    std::vector<std::size_t> order(docs.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    auto key = [this](std::size_t i) {
        const LNDatetime g = docs[i].created.ConvertToZone(0);
        return std::tuple(g.GetYear(), g.GetMonth(), g.GetDay(), g.GetHour(), g.GetMinute(), g.GetSecond(),
                          g.GetHundredths());
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return key(a) < key(b); });
    for (std::size_t i : order) view.entries.push_back({false, docs[i].noteId, -1, {}});
}

// ---------------------------------------------------------------------------------------------
// Folders of a plain export (docs/notes.md, "Folders of a plain export").

namespace {

enum class Home { Inbox, Sent, Drafts, Calendar, ToDo, Contacts, Groups };

struct StandardFolder {
    Home home;
    std::vector<const char*> names;  // names a database may use for it, the first is created
    bool folder;
    int type;
};

const StandardFolder kStandardFolders[] = {
    {Home::Inbox, {"($Inbox)"}, true, LNVIEWTYPE_STANDARD},
    {Home::Sent, {"($Sent)"}, false, LNVIEWTYPE_STANDARD},
    {Home::Drafts, {"($Drafts)"}, false, LNVIEWTYPE_STANDARD},
    {Home::Calendar, {"($Calendar)"}, false, LNVIEWTYPE_CALENDAR},
    {Home::ToDo, {"($ToDo)"}, false, LNVIEWTYPE_STANDARD},
    {Home::Contacts, {"($Contacts)", "($People)", "People", "Contacts"}, false, LNVIEWTYPE_STANDARD},
    {Home::Groups, {"($Groups)", "Groups"}, false, LNVIEWTYPE_STANDARD},
};

// The home of a document that no folder holds: by its form, and for mail by whether the
// router delivered it (DeliveredDate) or it was sent (PostedDate).
Home HomeOf(const DocIndex& d) {
    static const std::pair<const char*, Home> kForms[] = {
        {"Appointment", Home::Calendar},   {"Notice", Home::Calendar},
        {"(ReplyNotice)", Home::Calendar}, {"Task", Home::ToDo},
        {"Person", Home::Contacts},        {"Group", Home::Groups},
    };
    for (const auto& [form, home] : kForms)
        if (d.form == form) return home;
    if (d.delivered) return Home::Inbox;
    return d.posted ? Home::Sent : Home::Drafts;
}

}  // namespace

ViewImpl* DatabaseImpl::FindView(std::string_view name) const {
    for (const auto& v : views)
        if (v->name == name) return v.get();
    return nullptr;
}

void DatabaseImpl::FillStandardFolders() {
    // A file that lists the entries of its views itself (the extension) says where every
    // document lives: only a plain export is filled.
    if (std::any_of(views.begin(), views.end(), [](const auto& v) { return v->listed; })) return;
    std::vector<std::size_t> order(docs.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        return docs[a].created.ConvertToZone(0).ToDxl() < docs[b].created.ConvertToZone(0).ToDxl();
    });
    std::map<Home, ViewImpl*> homes;
    auto homeView = [&](Home home) -> ViewImpl* {
        if (const auto it = homes.find(home); it != homes.end()) return it->second;
        const StandardFolder& s = kStandardFolders[static_cast<int>(home)];
        ViewImpl* view = nullptr;
        for (const char* name : s.names)
            if ((view = FindView(name)) != nullptr) break;
        if (view == nullptr) {
            view = &AddView(s.names.front(), s.folder);
            view->type = s.type;
        }
        return homes[home] = view;
    };
    for (std::size_t i : order) {
        const DocIndex& d = docs[i];
        bool held = false;
        for (const auto& ref : d.folderRefs) {
            LNUniversalID unid;
            if (!ParseUnid(ref, &unid)) continue;
            for (const auto& v : views)
                if (v->folder && v->unid == unid) {
                    v->entries.push_back({false, d.noteId, -1, {}});
                    held = true;
                }
        }
        if (held) continue;
        if (ViewImpl* view = homeView(HomeOf(d))) view->entries.push_back({false, d.noteId, -1, {}});
    }
}

LNSTATUS DatabaseImpl::Load() {
    Unload();
    if (const LNSTATUS s = OpenDevice()) return s;
    qint64 start = 0;
    if (const LNSTATUS s = CheckHead(&start)) {
        Unload();
        return s;
    }
    QXmlStreamReader r;
    XmlFeeder f(*device, {start, device->size()}, r, {});
    Walker w(f, r);
    IndexPass pass{*this, f, r, w, {}, {}, {}};
    if (const LNSTATUS s = pass.Run()) {
        Unload();
        return s;
    }
    AssignFreeIds(pass.usedIds, pass.withoutId, pass.viewsWithoutId);
    FillStandardFolders();
    FillAllView();
    open = true;
    return LNNOERROR;
}

void DatabaseImpl::Unload() {
    open = false;
    device.reset();
    docs.clear();
    byNoteId.clear();
    views.clear();
    forms.clear();
    title.clear();
    replicaId = {};
    rootPrefix.clear();
}

LNSTATUS DatabaseImpl::ReadDocument(const DocIndex& index, std::shared_ptr<DocumentData>* out) {
    auto doc = std::make_shared<DocumentData>();
    doc->noteId = index.noteId;
    {
        std::lock_guard lock(mutex);
        if (!device) return LNERR_DATABASE_NOT_OPEN;
        QXmlStreamReader r;
        XmlFeeder f(*device, index.bytes, r, rootPrefix);
        Walker w(f, r);
        auto failure = [&f] { return f.status() == LNERR_TOO_LARGE ? LNERR_TOO_LARGE : LNERR_NOTE_DAMAGED; };
        // The synthetic root, then the document.
        if (f.Next() == QXmlStreamReader::StartDocument && f.Next() != QXmlStreamReader::StartElement)
            return failure();
        QXmlStreamReader::TokenType t;
        while ((t = f.Next()) != QXmlStreamReader::StartElement)
            if (t == QXmlStreamReader::Invalid || t == QXmlStreamReader::EndDocument) return failure();
        if (!Is(r, "document") && !Is(r, "note")) return LNERR_NOTE_DAMAGED;
        doc->formAttribute = Attr(r, "form");
        doc->markedEncrypted = True(ExtAttr(r, "encrypted"));
        if (!w.Children([&] {
                if (Is(r, "item")) return ParseItem(r, w, f, doc.get());
                if (Is(r, "mime")) return w.Text(&doc->mimeSource);
                return w.Skip();
            }))
            return failure();
    }
    ApplyMime(*this, doc.get());
    *out = std::move(doc);
    return LNNOERROR;
}

LNSTATUS DatabaseImpl::ReadBytes(ByteRange range, QByteArray* out) {
    if (range.size() < 0) return LNERR_INTERNAL;
    if (range.size() > kMaxRawValue) return LNERR_TOO_LARGE;
    std::lock_guard lock(mutex);
    if (!device) return LNERR_DATABASE_NOT_OPEN;
    if (!device->seek(range.begin)) return LNERR_FILE_READ;
    *out = device->read(range.size());
    return out->size() == range.size() ? LNNOERROR : LNERR_FILE_READ;
}

namespace {

constexpr int kBad = -1, kSpace = -2, kPad = -3;

struct Base64Table {
    int v[256];
    constexpr Base64Table() : v{} {
        for (int& x : v) x = kBad;
        for (int c = 'A'; c <= 'Z'; ++c) v[c] = c - 'A';
        for (int c = 'a'; c <= 'z'; ++c) v[c] = c - 'a' + 26;
        for (int c = '0'; c <= '9'; ++c) v[c] = c - '0' + 52;
        v[static_cast<int>('+')] = 62;
        v[static_cast<int>('/')] = 63;
        v[static_cast<int>('=')] = kPad;
        for (char c : {' ', '\n', '\r', '\t'}) v[static_cast<int>(c)] = kSpace;
    }
};
constexpr Base64Table kTable;
constexpr const int* kValues = kTable.v;

// A streaming base64 decoder: whitespace is skipped, '=' ends the data, anything else fails.
class Base64Decoder {
  public:
    bool Add(const char* data, qsizetype n, QByteArray* out) {
        const qsizetype start = out->size();
        out->resize(start + n / 4 * 3 + 3);
        char* o = out->data() + start;
        for (qsizetype i = 0; i < n; ++i) {
            const auto c = static_cast<unsigned char>(data[i]);
            const int v = kValues[c];
            if (v >= 0) {
                if (ended_) return false;
                acc_ = (acc_ << 6) | static_cast<std::uint32_t>(v);
                if (++count_ == 4) {
                    *o++ = static_cast<char>((acc_ >> 16) & 0xFF);
                    *o++ = static_cast<char>((acc_ >> 8) & 0xFF);
                    *o++ = static_cast<char>(acc_ & 0xFF);
                    acc_ = 0;
                    count_ = 0;
                }
            } else if (v == kPad) {
                ended_ = true;
            } else if (v != kSpace) {
                return false;
            }
        }
        out->resize(o - out->constData());
        return true;
    }
    bool Finish(QByteArray* out) {
        if (count_ == 1) return false;
        if (count_ == 2) out->append(static_cast<char>((acc_ >> 4) & 0xFF));
        if (count_ == 3) {
            out->append(static_cast<char>((acc_ >> 10) & 0xFF));
            out->append(static_cast<char>((acc_ >> 2) & 0xFF));
        }
        count_ = 0;
        return true;
    }

  private:
    std::uint32_t acc_ = 0;
    int count_ = 0;
    bool ended_ = false;
};

}  // namespace

LNSTATUS DatabaseImpl::DecodeBase64(ByteRange range, QIODevice* out, std::uint64_t* written) {
    std::lock_guard lock(mutex);
    if (!device) return LNERR_DATABASE_NOT_OPEN;
    Base64Decoder decoder;
    *written = 0;
    QByteArray decoded;
    for (qint64 at = range.begin; at < range.end;) {
        const qint64 n = std::min<qint64>(1 << 20, range.end - at);
        if (!device->seek(at)) return LNERR_FILE_READ;
        const QByteArray chunk = device->read(n);
        if (chunk.size() != n) return LNERR_FILE_READ;
        decoded.clear();
        if (!decoder.Add(chunk.constData(), chunk.size(), &decoded)) return LNERR_ATTACHMENT_DAMAGED;
        if (out && out->write(decoded) != decoded.size()) return LNERR_FILE_WRITE;
        *written += static_cast<std::uint64_t>(decoded.size());
        at += n;
    }
    decoded.clear();
    if (!decoder.Finish(&decoded)) return LNERR_ATTACHMENT_DAMAGED;
    if (out && out->write(decoded) != decoded.size()) return LNERR_FILE_WRITE;
    *written += static_cast<std::uint64_t>(decoded.size());
    return LNNOERROR;
}

LNSTATUS DatabaseImpl::DecodeBase64(ByteRange range, QByteArray* out) {
    if (range.size() > kMaxRawValue) return LNERR_TOO_LARGE;
    QBuffer buffer(out);
    buffer.open(QIODevice::WriteOnly);
    std::uint64_t written = 0;
    return DecodeBase64(range, &buffer, &written);
}

bool DatabaseImpl::TakeFirstOpenFault(NOTEID noteId) {
    static std::mutex memoryMutex;
    static std::set<std::pair<std::string, NOTEID>> memoryFired;
    if (inMemory) {
        std::lock_guard lock(memoryMutex);
        return memoryFired.insert({path.toStdString() + "#" + std::to_string(generation), noteId}).second;
    }
    // A file database remembers the fault beyond the process: the next process must open the
    // document, as a fresh Notes process would. Without a private folder the fault never fires.
    const QString folder = FaultFolder();
    if (folder.isEmpty()) return false;
    QFile marker(folder + QLatin1Char('/') + QString::fromStdString(faultKey) + QLatin1Char('-') +
                 QString::number(noteId, 16));
    if (marker.exists()) return false;
    if (!marker.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return false;
    return true;
}

const FormData* DatabaseImpl::FindForm(std::string_view name) const {
    for (const auto& form : forms)
        for (const auto& n : form.names)
            if (n == name) return &form;
    return nullptr;
}

}  // namespace notes_detail
