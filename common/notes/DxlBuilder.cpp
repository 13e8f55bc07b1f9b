#include "common/notes/DxlBuilder.h"

#include "common/notes/DxlExtension.h"

#include <QFile>
#include <QSaveFile>

#include <chrono>
#include <cstdio>

std::string DxlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            case '\r':
                out += "&#13;";
                break;  // kept: XML would fold a raw CR into LF
            default:
                out += c;
        }
    }
    return out;
}

std::string DxlDate(int year, int month, int day, int hour, int minute, int second, int utcOffsetHours) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d%02d%02dT%02d%02d%02d,00%c%02d", year, month, day, hour, minute,
                  second, utcOffsetHours < 0 ? '-' : '+',
                  utcOffsetHours < 0 ? -utcOffsetHours : utcOffsetHours);
    return buf;
}

namespace {

std::string Hex(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%x", v);
    return buf;
}

std::string FlagAttributes(std::uint32_t flags) {
    std::string a;
    if (flags & LNITEMFLAGS_SUMMARY) a += " summary='true'";
    if (flags & LNITEMFLAGS_SIGN) a += " sign='true'";
    if (flags & LNITEMFLAGS_SEAL) a += " seal='true'";
    if (flags & LNITEMFLAGS_NAMES) a += " names='true'";
    if (flags & LNITEMFLAGS_AUTHORS) a += " authors='true'";
    if (flags & LNITEMFLAGS_READERS) a += " readers='true'";
    if (flags & LNITEMFLAGS_PROTECTED) a += " protected='true'";
    if (flags & LNITEMFLAGS_PLACEHOLDER) a += " placeholder='true'";
    return a;
}

std::string DateXml(const std::string& dxlDate, bool dst = false) {
    const auto slash = dxlDate.find('/');
    if (slash != std::string::npos)
        return "<datetimerange><datetime>" + DxlEscape(dxlDate.substr(0, slash)) + "</datetime><datetime>" +
               DxlEscape(dxlDate.substr(slash + 1)) + "</datetime></datetimerange>";
    return std::string("<datetime") + (dst ? " dst='true'" : "") + ">" + DxlEscape(dxlDate) + "</datetime>";
}

std::string NumberText(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

std::string StatusAttribute(const char* name, LNSTATUS status) {
    return std::string(" ") + dxlext::kPrefix + ":" + name + "='" + std::to_string(status) + "'";
}

}  // namespace

// ---------------------------------------------------------------------------------------------

DxlDocumentBuilder& DxlDocumentBuilder::Item(const std::string& name, std::uint32_t flags,
                                             const std::string& body) {
    // An encrypted item: encryptable (seal) and encrypted (sealed), as the DTD tells them apart.
    if (sealing_) flags |= LNITEMFLAGS_SEAL;
    items_ += "<item name='" + DxlEscape(name) + "'" + FlagAttributes(flags) +
              (sealing_ ? " sealed='true'" : "") + ">" + body + "</item>\n";
    return *this;
}

DxlDocumentBuilder& DxlDocumentBuilder::Text(const std::string& name, const std::string& value,
                                             std::uint32_t flags) {
    return Item(name, flags, "<text>" + DxlEscape(value) + "</text>");
}

DxlDocumentBuilder& DxlDocumentBuilder::TextList(const std::string& name,
                                                 std::initializer_list<std::string> values,
                                                 std::uint32_t flags) {
    return TextList(name, std::vector<std::string>(values), flags);
}

DxlDocumentBuilder& DxlDocumentBuilder::TextList(const std::string& name,
                                                 const std::vector<std::string>& values,
                                                 std::uint32_t flags) {
    std::string body = "<textlist>";
    for (const auto& v : values) body += "<text>" + DxlEscape(v) + "</text>";
    body += "</textlist>";
    return Item(name, flags, body);
}

DxlDocumentBuilder& DxlDocumentBuilder::Names(const std::string& name,
                                              const std::vector<std::string>& values) {
    return TextList(name, values, LNITEMFLAGS_NAMES | LNITEMFLAGS_SUMMARY);
}

DxlDocumentBuilder& DxlDocumentBuilder::Number(const std::string& name, double value) {
    return Item(name, 0, "<number>" + NumberText(value) + "</number>");
}

DxlDocumentBuilder& DxlDocumentBuilder::Numbers(const std::string& name, const std::vector<double>& values) {
    std::string body = "<numberlist>";
    for (double v : values) body += "<number>" + NumberText(v) + "</number>";
    body += "</numberlist>";
    return Item(name, 0, body);
}

DxlDocumentBuilder& DxlDocumentBuilder::Date(const std::string& name, const std::string& dxlDate, bool dst) {
    return Item(name, 0, DateXml(dxlDate, dst));
}

DxlDocumentBuilder& DxlDocumentBuilder::Dates(const std::string& name,
                                              const std::vector<std::string>& dxlDates) {
    std::string body = "<datetimelist>";
    for (const auto& d : dxlDates) body += DateXml(d);
    body += "</datetimelist>";
    return Item(name, 0, body);
}

DxlDocumentBuilder& DxlDocumentBuilder::RichText(const std::string& name, const std::string& innerXml,
                                                 std::uint32_t flags) {
    return Item(name, flags, "<richtext>" + innerXml + "</richtext>");
}

DxlDocumentBuilder& DxlDocumentBuilder::Raw(const std::string& name, std::uint16_t type,
                                            const QByteArray& bytes) {
    return Item(name, 0,
                "<rawitemdata type='" + Hex(type) + "'>" + bytes.toBase64().toStdString() + "</rawitemdata>");
}

DxlDocumentBuilder& DxlDocumentBuilder::ItemXml(const std::string& xml) {
    items_ += xml + "\n";
    return *this;
}

DxlDocumentBuilder& DxlDocumentBuilder::Attach(const std::string& fileName, const QByteArray& bytes) {
    const std::string stamp = created_.empty() ? "20000101T000000,00+00" : created_;
    return Item("$FILE", LNITEMFLAGS_SUMMARY | LNITEMFLAGS_SIGN,
                "<object><file hosttype='msdos' compression='none' flags='storedindoc' "
                "encoding='none' name='" +
                    DxlEscape(fileName) + "' size='" + std::to_string(bytes.size()) +
                    "'><created><datetime>" + stamp + "</datetime></created><modified><datetime>" + stamp +
                    "</datetime></modified><filedata>" + bytes.toBase64().toStdString() +
                    "</filedata></file></object>");
}

DxlDocumentBuilder& DxlDocumentBuilder::Created(const std::string& dxlDate) {
    created_ = dxlDate;
    return *this;
}

DxlDocumentBuilder& DxlDocumentBuilder::Modified(const std::string& dxlDate) {
    modified_ = dxlDate;
    return *this;
}

DxlDocumentBuilder& DxlDocumentBuilder::Unid(const std::string& hex32) {
    unid_ = hex32;
    return *this;
}

DxlDocumentBuilder& DxlDocumentBuilder::Unread(bool unread) {
    if (unread) attributes_ += std::string(" ") + dxlext::kPrefix + ":unread='true'";
    return *this;
}

DxlDocumentBuilder& DxlDocumentBuilder::Encrypted(LNSTATUS decryptStatus) {
    attributes_ += std::string(" ") + dxlext::kPrefix + ":encrypted='true'";
    if (decryptStatus != 0) attributes_ += StatusAttribute("decrypt-status", decryptStatus);
    sealing_ = true;
    return *this;
}

DxlDocumentBuilder& DxlDocumentBuilder::OpenStatus(LNSTATUS status) {
    attributes_ += StatusAttribute("open-status", status);
    return *this;
}

DxlDocumentBuilder& DxlDocumentBuilder::FirstOpenStatus(LNSTATUS status) {
    attributes_ += StatusAttribute("first-open-status", status);
    return *this;
}

DxlDocumentBuilder& DxlDocumentBuilder::ThrowStatus(LNSTATUS status) {
    attributes_ += StatusAttribute("throw-status", status);
    return *this;
}

// ---------------------------------------------------------------------------------------------

DxlViewBuilder& DxlViewBuilder::Entry(NOTEID noteId, int unread) {
    hasEntries_ = true;
    entries_ += std::string("<") + dxlext::kPrefix + ":entry noteid='" + Hex(noteId) + "'";
    if (unread >= 0) entries_ += unread ? " unread='true'" : " unread='false'";
    entries_ += "/>";
    return *this;
}

DxlViewBuilder& DxlViewBuilder::Entries(const std::vector<NOTEID>& noteIds) {
    for (NOTEID id : noteIds) Entry(id);
    hasEntries_ = true;
    return *this;
}

DxlViewBuilder& DxlViewBuilder::Category(const std::string& title) {
    hasEntries_ = true;
    entries_ += std::string("<") + dxlext::kPrefix + ":category title='" + DxlEscape(title) + "'/>";
    return *this;
}

DxlViewBuilder& DxlViewBuilder::OpenStatus(LNSTATUS status) {
    attributes_ += StatusAttribute("open-status", status);
    return *this;
}

DxlViewBuilder& DxlViewBuilder::Type(int typeCode) {
    attributes_ += std::string(" ") + dxlext::kPrefix + ":type='" + std::to_string(typeCode) + "'";
    return *this;
}

// ---------------------------------------------------------------------------------------------

DxlBuilder::DxlBuilder(const std::string& title, const std::string& replicaId)
    : title_(title), replicaId_(replicaId) {}

NOTEID DxlBuilder::NextNoteId() {
    const NOTEID id = nextNoteId_;
    nextNoteId_ += 4;
    return id;
}

std::string DxlBuilder::ClockText() {
    using namespace std::chrono;
    // The running clock starts at 1 January 2019 09:00 UTC and moves a minute per note.
    const sys_seconds t = sys_days{year{2019} / January / 1} + hours{9} + seconds{clock_};
    clock_ += 60;
    const auto day = floor<days>(t);
    const year_month_day ymd{day};
    const hh_mm_ss hms{t - day};
    return DxlDate(int(ymd.year()), int(unsigned(ymd.month())), int(unsigned(ymd.day())),
                   int(hms.hours().count()), int(hms.minutes().count()), int(hms.seconds().count()), 0);
}

DxlDocumentBuilder& DxlBuilder::AddDocument(const std::string& form) {
    DxlDocumentBuilder& d = documents_.emplace_back();
    d.form_ = form;
    d.noteId_ = NextNoteId();
    char unid[40];
    ++unidCounter_;
    std::snprintf(unid, sizeof unid, "%08X%08X%08X%08X", 0x85257A6Du, 0x004C0000u + unidCounter_, 0x0D0C0000u,
                  unidCounter_);
    d.unid_ = unid;
    d.created_ = ClockText();
    d.modified_ = d.created_;
    return d;
}

DxlViewBuilder& DxlBuilder::AddView(const std::string& name) {
    DxlViewBuilder& v = views_.emplace_back();
    v.name_ = name;
    v.noteId_ = NextNoteId();
    return v;
}

DxlViewBuilder& DxlBuilder::AddFolder(const std::string& name) {
    DxlViewBuilder& v = AddView(name);
    v.folder_ = true;
    return v;
}

void DxlBuilder::AddForm(const std::string& name,
                         const std::vector<std::pair<std::string, std::string>>& fields) {
    std::string x = "<form name='" + DxlEscape(name) + "'><noteinfo noteid='" + Hex(NextNoteId()) +
                    "'/><body><richtext><pardef id='1'/>";
    for (const auto& [field, type] : fields)
        x += "<par def='1'>" + DxlEscape(field) + ": <field type='" + DxlEscape(type) +
             "' kind='editable' name='" + DxlEscape(field) + "'/></par>";
    x += "</richtext></body></form>\n";
    forms_ += x;
}

QByteArray DxlBuilder::ToDxl() const {
    std::string x =
        "<?xml version='1.0' encoding='utf-8'?>\n"
        "<database xmlns='http://www.lotus.com/dxl' version='9.0'";
    if (!plain_) x += std::string(" xmlns:") + dxlext::kPrefix + "='" + dxlext::kNamespace + "'";
    x += " replicaid='" + DxlEscape(replicaId_) + "' title='" + DxlEscape(title_) + "'>\n";
    x += forms_;
    for (const auto& v : views_) {
        const char* tag = v.folder_ ? "folder" : "view";
        x += std::string("<") + tag + " name='" + DxlEscape(v.name_) + "'" + (plain_ ? "" : v.attributes_) +
             "><noteinfo noteid='" + Hex(v.noteId_) + "'/>";
        if (v.hasEntries_ && !plain_)
            x += std::string("<") + dxlext::kPrefix + ":entries>" + v.entries_ + "</" + dxlext::kPrefix +
                 ":entries>";
        x += std::string("</") + tag + ">\n";
    }
    for (const auto& d : documents_) {
        x += "<document form='" + DxlEscape(d.form_) + "'" + (plain_ ? "" : d.attributes_) + ">";
        x += "<noteinfo noteid='" + Hex(d.noteId_) + "' unid='" + d.unid_ + "'>";
        x += "<created><datetime>" + DxlEscape(d.created_) + "</datetime></created>";
        x += "<modified><datetime>" + DxlEscape(d.modified_) + "</datetime></modified>";
        x += "</noteinfo>\n";
        x += "<item name='Form'><text>" + DxlEscape(d.form_) + "</text></item>\n";
        x += d.items_;
        x += "</document>\n";
    }
    x += "</database>\n";
    return QByteArray::fromStdString(x);
}

bool DxlBuilder::Save(const QString& path) const {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    const QByteArray bytes = ToDxl();
    if (f.write(bytes) != bytes.size()) return false;
    return f.commit();
}

void DxlBuilder::Register(const QString& path) const {
    NotesMemoryDatabases::Add(path, ToDxl());
}
