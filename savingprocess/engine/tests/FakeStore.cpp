#include "FakeStore.h"

#include <QFile>

bool FakeStoreItem::Import(const QString& path, ImportType type) {
    item_->imports << QString::number(static_cast<int>(type)) + u':' + path;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) item_->importedContent = QString::fromUtf8(file.readAll());
    return true;
}

namespace {

class FakeSession : public StoreSession {
  public:
    explicit FakeSession(FakeStore& store) : store_(store) {}
    bool Open(const QString&) override {
        ++store_.opens;
        return !store_.failOpen;
    }
    std::unique_ptr<StoreFolder> FolderByPath(const QString& path) override {
        auto found = store_.byPath.find(path);
        if (found == store_.byPath.end()) return nullptr;
        return std::make_unique<FakeStoreFolder>(found->second);
    }
    std::unique_ptr<StoreFolder> DefaultFolder(DefaultFolderCode code) override {
        auto found = store_.byCode.find(code);
        if (found == store_.byCode.end()) return nullptr;
        return std::make_unique<FakeStoreFolder>(found->second);
    }
    void LogOff() override { ++store_.logOffs; }

  private:
    FakeStore& store_;
};

}  // namespace

std::unique_ptr<StoreSession> FakeStore::Session() {
    return std::make_unique<FakeSession>(*this);
}
