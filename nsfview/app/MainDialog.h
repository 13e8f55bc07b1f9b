#pragma once
// The main window of nsfview: the banner, the folder tree, the item list, the status line, the
// progress bar and the buttons. It runs the start routine of the mode it was started in.

#include "DialogUnits.h"
#include "ViewerUi.h"
#include "nsfview/core/PreviewScan.h"

#include <QPoint>

class FolderTreeWidget;
class ItemListModel;
class ItemListThread;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableView;
class QTreeWidgetItem;
class ScanThread;

class CLotusNotesDlg : public UnitDialog {
    Q_OBJECT
  public:
    CLotusNotesDlg(ViewerSession& session, ViewerUi& ui, QWidget* parent = nullptr);
    ~CLotusNotesDlg() override;

    // Opens the hand-off files and runs the start routine of the mode. Mode 2 shows the save
    // dialog and ends the window.
    void Initialize();

    bool ScanBusy() const { return scanBusy_; }
    bool Listing() const { return listing_; }
    const FolderTree& Tree() const { return tree_; }
    FolderTreeWidget* TreeView() const { return treeView_; }
    ItemListModel* ListModel() const { return listModel_; }
    QString StatusText() const;

  signals:
    void scanFinished();
    void listingFinished();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void BuildControls();
    void StartRoutine();
    void RunSaveOptionsMode();
    void StartScan();
    void ScanDone();
    void FolderClicked(QTreeWidgetItem* item);
    void CheckClicked(QTreeWidgetItem* item);
    void ListDone();
    void FillNextBatch();
    void EndListing();
    void Stop();
    void Export();
    void CloseClicked();
    void ShowAbout();
    void ExitPath();
    void SetStatus(const QString& text);
    void SetWorkerVisible(bool visible);

    ViewerSession& session_;
    ViewerUi& ui_;
    bool started_ = false;  // "Folderpth.txt" was opened
    bool scanBusy_ = false;
    bool listing_ = false;
    FolderTree tree_;
    std::vector<ScannedFolder> folders_;
    std::vector<ItemRecord> listed_;
    std::size_t filled_ = 0;
    int listedItem_ = -1;
    ScanThread* scan_ = nullptr;
    ItemListThread* list_ = nullptr;
    QPoint dragOffset_;
    bool dragging_ = false;

    QLabel* banner_ = nullptr;
    FolderTreeWidget* treeView_ = nullptr;
    QTableView* listView_ = nullptr;
    ItemListModel* listModel_ = nullptr;
    QPlainTextEdit* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* help_ = nullptr;
    QPushButton* export_ = nullptr;
    QPushButton* close_ = nullptr;
};

// The About box: the banner, the program name and OK.
class AboutBox : public UnitDialog {
  public:
    explicit AboutBox(QWidget* parent = nullptr);
};
