#include "common/notes/Notes.h"

#include "common/notes/DxlReader.h"
#include "common/notes/NotesFlat.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <thread>

using namespace notes_detail;

namespace notes_detail {

struct DocumentImpl {
    std::shared_ptr<DatabaseImpl> db;
    DocIndex info;
    std::shared_ptr<const DocumentData> data;  // while open
    bool decrypted = false;
    NOTEHANDLE handle = 0;
};

}  // namespace notes_detail

namespace {

LNSTATUS Report(LNSTATUS status) {
    if (status != LNNOERROR && LNGetThrowAllErrors()) throw status;
    return status;
}

// Native handles: small numbers that name open databases and documents for the flat
// functions.
struct HandleTable {
    std::mutex mutex;
    std::uint32_t next = 1;
    std::map<std::uint32_t, std::weak_ptr<DatabaseImpl>> databases;
    std::map<std::uint32_t, std::weak_ptr<DocumentImpl>> notes;
};

HandleTable& Handles() {
    static HandleTable table;
    return table;
}

// Gives an open object its handle; 0 is never used.
template <class Impl>
std::uint32_t AddHandle(std::map<std::uint32_t, std::weak_ptr<Impl>> HandleTable::*table,
                        const std::shared_ptr<Impl>& impl) {
    auto& t = Handles();
    std::lock_guard lock(t.mutex);
    const std::uint32_t h = t.next++;
    if (t.next == 0) t.next = 1;
    (t.*table)[h] = impl;
    return h;
}

template <class Impl>
void DropHandle(std::map<std::uint32_t, std::weak_ptr<Impl>> HandleTable::*table, std::uint32_t h) {
    auto& t = Handles();
    std::lock_guard lock(t.mutex);
    (t.*table).erase(h);
}

std::atomic<notes_detail::MemorySource> g_memorySource{nullptr};

std::atomic<bool> g_initialized{false};
thread_local bool t_registered = false;

// An encrypted item stays hidden until the document is decrypted. seal='true' alone (an
// item that would be encrypted if the document were) hides nothing.
bool Visible(const ItemData& item, const DocumentImpl& doc) {
    return !item.encrypted || doc.decrypted;
}

std::string NumberText(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

std::string Join(const std::vector<std::string>& parts, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i) out += separator;
        out += parts[i];
    }
    return out;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Text

QString LNStringTranslate(std::string_view notesText) {
    return QString::fromUtf8(notesText.data(), static_cast<qsizetype>(notesText.size()));
}

std::size_t LNStringTranslate(const char* notesText, std::size_t length, int targetCharset, char16_t* out,
                              std::size_t outBytes) {
    if (!out || outBytes < sizeof(char16_t) || targetCharset != 0 || (!notesText && length)) return 0;
    const QString s = QString::fromUtf8(notesText, static_cast<qsizetype>(length));
    const std::size_t room = outBytes / sizeof(char16_t);
    std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(s.size()), room);
    // Never leave the first half of a surrogate pair at the end.
    if (n > 0 && n < static_cast<std::size_t>(s.size()) && s[static_cast<qsizetype>(n - 1)].isHighSurrogate())
        --n;
    std::memcpy(out, s.utf16(), n * sizeof(char16_t));
    if (n < room) out[n] = u'\0';
    return n;
}

// ---------------------------------------------------------------------------------------------
// Items

LNString LNItem::GetName() const {
    return data_ ? data_->items[index_].name : LNString();
}
LNITEMTYPE LNItem::GetType() const {
    return data_ ? data_->items[index_].type : LNITEMTYPE_ERROR;
}
std::uint32_t LNItem::GetFlags() const {
    return data_ ? data_->items[index_].flags : 0;
}

std::uint32_t LNItem::GetSize() const {
    std::vector<std::uint8_t> raw;
    if (GetRawValue(&raw) != LNNOERROR) return 0;
    return static_cast<std::uint32_t>(raw.size());
}

LNSTATUS LNItem::GetRawValue(std::vector<std::uint8_t>* value) const {
    if (!value) return Report(LNERR_INVALID_ARGUMENT);
    value->clear();
    if (!data_) return Report(LNERR_ITEM_NOT_FOUND);
    const ItemData& item = data_->items[index_];
    const std::uint16_t type = item.rawType ? item.rawType : static_cast<std::uint16_t>(item.type);
    value->push_back(static_cast<std::uint8_t>(type & 0xFF));
    value->push_back(static_cast<std::uint8_t>(type >> 8));
    auto append = [value](const char* p, std::size_t n) {
        value->insert(value->end(), reinterpret_cast<const std::uint8_t*>(p),
                      reinterpret_cast<const std::uint8_t*>(p) + n);
    };
    if (item.made) {
        append(item.made->constData(), static_cast<std::size_t>(item.made->size()));
        return LNNOERROR;
    }
    if (item.raw.size() > 0 || item.rawType) {
        auto db = data_->db.lock();
        if (!db) return Report(LNERR_DATABASE_NOT_OPEN);
        QByteArray bytes;
        if (const LNSTATUS s = db->DecodeBase64(item.raw, &bytes)) return Report(s);
        append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        return LNNOERROR;
    }
    switch (item.type) {
        case LNITEMTYPE_TEXT:
            for (std::size_t i = 0; i < item.texts.size(); ++i) {
                if (i) value->push_back(0);
                append(item.texts[i].data(), item.texts[i].size());
            }
            break;
        case LNITEMTYPE_NUMBERS:
            for (double d : item.numbers) {
                std::uint64_t bits;
                std::memcpy(&bits, &d, sizeof bits);
                for (int b = 0; b < 8; ++b) value->push_back(static_cast<std::uint8_t>(bits >> (8 * b)));
            }
            break;
        case LNITEMTYPE_DATETIMES:
            for (std::size_t i = 0; i < item.dates.entries.size(); ++i) {
                if (i) value->push_back(0);
                std::string t = item.dates.entries[i].start.ToDxl();
                if (item.dates.entries[i].isRange) t += "/" + item.dates.entries[i].end.ToDxl();
                append(t.data(), t.size());
            }
            break;
        case LNITEMTYPE_RICHTEXT: {
            auto db = data_->db.lock();
            if (!db) return Report(LNERR_DATABASE_NOT_OPEN);
            QByteArray bytes;
            if (const LNSTATUS s = db->ReadBytes(item.xml, &bytes)) return Report(s);
            append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
            break;
        }
        case LNITEMTYPE_OBJECT:
            if (item.file >= 0) {
                const auto& name = data_->files[static_cast<std::size_t>(item.file)].name;
                append(name.data(), name.size());
            }
            break;
        default:
            break;
    }
    return LNNOERROR;
}

LNString LNItem::GetText(std::string_view separator) const {
    if (!data_) return {};
    const ItemData& item = data_->items[index_];
    switch (item.type) {
        case LNITEMTYPE_TEXT:
            return Join(item.texts, separator);
        case LNITEMTYPE_NUMBERS: {
            std::vector<std::string> parts;
            for (double d : item.numbers) parts.push_back(NumberText(d));
            return Join(parts, separator);
        }
        case LNITEMTYPE_DATETIMES:
            return item.dates.GetText(separator);
        default:
            return {};  // rich text, attachments and raw items are not text items
    }
}

std::vector<LNString> LNItem::GetTextList() const {
    if (!data_) return {};
    const ItemData& item = data_->items[index_];
    if (item.type == LNITEMTYPE_TEXT) return item.texts;
    std::vector<LNString> out;
    if (item.type == LNITEMTYPE_NUMBERS)
        for (double d : item.numbers) out.push_back(NumberText(d));
    if (item.type == LNITEMTYPE_DATETIMES)
        for (const auto& e : item.dates.entries) {
            LNDatetimes one;
            one.entries.push_back(e);
            out.push_back(one.GetText());
        }
    return out;
}

std::vector<double> LNItem::GetNumbers() const {
    if (!data_) return {};
    const ItemData& item = data_->items[index_];
    if (item.type == LNITEMTYPE_NUMBERS) return item.numbers;
    std::vector<double> out;
    if (item.type == LNITEMTYPE_TEXT)
        for (const auto& t : item.texts) {
            bool ok = false;
            const double d = QString::fromStdString(t).trimmed().toDouble(&ok);
            if (ok) out.push_back(d);
        }
    return out;
}

LNDatetimes LNItem::GetDatetimes() const {
    if (!data_) return {};
    const ItemData& item = data_->items[index_];
    if (item.type == LNITEMTYPE_DATETIMES) return item.dates;
    return {};
}

// ---------------------------------------------------------------------------------------------
// Attachments

LNString LNAttachment::GetName() const {
    return data_ ? data_->files[index_].name : LNString();
}
std::uint64_t LNAttachment::GetSize() const {
    if (!data_) return 0;
    const FileData& file = data_->files[index_];
    if (file.bytes) return static_cast<std::uint64_t>(file.bytes->size());
    if (file.sizeKnown || !db_) return file.size;
    // No size attribute: the size of the decoded data.
    std::uint64_t decoded = 0;
    return db_->DecodeBase64(file.data, nullptr, &decoded) == LNNOERROR ? decoded : 0;
}
LNDatetime LNAttachment::GetCreated() const {
    return data_ ? data_->files[index_].created : LNDatetime();
}
LNDatetime LNAttachment::GetModified() const {
    return data_ ? data_->files[index_].modified : LNDatetime();
}

namespace {
// Writes a file beside path and renames it over path once complete: a failed write leaves
// nothing, a link planted at path is replaced rather than followed. No sync to disk: detached
// files are transient (read and deleted right after), and a sync per file is the slowest step
// of a conversion.
template <class WriteAll>
LNSTATUS WriteWhole(const QString& path, WriteAll writeAll) {
    QTemporaryFile out(QFileInfo(path).absolutePath() + QStringLiteral("/.detach-XXXXXX"));
    if (!out.open()) return LNERR_FILE_WRITE;
    if (const LNSTATUS s = writeAll(out)) return s;
    if (!out.flush()) return LNERR_FILE_WRITE;
    out.close();
    if (std::rename(QFile::encodeName(out.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        return LNERR_FILE_WRITE;
    out.setAutoRemove(false);
    return LNNOERROR;
}
}  // namespace

LNSTATUS LNAttachment::Detach(const QString& path) const {
    if (!data_ || !db_) return Report(LNERR_ATTACHMENT_NOT_FOUND);
    const FileData& file = data_->files[index_];
    // Huffman and LZ1 are Notes' own formats; an export made with UncompressAttachments
    // carries the plain bytes.
    if (!file.compression.empty()) return Report(LNERR_ATTACHMENT_COMPRESSED);
    return Report(WriteWhole(path, [&](QIODevice& out) -> LNSTATUS {
        if (file.bytes) return out.write(*file.bytes) == file.bytes->size() ? LNNOERROR : LNERR_FILE_WRITE;
        std::uint64_t written = 0;
        if (const LNSTATUS s = db_->DecodeBase64(file.data, &out, &written)) return s;
        // A size that disagrees with the data means the attachment was cut or altered.
        if (file.sizeKnown && written != file.size) return LNERR_ATTACHMENT_DAMAGED;
        return LNNOERROR;
    }));
}

// ---------------------------------------------------------------------------------------------
// Rich text

LNString LNRichText::GetPlainText() const {
    return data_ ? data_->items[index_].plain : LNString();
}

LNSTATUS LNRichText::GetXml(LNString* xml) const {
    if (!xml) return Report(LNERR_INVALID_ARGUMENT);
    xml->clear();
    if (!data_ || !db_) return Report(LNERR_ITEM_NOT_FOUND);
    QByteArray bytes;
    if (const LNSTATUS s = db_->ReadBytes(data_->items[index_].xml, &bytes)) return Report(s);
    *xml = bytes.toStdString();
    return LNNOERROR;
}

std::vector<LNDocumentLink> LNRichText::GetDocumentLinks() const {
    return data_ ? data_->items[index_].links : std::vector<LNDocumentLink>();
}

LNSTATUS LNRichText::GetCursor(LNRTCursor* cursor) const {
    if (!cursor) return Report(LNERR_INVALID_ARGUMENT);
    if (!data_) return Report(LNERR_ITEM_NOT_FOUND);
    cursor->data_ = data_;
    cursor->item_ = index_;
    cursor->next_ = 0;
    return LNNOERROR;
}

LNSTATUS LNRTCursor::GotoFirst(LNRTTYPE type, LNDocumentLink* link) {
    next_ = 0;
    return GotoNext(type, link);
}

LNSTATUS LNRTCursor::GotoNext(LNRTTYPE type, LNDocumentLink* link) {
    if (!data_) return LNWARN_NOT_FOUND;
    const auto& links = data_->items[item_].links;
    while (next_ < links.size()) {
        const LNDocumentLink& l = links[next_++];
        if (l.type == type) {
            if (link) *link = l;
            return LNNOERROR;
        }
    }
    return LNWARN_NOT_FOUND;
}

// ---------------------------------------------------------------------------------------------
// Documents

LNSTATUS LNDocument::Bind(const std::shared_ptr<DatabaseImpl>& db, NOTEID noteId, LNDocument* document) {
    if (!db->open) return LNERR_DATABASE_NOT_OPEN;
    const auto it = db->byNoteId.find(noteId);
    if (it == db->byNoteId.end()) return LNERR_NOTE_NOT_FOUND;
    auto impl = std::make_shared<DocumentImpl>();
    impl->db = db;
    impl->info = db->docs[it->second];
    document->impl_ = std::move(impl);
    return LNNOERROR;
}

const DocumentData& LNDocument::Data() const {
    if (!impl_ || !impl_->data) throw LNSTATUS(LNERR_NOTE_NOT_OPEN);
    if (impl_->info.throwStatus) throw LNSTATUS(impl_->info.throwStatus);
    return *impl_->data;
}

LNSTATUS LNDocument::Open(LNNOTEOPENFLAGS) {
    if (!impl_) return Report(LNERR_NOTE_NOT_FOUND);
    if (impl_->data) return LNNOERROR;
    auto& db = impl_->db;
    if (!db || !db->open) return Report(LNERR_DATABASE_NOT_OPEN);
    if (impl_->info.openStatus) return Report(impl_->info.openStatus);
    if (impl_->info.firstOpenStatus && db->TakeFirstOpenFault(impl_->info.noteId))
        return Report(impl_->info.firstOpenStatus);
    std::shared_ptr<DocumentData> data;
    if (const LNSTATUS s = db->ReadDocument(impl_->info, &data)) return Report(s);
    data->db = db;
    impl_->data = std::move(data);
    impl_->decrypted = false;
    impl_->handle = AddHandle(&HandleTable::notes, impl_);
    return LNNOERROR;
}

void LNDocument::Close() {
    if (!impl_ || !impl_->data) return;
    DropHandle(&HandleTable::notes, impl_->handle);
    impl_->handle = 0;
    impl_->data.reset();
    impl_->decrypted = false;
}

bool LNDocument::IsOpen() const {
    return impl_ && impl_->data;
}
NOTEID LNDocument::GetNoteID() const {
    return impl_ ? impl_->info.noteId : 0;
}
LNUniversalID LNDocument::GetUniversalID() const {
    return impl_ ? impl_->info.unid : LNUniversalID();
}
LNDatetime LNDocument::GetCreated() const {
    return impl_ ? impl_->info.created : LNDatetime();
}
LNDatetime LNDocument::GetLastModified() const {
    return impl_ ? impl_->info.modified : LNDatetime();
}
NOTEHANDLE LNDocument::GetNoteHandle() const {
    return impl_ ? impl_->handle : 0;
}

LNString LNDocument::GetFormName() const {
    const DocumentData& d = Data();
    for (const auto& item : d.items)
        if (item.name == "Form" && item.type == LNITEMTYPE_TEXT && Visible(item, *impl_))
            return item.texts.empty() ? LNString() : item.texts.front();
    return d.formAttribute;
}

LNSTATUS LNDocument::GetFormFields(std::vector<LNFormField>* fields) const {
    if (!fields) return Report(LNERR_INVALID_ARGUMENT);
    fields->clear();
    const LNSTATUS s = LNCatchStatus([&] {
        const LNString form = GetFormName();
        if (const FormData* design = impl_->db->FindForm(form)) {
            *fields = design->fields;
            return;
        }
        // No design for this form: the document's own items stand in, in their order.
        for (const auto& item : Data().items) {
            if (!Visible(item, *impl_) || item.name.empty() || item.name[0] == '$' || item.name == "Form")
                continue;
            LNFIELDTYPE type = LNFIELDTYPE_TEXT;
            if (item.type == LNITEMTYPE_NUMBERS)
                type = LNFIELDTYPE_NUMBER;
            else if (item.type == LNITEMTYPE_DATETIMES)
                type = LNFIELDTYPE_DATETIME;
            else if (item.type == LNITEMTYPE_RICHTEXT || item.type == LNITEMTYPE_HTML)
                type = LNFIELDTYPE_RICHTEXT;
            else if (item.flags & LNITEMFLAGS_NAMES)
                type = LNFIELDTYPE_NAMES;
            else if (item.type != LNITEMTYPE_TEXT)
                continue;
            fields->push_back({item.name, type});
        }
    });
    return Report(s);
}

bool LNDocument::HasItem(std::string_view name) const {
    for (const auto& item : Data().items)
        if (item.name == name && Visible(item, *impl_)) return true;
    return false;
}

LNSTATUS LNDocument::GetItem(std::string_view name, LNItem* item) const {
    if (!item) return Report(LNERR_INVALID_ARGUMENT);
    *item = LNItem();
    LNSTATUS status = LNERR_ITEM_NOT_FOUND;
    const LNSTATUS thrown = LNCatchStatus([&] {
        const DocumentData& d = Data();
        for (std::size_t i = 0; i < d.items.size(); ++i)
            if (d.items[i].name == name && Visible(d.items[i], *impl_)) {
                item->data_ = impl_->data;
                item->index_ = i;
                status = LNNOERROR;
                return;
            }
    });
    return Report(thrown ? thrown : status);
}

std::vector<LNItem> LNDocument::GetItems() const {
    const DocumentData& d = Data();
    std::vector<LNItem> out;
    for (std::size_t i = 0; i < d.items.size(); ++i) {
        if (!Visible(d.items[i], *impl_)) continue;
        LNItem item;
        item.data_ = impl_->data;
        item.index_ = i;
        out.push_back(item);
    }
    return out;
}

namespace {
// The first visible item of that name, or null.
const ItemData* FindItem(const DocumentData& d, const DocumentImpl& impl, std::string_view name) {
    for (const auto& item : d.items)
        if (item.name == name && Visible(item, impl)) return &item;
    return nullptr;
}
}  // namespace

LNString LNDocument::GetItemText(std::string_view name, std::string_view separator) const {
    LNItem item;
    Data();  // throws for a closed document
    if (GetItem(name, &item) != LNNOERROR) return {};
    return item.GetText(separator);
}

std::vector<LNString> LNDocument::GetItemTextList(std::string_view name) const {
    Data();
    LNItem item;
    if (GetItem(name, &item) != LNNOERROR) return {};
    return item.GetTextList();
}

std::vector<double> LNDocument::GetItemNumbers(std::string_view name) const {
    Data();
    LNItem item;
    if (GetItem(name, &item) != LNNOERROR) return {};
    return item.GetNumbers();
}

LNDatetimes LNDocument::GetItemDatetimes(std::string_view name) const {
    Data();
    LNItem item;
    if (GetItem(name, &item) != LNNOERROR) return {};
    return item.GetDatetimes();
}

bool LNDocument::HasAttachments() const {
    return !GetAttachments().empty();
}

std::vector<LNAttachment> LNDocument::GetAttachments() const {
    const DocumentData& d = Data();
    std::vector<LNAttachment> out;
    for (std::size_t i = 0; i < d.files.size(); ++i) {
        if (d.files[i].sealed && !impl_->decrypted) continue;
        LNAttachment a;
        a.data_ = impl_->data;
        a.db_ = impl_->db;
        a.index_ = i;
        out.push_back(a);
    }
    return out;
}

LNSTATUS LNDocument::GetAttachment(std::string_view name, LNAttachment* attachment) const {
    if (!attachment) return Report(LNERR_INVALID_ARGUMENT);
    *attachment = LNAttachment();
    LNSTATUS status = LNERR_ATTACHMENT_NOT_FOUND;
    const LNSTATUS thrown = LNCatchStatus([&] {
        for (const auto& a : GetAttachments())
            if (a.GetName() == name) {
                *attachment = a;
                status = LNNOERROR;
                return;
            }
    });
    return Report(thrown ? thrown : status);
}

bool LNDocument::IsEncrypted() const {
    const DocumentData& d = Data();
    if (impl_->info.encrypted || impl_->info.sealedItems) return true;
    for (const auto& item : d.items)
        if (item.encrypted) return true;
    return false;
}

bool LNDocument::IsSigned() const {
    return FindItem(Data(), *impl_, "$Signature") != nullptr;
}

bool LNDocument::HasLinks() const {
    for (const auto& item : Data().items)
        if (Visible(item, *impl_) && !item.links.empty()) return true;
    return false;
}

LNSTATUS LNDocument::Decrypt() {
    LNSTATUS status = LNNOERROR;
    const LNSTATUS thrown = LNCatchStatus([&] {
        if (!IsEncrypted())
            status = LNERR_NOT_ENCRYPTED;
        else if (impl_->info.decryptStatus)
            status = impl_->info.decryptStatus;
        else if (impl_->info.sealedItems && !impl_->info.encrypted)
            status = LNERR_DECRYPT_NO_KEY;  // really encrypted by Notes: no key here
        else
            impl_->decrypted = true;
    });
    return Report(thrown ? thrown : status);
}

LNSTATUS LNDocument::GetRichText(std::string_view name, LNRichText* richText) const {
    if (!richText) return Report(LNERR_INVALID_ARGUMENT);
    *richText = LNRichText();
    LNSTATUS status = LNERR_ITEM_NOT_FOUND;
    const LNSTATUS thrown = LNCatchStatus([&] {
        const DocumentData& d = Data();
        for (std::size_t i = 0; i < d.items.size(); ++i) {
            if (d.items[i].name != name || !Visible(d.items[i], *impl_)) continue;
            if (d.items[i].type != LNITEMTYPE_RICHTEXT) {
                status = LNERR_ITEM_NOT_RICHTEXT;
                return;
            }
            richText->data_ = impl_->data;
            richText->db_ = impl_->db;
            richText->index_ = i;
            status = LNNOERROR;
            return;
        }
    });
    return Report(thrown ? thrown : status);
}

LNString LNDocument::GetSender() const {
    const auto list = GetItemTextList("From");
    return list.empty() ? LNString() : list.front();
}

std::vector<LNString> LNDocument::GetRecipients(LNRECIPIENTTYPE kind) const {
    switch (kind) {
        case LNRECIPIENTTYPE_TO:
            return GetItemTextList("SendTo");
        case LNRECIPIENTTYPE_CC:
            return GetItemTextList("CopyTo");
        case LNRECIPIENTTYPE_BCC:
            return GetItemTextList("BlindCopyTo");
    }
    Data();
    return {};
}

LNString LNDocument::GetSubject() const {
    return GetItemText("Subject", ";");
}

LNDatetime LNDocument::GetDateSent() const {
    const LNDatetimes d = GetItemDatetimes("PostedDate");
    return d.entries.empty() ? LNDatetime() : d.entries.front().start;
}

LNIMPORTANCE LNDocument::GetImportance() const {
    const LNString v = GetItemText("Importance");
    if (v == "1") return LNIMPORTANCE_HIGH;
    if (v == "3") return LNIMPORTANCE_LOW;
    return LNIMPORTANCE_NORMAL;
}

LNString LNDocument::GetCategories() const {
    return GetItemText("Categories", ";");
}

namespace {
// A date item's first date-time, or a date from one item and a time from another.
LNDatetime FirstDate(const LNDocument& doc, std::string_view both, std::string_view date,
                     std::string_view time) {
    const LNDatetimes b = doc.GetItemDatetimes(both);
    if (!b.entries.empty()) return b.entries.front().start;
    const LNDatetimes d = doc.GetItemDatetimes(date);
    if (d.entries.empty()) return {};
    const LNDatetime& dd = d.entries.front().start;
    const LNDatetimes t = doc.GetItemDatetimes(time);
    if (t.entries.empty() || !dd.HasDate()) return dd;
    // Glue the two parts through the DXL form, which carries the time's zone.
    const std::string dxl = dd.ToDxl().substr(0, 8) +
                            t.entries.front().start.ToDxl().substr(t.entries.front().start.HasDate() ? 8 : 0);
    LNDatetime out;
    return LNDatetime::FromDxl(dxl, t.entries.front().start.IsDST(), &out) ? out : dd;
}
}  // namespace

LNSTATUS LNDocument::GetDateRange(LNDatetime* start, LNDatetime* end) const {
    if (!start || !end) return Report(LNERR_INVALID_ARGUMENT);
    LNSTATUS status = LNNOERROR;
    const LNSTATUS thrown = LNCatchStatus([&] {
        *start = FirstDate(*this, "StartDateTime", "StartDate", "StartTime");
        if (start->IsNull()) {
            status = LNERR_NO_DATE_RANGE;
            return;
        }
        *end = FirstDate(*this, "EndDateTime", "EndDate", "EndTime");
        if (end->IsNull()) *end = *start;
    });
    return Report(thrown ? thrown : status);
}

bool LNDocument::IsAlarmEnabled() const {
    const auto n = GetItemNumbers("$Alarm");
    return !n.empty() && n.front() == 1.0;
}

int LNDocument::GetAlarmOffset() const {
    const auto n = GetItemNumbers("$AlarmOffset");
    if (n.empty() || !(n.front() > -1e9 && n.front() < 1e9)) return 0;
    return static_cast<int>(n.front());
}

LNCALENDARENTRYTYPE LNDocument::GetEntryType() const {
    const auto n = GetItemNumbers("AppointmentType");
    if (n.empty() || !(n.front() >= 0 && n.front() <= 4)) return LNCALENDARENTRYTYPE_APPOINTMENT;
    return static_cast<LNCALENDARENTRYTYPE>(static_cast<int>(n.front()));
}

LNString LNDocument::GetBriefDescription() const {
    return GetItemText("Subject", ";");
}

LNString LNDocument::GetDetailedDescription() const {
    const ItemData* body = FindItem(Data(), *impl_, "Body");
    if (!body) return {};
    if (body->type == LNITEMTYPE_RICHTEXT) return body->plain;
    return GetItemText("Body", ";");
}

std::vector<LNString> LNDocument::GetRequiredAttendees() const {
    return GetItemTextList("RequiredAttendees");
}

std::vector<LNString> LNDocument::GetOptionalAttendees() const {
    return GetItemTextList("OptionalAttendees");
}

bool LNDocument::IsRepeating() const {
    return GetItemText("Repeats") == "1";
}
bool LNDocument::IsPrivate() const {
    return GetItemText("OrgConfidential") == "1";
}

// ---------------------------------------------------------------------------------------------
// Views and folders

LNSTATUS LNVFEntry::GetDocument(LNDocument* document) const {
    if (!document) return Report(LNERR_INVALID_ARGUMENT);
    *document = LNDocument();
    if (isNull_ || !db_) return Report(LNERR_ENTRY_NO_DOCUMENT);
    return Report(LNDocument::Bind(db_, noteId_, document));
}

LNSTATUS LNViewFolder::Open(std::uint32_t) {
    if (!view_ || !db_) return Report(LNERR_VIEW_NOT_FOUND);
    if (!db_->open) return Report(LNERR_DATABASE_NOT_OPEN);
    if (view_->openStatus) return Report(view_->openStatus);
    open_ = true;
    return LNNOERROR;
}

void LNViewFolder::Close() {
    open_ = false;
}
NOTEID LNViewFolder::GetNoteID() const {
    return view_ ? view_->noteId : 0;
}
LNUniversalID LNViewFolder::GetUniversalID() const {
    return view_ ? view_->unid : LNUniversalID();
}
LNString LNViewFolder::GetName() const {
    return view_ ? view_->name : LNString();
}
int LNViewFolder::GetType() const {
    return view_ ? view_->type : LNVIEWTYPE_STANDARD;
}
bool LNViewFolder::IsFolder() const {
    return view_ && view_->folder;
}

std::uint32_t LNViewFolder::GetEntryCount() const {
    // A view that could not be opened has no entries: callers read the count after a failed
    // open and go on with nothing to do.
    if (!open_ || !view_) return 0;
    return static_cast<std::uint32_t>(view_->entries.size());
}

LNVFEntry LNViewFolder::GetEntry(std::uint32_t index) const {
    if (!open_ || !view_) throw LNSTATUS(LNERR_VIEW_NOT_OPEN);
    if (index >= view_->entries.size()) throw LNSTATUS(LNERR_ENTRY_INDEX);
    const ViewEntryData& e = view_->entries[index];
    LNVFEntry entry;
    entry.db_ = db_;
    if (e.category) {
        entry.isCategory_ = true;
        entry.title_ = e.title;
        return entry;
    }
    entry.isNull_ = false;
    entry.noteId_ = e.noteId;
    if (e.unread >= 0) {
        entry.unread_ = e.unread == 1;
    } else if (db_->open) {
        const auto it = db_->byNoteId.find(e.noteId);
        entry.unread_ = it != db_->byNoteId.end() && db_->docs[it->second].unread;
    }
    return entry;
}

// ---------------------------------------------------------------------------------------------
// Databases

LNSTATUS LNDatabase::Open() {
    if (!impl_) return Report(LNERR_INVALID_ARGUMENT);
    if (impl_->open) return LNNOERROR;
    LNSTATUS s;
    {
        std::lock_guard lock(impl_->mutex);
        s = impl_->Load();
    }
    if (s) return Report(s);
    impl_->handle = AddHandle(&HandleTable::databases, impl_);
    return LNNOERROR;
}

void LNDatabase::Close() {
    if (!impl_ || !impl_->open) return;
    DropHandle(&HandleTable::databases, impl_->handle);
    impl_->handle = 0;
    std::lock_guard lock(impl_->mutex);
    impl_->Unload();
}

bool LNDatabase::IsOpen() const {
    return impl_ && impl_->open;
}
QString LNDatabase::GetFilePath() const {
    return path_;
}
LNString LNDatabase::GetTitle() const {
    return impl_ ? impl_->title : LNString();
}
LNTimeDateId LNDatabase::GetReplicaID() const {
    return impl_ ? impl_->replicaId : LNTimeDateId();
}
DHANDLE LNDatabase::GetDatabaseHandle() const {
    return impl_ && impl_->open ? impl_->handle : 0;
}

LNSTATUS LNDatabase::GetViewFolders(std::vector<LNViewFolder>* viewFolders) const {
    if (!viewFolders) return Report(LNERR_INVALID_ARGUMENT);
    viewFolders->clear();
    if (!IsOpen()) return Report(LNERR_DATABASE_NOT_OPEN);
    for (const auto& v : impl_->views) {
        LNViewFolder vf;
        vf.db_ = impl_;
        vf.view_ = v;
        viewFolders->push_back(vf);
    }
    return LNNOERROR;
}

namespace {
// The first view or folder of an open database that matches; LNERR_VIEW_NOT_FOUND otherwise.
template <class Match>
LNSTATUS FindViewFolder(const std::shared_ptr<DatabaseImpl>& db, Match match,
                        std::shared_ptr<const ViewImpl>* found) {
    for (const auto& v : db->views)
        if (match(*v)) {
            *found = v;
            return LNNOERROR;
        }
    return LNERR_VIEW_NOT_FOUND;
}
}  // namespace

LNSTATUS LNDatabase::GetViewFolder(NOTEID noteId, LNViewFolder* viewFolder) const {
    if (!viewFolder) return Report(LNERR_INVALID_ARGUMENT);
    *viewFolder = LNViewFolder();
    if (!IsOpen()) return Report(LNERR_DATABASE_NOT_OPEN);
    const LNSTATUS s = FindViewFolder(
        impl_, [&](const ViewImpl& v) { return v.noteId == noteId; }, &viewFolder->view_);
    if (s == LNNOERROR) viewFolder->db_ = impl_;
    return Report(s);
}

LNSTATUS LNDatabase::GetViewFolder(std::string_view name, LNViewFolder* viewFolder) const {
    if (!viewFolder) return Report(LNERR_INVALID_ARGUMENT);
    *viewFolder = LNViewFolder();
    if (!IsOpen()) return Report(LNERR_DATABASE_NOT_OPEN);
    const LNSTATUS s = FindViewFolder(
        impl_, [&](const ViewImpl& v) { return v.name == name; }, &viewFolder->view_);
    if (s == LNNOERROR) viewFolder->db_ = impl_;
    return Report(s);
}

LNSTATUS LNDatabase::GetDocumentIDs(std::vector<NOTEID>* noteIds) const {
    if (!noteIds) return Report(LNERR_INVALID_ARGUMENT);
    noteIds->clear();
    if (!IsOpen()) return Report(LNERR_DATABASE_NOT_OPEN);
    for (const auto& d : impl_->docs) noteIds->push_back(d.noteId);
    return LNNOERROR;
}

std::uint32_t LNDatabase::GetDocumentCount() const {
    return IsOpen() ? static_cast<std::uint32_t>(impl_->docs.size()) : 0;
}

LNSTATUS LNDatabase::GetDocument(NOTEID noteId, LNDocument* document) const {
    if (!document) return Report(LNERR_INVALID_ARGUMENT);
    *document = LNDocument();
    if (!impl_) return Report(LNERR_DATABASE_NOT_OPEN);
    return Report(LNDocument::Bind(impl_, noteId, document));
}

// ---------------------------------------------------------------------------------------------
// Session

LNSTATUS LNNotesSession::Initialize(std::uint32_t, std::uint32_t) {
    g_initialized = true;
    t_registered = true;
    return LNNOERROR;
}

LNSTATUS LNNotesSession::InitThread() {
    if (!g_initialized) return Report(LNERR_SESSION_NOT_INITIALIZED);
    t_registered = true;
    return LNNOERROR;
}

LNSTATUS LNNotesSession::TermThread() {
    t_registered = false;
    return LNNOERROR;
}

LNSTATUS LNNotesSession::Term() {
    g_initialized = false;
    t_registered = false;
    return LNNOERROR;
}

bool LNNotesSession::IsInitialized() const {
    return g_initialized;
}

LNSTATUS LNNotesSession::GetDatabase(const QString& path, LNDatabase* database, const QString& server) const {
    if (!database) return Report(LNERR_INVALID_ARGUMENT);
    *database = LNDatabase();
    if (!g_initialized) return Report(LNERR_SESSION_NOT_INITIALIZED);
    if (!t_registered) return Report(LNERR_THREAD_NOT_INITIALIZED);
    if (!server.isEmpty()) return Report(LNERR_SERVER_NOT_AVAILABLE);
    if (path.isEmpty()) return Report(LNERR_INVALID_ARGUMENT);
    auto impl = std::make_shared<DatabaseImpl>();
    impl->path = path;
    // Databases that tests keep in memory (notes_testsupport installs the source).
    if (const notes_detail::MemorySource source = g_memorySource.load())
        impl->inMemory = source(path, &impl->memory, &impl->generation);
    database->impl_ = std::move(impl);
    database->path_ = path;
    return LNNOERROR;
}

void notes_detail::SetMemorySource(MemorySource source) {
    g_memorySource = source;
}

// ---------------------------------------------------------------------------------------------
// Flat functions

namespace {

std::shared_ptr<DocumentImpl> NoteByHandle(NOTEHANDLE note) {
    auto& t = Handles();
    std::lock_guard lock(t.mutex);
    const auto it = t.notes.find(note);
    return it == t.notes.end() ? nullptr : it->second.lock();
}

}  // namespace

LNSTATUS LNGetDocumentByHandle(NOTEHANDLE note, LNDocument* document) {
    if (!document) return LNERR_INVALID_ARGUMENT;
    *document = LNDocument();
    auto impl = NoteByHandle(note);
    if (!impl || !impl->data) return LNERR_BAD_HANDLE;
    document->impl_ = std::move(impl);
    return LNNOERROR;
}

LNSTATUS NSFNoteGetID(NOTEHANDLE note, NOTEID* noteId) {
    if (!noteId) return LNERR_INVALID_ARGUMENT;
    auto impl = NoteByHandle(note);
    if (!impl || !impl->data) return LNERR_BAD_HANDLE;
    *noteId = impl->info.noteId;
    return LNNOERROR;
}

LNSTATUS NSFItemInfo(NOTEHANDLE note, std::string_view itemName, NotesItemInfo* info) {
    LNDocument doc;
    if (const LNSTATUS s = LNGetDocumentByHandle(note, &doc)) return s;
    LNItem item;
    LNSTATUS status = LNNOERROR;
    const LNSTATUS thrown = LNCatchStatus([&] {
        // The flat interface reports, it never throws, whatever the throw setting.
        status = doc.GetItem(itemName, &item);
        if (status == LNNOERROR && info) {
            info->type = item.GetType();
            info->flags = item.GetFlags();
            info->valueSize = item.GetSize();
        }
    });
    return thrown ? thrown : status;
}

LNSTATUS NSFItemGetRawValue(NOTEHANDLE note, std::string_view itemName, std::vector<std::uint8_t>* value) {
    if (!value) return LNERR_INVALID_ARGUMENT;
    LNDocument doc;
    if (const LNSTATUS s = LNGetDocumentByHandle(note, &doc)) return s;
    LNSTATUS status = LNNOERROR;
    const LNSTATUS thrown = LNCatchStatus([&] {
        LNItem item;
        status = doc.GetItem(itemName, &item);
        if (status == LNNOERROR) status = item.GetRawValue(value);
    });
    return thrown ? thrown : status;
}

LNSTATUS NSFItemGetRichTextXml(NOTEHANDLE note, std::string_view itemName, LNString* xml) {
    if (!xml) return LNERR_INVALID_ARGUMENT;
    LNDocument doc;
    if (const LNSTATUS s = LNGetDocumentByHandle(note, &doc)) return s;
    LNSTATUS status = LNNOERROR;
    const LNSTATUS thrown = LNCatchStatus([&] {
        LNRichText rt;
        status = doc.GetRichText(itemName, &rt);
        if (status == LNNOERROR) status = rt.GetXml(xml);
    });
    return thrown ? thrown : status;
}

LNSTATUS NSFNoteOpenByID(DHANDLE database, NOTEID noteId, LNDocument* document) {
    if (!document) return LNERR_INVALID_ARGUMENT;
    *document = LNDocument();
    std::shared_ptr<DatabaseImpl> db;
    {
        auto& t = Handles();
        std::lock_guard lock(t.mutex);
        const auto it = t.databases.find(database);
        if (it != t.databases.end()) db = it->second.lock();
    }
    if (!db || !db->open) return LNERR_BAD_HANDLE;
    if (const LNSTATUS s = LNDocument::Bind(db, noteId, document)) return s;
    return LNCatchStatus([&] {
        if (const LNSTATUS s = document->Open()) throw s;
    });
}

std::size_t OSLoadString(LNSTATUS status, char* buffer, std::size_t bufferSize) {
    return LNGetErrorMessageText(status, buffer, bufferSize);
}
