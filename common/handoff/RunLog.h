#pragma once
// The shared run log of a conversion: UTF-16LE with FF FE written only when the file is
// created, CR LF line ends, one unbuffered file write per text.

#include <QString>

#include <cstdint>
#include <memory>

class QDateTime;

class RunLog {
  public:
    enum class Opening {
        Recreate,        // nsfadd: delete an old file, create it with the byte-order mark
        CreateOrAppend,  // nsfview: create with the mark when missing, else append at the end
        AppendExisting,  // nsfsave: open the existing file at its end, never create it
    };

    static QString FileName();  // "QuenmarkHarbex_log_.txt"

    RunLog();
    ~RunLog();
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    bool Open(const QString& path, Opening how);
    bool IsOpen() const;
    void Close();

    // One write of 2 × length bytes; nothing happens on a closed log, and a failed write is
    // not reported.
    void Write(const QString& text);
    void LineEnd();
    // Write(text), then LineEnd() as a separate write unless the text ends with "\r\n".
    void WriteLine(const QString& text);

    // 149 asterisks and a line end as one text, then "Start Processing Time:\t" with the time.
    void WriteRunHeader(const QDateTime& localTime);

    static QString HeaderTime(const QDateTime& localTime);   // "%d-%d-%d-%d-%d-%d", d-m-y-h-m-s
    static QString SummaryTime(const QDateTime& localTime);  // m/d/y h:m:s, no leading zeros

  private:
    struct File;
    std::unique_ptr<File> file_;
};
