#pragma once
// "Save as PST": the folder for the PST files and the date ranges, with the way to the advanced
// settings. On OK the choices are in the options; Cancel stores nothing.

#include "DialogUnits.h"
#include "ViewerUi.h"
#include "common/handoff/RunOptions.h"

#include <vector>

class QComboBox;
class QDateTimeEdit;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;

class savefilterDlg : public UnitDialog {
  public:
    savefilterDlg(RunOptions& options, ViewerUi& ui, QWidget* parent = nullptr);

  private:
    void Browse();
    void SwitchHalves();
    void Add();
    void Remove();
    void Ok();
    void Advanced();

    RunOptions& options_;
    ViewerUi& ui_;
    std::vector<DateRange> ranges_;  // the rows of the range list
    QLineEdit* path_ = nullptr;
    QRadioButton* predefined_ = nullptr;
    QRadioButton* manual_ = nullptr;
    QComboBox* period_ = nullptr;
    QDateTimeEdit* start_ = nullptr;
    QDateTimeEdit* end_ = nullptr;
    QTreeWidget* rangeList_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* remove_ = nullptr;
};
