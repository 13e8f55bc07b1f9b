#include "convert/richtext/RichTextHtml.h"

#include <QHash>
#include <QSet>
#include <QStringView>
#include <QUrl>
#include <QXmlStreamReader>

#include <cmath>

namespace {

// Appends the entity of a character that HTML treats as markup; false for any other character.
bool AppendEscaped(QString* out, QChar c) {
    switch (c.unicode()) {
        case u'&':
            *out += QLatin1String("&amp;");
            return true;
        case u'<':
            *out += QLatin1String("&lt;");
            return true;
        case u'>':
            *out += QLatin1String("&gt;");
            return true;
        case u'"':
            *out += QLatin1String("&quot;");
            return true;
        case u'\'':
            *out += QLatin1String("&#39;");
            return true;
        default:
            return false;
    }
}

// HTML lines stay below this many UTF-8 bytes: the body travels as an 8bit MIME part, whose
// lines RFC 5322 limits to 998 octets. Text breaks at a space once a line is this long.
constexpr int kLineBreakBytes = 900;

const QString kCrLf = QStringLiteral("\r\n");

// Elements whose content is program code, binary data or design information: never text.
bool IsSkippedElement(QStringView n) {
    static const QSet<QString> skipped = {
        "code",
        "formula",
        "lotusscript",
        "javascript",
        "simpleaction",
        "action",
        "gif",
        "jpeg",
        "png",
        "bmp",
        "notesbitmap",
        "cgm",
        "pict",
        "svg",
        "imageref",
        "object",
        "objectref",
        "filedata",
        "border",
        "parstyle",
        "tablecolumn",
        "tablerowstyle",
        "embeddedview",
        "embeddedoutline",
        "embeddedcontrol",
        "embeddeddatepicker",
        "embeddedfolderpane",
        "embeddednavigator",
        "embeddedschedulertools",
        "embeddededitor",
        "embeddedcontactlist",
        "embeddedgroupscheduler",
        "field",
        "area",
        "keyword",
        "sharedfield",
        "datetimeformat",
        "numberformat",
        "namesformat",
        "textproperty",
        "attachmentref",
        "popuptext",
        "background",
    };
    return skipped.contains(n.toString());
}

QString NamedColour(const QString& value) {
    static const QHash<QString, QString> colours = {
        {"black", "#000000"},      {"white", "#ffffff"},    {"red", "#ff0000"},
        {"green", "#00ff00"},      {"blue", "#0000ff"},     {"magenta", "#ff00ff"},
        {"yellow", "#ffff00"},     {"cyan", "#00ffff"},     {"darkred", "#800000"},
        {"darkgreen", "#008000"},  {"darkblue", "#000080"}, {"darkmagenta", "#800080"},
        {"darkyellow", "#808000"}, {"darkcyan", "#008080"}, {"gray", "#808080"},
        {"silver", "#c0c0c0"},
    };
    return colours.value(value.toLower());
}

bool IsHex(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// A DXL colour (a name or #rrggbb / #rgb) as a CSS colour, or empty for "system", "none" and
// anything that is not a colour.
QString CssColour(const QString& value) {
    const QString v = value.trimmed();
    if (v.startsWith(u'#') && (v.size() == 7 || v.size() == 4)) {
        for (qsizetype i = 1; i < v.size(); ++i)
            if (!IsHex(v[i])) return {};
        return v.toLower();
    }
    return NamedColour(v);
}

// A number with an optional unit ("12pt", "1.5in"); false when it is not one.
bool ParseLength(const QString& value, double* number, QString* unit) {
    const QString v = value.trimmed();
    qsizetype i = 0;
    while (i < v.size() && (v[i].isDigit() || v[i] == u'.')) ++i;
    bool ok = false;
    const double n = v.left(i).toDouble(&ok);
    if (!ok || !std::isfinite(n)) return false;
    *number = n;
    *unit = v.mid(i).trimmed().toLower();
    return true;
}

double InchesOf(const QString& value, bool* ok) {
    double n = 0;
    QString unit;
    *ok = ParseLength(value, &n, &unit);
    if (!*ok) return 0;
    if (unit == "in" || unit.isEmpty()) return n;
    if (unit == "cm") return n / 2.54;
    if (unit == "mm") return n / 25.4;
    if (unit == "pt") return n / 72.0;
    if (unit == "px") return n / 96.0;
    *ok = false;  // percentages and unknown units: no fixed length
    return 0;
}

QString Number(double n) {
    return QString::number(n, 'g', 4);
}

// A font face for CSS: the Notes pseudo-faces become generic families, other names keep only
// characters that cannot end the quoted value or the declaration.
QString CssFontFamily(const QString& name) {
    const QString lower = name.trimmed().toLower();
    if (lower.isEmpty()) return {};
    if (lower == "default sans serif") return "sans-serif";
    if (lower == "default serif") return "serif";
    if (lower == "default monospace") return "monospace";
    if (lower == "default multilingual") return "sans-serif";
    QString clean;
    for (QChar c : name.trimmed().left(64))
        if (c.isLetterOrNumber() || c == u' ' || c == u'-' || c == u'_' || c == u'.') clean += c;
    if (clean.trimmed().isEmpty()) return {};
    return QStringLiteral("'") + clean.trimmed() + QStringLiteral("'");
}

// CSS of a <font> element.
QString FontCss(const QXmlStreamAttributes& a) {
    QStringList css;
    const QString family = CssFontFamily(a.value("name").toString());
    if (!family.isEmpty()) css << "font-family:" + family;
    double size = 0;
    QString unit;
    if (ParseLength(a.value("size").toString(), &size, &unit) && size >= 1 && size <= 400 &&
        (unit == "pt" || unit.isEmpty()))
        css << "font-size:" + Number(size) + "pt";
    QStringList decorations;
    for (const QString& token : a.value("style").toString().split(u' ', Qt::SkipEmptyParts)) {
        const QString t = token.toLower();
        if (t == "bold")
            css << "font-weight:bold";
        else if (t == "italic")
            css << "font-style:italic";
        else if (t == "underline")
            decorations << "underline";
        else if (t == "strikethrough")
            decorations << "line-through";
        else if (t == "superscript")
            css << "vertical-align:super";
        else if (t == "subscript")
            css << "vertical-align:sub";
    }
    if (!decorations.isEmpty()) css << "text-decoration:" + decorations.join(u' ');
    const QString colour = CssColour(a.value("color").toString());
    if (!colour.isEmpty()) css << "color:" + colour;
    return css.join(u';');
}

QString StyleAttribute(const QString& css) {
    return css.isEmpty() ? QString() : QStringLiteral(" style=\"") + HtmlEscape(css) + u'"';
}

// A paragraph definition as far as HTML can show it.
struct ParDef {
    QString css;
    QString list;  // the DXL list style, empty for none
    bool hidden = false;
};

ParDef ReadParDef(const QXmlStreamAttributes& a) {
    ParDef def;
    QStringList css;
    const QString align = a.value("align").toString();
    if (align == "center")
        css << "text-align:center";
    else if (align == "right")
        css << "text-align:right";
    else if (align == "full")
        css << "text-align:justify";
    // Notes measures margins from the page edge with 1 inch as the plain paragraph.
    bool ok = false;
    const double left = InchesOf(a.value("leftmargin").toString(), &ok);
    if (ok && left > 1.01 && left < 100) css << "margin-left:" + Number(left - 1.0) + "in";
    const auto spacing = [&](const char* attribute, const char* property) {
        bool isNumber = false;
        const double lines = a.value(attribute).toDouble(&isNumber);
        if (isNumber && lines > 1.0 && lines <= 3.0)
            css << QString::fromLatin1(property) + ':' + Number(lines - 1.0) + "em";
    };
    spacing("spacebefore", "margin-top");
    spacing("spaceafter", "margin-bottom");
    def.css = css.join(u';');
    const QString list = a.value("list").toString().toLower();
    if (!list.isEmpty() && list != "none") def.list = list;
    // The original converter renders for the web, so paragraphs hidden from web readers stay
    // out of the HTML.
    def.hidden = a.value("hide").toString().split(u' ', Qt::SkipEmptyParts).contains("web");
    return def;
}

bool IsOrderedList(const QString& list) {
    return list == "number" || list.startsWith("alpha") || list.startsWith("roman");
}

QString ListOpening(const QString& list) {
    if (list == "number") return "<ol>";
    if (list == "alphaupper") return "<ol type=\"A\">";
    if (list == "alphalower") return "<ol type=\"a\">";
    if (list == "romanupper") return "<ol type=\"I\">";
    if (list == "romanlower") return "<ol type=\"i\">";
    if (list == "square") return "<ul style=\"list-style-type:square\">";
    if (list == "circle") return "<ul style=\"list-style-type:circle\">";
    if (list == "check" || list == "uncheck") return "<ul style=\"list-style-type:none\">";
    return "<ul>";
}

// The URL a <urllink> may point to, or empty for schemes that run code or are unknown.
QString SafeHref(const QString& href) {
    const QString h = href.trimmed();
    if (h.isEmpty()) return {};
    const qsizetype colon = h.indexOf(u':');
    const qsizetype slash = h.indexOf(u'/');
    if (colon < 0 || (slash >= 0 && slash < colon)) {
        if (h.startsWith("www.", Qt::CaseInsensitive)) return "http://" + h;
        return {};
    }
    static const QSet<QString> allowed = {"http", "https", "ftp", "mailto", "notes", "news", "nntp"};
    return allowed.contains(h.left(colon).toLower()) ? h : QString();
}

QString HexOnly(const QString& value, qsizetype maxDigits) {
    QString hex;
    for (QChar c : value)
        if (IsHex(c) && hex.size() < maxDigits) hex += c.toUpper();
    return hex;
}

// notes://server/replica/view/document for a document, view or database link.
QString NotesUrl(const QXmlStreamAttributes& a) {
    const QString replica = HexOnly(a.value("database").toString(), 16);
    if (replica.isEmpty()) return {};
    QString server = a.value("server").toString().trimmed();
    if (server.startsWith("CN=", Qt::CaseInsensitive)) server = server.mid(3);
    server = server.section(u'/', 0, 0);
    QString url = "notes://" + QString::fromLatin1(QUrl::toPercentEncoding(server)) + u'/' + replica;
    const QString view = HexOnly(a.value("view").toString(), 32);
    const QString document = HexOnly(a.value("document").toString(), 32);
    if (!view.isEmpty() || !document.isEmpty()) url += u'/' + (view.isEmpty() ? "0" : view);
    if (!document.isEmpty()) url += u'/' + document;
    return url;
}

// File names carry the item name; keep only characters that are safe in any file system.
QString FileSafeItemName(const QString& itemName) {
    QString name;
    for (QChar c : itemName.left(64)) {
        const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
                           c == u'_' || c == u'$' || c == u'-';
        name += plain ? c : QChar(u'_');
    }
    return name.isEmpty() ? QStringLiteral("Body") : name;
}

bool HasSignature(const QByteArray& data, const QString& format) {
    if (format == "gif") return data.startsWith("GIF87a") || data.startsWith("GIF89a");
    if (format == "jpeg") return data.startsWith("\xFF\xD8\xFF");
    if (format == "png") return data.startsWith("\x89PNG\r\n\x1A\n");
    return false;
}

QString ExtensionOf(const QString& format) {
    return format == "jpeg" ? "jpg" : format;
}

// Pixel dimension attributes: DXL gives "120px" or a bare number; absurd values are dropped.
QString DimensionAttribute(const char* name, const QString& value) {
    double n = 0;
    QString unit;
    if (!ParseLength(value, &n, &unit) || (unit != "px" && !unit.isEmpty()) || n < 1 || n > 20000) return {};
    return QStringLiteral(" ") + QString::fromLatin1(name) + "=\"" + QString::number(static_cast<int>(n)) +
           u'"';
}

int SpanAttribute(const QXmlStreamAttributes& a, const char* name) {
    bool ok = false;
    const int n = a.value(name).toInt(&ok);
    return ok && n > 1 && n <= 1000 ? n : 1;
}

class Renderer {
  public:
    Renderer(const QString& xml, const QString& itemName, const RichTextHtmlOptions& options)
        : reader_(xml), itemName_(FileSafeItemName(itemName)), options_(options) {
        // The fragment is cut out of a whole DXL file, so prefixes declared on its root may
        // be used in it undeclared; names are matched without namespaces anyway.
        reader_.setNamespaceProcessing(false);
    }

    bool Render(QString* html) {
        while (!reader_.atEnd()) {
            reader_.readNext();
            if (reader_.isStartElement()) {
                Block root;
                Element(&root);
                CloseList(&root);
            }
        }
        if (reader_.hasError()) return false;
        *html = out_;
        return true;
    }

  private:
    // A container of paragraphs: consecutive list paragraphs share one list element.
    struct Block {
        QString openList;
    };

    void CloseList(Block* block) {
        if (!block || block->openList.isEmpty()) return;
        out_ += IsOrderedList(block->openList) ? "</ol>" : "</ul>";
        out_ += kCrLf;
        block->openList.clear();
    }

    // Content of the current element up to its end tag. Inside a block container (block !=
    // nullptr) whitespace between elements is layout, not text.
    void Content(Block* block) {
        bool fontSpan = false;
        while (!reader_.atEnd()) {
            reader_.readNext();
            if (reader_.isEndElement() || reader_.hasError()) break;
            if (reader_.isCharacters()) {
                if (reader_.isWhitespace() && (block || reader_.text().contains(u'\n'))) continue;
                CloseList(block);
                Text(reader_.text());
            } else if (reader_.isStartElement()) {
                if (reader_.name() == u"font") {
                    // A font applies to what follows it in its container, up to the next font.
                    // An open list is closed first so that lists and spans nest properly.
                    CloseList(block);
                    if (fontSpan) out_ += "</span>";
                    const QString css = FontCss(reader_.attributes());
                    fontSpan = !css.isEmpty();
                    if (fontSpan) out_ += "<span" + StyleAttribute(css) + u'>';
                    reader_.skipCurrentElement();
                } else {
                    Element(block);
                }
            }
        }
        if (fontSpan) {
            CloseList(block);
            out_ += "</span>";
        }
    }

    // One element at the reader's position, read up to its end tag.
    void Element(Block* block) {
        if (depth_ >= kRichTextMaxDepth) {
            reader_.skipCurrentElement();
            return;
        }
        ++depth_;
        const QString name = reader_.name().toString();
        const QXmlStreamAttributes attributes = reader_.attributes();
        if (name == "pardef") {
            parDefs_.insert(attributes.value("id").toString(), ReadParDef(attributes));
            reader_.skipCurrentElement();
        } else if (name == "par") {
            Paragraph(block, attributes);
        } else if (IsSkippedElement(name)) {
            if (name == "attachmentref") {
                CloseList(block);
                Attachment(attributes);
            }
            reader_.skipCurrentElement();
        } else {
            CloseList(block);
            Inline(name, attributes, block != nullptr);
        }
        --depth_;
    }

    void Inline(const QString& name, const QXmlStreamAttributes& a, bool atBlockLevel) {
        if (name == "break") {
            out_ += "<br>" + kCrLf;
            reader_.skipCurrentElement();
        } else if (name == "horizrule") {
            out_ += "<hr>" + kCrLf;
            reader_.skipCurrentElement();
        } else if (name == "run") {
            Run(a);
        } else if (name == "table") {
            Table(a);
        } else if (name == "section") {
            Section();
        } else if (name == "sectiontitle") {
            SectionTitle();
        } else if (name == "urllink") {
            UrlLink(a);
        } else if (name == "doclink" || name == "viewlink" || name == "databaselink") {
            NotesLink(a);
        } else if (name == "picture") {
            Picture(a);
        } else if (name == "computedtext") {
            ComputedText();
        } else if (atBlockLevel) {
            // Containers (block, region, layer, the richtext root, unknown wrappers) hold
            // paragraphs of their own.
            Block inner;
            Content(&inner);
            CloseList(&inner);
        } else {
            // Hotspots, buttons and other inline wrappers show their text.
            Content(nullptr);
        }
    }

    void Paragraph(Block* block, const QXmlStreamAttributes& a) {
        const ParDef def = parDefs_.value(a.value("def").toString());
        if (def.hidden) {
            reader_.skipCurrentElement();
            return;
        }
        const bool listItem = block && !def.list.isEmpty();
        if (listItem) {
            if (block->openList != def.list) {
                CloseList(block);
                out_ += ListOpening(def.list);
                block->openList = def.list;
            }
            out_ += "<li" + StyleAttribute(def.css) + u'>';
            if (def.list == "check") out_ += QStringLiteral("\u2611 ");
            if (def.list == "uncheck") out_ += QStringLiteral("\u2610 ");
        } else {
            CloseList(block);
            out_ += "<div" + StyleAttribute(def.css) + u'>';
        }
        const qsizetype mark = out_.size();
        Content(nullptr);
        if (out_.size() == mark) out_ += "<br>";  // an empty paragraph is an empty line
        out_ += listItem ? "</li>" : "</div>";
        out_ += kCrLf;
    }

    void Run(const QXmlStreamAttributes& a) {
        static const QHash<QString, QString> highlights = {
            {"yellow", "#ffff00"}, {"pink", "#ffc0cb"}, {"blue", "#add8e6"}};
        const QString highlight = highlights.value(a.value("highlight").toString());
        if (!highlight.isEmpty()) out_ += "<span style=\"background-color:" + highlight + "\">";
        // html='true' marks pass-through HTML; it is shown as the text it is, never as markup.
        Content(nullptr);
        if (!highlight.isEmpty()) out_ += "</span>";
    }

    void Table(const QXmlStreamAttributes& a) {
        const QString rowDisplay = a.value("rowdisplay").toString();
        const bool oneRowAtATime = !rowDisplay.isEmpty() && rowDisplay != "fixed";
        out_ +=
            "<table border=\"1\" cellspacing=\"0\" cellpadding=\"4\" "
            "style=\"border-collapse:collapse\">" +
            kCrLf;
        int columns = 0;
        int rows = 0;
        while (ReadChild()) {
            const QStringView name = reader_.name();
            if (name == u"tablecolumn") {
                ++columns;
                reader_.skipCurrentElement();
            } else if (name == u"tablerow" && (!oneRowAtATime || options_.allTableRows || rows == 0)) {
                const QString label = reader_.attributes().value("tablabel").toString();
                if (oneRowAtATime && options_.allTableRows && !label.isEmpty())
                    out_ += "<tr><th colspan=\"" + QString::number(std::max(columns, 1)) +
                            "\" style=\"text-align:left\">" + HtmlEscape(label) + "</th></tr>" + kCrLf;
                Nested([this] { TableRow(); });
                ++rows;
            } else {
                if (name == u"tablerow") ++rows;
                reader_.skipCurrentElement();
            }
        }
        out_ += "</table>" + kCrLf;
    }

    void TableRow() {
        out_ += "<tr>";
        while (ReadChild()) {
            if (reader_.name() != u"tablecell") {
                reader_.skipCurrentElement();
                continue;
            }
            const QXmlStreamAttributes a = reader_.attributes();
            Nested([&] {
                out_ += "<td valign=\"top\"";
                const int columnSpan = SpanAttribute(a, "columnspan");
                const int rowSpan = SpanAttribute(a, "rowspan");
                if (columnSpan > 1) out_ += " colspan=\"" + QString::number(columnSpan) + u'"';
                if (rowSpan > 1) out_ += " rowspan=\"" + QString::number(rowSpan) + u'"';
                const QString colour = CssColour(a.value("bgcolor").toString());
                if (!colour.isEmpty()) out_ += StyleAttribute("background-color:" + colour);
                out_ += u'>';
                const qsizetype mark = out_.size();
                Block cell;
                Content(&cell);
                CloseList(&cell);
                if (out_.size() == mark) out_ += "&nbsp;";
                out_ += "</td>";
            });
        }
        out_ += "</tr>" + kCrLf;
    }

    // Reads to the next child element of the current element; false at its end tag.
    bool ReadChild() {
        while (!reader_.atEnd()) {
            reader_.readNext();
            if (reader_.isStartElement()) return true;
            if (reader_.isEndElement() || reader_.hasError()) return false;
        }
        return false;
    }

    // Renders the current element with `body` one level deeper, or skips it past the limit.
    template <typename F>
    void Nested(F body) {
        if (depth_ >= kRichTextMaxDepth) {
            reader_.skipCurrentElement();
            return;
        }
        ++depth_;
        body();
        --depth_;
    }

    void Section() {
        out_ += options_.expandSections ? "<div>" : "<details>";
        Block body;
        Content(&body);
        CloseList(&body);
        out_ += options_.expandSections ? "</div>" : "</details>";
        out_ += kCrLf;
    }

    void SectionTitle() {
        out_ += options_.expandSections ? "<div style=\"font-weight:bold\">" : "<summary>";
        Content(nullptr);
        out_ += options_.expandSections ? "</div>" : "</summary>";
        out_ += kCrLf;
    }

    void UrlLink(const QXmlStreamAttributes& a) {
        const QString href = SafeHref(a.value("href").toString());
        if (!href.isEmpty()) out_ += "<a href=\"" + HtmlEscape(href) + "\">";
        const qsizetype mark = out_.size();
        Content(nullptr);
        if (out_.size() == mark) Text(a.value("href").toString());
        if (!href.isEmpty()) out_ += "</a>";
    }

    void NotesLink(const QXmlStreamAttributes& a) {
        const QString url = NotesUrl(a);
        const QString description = a.value("description").toString();
        if (!url.isEmpty()) {
            out_ += "<a href=\"" + HtmlEscape(url) + u'"';
            if (!description.isEmpty()) out_ += " title=\"" + HtmlEscape(description) + u'"';
            out_ += u'>';
        }
        const qsizetype mark = out_.size();
        Content(nullptr);
        if (out_.size() == mark) Text(description.isEmpty() ? QStringLiteral("Link") : description);
        if (!url.isEmpty()) out_ += "</a>";
    }

    void Attachment(const QXmlStreamAttributes& a) {
        QString name = a.value("displayname").toString();
        if (name.isEmpty()) name = a.value("name").toString();
        if (!name.isEmpty()) Text(u'[' + name + u']');
    }

    void ComputedText() {
        QString value;
        while (ReadChild()) {
            if (reader_.name() != u"code") {
                reader_.skipCurrentElement();
                continue;
            }
            while (ReadChild()) {
                if (reader_.name() == u"formula" && value.isNull())
                    value = LiteralFormulaValue(reader_.readElementText(QXmlStreamReader::SkipChildElements));
                else
                    reader_.skipCurrentElement();
            }
        }
        Text(value);
    }

    // The base64 text of the current image element, or empty when it is longer than any
    // picture within the limit can be (line breaks allowed for); a longer run is read
    // through without being kept.
    QString PictureText() {
        const qsizetype maxBytes = options_.maxPictureBytes;
        const qsizetype maxChars = maxBytes / 3 * 4 + maxBytes / 32 + 4;
        QString text;
        bool tooLong = false;
        while (!reader_.atEnd()) {
            reader_.readNext();
            if (reader_.isCharacters()) {
                tooLong = tooLong || text.size() + reader_.text().size() > maxChars;
                if (tooLong)
                    text.clear();
                else
                    text += reader_.text();
            } else if (reader_.isStartElement()) {
                reader_.skipCurrentElement();
            } else if (reader_.isEndElement() || reader_.hasError()) {
                break;
            }
        }
        return tooLong ? QString() : text;
    }

    void Picture(const QXmlStreamAttributes& a) {
        const qint64 offset = reader_.characterOffset();
        QString alt = a.value("alttext").toString();
        QString src;
        while (ReadChild()) {
            const QString format = reader_.name().toString();
            if (format != "gif" && format != "jpeg" && format != "png") {
                reader_.skipCurrentElement();
                continue;
            }
            const int ordinal = pictures_++;
            const QString base64 = PictureText();
            if (!src.isEmpty() || ordinal >= kRichTextMaxPictures || !options_.savePicture ||
                base64.isEmpty())
                continue;
            QByteArray compact = base64.toLatin1();
            compact.removeIf([](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; });
            const auto decoded =
                QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
            if (!decoded || decoded.decoded.size() > options_.maxPictureBytes ||
                !HasSignature(decoded.decoded, format))
                continue;
            RichTextPicture picture;
            picture.fileName = itemName_ + QString::number(ordinal) + QString::number(offset, 16).toUpper() +
                               u'.' + ExtensionOf(format);
            picture.format = format;
            picture.data = decoded.decoded;
            src = options_.savePicture(picture);
        }
        if (!src.isEmpty()) {
            out_ += "<img src=\"" + HtmlEscape(src) + "\" alt=\"" + HtmlEscape(alt) + u'"' +
                    DimensionAttribute("width", a.value("width").toString()) +
                    DimensionAttribute("height", a.value("height").toString()) + u'>';
        } else if (!alt.isEmpty()) {
            Text(alt);
        }
    }

    // Escaped text; runs of spaces and tabs keep their width, and a long line breaks at a space.
    void Text(QStringView text) {
        for (QChar c : text) {
            if (AppendEscaped(&out_, c)) continue;
            switch (c.unicode()) {
                case u'\t':
                    out_ += "<span style=\"white-space:pre\">&#9;</span>";
                    break;
                case u'\r':
                case u'\n':
                case u' ':
                    if (!out_.isEmpty() && out_.back() == u' ')
                        out_ += "&nbsp;";
                    else if (LineBytes() > kLineBreakBytes)
                        out_ += kCrLf;
                    else
                        out_ += u' ';
                    break;
                default:
                    if (c.unicode() >= 0x20 && c.unicode() != 0x7F) out_ += c;
            }
        }
    }

    // UTF-8 length of the last line of the output, counted on from where the last call
    // stopped (the output only grows).
    qint64 LineBytes() {
        for (; countedTo_ < out_.size(); ++countedTo_) {
            const char16_t u = out_[countedTo_].unicode();
            if (u == u'\n')
                lineBytes_ = 0;
            else
                lineBytes_ += u < 0x80 ? 1 : (u < 0x800 || QChar::isSurrogate(u)) ? 2 : 3;
        }
        return lineBytes_;
    }

    QXmlStreamReader reader_;
    QString itemName_;
    const RichTextHtmlOptions& options_;
    QHash<QString, ParDef> parDefs_;
    QString out_;
    int depth_ = 0;
    int pictures_ = 0;
    qsizetype countedTo_ = 0;
    qint64 lineBytes_ = 0;
};

}  // namespace

QString HtmlEscape(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (!AppendEscaped(&out, c)) out += c;
    return out;
}

QString LiteralFormulaValue(const QString& formula) {
    QString value = QStringLiteral("");
    qsizetype i = 0;
    bool expectLiteral = true;
    const auto skipSpace = [&] {
        while (i < formula.size() && formula[i].isSpace()) ++i;
    };
    for (skipSpace(); i < formula.size(); skipSpace()) {
        if (!expectLiteral) {
            if (formula[i] != u'+') return {};
            ++i;
            expectLiteral = true;
            continue;
        }
        const QChar open = formula[i];
        if (open != u'"' && open != u'{') return {};
        const QChar close = open == u'"' ? u'"' : u'}';
        ++i;
        bool closed = false;
        while (i < formula.size()) {
            const QChar c = formula[i++];
            if (c == u'\\' && open == u'"' && i < formula.size()) {
                value += formula[i++];
            } else if (c == close) {
                closed = true;
                break;
            } else {
                value += c;
            }
        }
        if (!closed) return {};
        expectLiteral = false;
    }
    return expectLiteral ? QString() : value;
}

bool RenderRichTextFragment(const QString& dxlRichTextXml, const QString& itemName,
                            const RichTextHtmlOptions& options, QString* html) {
    Renderer renderer(dxlRichTextXml, itemName, options);
    return renderer.Render(html);
}

QString HtmlDocument(const QString& bodyFragment) {
    return QStringLiteral(
               "<html><head><meta http-equiv=\"Content-Type\" "
               "content=\"text/html; charset=utf-8\"></head><body>\r\n") +
           bodyFragment + QStringLiteral("</body></html>\r\n");
}

QString RenderRichTextHtml(const QString& dxlRichTextXml, const QString& itemName,
                           const RichTextHtmlOptions& options) {
    QString fragment;
    if (!RenderRichTextFragment(dxlRichTextXml, itemName, options, &fragment)) return {};
    return HtmlDocument(fragment);
}
