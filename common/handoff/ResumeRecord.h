#pragma once
// "setting.txt": where a pass of nsfsave stands. 13 + 2n bytes: u32 noteId, u32 resumeIndex,
// u32 n, n UTF-16LE code units of path (unit-counted, unlike "Folderpth.txt"), u8 continueFlag.

#include <QByteArray>
#include <QString>

#include <cstdint>

class QIODevice;

struct ResumeRecord {
    std::uint32_t noteId = 0;
    std::uint32_t resumeIndex = 0;  // 0: from the start, or finished
    QString path;                   // PST folder path (folder run) or output folder (calendar run)
    std::uint8_t continueFlag = 1;  // 0: the user stopped nsfsave
    bool operator==(const ResumeRecord&) const = default;
};

QByteArray SerializeResumeRecord(const ResumeRecord& record);

// nsfadd, before the first process of a pass: create and truncate.
bool CreateResumeRecord(const QString& path, const ResumeRecord& record);
// nsfsave, checkpoints and the final record: the existing file, from offset 0, no truncation.
bool OverwriteResumeRecord(const QString& path, const ResumeRecord& record);

// False when the file cannot be opened or ends before the record does; `record` is then left
// as it was, so a caller's previous values stand.
bool ReadResumeRecord(const QString& path, ResumeRecord& record);
bool ParseResumeRecord(QIODevice& device, ResumeRecord& record);
bool ParseResumeRecord(const QByteArray& bytes, ResumeRecord& record);
