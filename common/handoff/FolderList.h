#pragma once
// "Folderpth.txt": nsfview's one answer to nsfadd. A status byte, then by the mode nsfview ran
// in: the output folder (mode 2), or a FolderRecord list (mode 3) followed by two byte-counted
// texts (mode 1). Texts here count bytes, not code units.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

class QIODevice;

enum class FolderStatus : std::uint8_t {
    NoResult = 0,  // cancelled, or nothing written: an empty file reads as this
    Result = 1,
    Back = 2,
    Closed = 3,
};

// What nsfview wrote, named by the mode it ran in; the reader must be told which one.
enum class FolderListKind {
    Selection = 1,    // records, then pstTargetFolder and reservedText
    SaveOptions = 2,  // the output folder
    Listing = 3,      // records only
};

struct FolderRecord {
    QString path;  // below the database root, levels joined by backslashes
    std::uint8_t hasEntries = 0;
    std::uint32_t noteId = 0;
    bool operator==(const FolderRecord&) const = default;
};

struct FolderListResult {
    FolderStatus status = FolderStatus::NoResult;
    QString outputFolder;               // SaveOptions
    std::vector<FolderRecord> records;  // Selection, Listing
    QString pstTargetFolder;            // Selection
    QString reservedText;               // Selection; read and ignored
    // Status 1 whose content ended before its counts did. Such a result is reported as
    // NoResult with nothing in it, so no conversion starts from half a folder list.
    bool damaged = false;
    bool operator==(const FolderListResult&) const = default;
};

// nsfadd: create the file empty (create and truncate) before every nsfview run.
bool CreateEmptyFolderList(const QString& path);

// nsfview: each writes its record once from offset 0 into the existing file, never truncating.
bool WriteFolderListStatus(const QString& path, FolderStatus status);
bool WriteFolderListOutputFolder(const QString& path, const QString& outputFolder);
bool WriteFolderListRecords(const QString& path, const std::vector<FolderRecord>& records);
bool WriteFolderListSelection(const QString& path, const std::vector<FolderRecord>& records,
                              const QString& pstTargetFolder, const QString& reservedText);

// The bytes of a result: the status alone unless it is Result, then what `kind` carries.
QByteArray SerializeFolderList(const FolderListResult& result, FolderListKind kind);

// nsfadd: opens the existing file (never creating it); false when it cannot be opened. Reads
// exactly what the counts say; stale bytes after them are never looked at.
bool ReadFolderList(const QString& path, FolderListKind kind, FolderListResult& result);
FolderListResult ParseFolderList(QIODevice& device, FolderListKind kind);
FolderListResult ParseFolderList(const QByteArray& bytes, FolderListKind kind);
