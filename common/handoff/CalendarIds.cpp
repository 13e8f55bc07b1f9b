#include "common/handoff/CalendarIds.h"

#include "common/handoff/ByteCodec.h"
#include "common/handoff/FileAccess.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

bool CreateEmptyCalendarIds(const QString& path) {
    return handoff_detail::CreateTruncated(path, {});
}

bool AppendCalendarId(const QString& path, std::uint32_t noteId) {
    handoff_detail::ByteWriter out;
    out.U32(noteId);
    return handoff_detail::AppendAtEnd(path, out.Bytes());
}

std::vector<std::uint32_t> ParseCalendarIds(const QByteArray& bytes) {
    std::vector<std::uint32_t> noteIds;
    noteIds.reserve(static_cast<std::size_t>((bytes.size() + 3) / 4));
    for (qsizetype at = 0; at < bytes.size(); at += 4) {
        unsigned char group[4] = {0, 0, 0, 0};
        std::memcpy(group, bytes.constData() + at,
                    static_cast<std::size_t>(std::min<qsizetype>(4, bytes.size() - at)));
        noteIds.push_back(qFromLittleEndian<std::uint32_t>(group));
    }
    return noteIds;
}

bool ReadCalendarIds(const QString& path, std::vector<std::uint32_t>& noteIds) {
    return handoff_detail::ReadExisting(
        path, [&noteIds](QIODevice& file) { noteIds = ParseCalendarIds(file.readAll()); });
}
