#pragma once
// "Advance setting": the database options, the sources of the address translation and the
// custom folder names. Opening resets the translation options and both tables.

#include "DialogUnits.h"
#include "ViewerUi.h"
#include "common/handoff/RunOptions.h"

#include <map>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

class Advancesettingdlg : public UnitDialog {
  public:
    Advancesettingdlg(RunOptions& options, ViewerUi& ui, QWidget* parent = nullptr);

  private:
    void ApplyEnabling();
    void FolderChosen();
    void SaveMapping();
    void Ok();

    RunOptions& options_;
    ViewerUi& ui_;
    std::map<QString, QString> folderMap_;
    QCheckBox* excludeAll_ = nullptr;
    QCheckBox* removeEncryption_ = nullptr;
    QCheckBox* saveDocLinks_ = nullptr;
    QCheckBox* saveHeader_ = nullptr;
    QCheckBox* translation_ = nullptr;
    QCheckBox* nsfSource_ = nullptr;
    QLineEdit* nsfPath_ = nullptr;
    QPushButton* nsfBrowse_ = nullptr;
    QCheckBox* csvSource_ = nullptr;
    QLineEdit* csvPath_ = nullptr;
    QPushButton* csvBrowse_ = nullptr;
    QLineEdit* sample_ = nullptr;
    QCheckBox* smtpManual_ = nullptr;
    QComboBox* smtpPattern_ = nullptr;
    QLineEdit* domain_ = nullptr;
    QCheckBox* mapping_ = nullptr;
    QComboBox* folder_ = nullptr;
    QLineEdit* newName_ = nullptr;
    QPushButton* save_ = nullptr;
};
