#include "common/handoff/ByteCodec.h"

#include <QtEndian>

#include <bit>
#include <cstring>

namespace handoff_detail {

namespace {

template <typename T>
void AppendLittleEndian(QByteArray& bytes, T value) {
    char raw[sizeof(T)];
    qToLittleEndian(value, raw);
    bytes.append(raw, sizeof(T));
}

}  // namespace

void ByteWriter::U8(std::uint8_t value) {
    bytes_.append(static_cast<char>(value));
}
void ByteWriter::U32(std::uint32_t value) {
    AppendLittleEndian(bytes_, value);
}
void ByteWriter::I32(std::int32_t value) {
    AppendLittleEndian(bytes_, value);
}
void ByteWriter::U64(std::uint64_t value) {
    U32(static_cast<std::uint32_t>(value));
    U32(0);
}
void ByteWriter::F64(double value) {
    AppendLittleEndian(bytes_, std::bit_cast<std::uint64_t>(value));
}

void ByteWriter::Units(const QString& text) {
    for (QChar unit : text) AppendLittleEndian(bytes_, unit.unicode());
}

void ByteWriter::UnitText(const QString& text) {
    U32(static_cast<std::uint32_t>(text.size()));
    Units(text);
}

void ByteWriter::ByteText(const QString& text) {
    U32(static_cast<std::uint32_t>(text.size()) * 2u);
    Units(text);
}

qint64 ByteReader::Remaining() const {
    const qint64 left = device_.size() - device_.pos();
    return left > 0 ? left : 0;
}

bool ByteReader::Raw(void* out, qint64 size) {
    if (!ok_ || size > Remaining() || device_.read(static_cast<char*>(out), size) != size) {
        ok_ = false;
        return false;
    }
    return true;
}

bool ByteReader::U8(std::uint8_t& value) {
    std::uint8_t raw = 0;
    if (!Raw(&raw, 1)) return false;
    value = raw;
    return true;
}

template <typename T>
bool ByteReader::Fixed(T& value) {
    unsigned char raw[sizeof(T)];
    if (!Raw(raw, sizeof(T))) return false;
    value = qFromLittleEndian<T>(raw);
    return true;
}

bool ByteReader::U32(std::uint32_t& value) {
    return Fixed(value);
}
bool ByteReader::I32(std::int32_t& value) {
    return Fixed(value);
}
bool ByteReader::U64(std::uint64_t& value) {
    return Fixed(value);
}

bool ByteReader::F64(double& value) {
    std::uint64_t bits = 0;
    if (!U64(bits)) return false;
    value = std::bit_cast<double>(bits);
    return true;
}

bool ByteReader::Text(std::uint64_t byteCount, QString& text, bool stopAtNul) {
    // Checked before anything is allocated: the count is whatever the file says.
    if (!ok_ || byteCount > static_cast<std::uint64_t>(Remaining())) {
        ok_ = false;
        return false;
    }
    const QByteArray raw = device_.read(static_cast<qint64>(byteCount));
    if (static_cast<std::uint64_t>(raw.size()) != byteCount) {
        ok_ = false;
        return false;
    }
    const qsizetype units = raw.size() / 2;
    QString decoded(units, Qt::Uninitialized);
    qsizetype length = 0;
    for (; length < units; ++length) {
        const auto unit = qFromLittleEndian<char16_t>(raw.constData() + 2 * length);
        if (stopAtNul && unit == 0) break;
        decoded[length] = QChar(unit);
    }
    decoded.truncate(length);
    text = decoded;
    return true;
}

bool ByteReader::UnitText(QString& text, bool stopAtNul) {
    std::uint32_t units = 0;
    if (!U32(units)) return false;
    return Text(std::uint64_t{units} * 2u, text, stopAtNul);
}

bool ByteReader::ByteText(QString& text) {
    std::uint32_t bytes = 0;
    if (!U32(bytes)) return false;
    return Text(bytes, text, false);
}

}  // namespace handoff_detail
