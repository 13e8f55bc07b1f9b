#pragma once
// Transfer-encoding codecs of the MIME model (RFC 2045 section 6) and the RFC 2047 encoded
// word. A codec works over an input byte range it does not own; the caller keeps the bytes
// alive while the codec is in use. All sizes are byte counts.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

// The identity codec: both sizes are the input length and both operations copy as much of
// the input as fits.
class CMimeCodeBase {
  public:
    CMimeCodeBase() = default;
    virtual ~CMimeCodeBase();
    CMimeCodeBase(const CMimeCodeBase&) = default;
    CMimeCodeBase& operator=(const CMimeCodeBase&) = default;

    void SetInput(QByteArrayView input);
    void SetInput(const char* bytes, qint64 length);
    QByteArrayView Input() const { return {input_, length_}; }

    // Meaning depends on the codec: base64 = break lines, QP = encode line breaks too.
    void SetOption(bool on) { option_ = on; }
    bool Option() const { return option_; }

    // EncodedSize is an upper bound of what EncodeTo writes (exact for the identity and for
    // base64 without line breaks); DecodedSize likewise for DecodeTo.
    virtual qint64 EncodedSize() const;
    virtual qint64 DecodedSize() const;
    // Write at most `capacity` bytes to `out`; return the number written.
    virtual qint64 EncodeTo(char* out, qint64 capacity) const;
    virtual qint64 DecodeTo(char* out, qint64 capacity) const;

    // Convenience for callers that want the whole result: EncodedSize bytes, trimmed.
    QByteArray Encode() const;
    QByteArray Decode() const;

  protected:
    const char* input_ = nullptr;
    qint64 length_ = 0;
    bool option_ = false;
};

// RFC 2045 base64. With the option on (the default) CR LF follows every 76 output characters
// and once more after a last, shorter line. Decoding skips bytes outside the alphabet and
// stops at the first '='.
class CMimeCodeBase64 : public CMimeCodeBase {
  public:
    CMimeCodeBase64() { option_ = true; }
    qint64 EncodedSize() const override;
    qint64 DecodedSize() const override;
    qint64 EncodeTo(char* out, qint64 capacity) const override;
    qint64 DecodeTo(char* out, qint64 capacity) const override;
};

// RFC 2045 quoted-printable with soft breaks before 76 characters. With the option off (the
// default, and the only setting this system uses) CR and LF are written verbatim.
class CMimeCodeQP : public CMimeCodeBase {
  public:
    qint64 EncodedSize() const override;
    qint64 EncodedSizeExact() const;  // runs the encoder without writing
    qint64 EncodeTo(char* out, qint64 capacity) const override;
    qint64 DecodeTo(char* out, qint64 capacity) const override;
};

// RFC 2047 encoded words: the whole input becomes one or more words separated by one space.
class CMimeEncodedWord : public CMimeCodeBase {
  public:
    // Which bytes a 'Q' word may carry verbatim (RFC 2047 section 5).
    enum class QContext {
        Text,    // (1) unstructured text: every printable byte but '=', '?', '_'
        Phrase,  // (3) inside structured fields: letters, digits and "!*+-/" only
    };

    void SetEncoding(char letter) { encoding_ = letter; }  // 'B' or 'Q', any case
    char Encoding() const { return encoding_; }
    void SetCharset(const QByteArray& charset) { charset_ = charset; }
    QByteArray Charset() const { return charset_; }
    void SetQContext(QContext context) { qContext_ = context; }

    qint64 EncodedSize() const override;
    qint64 EncodeTo(char* out, qint64 capacity) const override;

    // Bytes of input one 'B' word carries, and the encoded-text characters one 'Q' word holds.
    qint64 BytesPerBWord() const;
    qint64 CharsPerQWord() const;

  private:
    bool IsBEncoding() const { return encoding_ == 'B' || encoding_ == 'b'; }
    template <class Sink>
    void Run(Sink& sink) const;

    char encoding_ = 'B';
    QByteArray charset_;
    QContext qContext_ = QContext::Text;
};

namespace mime {
// A table from names to factories: names compare without regard to case, and registering a
// name again replaces the earlier entry.
template <class Factory>
class NamedFactories {
  public:
    void Register(const QString& name, Factory factory) {
        for (auto& entry : entries_) {
            if (entry.first.compare(name, Qt::CaseInsensitive) == 0) {
                entry.second = std::move(factory);
                return;
            }
        }
        entries_.emplace_back(name, std::move(factory));
    }
    const Factory* Find(const QString& name) const {
        for (const auto& entry : entries_)
            if (entry.first.compare(name, Qt::CaseInsensitive) == 0) return &entry.second;
        return nullptr;
    }

  private:
    std::vector<std::pair<QString, Factory>> entries_;
};
}  // namespace mime

// Transfer-encoding name to codec. Any name not registered, including "7bit", "8bit" and an
// empty one, gives the identity codec. Names compare without regard to case; registering a
// name again replaces the earlier entry. Filled before the first message is built.
class TransferCodecRegistry {
  public:
    using Factory = std::function<std::unique_ptr<CMimeCodeBase>()>;

    static TransferCodecRegistry& Instance();

    void Register(const QString& name, Factory factory);
    std::unique_ptr<CMimeCodeBase> Create(const QString& name) const;

  private:
    TransferCodecRegistry();
    mime::NamedFactories<Factory> factories_;
};

// Shared helpers for the codecs of this folder.
namespace mime {
// The standard base64 of `in` without line breaks, '=' fill.
QByteArray Base64(QByteArrayView in);
// Decodes base64 text. Lenient: bytes outside the alphabet are skipped and the first '='
// ends the text. Strict: any byte outside the alphabet and '=' fails (returns false).
bool DecodeBase64(QByteArrayView in, QByteArray& out, bool strict);
// ASCII case-insensitive equality of two byte strings.
bool EqualsNoCase(QByteArrayView a, QByteArrayView b);
}  // namespace mime
