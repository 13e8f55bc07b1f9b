#pragma once
// The options of one conversion, as "config.txt" carries them from nsfview to every nsfsave
// process. Defaults are the values in force when the file is missing.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <map>
#include <vector>

class QIODevice;

// One OLE Automation date-time with its status (0 valid, 1 invalid, 2 null): days since
// 30 December 1899 midnight, local time, the fraction being the time of day.
struct OleDateTime {
    double value = 0.0;
    std::int32_t status = 0;
    bool operator==(const OleDateTime&) const = default;
};

// Two date-times; 24 bytes on disk (f64, i32, f64, i32), packed, little-endian.
struct DateRange {
    OleDateTime start;
    OleDateTime end;
    bool operator==(const DateRange&) const = default;
};

struct RunOptions {
    std::uint8_t counterMode = 0;
    std::uint8_t selectionMode = 0;
    std::uint8_t reservedFlag = 0;
    QString pstTargetFolder;
    QString reservedText;
    QString logPath;
    std::uint32_t includeAllFolder = 1;
    std::uint32_t reserved1 = 0;
    std::uint32_t reserved2 = 0;
    std::uint32_t reserved3 = 0;
    std::uint8_t addressTranslation = 0;
    std::uint8_t smtpPatternOn = 0;
    std::uint32_t smtpFormat = 0;
    QString smtpDomain;
    std::uint8_t csvTranslationOn = 0;
    std::uint8_t namesNsfTranslationOn = 0;
    std::uint8_t folderMappingOn = 0;
    std::uint32_t removeEncryption = 0;
    std::uint32_t saveDocLinks = 0;
    std::uint32_t saveInternetHeader = 0;
    // QString's operator< compares UTF-16 code units, case-sensitively: the file's key order.
    std::map<QString, QString> addressMap;
    std::map<QString, QString> folderMap;
    std::vector<DateRange> dateRanges;

    bool operator==(const RunOptions&) const = default;
};

// Reads "config.txt". A missing or locked file leaves every field at its default; a file cut
// short keeps the defaults for the fields after its end. Returns false when the file could not
// be opened.
bool ReadRunOptions(const QString& path, RunOptions& options);
RunOptions ParseRunOptions(const QByteArray& bytes);
RunOptions ParseRunOptions(QIODevice& device);

// Creates (truncating) "config.txt" with every field. Returns false when the file could not be
// written.
bool WriteRunOptions(const QString& path, const RunOptions& options);
QByteArray SerializeRunOptions(const RunOptions& options);
