#pragma once
// Byte-level helpers shared by the ICS, VCF and group TXT writers: the two target encodings,
// the line shapes the writers need, and a file sink that remembers whether a write failed.

#include <QByteArray>
#include <QFile>
#include <QString>

#include "common/notes/LNStatus.h"

#include <cstdint>

struct ConvertContext;

// Windows-1252, the system ANSI code page on this platform. A text with a character outside
// that code page would lose it (the platform substitutes '?'), so such a text is written as
// UTF-8 instead; a text inside the code page gets exactly its Windows-1252 bytes.
QByteArray EncodeAnsi(const QString& text);

// A value written on one content line: CR LF, CR and LF become one space each, so that text
// taken from a document can never end the line early and start a property of its own.
QString OneLine(const QString& text);

// A writer's failure: one more error (and second error in counter mode 1), the line in the
// log, and the writer's result 0.
int WriterFailure(const ConvertContext& context, const QString& logLine);

// A byte file written line by line. Every failed write is remembered, so the writer can treat
// a full disk like the exception path of the original program instead of reporting success.
class LineFile {
  public:
    explicit LineFile(const QString& path) : file_(path) {}
    bool Create();  // truncates an existing file
    void Write(const QByteArray& bytes);
    void Line(const QByteArray& bytes);  // bytes + CR LF
    // Base64 of everything `source` still holds, without line breaks, streamed in pieces so
    // that a large attachment is never held whole in memory.
    void WriteBase64(QIODevice& source);
    bool Failed() const { return failed_; }
    bool Close();

  private:
    QFile file_;
    bool failed_ = false;
};

// Runs the writing steps of one interchange file. The steps return whether everything was
// written and the file closed cleanly; a step that throws (a Notes status of a document step,
// an allocation failure) closes the file. 1 when written, else the writer's failure.
template <class Steps>
int RunWriterSteps(const ConvertContext& context, LineFile& file, const QString& failureLine, Steps&& steps) {
    bool written = false;
    if (LNCatchStatus([&] { written = steps(); }) != LNNOERROR) file.Close();
    return written ? 1 : WriterFailure(context, failureLine);
}
