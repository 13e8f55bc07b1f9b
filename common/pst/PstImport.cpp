// Import of interchange files into an item.
#include <QFile>
#include <QFileInfo>

#include "common/pst/PstProps.h"
#include "common/pst/PstStore.h"

bool PstItem::Import(const QString& path, int type) {
    if (!d_) return false;
    // The item stays as it was unless the whole file was read: importers work on a copy.
    for (int attempt = 0; attempt < 2; ++attempt) {
        PstItemData copy = *d_;
        QString why;
        bool ok = false;
        switch (type) {
            case kPstImportEml:
                ok = PstImportEml(copy, path, why);
                break;
            case kPstImportVcf:
                ok = PstImportVcf(copy, path, why);
                break;
            case kPstImportIcs:
                ok = PstImportIcs(copy, path, why);
                break;
            case kPstImportGroupText:
                ok = PstImportGroupText(copy, path, why);
                break;
            default:
                why = QStringLiteral("unknown import type %1").arg(type);
                attempt = 1;
                break;
        }
        if (ok) {
            *d_ = std::move(copy);
            return true;
        }
        if (attempt == 1)
            d_->ctx->Fail(QStringLiteral("file cannot be imported: ") + path, why.toStdString());
    }
    return false;
}

bool PstImportEml(PstItemData&, const QString&, QString& why) {
    why = QStringLiteral("not yet");
    return false;
}
bool PstImportVcf(PstItemData&, const QString&, QString& why) {
    why = QStringLiteral("not yet");
    return false;
}
bool PstImportIcs(PstItemData&, const QString&, QString& why) {
    why = QStringLiteral("not yet");
    return false;
}
bool PstImportGroupText(PstItemData&, const QString&, QString& why) {
    why = QStringLiteral("not yet");
    return false;
}
void PstFinishItem(PstItemData&) {}
