#include "convert/richtext/HtmlBodyConverter.h"

#include "convert/richtext/RichTextHtml.h"
#include "convert/richtext/RichTextPictureFiles.h"

#include <atomic>
#include <set>
#include <vector>

namespace {

std::atomic<std::uint32_t> g_lastConverter{0};

std::uint32_t NewConverter() {
    std::uint32_t id = ++g_lastConverter;
    if (id == 0) id = ++g_lastConverter;  // 0 means "none"
    return id;
}

// Status texts are fetched the way the original did it and dropped: nothing is logged.
void LoadAndDropStatusText(LNSTATUS status) {
    char text[99] = {};
    OSLoadString(status, text, sizeof text);
}

// Ends the conversion state whichever way a call leaves.
struct ConversionScope {
    HtmlBodyConverter& c;
    LNDocument document;
    bool openedHere = false;
    explicit ConversionScope(HtmlBodyConverter& converter) : c(converter) { c.converter = NewConverter(); }
    ~ConversionScope() {
        if (openedHere) document.Close();
        c.converter = 0;
        c.referenceHandle = 0;
    }
    ConversionScope(const ConversionScope&) = delete;
    ConversionScope& operator=(const ConversionScope&) = delete;
};

}  // namespace

NOTEHANDLE HtmlBodyConverter::OpenNote(LNDocument* document, bool* openedHere) {
    *openedHere = false;
    LNSTATUS s = noteHandle ? LNGetDocumentByHandle(noteHandle, document) : LNERR_BAD_HANDLE;
    if (s != LNNOERROR && databaseHandle != 0 && noteId != 0) {
        // A reader that closed its copy of the document still names it by its note ID.
        s = NSFNoteOpenByID(databaseHandle, noteId, document);
        *openedHere = s == LNNOERROR;
    }
    if (s != LNNOERROR) throw s;
    return document->GetNoteHandle();
}

QString HtmlBodyConverter::SavePicture(const RichTextPicture& picture) {
    const QString folder = pictureFolder.isEmpty() ? RichTextPictureFolder() : pictureFolder;
    if (folderState_ == 0) folderState_ = PreparePrivateFolder(folder) ? 1 : -1;
    // A refused folder costs the pictures, not the text of the document.
    if (folderState_ < 0) return {};
    return SavePictureFile(folder, picture);
}

RichTextHtmlOptions HtmlBodyConverter::Options(bool expanded) {
    folderState_ = 0;  // checked afresh per conversion: the folder may have gone meanwhile
    RichTextHtmlOptions options;
    options.expandSections = expanded;
    options.allTableRows = expanded;
    options.savePicture = [this, ordinal = 0](const RichTextPicture& picture) mutable {
        referenceHandle = static_cast<std::uint32_t>(++ordinal);
        QString path = SavePicture(picture);
        referenceHandle = 0;
        return path;
    };
    return options;
}

LNSTATUS HtmlBodyConverter::RenderItem(NOTEHANDLE note, const std::string& itemName,
                                       const RichTextHtmlOptions& options, QString* fragment) {
    LNString xml;
    const LNSTATUS s = NSFItemGetRichTextXml(note, itemName, &xml);
    if (s != LNNOERROR) return s;
    return RenderRichTextFragment(QString::fromUtf8(xml.data(), static_cast<qsizetype>(xml.size())),
                                  QString::fromStdString(itemName), options, fragment)
               ? LNNOERROR
               : LNERR_NOTE_DAMAGED;
}

QString HtmlBodyConverter::ConvertNote() {
    ConversionScope scope(*this);
    const RichTextHtmlOptions options = Options(true);
    QString body;
    bool anyRichText = false;
    status = LNCatchStatus([&] {
        const NOTEHANDLE note = OpenNote(&scope.document, &scope.openedHere);
        std::set<std::string> done;  // an item split into several parts is one item
        for (const LNItem& item : scope.document.GetItems()) {
            if (item.GetType() != LNITEMTYPE_RICHTEXT || !done.insert(item.GetName()).second) continue;
            QString fragment;
            const LNSTATUS s = RenderItem(note, item.GetName(), options, &fragment);
            if (s != LNNOERROR) throw s;
            body += fragment;
            anyRichText = true;
        }
    });
    if (status == LNNOERROR && !anyRichText) status = LNERR_ITEM_NOT_FOUND;
    return status == LNNOERROR ? HtmlDocument(body) : QString();
}

QString HtmlBodyConverter::ConvertBodyItem() {
    ConversionScope scope(*this);
    const RichTextHtmlOptions options = Options(false);  // the item conversion sets none
    QString fragment;
    bool hasBody = true;
    status = LNCatchStatus([&] {
        const NOTEHANDLE note = OpenNote(&scope.document, &scope.openedHere);
        NotesItemInfo info;
        if (NSFItemInfo(note, "Body", &info) != LNNOERROR) {
            hasBody = false;
            throw LNSTATUS{LNERR_ITEM_NOT_FOUND};
        }
        const LNSTATUS s = info.type == LNITEMTYPE_RICHTEXT ? RenderItem(note, "Body", options, &fragment)
                                                            : LNSTATUS{LNERR_ITEM_NOT_RICHTEXT};
        if (s != LNNOERROR) throw s;
    });
    if (status != LNNOERROR) {
        if (hasBody) LoadAndDropStatusText(status);
        return {};
    }
    return HtmlDocument(fragment);
}
