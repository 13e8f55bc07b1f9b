#pragma once
// Builds DXL databases (with the project's extension, docs/dxl-extension.md) in memory, for
// tests and for the sample generator. The result is DXL text: save it to a file, or register
// it with NotesMemoryDatabases and open it through LNNotesSession::GetDatabase like a file.
//
//   DxlBuilder b("Mail of Ann");
//   NOTEID memo = b.AddDocument("Memo")
//                     .Text("Subject", "Hello")
//                     .Names("SendTo", {"CN=Bob/O=Acme"})
//                     .Date("PostedDate", "20180703T090500,00-05")
//                     .RichText("Body", "<par>Hi <b>Bob</b></par>")
//                     .Attach("report.txt", "bytes")
//                     .Unread()
//                     .Id();
//   b.AddFolder("($Inbox)").Entry(memo).Category("Old").Entry(memo, /*unread=*/false);
//   b.Register("/mem/mail.nsf");

#include "common/notes/Notes.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <string>
#include <vector>

class DxlDocumentBuilder {
  public:
    // Items. Every value is UTF-8 Notes text; dates in DXL form ("20180703T090500,00-05",
    // "19800703", a range as "start/end"). Flags: LNITEMFLAGS.
    DxlDocumentBuilder& Text(const std::string& name, const std::string& value, std::uint32_t flags = 0);
    DxlDocumentBuilder& TextList(const std::string& name, std::initializer_list<std::string> values,
                                 std::uint32_t flags = 0);
    DxlDocumentBuilder& TextList(const std::string& name, const std::vector<std::string>& values,
                                 std::uint32_t flags = 0);
    DxlDocumentBuilder& Names(const std::string& name, const std::vector<std::string>& values);
    DxlDocumentBuilder& Number(const std::string& name, double value);
    DxlDocumentBuilder& Numbers(const std::string& name, const std::vector<double>& values);
    DxlDocumentBuilder& Date(const std::string& name, const std::string& dxlDate, bool dst = false);
    DxlDocumentBuilder& Dates(const std::string& name, const std::vector<std::string>& dxlDates);
    // The inner XML of a <richtext> element (pardefs, pars, tables, sections, pictures,
    // doclinks), written as given.
    DxlDocumentBuilder& RichText(const std::string& name, const std::string& innerXml,
                                 std::uint32_t flags = 0);
    // A raw item (<rawitemdata>) of the given type code; HTML bodies are type 21.
    DxlDocumentBuilder& Raw(const std::string& name, std::uint16_t type, const QByteArray& bytes);
    // Any item XML, written as given (for damaged or unusual items in tests).
    DxlDocumentBuilder& ItemXml(const std::string& xml);
    // A "$FILE" attachment with its bytes.
    DxlDocumentBuilder& Attach(const std::string& fileName, const QByteArray& bytes);

    // Note information. Defaults: created and modified at the builder's running clock.
    DxlDocumentBuilder& Created(const std::string& dxlDate);
    DxlDocumentBuilder& Modified(const std::string& dxlDate);
    DxlDocumentBuilder& Unid(const std::string& hex32);

    // Extension marks.
    DxlDocumentBuilder& Unread(bool unread = true);
    // Items added after this call are sealed; Decrypt opens them unless decryptStatus != 0.
    DxlDocumentBuilder& Encrypted(LNSTATUS decryptStatus = 0);
    DxlDocumentBuilder& OpenStatus(LNSTATUS status);       // every Open fails so
    DxlDocumentBuilder& FirstOpenStatus(LNSTATUS status);  // only the first Open, ever
    DxlDocumentBuilder& ThrowStatus(LNSTATUS status);      // accessors throw it once open

    NOTEID Id() const { return noteId_; }
    std::string UnidText() const { return unid_; }

  private:
    friend class DxlBuilder;
    DxlDocumentBuilder& Item(const std::string& name, std::uint32_t flags, const std::string& body);
    std::string form_;
    NOTEID noteId_ = 0;
    std::string unid_;
    std::string created_, modified_;
    std::string attributes_;
    std::string items_;
    bool sealing_ = false;
};

class DxlViewBuilder {
  public:
    // Appends a document entry; unread -1 leaves the document's own mark.
    DxlViewBuilder& Entry(NOTEID noteId, int unread = -1);
    DxlViewBuilder& Entries(const std::vector<NOTEID>& noteIds);
    DxlViewBuilder& Category(const std::string& title);
    DxlViewBuilder& OpenStatus(LNSTATUS status);
    DxlViewBuilder& Type(int typeCode);  // LNVIEWTYPE
    // Without a single Entry or Category call the view carries no entry list: a plain DXL
    // view, empty unless it is "($All)".
    NOTEID Id() const { return noteId_; }

  private:
    friend class DxlBuilder;
    bool folder_ = false;
    std::string name_;
    NOTEID noteId_ = 0;
    std::string attributes_;
    std::string entries_;
    bool hasEntries_ = false;
};

class DxlBuilder {
  public:
    explicit DxlBuilder(const std::string& title = "Mail", const std::string& replicaId = "85257A6D004C2DC1");

    // Documents get note IDs 0x8F6, 0x8FA, ... in the order they are added.
    DxlDocumentBuilder& AddDocument(const std::string& form);
    DxlViewBuilder& AddView(const std::string& name);
    DxlViewBuilder& AddFolder(const std::string& name);
    // A form design note; field types are DXL names: text, number, datetime, keyword,
    // richtext, names, authors, readers, password, formula, timezone, richtextlite, color.
    void AddForm(const std::string& name, const std::vector<std::pair<std::string, std::string>>& fields);
    // Advances the running clock that stamps created/modified dates (seconds).
    void AdvanceClock(int seconds) { clock_ += seconds; }

    // Whether to write the extension namespace and marks (false: a plain DXL export).
    void SetPlainDxl(bool plain) { plain_ = plain; }

    QByteArray ToDxl() const;
    bool Save(const QString& path) const;
    void Register(const QString& path) const;  // NotesMemoryDatabases::Add

  private:
    std::string ClockText();
    NOTEID NextNoteId();
    std::string title_, replicaId_;
    std::deque<DxlDocumentBuilder> documents_;
    std::deque<DxlViewBuilder> views_;
    std::string forms_;
    NOTEID nextNoteId_ = 0x8F6;
    long long clock_ = 0;
    std::uint32_t unidCounter_ = 0;
    bool plain_ = false;
};

// XML escaping for attribute and text content.
std::string DxlEscape(const std::string& text);
// DXL form of a local date-time with a zone given as hours east of UTC ("20180703T090500,00-05").
std::string DxlDate(int year, int month, int day, int hour, int minute, int second, int utcOffsetHours);
