#include "common/pst/PstStore.h"

#include <QFileInfo>
#include <unistd.h>

#include "common/pst/PstContext.h"
#include "common/pst/PstItemData.h"

namespace {

// Every save commits (the order of writes keeps a killed process's file valid), but only the
// store decides when the commit's syncs reach the disk: see PstContext::Sync.
constexpr qint64 kSyncIntervalMs = 5000;

}  // namespace

class SyncDeferringIo : public pst::FileIo {
  public:
    explicit SyncDeferringIo(std::unique_ptr<pst::FileIo> inner) : inner_(std::move(inner)) {}
    bool Read(uint64_t off, void* buf, size_t n) override { return inner_->Read(off, buf, n); }
    bool Write(uint64_t off, const void* buf, size_t n) override { return inner_->Write(off, buf, n); }
    bool Sync() override { return deferred_ ? true : inner_->Sync(); }
    uint64_t Size() override { return inner_->Size(); }
    bool RealSync() { return inner_->Sync(); }
    void SetDeferred(bool d) { deferred_ = d; }

  private:
    std::unique_ptr<pst::FileIo> inner_;
    bool deferred_ = true;
};

void PstContext::Fail(const QString& what, const std::string& why) {
    lastError = why.empty() ? what : what + QStringLiteral(": ") + QString::fromStdString(why);
    if (sink) sink(lastError);
}

bool PstContext::Sync() {
    if (!io) return false;
    sinceSync.restart();
    if (io->RealSync()) return true;
    Fail(QStringLiteral("PST file cannot be synced"), {});
    return false;
}

bool PstContext::Commit(const QString& what) {
    if (!store) return false;
    if (!Twice(*this, what, [&](std::string& err) {
            auto st = store->Commit();
            err = st.error();
            return st.ok();
        }))
        return false;
    if (!sinceSync.isValid() || sinceSync.elapsed() >= kSyncIntervalMs) return Sync();
    return true;
}

// ---- session ----

PstSession::PstSession() : ctx_(std::make_shared<PstContext>()) {}

PstSession::~PstSession() {
    LogOff();
}

PstStore PstSession::OpenStore(const QString& path, int formatCode, const QString& displayName) {
    PstStore out;
    if (ctx_->store) {
        ctx_->Fail(QStringLiteral("a store is already open in this session"), {});
        return out;
    }
    if (formatCode != 1) {
        ctx_->Fail(QStringLiteral("store format %1 is not offered").arg(formatCode), {});
        return out;
    }
    const std::string p = QFile::encodeName(path).toStdString();
    const bool exists = QFileInfo::exists(path);
    auto attempt = [&](std::string& err) {
        auto file = pst::OpenPosixFile(p, true, !exists, err);
        if (!file) return false;
        auto io = std::make_unique<SyncDeferringIo>(std::move(file));
        SyncDeferringIo* raw = io.get();
        // A new file is laid down with its syncs, so that it exists whole before it is used.
        if (!exists) raw->SetDeferred(false);
        auto store = exists ? pst::Store::OpenOn(std::move(io), true)
                            : pst::Store::CreateOn(std::move(io), displayName.toStdString());
        if (!store) {
            err = store.error();
            if (!exists) ::unlink(p.c_str());
            return false;
        }
        raw->SetDeferred(true);
        ctx_->store = std::move(*store);
        ctx_->io = raw;
        return true;
    };
    if (!Twice(*ctx_, QStringLiteral("PST file cannot be opened: ") + path, attempt)) return out;
    ctx_->path = path;
    ctx_->sinceSync.start();
    out.ctx_ = ctx_;
    return out;
}

void PstSession::LogOff() {
    if (!ctx_->store) return;
    ctx_->Commit(QStringLiteral("PST file cannot be committed"));
    ctx_->Sync();
    ctx_->store.reset();
    ctx_->io = nullptr;
}

QString PstSession::LastError() const {
    return ctx_->lastError;
}

void PstSession::SetErrorSink(std::function<void(const QString&)> sink) {
    ctx_->sink = std::move(sink);
}

// ---- store ----

QString PstStore::DisplayName() const {
    if (!ctx_ || !ctx_->store) return {};
    return QString::fromStdString(ctx_->store->DisplayName());
}

PstFolder PstStore::TopFolder() const {
    PstFolder f;
    if (!ctx_ || !ctx_->store) return f;
    f.ctx_ = ctx_;
    f.nid_ = ctx_->store->IpmSubtree().value();
    return f;
}

bool PstStore::Flush() {
    if (!ctx_ || !ctx_->store) return false;
    return ctx_->Commit(QStringLiteral("PST file cannot be committed")) && ctx_->Sync();
}
