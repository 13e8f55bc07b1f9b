#include "common/handoff/RunLog.h"

#include <QDateTime>
#include <QFile>
#include <QtEndian>

namespace {

constexpr int kHeaderAsterisks = 149;

QByteArray Utf16Le(const QString& text) {
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) qToLittleEndian(text[i].unicode(), bytes.data() + 2 * i);
    return bytes;
}

const QByteArray kByteOrderMark("\xFF\xFE", 2);

}  // namespace

struct RunLog::File {
    QFile file;
};

QString RunLog::FileName() {
    return QStringLiteral("QuenmarkHarbex_log_.txt");
}

RunLog::RunLog() = default;
RunLog::~RunLog() = default;

bool RunLog::Open(const QString& path, Opening how) {
    Close();
    auto opened = std::make_unique<File>();
    QFile& file = opened->file;
    file.setFileName(path);
    // Unbuffered: each text reaches the file in one write, and nothing waits in memory when
    // another program appends next or the process simply ends.
    constexpr auto kExisting = QIODevice::ReadWrite | QIODevice::ExistingOnly | QIODevice::Unbuffered;
    constexpr auto kNew = QIODevice::ReadWrite | QIODevice::NewOnly | QIODevice::Unbuffered;
    bool created = false;
    switch (how) {
        case Opening::Recreate:
            QFile::remove(path);
            created = file.open(kNew);
            if (!created) return false;
            break;
        case Opening::CreateOrAppend:
            created = file.open(kNew);
            if (!created && !file.open(kExisting)) return false;
            break;
        case Opening::AppendExisting:
            if (!file.open(kExisting)) return false;
            break;
    }
    if (created) {
        if (file.write(kByteOrderMark) != kByteOrderMark.size()) return false;
    } else if (!file.seek(file.size())) {
        return false;
    }
    file_ = std::move(opened);
    return true;
}

bool RunLog::IsOpen() const {
    return file_ != nullptr;
}

void RunLog::Close() {
    file_.reset();
}

void RunLog::Write(const QString& text) {
    if (!file_ || text.isEmpty()) return;
    file_->file.write(Utf16Le(text));
}

void RunLog::LineEnd() {
    Write(QStringLiteral("\r\n"));
}

void RunLog::WriteLine(const QString& text) {
    Write(text);
    if (!text.endsWith(QLatin1String("\r\n"))) LineEnd();
}

void RunLog::WriteRunHeader(const QDateTime& localTime) {
    Write(QString(kHeaderAsterisks, QLatin1Char('*')) + QLatin1String("\r\n"));
    WriteLine(QLatin1String("Start Processing Time:\t") + HeaderTime(localTime));
}

QString RunLog::HeaderTime(const QDateTime& localTime) {
    const QDate d = localTime.date();
    const QTime t = localTime.time();
    return QString::asprintf("%d-%d-%d-%d-%d-%d", d.day(), d.month(), d.year(), t.hour(), t.minute(),
                             t.second());
}

QString RunLog::SummaryTime(const QDateTime& localTime) {
    const QDate d = localTime.date();
    const QTime t = localTime.time();
    return QString::asprintf("%d/%d/%d %d:%d:%d", d.month(), d.day(), d.year(), t.hour(), t.minute(),
                             t.second());
}
