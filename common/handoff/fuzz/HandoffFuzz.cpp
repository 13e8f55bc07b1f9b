#include "common/handoff/fuzz/HandoffFuzz.h"

#include "common/handoff/CalendarIds.h"
#include "common/handoff/ChildCommandLine.h"
#include "common/handoff/FolderList.h"
#include "common/handoff/ResumeRecord.h"
#include "common/handoff/RunOptions.h"

#include <QtEndian>

namespace {

QByteArray Bytes(const std::uint8_t* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

constexpr int kHolds = 0;
constexpr int kBroken = 1;

}  // namespace

int FuzzFolderList(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return kHolds;
    const auto kind = static_cast<FolderListKind>(data[0] % 3 + 1);
    const QByteArray file = Bytes(data + 1, size - 1);
    const FolderListResult read = ParseFolderList(file, kind);
    if (read.damaged && !(read.status == FolderStatus::NoResult && read.records.empty())) return kBroken;
    // Smallest record: a 4-byte length, an empty path, the flag and the note ID.
    if (read.records.size() * 9 > static_cast<std::size_t>(file.size())) return kBroken;
    const QByteArray again = SerializeFolderList(read, kind);
    FolderListResult reread = ParseFolderList(again, kind);
    reread.damaged = read.damaged;
    return reread == read && SerializeFolderList(reread, kind) == again ? kHolds : kBroken;
}

int FuzzResumeRecord(const std::uint8_t* data, std::size_t size) {
    const QByteArray file = Bytes(data, size);
    ResumeRecord record;
    if (!ParseResumeRecord(file, record)) return record == ResumeRecord{} ? kHolds : kBroken;
    // Unit-counted texts lose nothing, so the record is exactly the start of the file.
    const QByteArray again = SerializeResumeRecord(record);
    return again.size() == 13 + 2 * record.path.size() && file.startsWith(again) ? kHolds : kBroken;
}

int FuzzCalendarIds(const std::uint8_t* data, std::size_t size) {
    const QByteArray file = Bytes(data, size);
    const std::vector<std::uint32_t> ids = ParseCalendarIds(file);
    if (ids.size() != (size + 3) / 4) return kBroken;
    QByteArray again(static_cast<qsizetype>(ids.size() * 4), Qt::Uninitialized);
    for (std::size_t i = 0; i < ids.size(); ++i) qToLittleEndian(ids[i], again.data() + 4 * i);
    // The file, then the zero bytes of the padding.
    return again.startsWith(file) && again.mid(file.size()).count('\0') == again.size() - file.size()
               ? kHolds
               : kBroken;
}

int FuzzRunOptions(const std::uint8_t* data, std::size_t size) {
    const QByteArray again = SerializeRunOptions(ParseRunOptions(Bytes(data, size)));
    return SerializeRunOptions(ParseRunOptions(again)) == again ? kHolds : kBroken;
}

int FuzzChildCommandLine(const std::uint8_t* data, std::size_t size) {
    const QString raw = QString::fromLatin1(Bytes(data, size));
    const ChildCommandLine parsed = ChildCommandLine::ParseRaw(raw);
    const bool rawRoundTrip = ChildCommandLine::ParseRaw(parsed.ToRaw()) == parsed;
    const bool argumentRoundTrip = ChildCommandLine::FromArguments(parsed.ToArguments()) == parsed;
    return rawRoundTrip && argumentRoundTrip ? kHolds : kBroken;
}
