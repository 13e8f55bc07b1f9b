#include "ItemListModel.h"

namespace {
constexpr int kColumns = 5;
}

ItemListModel::ItemListModel(QObject* parent)
    : QAbstractTableModel(parent), clip_(QStringLiteral(":/icons/clip.png")) {}

int ItemListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int ItemListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant ItemListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const std::size_t at = RecordIndex(index.row());
    const ItemRecord& record = shown_[at];
    switch (role) {
        case Qt::DisplayRole:
            switch (index.column()) {
                case 1:
                    return record.to;
                case 2:
                    return record.from;
                case 3:
                    return record.subject;
                case 4:
                    return record.dateText;
                default:
                    return {};
            }
        case Qt::DecorationRole:
            if (index.column() == 0 && record.hasAttachment) return clip_;
            return {};
        case Qt::AccessibleTextRole:
            if (index.column() == 0) return record.hasAttachment ? tr("Attachment") : QString();
            return data(index, Qt::DisplayRole);
        case Qt::UserRole:
            return static_cast<qulonglong>(at);
        default:
            return {};
    }
}

QVariant ItemListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    static const char* const kHeaders[kColumns] = {"", "To", "From", "Subject", "Date/Time"};
    if (role == Qt::DisplayRole) return QString::fromLatin1(kHeaders[section]);
    if (role == Qt::DecorationRole && section == 0) return clip_;
    if (role == Qt::AccessibleTextRole && section == 0) return tr("Attachment");
    return {};
}

void ItemListModel::Clear() {
    beginResetModel();
    shown_.clear();
    endResetModel();
}

void ItemListModel::AddOnTop(const std::vector<ItemRecord>& records, std::size_t from, std::size_t to) {
    if (to <= from) return;
    beginInsertRows({}, 0, static_cast<int>(to - from) - 1);
    shown_.insert(shown_.end(), records.begin() + static_cast<std::ptrdiff_t>(from),
                  records.begin() + static_cast<std::ptrdiff_t>(to));
    endInsertRows();
}
