#include "convert/mime/testsupport/MimeFuzz.h"

#include "convert/mime/FieldCode.h"
#include "convert/mime/Mime.h"
#include "convert/mime/MimeCodec.h"

#include <QList>

int FuzzFieldDecoder(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    (void)DecodeFieldText(bytes);
    CFieldCodeBase field;
    field.SetInput(bytes);
    const QByteArray raw = field.Decode();
    if (raw.size() > bytes.size()) __builtin_trap();  // decoding must never grow the value
    CMimeCodeBase64 base64;
    base64.SetInput(bytes);
    (void)base64.Decode();
    CMimeCodeQP qp;
    qp.SetInput(bytes);
    (void)qp.Decode();
    // The encoders see the same bytes as a value with a charset, and what they write must
    // decode without growing either.
    CFieldCodeText text;
    CFieldCodeAddress address;
    CFieldCodeParameter parameter;
    for (CFieldCodeBase* codec : {static_cast<CFieldCodeBase*>(&text), static_cast<CFieldCodeBase*>(&address),
                                  static_cast<CFieldCodeBase*>(&parameter), &field}) {
        codec->SetInput(bytes);
        codec->SetCharset("utf-8");
        const QByteArray encoded = codec->Encode();
        if (encoded.size() != codec->EncodedSize()) __builtin_trap();
        (void)DecodeFieldText(encoded);
    }
    return 0;
}

int FuzzMimeMessage(const uint8_t* data, size_t size) {
    const QList<QByteArray> pieces =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))
            .split('\0');
    auto piece = [&](qsizetype i) { return i < pieces.size() ? QString::fromUtf8(pieces[i]) : QString(); };
    static const char* const kEncodings[] = {"base64", "quoted-printable", "8bit", ""};
    CMimeMessage message;
    CMimeBody* current = &message;
    for (qsizetype i = 0; i + 4 <= pieces.size(); i += 4) {
        const QByteArray& op = pieces[i];
        const int kind = op.isEmpty() ? 0 : static_cast<unsigned char>(op[0]) % 8;
        switch (kind) {
            case 0:
                current->PutField(piece(i + 1), piece(i + 2), piece(i + 3));
                break;
            case 1:
                current->PutBoundary(pieces[i + 1].isEmpty() ? std::nullopt
                                                             : std::optional<QString>(piece(i + 1)));
                break;
            case 2:
                current = message.AddPart();
                break;
            case 3:
                current = current->AddPart();
                break;
            case 4:
                current->PutText(pieces[i + 1]);
                break;
            case 5:
                current->PutTransferEncoding(QString::fromLatin1(kEncodings[pieces[i + 1].size() % 4]));
                break;
            case 6:
                current->PutFileContent(piece(i + 1), pieces[i + 2]);
                break;
            default:
                current->SetParameter(piece(i + 1), piece(i + 2), piece(i + 3));
                break;
        }
    }
    const qint64 measured = message.MeasureSize();
    QByteArray buffer(measured + 8, '\x7F');
    const qint64 written = message.WriteTo(buffer.data(), measured);
    if (written > measured || buffer.right(8) != QByteArray(8, '\x7F')) __builtin_trap();
    return 0;
}
