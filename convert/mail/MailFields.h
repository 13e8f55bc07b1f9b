#pragma once
// Flat records of what one mail or task document gives the EML writer and the PST import.
// Every text is UTF-16; an empty text means absent.

#include <QString>

#include <cstdint>

struct MailFields {
    QString to;
    QString from;
    QString cc;
    QString bcc;
    QString subject;
    QString dateText;  // month/day/year hour:minute:second, no leading zeros
    std::uint8_t importance = 0;
    std::uint8_t bodyIsHtml = 0;
    std::uint8_t hasPlainBody = 0;  // never set by the mail reader
    QString body;
    QString plainBody;        // never set by the mail reader
    QString categories;       // joined with ";"
    QString attachmentNames;  // every name followed by ", "
    std::uint8_t encrypted = 0;
    std::uint8_t isSigned = 0;
    std::uint8_t readFlag = 0;  // set by the folder dump after reading

    void Reset() { *this = MailFields{}; }
    bool operator==(const MailFields&) const = default;
};

struct TaskFields {
    QString to;
    QString from;
    QString cc;
    QString bcc;
    QString subject;
    QString dateText;
    std::uint8_t importance = 0;
    std::uint8_t bodyIsHtml = 0;
    std::uint8_t hasPlainBody = 0;
    QString body;
    QString categories;
    QString attachmentNames;
    QString startDateText;
    QString dueDateText;
    std::uint8_t isPrivate = 0;
    std::uint8_t encrypted = 0;
    std::uint8_t isSigned = 0;
    std::uint8_t isRepeating = 0;
    std::uint8_t readFlag = 0;

    void Reset() { *this = TaskFields{}; }
    bool operator==(const TaskFields&) const = default;
};

// The parts of a date as DateText carries them.
struct DateParts {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool operator==(const DateParts&) const = default;
};

// "7/3/2018 9:5:0" for 3 July 2018 09:05:00.
QString FormatDateText(const DateParts& parts);
// Reads month/day/year hour:minute:second; false unless the text is exactly that and names a
// real calendar date and time of day.
bool ParseDateText(const QString& text, DateParts& parts);
