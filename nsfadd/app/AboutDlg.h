#pragma once
// The About box of the Help menu: the program's title, its purpose and version.

#include <QDialog>

class CQuenmarkAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CQuenmarkAboutDlg(QWidget* owner = nullptr);
};
