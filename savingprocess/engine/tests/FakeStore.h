#pragma once
// A store in memory for the engine's tests: folders by path and default code, items with what
// was set on them, and switches for the failures the dumps must handle.

#include "savingprocess/engine/SaveStore.h"

#include <QStringList>

#include <map>
#include <memory>
#include <vector>

struct FakeItem {
    QString messageClass;
    std::map<ItemProp, QString> texts;
    std::map<ItemProp, std::int64_t> numbers;
    std::map<ItemProp, QDateTime> dates;
    QStringList members;
    QStringList imports;  // "type:path" in call order
    QString importedContent;
    QString sourceId;
    bool saved = false;
};

struct FakeFolderData {
    std::vector<std::shared_ptr<FakeItem>> items;
    bool refuseItems = false;
    int sourceIdReads = 0;
    std::vector<const FakeItem*> Saved() const {
        std::vector<const FakeItem*> out;
        for (const auto& item : items)
            if (item->saved) out.push_back(item.get());
        return out;
    }
};

class FakeStoreItem : public StoreItem {
  public:
    explicit FakeStoreItem(std::shared_ptr<FakeItem> item) : item_(std::move(item)) {}
    bool SetText(ItemProp prop, const QString& value) override { return item_->texts[prop] = value, true; }
    bool SetNumber(ItemProp prop, std::int64_t value) override { return item_->numbers[prop] = value, true; }
    bool SetBool(ItemProp prop, bool value) override { return item_->numbers[prop] = value ? 1 : 0, true; }
    bool SetDate(ItemProp prop, const QDateTime& value) override { return item_->dates[prop] = value, true; }
    bool AddMember(const QString& name, const QString&, const QString&) override {
        item_->members << name;
        return true;
    }
    bool AddPicture(const QString& path) override { return item_->texts[ItemProp::User3] = path, true; }
    bool Import(const QString& path, ImportType type) override;
    bool SetSourceId(const QString& id) override { return item_->sourceId = id, true; }
    bool Save() override { return item_->saved = true; }

  private:
    std::shared_ptr<FakeItem> item_;
};

class FakeStoreFolder : public StoreFolder {
  public:
    explicit FakeStoreFolder(FakeFolderData& data) : data_(data) {}
    std::unique_ptr<StoreItem> AddItem(const QString& messageClass) override {
        if (data_.refuseItems) return nullptr;
        auto item = std::make_shared<FakeItem>();
        item->messageClass = messageClass;
        data_.items.push_back(item);
        return std::make_unique<FakeStoreItem>(item);
    }
    std::unordered_set<QString> SourceIds() override {
        ++data_.sourceIdReads;
        std::unordered_set<QString> ids;
        for (const FakeItem* item : data_.Saved()) ids.insert(item->sourceId);
        return ids;
    }

  private:
    FakeFolderData& data_;
};

class FakeStore {
  public:
    std::map<QString, FakeFolderData> byPath;
    std::map<DefaultFolderCode, FakeFolderData> byCode;
    bool failOpen = false;
    int opens = 0;
    int logOffs = 0;

    std::unique_ptr<StoreSession> Session();
};
