// Import of interchange files into an item.
#include <QFile>
#include <QFileInfo>

#include "common/pst/PstProps.h"
#include "common/pst/PstStore.h"

namespace {

// Values the item already has win over the file's: the callers set properties from the
// document's own fields, which carry more than the interchange file.
void MergeImported(PstItemData& d, PstItemData& in) {
    for (auto& [id, v] : in.msg.props)
        if (id != pst::PidTagMessageFlags) d.msg.props.emplace(id, v);
    if (auto f = in.msg.props.find(pst::PidTagMessageFlags);
        f != in.msg.props.end() && f->second.data.size() == 4)
        PstSetFlag(d, 0x8, pst::AsLong(f->second) & 0x8);
    for (uint32_t type = 1; type <= 3; ++type) {
        auto ofType = [type](const pst::Recipient& r) {
            auto it = r.props.find(pst::PidTagRecipientType);
            return it != r.props.end() && (pst::AsLong(it->second) & 0xF) == type;
        };
        if (std::any_of(d.msg.recipients.begin(), d.msg.recipients.end(), ofType)) continue;
        for (auto& r : in.msg.recipients)
            if (ofType(r)) d.msg.recipients.push_back(std::move(r));
    }
    const bool havePhoto =
        std::any_of(d.msg.attachments.begin(), d.msg.attachments.end(),
                    [](const pst::Attachment& a) { return a.props.count(pstprops::kAttachContactPhoto); });
    for (auto& a : in.msg.attachments)
        if (!(havePhoto && a.props.count(pstprops::kAttachContactPhoto)))
            d.msg.attachments.push_back(std::move(a));
}

}  // namespace

bool PstItem::Import(const QString& path, int type) {
    if (!d_) return false;
    // The item stays as it was unless the whole file was read: importers fill a scratch item.
    QString why;
    for (int attempt = 0; attempt < 2; ++attempt) {
        PstItemData in;
        in.ctx = d_->ctx;
        in.folder = d_->folder;
        in.messageClass = d_->messageClass;
        bool ok = false;
        switch (type) {
            case kPstImportEml:
                ok = PstImportEml(in, path, why);
                break;
            case kPstImportVcf:
                ok = PstImportVcf(in, path, why);
                break;
            case kPstImportIcs:
                ok = PstImportIcs(in, path, why);
                break;
            case kPstImportGroupText:
                ok = PstImportGroupText(in, path, why);
                break;
            default:
                why = QStringLiteral("unknown import type %1").arg(type);
                attempt = 1;
                break;
        }
        if (ok) {
            MergeImported(*d_, in);
            return true;
        }
    }
    d_->ctx->Fail(QStringLiteral("file cannot be imported: ") + path, why.toStdString());
    return false;
}
