#pragma once
// Little-endian fields of the binary hand-off files. The reader checks every length against
// the bytes the device still holds before it reads or allocates anything, so a damaged count
// can neither run past the data nor make it allocate more than the file holds.

#include <QBuffer>
#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <cstdint>

namespace handoff_detail {

class ByteWriter {
  public:
    void U8(std::uint8_t value);
    void U32(std::uint32_t value);
    void I32(std::int32_t value);
    // The files' counts are u64 with the value in the low half and 0 in the high half.
    void U64(std::uint64_t value);
    void F64(double value);
    // u32 number of UTF-16 code units, then the units ("setting.txt", "config.txt").
    void UnitText(const QString& text);
    // u32 number of bytes, then the units ("Folderpth.txt").
    void ByteText(const QString& text);

    const QByteArray& Bytes() const { return bytes_; }

  private:
    void Units(const QString& text);
    QByteArray bytes_;
};

// Reads fields in order from the device's current position. Once a field is cut short the
// reader stays failed: that field and every later one count as absent and are left as they
// were.
class ByteReader {
  public:
    explicit ByteReader(QIODevice& device) : device_(device) {}

    bool U8(std::uint8_t& value);
    bool U32(std::uint32_t& value);
    bool I32(std::int32_t& value);
    bool U64(std::uint64_t& value);
    bool F64(double& value);
    // With stopAtNul the text ends at its first NUL code unit, as a C string reader sees it.
    bool UnitText(QString& text, bool stopAtNul = false);
    // An odd byte count leaves its last byte without a code unit; it is consumed all the same.
    bool ByteText(QString& text);

    bool Ok() const { return ok_; }
    // Bytes left after the position, never negative.
    qint64 Remaining() const;

  private:
    bool Raw(void* out, qint64 size);
    template <typename T>
    bool Fixed(T& value);
    bool Text(std::uint64_t byteCount, QString& text, bool stopAtNul);

    QIODevice& device_;
    bool ok_ = true;
};

// Runs parse(QIODevice &) over bytes held in memory (shared, not copied).
template <typename Parse>
auto ParseBytes(const QByteArray& bytes, Parse parse) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return parse(buffer);
}

}  // namespace handoff_detail
