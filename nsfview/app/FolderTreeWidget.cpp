#include "FolderTreeWidget.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>

namespace {

// Gives access to the style option the delegate paints an item with.
class ItemDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::initStyleOption;
    using QStyledItemDelegate::QStyledItemDelegate;
};

Qt::CheckState Shown(CheckState state) {
    switch (state) {
        case CheckState::Checked:
            return Qt::Checked;
        case CheckState::Mixed:
            return Qt::PartiallyChecked;
        default:
            return Qt::Unchecked;
    }
}

}  // namespace

FolderTreeWidget::FolderTreeWidget(QWidget* parent) : QTreeWidget(parent) {
    setItemDelegate(new ItemDelegate(this));
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAllColumnsShowFocus(true);
    setUniformRowHeights(true);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    setExpandsOnDoubleClick(true);
}

void FolderTreeWidget::Show(const FolderTree& tree) {
    clear();
    items_.clear();
    for (int i = 0; i < tree.Size(); ++i) {
        const TreeItem& source = tree.Item(i);
        auto* item =
            source.parent < 0 ? new QTreeWidgetItem(this) : new QTreeWidgetItem(ItemAt(source.parent));
        item->setText(0, source.text);
        item->setIcon(0,
                      QIcon(QStringLiteral(":/icons/tree_%1.png").arg(source.icon, 2, 10, QLatin1Char('0'))));
        item->setData(0, Qt::UserRole, i);
        item->setData(0, Qt::UserRole + 1, static_cast<qulonglong>(source.noteId));
        item->setToolTip(0, source.text);
        // The tree decides the check states; the view only shows them.
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        if (source.bold) {
            QFont bold = item->font(0);
            bold.setBold(true);
            item->setFont(0, bold);
        }
        items_.push_back(item);
    }
    ShowChecks(tree);
    // Parents expand as their children are made; the database item last.
    for (int i = 0; i < tree.Size(); ++i)
        if (!tree.Item(i).children.empty()) items_[static_cast<std::size_t>(i)]->setExpanded(true);
}

void FolderTreeWidget::ShowChecks(const FolderTree& tree) {
    for (int i = 0; i < tree.Size() && i < static_cast<int>(items_.size()); ++i)
        items_[static_cast<std::size_t>(i)]->setCheckState(0, Shown(tree.State(i)));
}

QTreeWidgetItem* FolderTreeWidget::ItemAt(int index) const {
    return index >= 0 && index < static_cast<int>(items_.size()) ? items_[static_cast<std::size_t>(index)]
                                                                 : nullptr;
}

int FolderTreeWidget::IndexOf(const QTreeWidgetItem* item) const {
    return item ? item->data(0, Qt::UserRole).toInt() : -1;
}

QStyleOptionViewItem FolderTreeWidget::OptionFor(const QTreeWidgetItem* item) const {
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QModelIndex index = indexFromItem(item);
    option.rect = visualRect(index);
    static_cast<ItemDelegate*>(itemDelegate())->initStyleOption(&option, index);
    return option;
}

QRect FolderTreeWidget::TextRect(const QTreeWidgetItem* item) const {
    const QStyleOptionViewItem option = OptionFor(item);
    QRect text = style()->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    text.setWidth(
        std::min(text.width(), QFontMetrics(option.font).horizontalAdvance(option.text) + 2 * margin));
    return text;
}

QRect FolderTreeWidget::CheckRect(const QTreeWidgetItem* item) const {
    const QStyleOptionViewItem option = OptionFor(item);
    return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
}

void FolderTreeWidget::mousePressEvent(QMouseEvent* event) {
    swallowRelease_ = false;
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    if (item && event->button() == Qt::LeftButton) {
        const QPoint at = event->position().toPoint();
        if (CheckRect(item).contains(at)) {
            swallowRelease_ = true;
            emit checkClicked(item);
            return;
        }
        if (TextRect(item).contains(at)) {
            setCurrentItem(item);
            swallowRelease_ = true;
            emit textClicked(item);
            return;
        }
    }
    QTreeWidget::mousePressEvent(event);
}

void FolderTreeWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (swallowRelease_) {
        swallowRelease_ = false;
        return;
    }
    QTreeWidget::mouseReleaseEvent(event);
}

void FolderTreeWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    // The first press of a double click already toggled or listed; the second one does nothing
    // on the check box or the text, and expands or collapses elsewhere.
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    if (item && (CheckRect(item).contains(event->position().toPoint()) ||
                 TextRect(item).contains(event->position().toPoint()))) {
        swallowRelease_ = true;
        return;
    }
    QTreeWidget::mouseDoubleClickEvent(event);
}

void FolderTreeWidget::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && currentItem()) {
        emit checkClicked(currentItem());
        return;
    }
    QTreeWidget::keyPressEvent(event);
}
