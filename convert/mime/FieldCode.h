#pragma once
// Header-field codecs: how a field value is written when it carries a charset (non-ASCII runs
// become RFC 2047 encoded words), and the reverse, which turns encoded words back into text.

#include "convert/mime/MimeCodec.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// The codec of any field without a codec of its own. Without a charset (and with the
// registry's default charset empty and automatic folding off) the value is copied unchanged.
class CFieldCodeBase : public CMimeCodeBase {
  public:
    // Quote states: 0 = outside any quoted construct; kWholeValue = a construct that never
    // closes, so the whole value is one run.
    static constexpr std::uint8_t kWholeValue = 255;

    void SetCharset(const QByteArray& charset) { charset_ = charset; }
    QByteArray Charset() const { return charset_; }
    // Column at which the value starts on its line (after "Name: "); used only when folding.
    void SetStartColumn(qint64 column) { startColumn_ = column; }

    // Encoding is exact: EncodedSize runs the encoder without writing.
    qint64 EncodedSize() const override;
    qint64 EncodeTo(char* out, qint64 capacity) const override;
    // Decoding replaces every well-formed encoded word by its raw bytes, drops the whitespace
    // between adjacent encoded words and leaves everything else as it is.
    qint64 DecodedSize() const override;
    qint64 DecodeTo(char* out, qint64 capacity) const override;

    virtual bool IsDelimiter(char byte) const;
    virtual std::uint8_t InitialQuoteState() const;

  protected:
    virtual CMimeEncodedWord::QContext QContext() const { return CMimeEncodedWord::QContext::Phrase; }
    // A quoted string that needs encoding: true keeps its quotes around the encoded words
    // (parameter values), false replaces it by the words (phrases of address fields).
    virtual bool KeepsQuotesAroundWords() const { return false; }

  private:
    QByteArray Encoded() const;

    QByteArray charset_;
    qint64 startColumn_ = 0;
};

// Subject, Comments, Content-Description: unstructured text, the whole value one run.
class CFieldCodeText : public CFieldCodeBase {
  public:
    std::uint8_t InitialQuoteState() const override { return kWholeValue; }

  protected:
    CMimeEncodedWord::QContext QContext() const override { return CMimeEncodedWord::QContext::Text; }
};

// From, To, Cc, Bcc, Reply-To and their Resent- forms: a fold follows each ',' and ':'.
class CFieldCodeAddress : public CFieldCodeBase {
  public:
    bool IsDelimiter(char byte) const override { return byte == ',' || byte == ':'; }
};

// Content-Type, Content-Disposition: a fold follows each ';'.
class CFieldCodeParameter : public CFieldCodeBase {
  public:
    bool IsDelimiter(char byte) const override { return byte == ';'; }

  protected:
    bool KeepsQuotesAroundWords() const override { return true; }
};

// Field name to field codec, plus the two settings that go with it. Names compare without
// regard to case; any other name gives a CFieldCodeBase.
class FieldCodecRegistry {
  public:
    using Factory = std::function<std::unique_ptr<CFieldCodeBase>()>;

    static FieldCodecRegistry& Instance();

    void Register(const QString& name, Factory factory);
    std::unique_ptr<CFieldCodeBase> Create(const QString& fieldName) const;

    QByteArray DefaultCharset() const { return defaultCharset_; }
    void SetDefaultCharset(const QByteArray& charset) { defaultCharset_ = charset; }
    bool AutoFolding() const { return autoFolding_; }
    void SetAutoFolding(bool on) { autoFolding_ = on; }

  private:
    FieldCodecRegistry();
    mime::NamedFactories<Factory> factories_;
    QByteArray defaultCharset_;
    bool autoFolding_ = false;
};

// A field value as UTF-16 text: encoded words decoded with their charsets (adjacent words of
// one charset are joined first, so a character split across words survives), everything else
// read as UTF-8. Malformed words stay as they are.
QString DecodeFieldText(QByteArrayView value);
