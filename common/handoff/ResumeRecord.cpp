#include "common/handoff/ResumeRecord.h"

#include "common/handoff/ByteCodec.h"
#include "common/handoff/FileAccess.h"

QByteArray SerializeResumeRecord(const ResumeRecord& record) {
    handoff_detail::ByteWriter out;
    out.U32(record.noteId);
    out.U32(record.resumeIndex);
    out.UnitText(record.path);
    out.U8(record.continueFlag);
    return out.Bytes();
}

bool CreateResumeRecord(const QString& path, const ResumeRecord& record) {
    return handoff_detail::CreateTruncated(path, SerializeResumeRecord(record));
}

bool OverwriteResumeRecord(const QString& path, const ResumeRecord& record) {
    return handoff_detail::OverwriteFromStart(path, SerializeResumeRecord(record));
}

bool ParseResumeRecord(QIODevice& device, ResumeRecord& record) {
    handoff_detail::ByteReader in(device);
    ResumeRecord read;
    if (!in.U32(read.noteId) || !in.U32(read.resumeIndex) || !in.UnitText(read.path) ||
        !in.U8(read.continueFlag))
        return false;
    record = std::move(read);
    return true;
}

bool ParseResumeRecord(const QByteArray& bytes, ResumeRecord& record) {
    return handoff_detail::ParseBytes(
        bytes, [&record](QIODevice& device) { return ParseResumeRecord(device, record); });
}

bool ReadResumeRecord(const QString& path, ResumeRecord& record) {
    bool complete = false;
    const bool opened = handoff_detail::ReadExisting(
        path, [&](QIODevice& file) { complete = ParseResumeRecord(file, record); });
    return opened && complete;
}
