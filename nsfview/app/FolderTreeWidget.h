#pragma once
// The check-box tree of the preview. It shows a FolderTree; a press on an item's check box, or
// Space, asks for a toggle, and only a press on an item's text asks for a listing.

#include "nsfview/core/FolderTree.h"

#include <QTreeWidget>

#include <vector>

class FolderTreeWidget : public QTreeWidget {
    Q_OBJECT
  public:
    explicit FolderTreeWidget(QWidget* parent = nullptr);

    // Rebuilds the items from `tree` (item i of the widget stands for item i of the tree).
    void Show(const FolderTree& tree);
    // Updates the check boxes after the tree's flags changed.
    void ShowChecks(const FolderTree& tree);
    QTreeWidgetItem* ItemAt(int index) const;
    int IndexOf(const QTreeWidgetItem* item) const;

    // Where an item's parts are, in viewport coordinates.
    QRect TextRect(const QTreeWidgetItem* item) const;
    QRect CheckRect(const QTreeWidgetItem* item) const;

  signals:
    void textClicked(QTreeWidgetItem* item);
    void checkClicked(QTreeWidgetItem* item);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QStyleOptionViewItem OptionFor(const QTreeWidgetItem* item) const;
    std::vector<QTreeWidgetItem*> items_;
    bool swallowRelease_ = false;
};
