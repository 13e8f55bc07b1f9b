#pragma once
// The progress window of Export and Preview: one row per file with its status, the activity
// rows of the conversion, a progress bar over the folders of the current file, and Close.

#include "nsfadd/core/Conversion.h"

#include <QWidget>

class QProgressBar;
class QPushButton;
class QTableWidget;

class MigrationDlg : public QWidget {
    Q_OBJECT
  public:
    explicit MigrationDlg(QWidget* owner = nullptr);

    // A file row: the path, its status; the server field and output folder are kept with it.
    void AddFileRow(const FileRow& row, const QString& outputFolder);
    void SetFileStatus(int fileIndex, FileStatus status);
    void AddActivityRow(const QString& text);
    void SetProgressRange(int low, int high);
    void SetProgressPosition(int position);

    QTableWidget* Rows() const { return rows_; }
    QProgressBar* Progress() const { return progress_; }
    QPushButton* CloseButton() const { return close_; }

    static QString StatusText(FileStatus status);

  signals:
    void closeRequested();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    int AppendRow(const QString& text);

    QTableWidget* rows_;
    QProgressBar* progress_;
    QPushButton* close_;
    std::vector<int> fileRows_;  // table row of each file row, by file index
};
