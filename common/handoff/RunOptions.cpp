#include "common/handoff/RunOptions.h"

#include "common/handoff/ByteCodec.h"
#include "common/handoff/FileAccess.h"

using handoff_detail::ByteReader;
using handoff_detail::ByteWriter;

namespace {

void WriteMap(ByteWriter& out, const std::map<QString, QString>& map) {
    out.U64(map.size());
    for (const auto& [key, value] : map) {
        out.UnitText(key);
        out.UnitText(value);
    }
}

void WriteDateTime(ByteWriter& out, const OleDateTime& time) {
    out.F64(time.value);
    out.I32(time.status);
}

// A text is read up to its first NUL, as the original C string buffers held it.
bool ReadText(ByteReader& in, QString& text) {
    return in.UnitText(text, true);
}

// The count is only an upper bound: pairs are taken while whole ones remain, so a count of
// 2^63 ends with the data. An existing key keeps its first value.
bool ReadMap(ByteReader& in, std::map<QString, QString>& map) {
    std::uint64_t count = 0;
    if (!in.U64(count)) return false;
    for (std::uint64_t i = 0; i < count; ++i) {
        QString key;
        QString value;
        if (!ReadText(in, key) || !ReadText(in, value)) return false;
        map.emplace(std::move(key), std::move(value));
    }
    return true;
}

bool ReadDateTime(ByteReader& in, OleDateTime& time) {
    return in.F64(time.value) && in.I32(time.status);
}

bool ReadDateRanges(ByteReader& in, std::vector<DateRange>& ranges) {
    std::uint64_t count = 0;
    if (!in.U64(count)) return false;
    for (std::uint64_t i = 0; i < count; ++i) {
        DateRange range;
        if (!ReadDateTime(in, range.start) || !ReadDateTime(in, range.end)) return false;
        ranges.push_back(range);
    }
    return true;
}

}  // namespace

QByteArray SerializeRunOptions(const RunOptions& o) {
    ByteWriter out;
    out.U8(o.counterMode);
    out.U8(o.selectionMode);
    out.U8(o.reservedFlag);
    out.UnitText(o.pstTargetFolder);
    out.UnitText(o.reservedText);
    out.UnitText(o.logPath);
    out.U32(o.includeAllFolder);
    out.U32(o.reserved1);
    out.U32(o.reserved2);
    out.U32(o.reserved3);
    out.U8(o.addressTranslation);
    out.U8(o.smtpPatternOn);
    out.U32(o.smtpFormat);
    out.UnitText(o.smtpDomain);
    out.U8(o.csvTranslationOn);
    out.U8(o.namesNsfTranslationOn);
    out.U8(o.folderMappingOn);
    out.U32(o.removeEncryption);
    out.U32(o.saveDocLinks);
    out.U32(o.saveInternetHeader);
    WriteMap(out, o.addressMap);
    WriteMap(out, o.folderMap);
    out.U64(o.dateRanges.size());
    for (const DateRange& range : o.dateRanges) {
        WriteDateTime(out, range.start);
        WriteDateTime(out, range.end);
    }
    return out.Bytes();
}

bool WriteRunOptions(const QString& path, const RunOptions& options) {
    return handoff_detail::CreateTruncated(path, SerializeRunOptions(options));
}

RunOptions ParseRunOptions(QIODevice& device) {
    RunOptions o;
    ByteReader in(device);
    // Reading stops at the first field cut short; that one and all after it keep their
    // defaults (the reader never stores a partial value). The map and list readers keep the
    // whole entries they read before the cut.
    (void)(in.U8(o.counterMode) && in.U8(o.selectionMode) && in.U8(o.reservedFlag) &&
           ReadText(in, o.pstTargetFolder) && ReadText(in, o.reservedText) && ReadText(in, o.logPath) &&
           in.U32(o.includeAllFolder) && in.U32(o.reserved1) && in.U32(o.reserved2) && in.U32(o.reserved3) &&
           in.U8(o.addressTranslation) && in.U8(o.smtpPatternOn) && in.U32(o.smtpFormat) &&
           ReadText(in, o.smtpDomain) && in.U8(o.csvTranslationOn) && in.U8(o.namesNsfTranslationOn) &&
           in.U8(o.folderMappingOn) && in.U32(o.removeEncryption) && in.U32(o.saveDocLinks) &&
           in.U32(o.saveInternetHeader) && ReadMap(in, o.addressMap) && ReadMap(in, o.folderMap) &&
           ReadDateRanges(in, o.dateRanges));
    return o;
}

RunOptions ParseRunOptions(const QByteArray& bytes) {
    return handoff_detail::ParseBytes(bytes, [](QIODevice& device) { return ParseRunOptions(device); });
}

bool ReadRunOptions(const QString& path, RunOptions& options) {
    options = RunOptions{};
    return handoff_detail::ReadExisting(path,
                                        [&options](QIODevice& file) { options = ParseRunOptions(file); });
}
