#include "nsfadd/app/MigrationDlg.h"

#include "nsfadd/app/DialogUnits.h"
#include "nsfadd/app/WindowParts.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>

namespace {
enum Column { kPath = 0, kStatus = 1 };
enum Role { kServerRole = Qt::UserRole + 1, kOutputFolderRole };
}  // namespace

MigrationDlg::MigrationDlg(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("MigrationDlg"));
    setWindowTitle(QStringLiteral("nsfadd"));
    setFont(DialogUnits::DialogFont());
    const DialogUnits du(font());
    setFixedSize(du.Size(500, 330));
    (new Banner(this))->setGeometry(du.Rect(0, 0, 500, 50));

    rows_ = new QTableWidget(0, 2, this);
    rows_->setObjectName(QStringLiteral("rows"));
    rows_->setGeometry(du.Rect(7, 57, 486, 222));
    rows_->horizontalHeader()->hide();
    rows_->verticalHeader()->hide();
    rows_->setShowGrid(false);
    rows_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    rows_->setSelectionBehavior(QAbstractItemView::SelectRows);
    rows_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    rows_->setWordWrap(false);
    rows_->setHorizontalHeaderLabels({QStringLiteral("File Path/FileName"), QStringLiteral("Status")});
    rows_->horizontalHeader()->setStretchLastSection(true);
    rows_->setColumnWidth(kPath, du.X(486) - du.X(90));
    rows_->verticalHeader()->setDefaultSectionSize(du.Y(11));

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setGeometry(du.Rect(7, 287, 486, 11));
    progress_->setRange(0, 1);
    progress_->setValue(0);

    close_ = ImageButton(this, QStringLiteral("Close"), QStringLiteral("Close the application."),
                         QStyle::SP_DialogCloseButton);
    close_->setObjectName(QStringLiteral("close"));
    close_->setGeometry(du.Rect(425, 307, 68, 16));
    connect(close_, &QPushButton::clicked, this, &MigrationDlg::closeRequested);
    new DragAnywhere(this);
}

QString MigrationDlg::StatusText(FileStatus status) {
    switch (status) {
        case FileStatus::Pending:
            return QStringLiteral("Pending");
        case FileStatus::Processing:
            return QStringLiteral("Processing...");
        case FileStatus::Completed:
            return QStringLiteral("Completed");
    }
    return {};
}

int MigrationDlg::AppendRow(const QString& text) {
    const int row = rows_->rowCount();
    rows_->insertRow(row);
    auto* item = new QTableWidgetItem(text);
    item->setToolTip(text);
    rows_->setItem(row, kPath, item);
    rows_->scrollToBottom();
    return row;
}

void MigrationDlg::AddFileRow(const FileRow& file, const QString& outputFolder) {
    const int row = AppendRow(file.path);
    rows_->item(row, kPath)->setData(kServerRole, file.server);
    rows_->item(row, kPath)->setData(kOutputFolderRole, outputFolder);
    rows_->setItem(row, kStatus, new QTableWidgetItem(StatusText(FileStatus::Pending)));
    fileRows_.push_back(row);
}

void MigrationDlg::SetFileStatus(int fileIndex, FileStatus status) {
    if (fileIndex < 0 || fileIndex >= int(fileRows_.size())) return;
    rows_->item(fileRows_[std::size_t(fileIndex)], kStatus)->setText(StatusText(status));
}

void MigrationDlg::AddActivityRow(const QString& text) {
    rows_->setSpan(AppendRow(text), kPath, 1, 2);
}

void MigrationDlg::SetProgressRange(int low, int high) {
    progress_->setRange(low, std::max(low, high));
}

void MigrationDlg::SetProgressPosition(int position) {
    progress_->setValue(position);
}

void MigrationDlg::keyPressEvent(QKeyEvent* event) {
    // Enter and Escape do nothing here.
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape)
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

void MigrationDlg::closeEvent(QCloseEvent* event) {
    // The window's own close box asks the same question as the Close button.
    event->ignore();
    emit closeRequested();
}
