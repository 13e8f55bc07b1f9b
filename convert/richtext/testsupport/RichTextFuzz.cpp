#include "convert/richtext/testsupport/RichTextFuzz.h"

#include "convert/richtext/RichTextHtml.h"

int FuzzRichTextHtml(const uint8_t* data, size_t size) {
    const QString xml = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    RichTextHtmlOptions options;
    options.expandSections = size % 2 == 0;
    options.allTableRows = size % 3 != 0;
    options.savePicture = [](const RichTextPicture& picture) {
        return picture.data.isEmpty() ? QString() : "/nowhere/" + picture.fileName;
    };
    QString html;
    RenderRichTextFragment(xml, QStringLiteral("Body"), options, &html);
    return 0;
}
