#include "common/handoff/FolderList.h"

#include "common/handoff/ByteCodec.h"
#include "common/handoff/FileAccess.h"

using handoff_detail::ByteReader;
using handoff_detail::ByteWriter;

namespace {

void WriteRecords(ByteWriter& out, const std::vector<FolderRecord>& records) {
    out.U32(static_cast<std::uint32_t>(records.size()));
    for (const FolderRecord& record : records) {
        out.ByteText(record.path);
        out.U8(record.hasEntries);
        out.U32(record.noteId);
    }
}

bool ReadRecords(ByteReader& in, std::vector<FolderRecord>& records) {
    std::uint32_t count = 0;
    if (!in.U32(count)) return false;
    // Grows with what is actually read; the count alone never sizes anything.
    for (std::uint32_t i = 0; i < count; ++i) {
        FolderRecord record;
        if (!in.ByteText(record.path) || !in.U8(record.hasEntries) || !in.U32(record.noteId)) return false;
        records.push_back(std::move(record));
    }
    return true;
}

bool Write(const QString& path, const FolderListResult& result, FolderListKind kind) {
    return handoff_detail::OverwriteFromStart(path, SerializeFolderList(result, kind));
}

}  // namespace

QByteArray SerializeFolderList(const FolderListResult& result, FolderListKind kind) {
    ByteWriter out;
    out.U8(static_cast<std::uint8_t>(result.status));
    if (result.status != FolderStatus::Result) return out.Bytes();
    switch (kind) {
        case FolderListKind::SaveOptions:
            out.ByteText(result.outputFolder);
            break;
        case FolderListKind::Listing:
            WriteRecords(out, result.records);
            break;
        case FolderListKind::Selection:
            WriteRecords(out, result.records);
            out.ByteText(result.pstTargetFolder);
            out.ByteText(result.reservedText);
            break;
    }
    return out.Bytes();
}

bool CreateEmptyFolderList(const QString& path) {
    return handoff_detail::CreateTruncated(path, {});
}

bool WriteFolderListStatus(const QString& path, FolderStatus status) {
    ByteWriter out;
    out.U8(static_cast<std::uint8_t>(status));
    return handoff_detail::OverwriteFromStart(path, out.Bytes());
}

bool WriteFolderListOutputFolder(const QString& path, const QString& outputFolder) {
    FolderListResult result;
    result.status = FolderStatus::Result;
    result.outputFolder = outputFolder;
    return Write(path, result, FolderListKind::SaveOptions);
}

bool WriteFolderListRecords(const QString& path, const std::vector<FolderRecord>& records) {
    FolderListResult result;
    result.status = FolderStatus::Result;
    result.records = records;
    return Write(path, result, FolderListKind::Listing);
}

bool WriteFolderListSelection(const QString& path, const std::vector<FolderRecord>& records,
                              const QString& pstTargetFolder, const QString& reservedText) {
    FolderListResult result;
    result.status = FolderStatus::Result;
    result.records = records;
    result.pstTargetFolder = pstTargetFolder;
    result.reservedText = reservedText;
    return Write(path, result, FolderListKind::Selection);
}

FolderListResult ParseFolderList(QIODevice& device, FolderListKind kind) {
    FolderListResult result;
    ByteReader in(device);
    std::uint8_t status = 0;
    if (!in.U8(status)) return result;  // an empty file: nothing was written
    result.status = static_cast<FolderStatus>(status);
    if (result.status != FolderStatus::Result) return result;
    bool complete = false;
    switch (kind) {
        case FolderListKind::SaveOptions:
            complete = in.ByteText(result.outputFolder);
            break;
        case FolderListKind::Listing:
            complete = ReadRecords(in, result.records);
            break;
        case FolderListKind::Selection:
            complete = ReadRecords(in, result.records) && in.ByteText(result.pstTargetFolder) &&
                       in.ByteText(result.reservedText);
            break;
    }
    if (!complete) {
        result = FolderListResult{};
        result.damaged = true;
    }
    return result;
}

FolderListResult ParseFolderList(const QByteArray& bytes, FolderListKind kind) {
    return handoff_detail::ParseBytes(bytes,
                                      [kind](QIODevice& device) { return ParseFolderList(device, kind); });
}

bool ReadFolderList(const QString& path, FolderListKind kind, FolderListResult& result) {
    return handoff_detail::ReadExisting(path, [&](QIODevice& file) { result = ParseFolderList(file, kind); });
}
