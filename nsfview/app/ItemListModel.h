#pragma once
// The rows of the item list: the documents of the listed folder, the last entry on top. Rows are
// added in batches at the top, so a large folder fills while the window keeps answering.

#include "nsfview/core/PreviewScan.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <vector>

class ItemListModel : public QAbstractTableModel {
  public:
    explicit ItemListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void Clear();
    // Shows records[from, to) above the rows already shown, the later ones higher up.
    void AddOnTop(const std::vector<ItemRecord>& records, std::size_t from, std::size_t to);
    // The record shown in `row`: its index in the folder's entry order.
    std::size_t RecordIndex(int row) const { return shown_.size() - 1 - static_cast<std::size_t>(row); }

  private:
    std::vector<ItemRecord> shown_;  // in entry order
    QIcon clip_;
};
