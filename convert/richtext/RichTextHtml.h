#pragma once
// Renders a rich-text item, given as its DXL <richtext> fragment, as HTML: paragraphs with their
// fonts, colours and alignment, lists, tables, sections, links, rules, computed text and
// embedded pictures. Every Notes text is escaped; nothing of the input reaches the HTML raw.

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>

// One embedded picture of the item, decoded, as it is handed to the picture sink.
struct RichTextPicture {
    // Item name, picture ordinal in decimal and its offset in the fragment in upper-case hex,
    // then the extension of its format, e.g. "Body0A3F.gif" (ordinal 0, offset 0xA3F).
    QString fileName;
    QString format;   // "gif", "jpeg" or "png"
    QByteArray data;  // the image bytes, signature already checked
};

// Stores one picture and answers the text the HTML refers to it by (a full file path). An
// empty answer leaves the picture out of the HTML.
using RichTextPictureSink = std::function<QString(const RichTextPicture&)>;

// Limits that keep hostile input from costing more than it is worth.
inline constexpr int kRichTextMaxDepth = 40;                             // nested elements
inline constexpr qsizetype kRichTextMaxPictureBytes = 32 * 1024 * 1024;  // one decoded picture
inline constexpr int kRichTextMaxPictures = 1000;                        // pictures of one item

struct RichTextHtmlOptions {
    // Collapsible sections are shown open, the title followed by the content; otherwise they
    // become <details> elements that a reader opens.
    bool expandSections = true;
    // Tables that Notes shows one row at a time (tabbed, cycling) are shown row by row, each
    // row under its tab label; otherwise only their first row is shown.
    bool allTableRows = true;
    // Without a sink pictures are left out (their alternative text, if any, stands in).
    RichTextPictureSink savePicture;
    // A picture larger than this (decoded) is left out; its base64 is never held whole.
    qsizetype maxPictureBytes = kRichTextMaxPictureBytes;
};

// The body fragment of the HTML (no <html>/<body> wrapper). False on XML that is not well
// formed; elements nested deeper than kRichTextMaxDepth and broken pictures are left out.
bool RenderRichTextFragment(const QString& dxlRichTextXml, const QString& itemName,
                            const RichTextHtmlOptions& options, QString* html);

// A complete HTML document around a body fragment.
QString HtmlDocument(const QString& bodyFragment);

// The item as a complete HTML document, or an empty string when the XML is broken.
QString RenderRichTextHtml(const QString& dxlRichTextXml, const QString& itemName,
                           const RichTextHtmlOptions& options = {});

// Text escaped for HTML content and attribute values (& < > " ').
QString HtmlEscape(const QString& text);

// The value of a Notes formula made only of string literals joined by "+" ("a" + {b}), or a
// null string for any other formula: there is no formula engine to compute the rest.
QString LiteralFormulaValue(const QString& formula);
