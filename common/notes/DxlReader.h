#pragma once
// Inside of the Notes layer: the index of a DXL database and the reading of one document.
// Not part of the interface; tests and the fuzz driver reach it through Notes.h.

#include "common/notes/Notes.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string_view>
#include <string>
#include <unordered_map>
#include <vector>

namespace notes_detail {

// Size limits: a text run (between two tags) beyond kMaxTextRun bytes is refused, so that a
// damaged file cannot make the XML parser hold it whole. Notes itself keeps a text value or a
// rich-text paragraph under 64 KB, so 16 MiB refuses nothing a database can hold. Base64 data
// of attachments, raw items and pictures is never handed to the parser and has no such limit.
inline constexpr qint64 kMaxTextRun = 16LL << 20;
inline constexpr qint64 kMaxRawValue = 256LL << 20;  // raw values and rich-text XML read whole

// Note IDs the layer hands out to notes without one: Notes numbers notes in steps of 4.
inline constexpr NOTEID kFirstNoteId = 0x8F6;
inline constexpr NOTEID kNoteIdStep = 4;
inline constexpr char kAllView[] = "($All)";

struct ByteRange {
    qint64 begin = 0;
    qint64 end = 0;
    qint64 size() const { return end - begin; }
};

struct ItemData {
    std::string name;
    LNITEMTYPE type = LNITEMTYPE_ERROR;
    std::uint32_t flags = 0;
    std::vector<std::string> texts;
    std::vector<double> numbers;
    LNDatetimes dates;
    ByteRange xml;      // rich text: the <richtext> element
    std::string plain;  // rich text: its plain text
    std::vector<LNDocumentLink> links;
    ByteRange raw;  // raw item: its base64 content
    std::uint16_t rawType = 0;
    int file = -1;           // $FILE: index into DocumentData::files
    bool encrypted = false;  // hidden until the document is decrypted
    // A value the layer made up (a MIME body, an RFC 822 header): its raw value is this.
    std::shared_ptr<const QByteArray> made;
};

struct FileData {
    std::string name;
    std::uint64_t size = 0;
    bool sizeKnown = false;
    LNDatetime created, modified;
    ByteRange data;           // base64 content of <filedata>
    std::string compression;  // "" (none), "huff", "lz1": as the exporter left it
    bool sealed = false;
    // A file that is a part of a MIME message: its decoded bytes (no <filedata> behind it).
    std::shared_ptr<const QByteArray> bytes;
    bool mimePart = false;  // a $FILE that holds the body of a MIME part (listed through that part)
    std::string mimeContentId;
};

struct DatabaseImpl;

struct DocumentData {
    NOTEID noteId = 0;
    std::string formAttribute;
    bool markedEncrypted = false;  // nx:encrypted: its encryptable items are the encrypted ones
    std::string mimeSource;        // the text of a <mime> element, until ApplyMime
    bool isMime = false;           // the document is a MIME message (DxlMime.cpp)
    std::vector<ItemData> items;
    std::vector<FileData> files;
    std::weak_ptr<DatabaseImpl> db;
};

// What the index keeps of each document: enough to find it, list it and order "($All)".
struct DocIndex {
    NOTEID noteId = 0;
    LNUniversalID unid;
    LNDatetime created, modified;
    ByteRange bytes;
    bool unread = false;
    bool encrypted = false;
    LNSTATUS decryptStatus = 0;
    LNSTATUS openStatus = 0;
    LNSTATUS firstOpenStatus = 0;
    LNSTATUS throwStatus = 0;
    // Where the document lives when the file does not say (see FillStandardFolders).
    std::string form;
    bool delivered = false, posted = false;
    bool sealedItems = false;             // really encrypted items ($Seal, $SealData, sealed='true')
    std::vector<std::string> folderRefs;  // $FolderRef: UNIDs of the folders holding it
};

struct ViewEntryData {
    bool category = false;
    NOTEID noteId = 0;
    int unread = -1;  // -1: the document's own mark
    std::string title;
};

struct ViewImpl {
    NOTEID noteId = 0;
    LNUniversalID unid;
    std::string name;
    bool folder = false;
    int type = LNVIEWTYPE_STANDARD;
    LNSTATUS openStatus = 0;
    std::vector<ViewEntryData> entries;
    bool listed = false;  // carries its own entry list (nx:entries)
};

struct FormData {
    std::vector<std::string> names;  // the name and its aliases ("Memo|Mail" gives both)
    std::vector<LNFormField> fields;
};

struct DatabaseImpl {
    QString path;
    QByteArray memory;  // in-memory databases: the DXL bytes
    bool inMemory = false;
    std::uint64_t generation = 0;  // in-memory databases: which registration of the path

    std::mutex mutex;  // guards device and firedFaults
    std::unique_ptr<QIODevice> device;
    bool open = false;
    DHANDLE handle = 0;

    std::string title;
    LNTimeDateId replicaId;
    QByteArray rootPrefix;  // a start tag declaring the root's namespaces, for fragments
    std::vector<DocIndex> docs;
    std::unordered_map<NOTEID, std::size_t> byNoteId;
    std::vector<std::shared_ptr<ViewImpl>> views;
    std::vector<FormData> forms;
    std::string faultKey;

    LNSTATUS Load();  // the index pass
    void Unload();
    // Steps of Load.
    LNSTATUS OpenDevice();
    LNSTATUS CheckHead(qint64* start);
    void AssignFreeIds(const std::set<NOTEID>& usedIds, const std::vector<std::size_t>& withoutId,
                       const std::vector<std::size_t>& viewsWithoutId);
    void FillStandardFolders();
    void FillAllView();
    ViewImpl& AddView(const std::string& name, bool folder);
    ViewImpl* FindView(std::string_view name) const;
    NOTEID nextFreeId = kFirstNoteId;
    LNSTATUS ReadDocument(const DocIndex& index, std::shared_ptr<DocumentData>* out);
    LNSTATUS ReadBytes(ByteRange range, QByteArray* out);
    // Decodes base64 bytes of range into out, chunk by chunk; written receives the size.
    LNSTATUS DecodeBase64(ByteRange range, QIODevice* out, std::uint64_t* written);
    LNSTATUS DecodeBase64(ByteRange range, QByteArray* out);
    // True the first time a first-open fault of this document fires (remembered beyond the
    // process for files, see docs/dxl-extension.md).
    bool TakeFirstOpenFault(NOTEID noteId);

    const FormData* FindForm(std::string_view name) const;
};

// Turns a MIME document (a <mime> element, or TYPE_MIME_PART and TYPE_RFC822_TEXT items)
// into the items and attachments the readers know (DxlMime.cpp).
void ApplyMime(DatabaseImpl& db, DocumentData* doc);

// Where GetDatabase finds databases kept in memory: fills dxl and generation and returns true
// for a registered path. Installed by notes_testsupport (NotesMemoryDatabases); the programs
// have none.
using MemorySource = bool (*)(const QString& path, QByteArray* dxl, std::uint64_t* generation);
void SetMemorySource(MemorySource source);

bool ParseUnid(std::string_view hex, LNUniversalID* out);
bool ParseReplicaId(std::string_view hex, LNTimeDateId* out);

}  // namespace notes_detail
