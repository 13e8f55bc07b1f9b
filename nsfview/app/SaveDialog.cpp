#include "SaveDialog.h"

#include "AdvancedDialog.h"
#include "common/saveoptions/SaveOptions.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

namespace {

QPushButton* Button(QWidget* parent, const QString& text, const char* icon = nullptr) {
    auto* button =
        icon ? new QPushButton(QIcon(QStringLiteral(":/icons/%1.png").arg(QLatin1String(icon))), text, parent)
             : new QPushButton(text, parent);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

savefilterDlg::savefilterDlg(RunOptions& options, ViewerUi& ui, QWidget* parent)
    : UnitDialog(parent, 407, 275), options_(options), ui_(ui) {
    ViewerUi::LoadPictures();
    setWindowTitle(ViewerUi::Title());
    setObjectName(QStringLiteral("saveDialog"));

    auto* folderGroup = new QGroupBox(QStringLiteral("Select folder path:"), this);
    Place(folderGroup, 20, 12, 368, 35);
    path_ = new QLineEdit(this);
    Place(path_, 26, 24, 333, 14);
    Name(path_, QStringLiteral("folderPath"), tr("Folder path"));
    auto* browse = Button(this, QStringLiteral("..."));
    Place(browse, 364, 22, 20, 16);
    Name(browse, QStringLiteral("browseFolder"), tr("Browse for folder"), tr("Select Folder"));
    connect(browse, &QPushButton::clicked, this, &savefilterDlg::Browse);

    auto* rangeGroup = new QGroupBox(QStringLiteral("Specify Date Range"), this);
    Place(rangeGroup, 21, 53, 368, 166);
    predefined_ = new QRadioButton(QStringLiteral("Predefine Time Period"), this);
    Place(predefined_, 45, 67, 85, 10);
    Name(predefined_, QStringLiteral("predefinedPeriod"), QStringLiteral("Predefine Time Period"));
    period_ = new QComboBox(this);
    Place(period_, 43, 82, 324, 14);
    Name(period_, QStringLiteral("periodList"), tr("Time period"));
    period_->addItems(saveoptions::PeriodNames());
    manual_ = new QRadioButton(QStringLiteral("Specify TimePeriod Manually"), this);
    Place(manual_, 45, 104, 106, 10);
    Name(manual_, QStringLiteral("manualPeriod"), QStringLiteral("Specify TimePeriod Manually"));
    connect(predefined_, &QRadioButton::toggled, this, &savefilterDlg::SwitchHalves);

    auto* startLabel = new QLabel(QStringLiteral("Start Date:"), this);
    Place(startLabel, 45, 120, 36, 10);
    start_ = new QDateTimeEdit(ui_.Now(), this);
    Place(start_, 82, 118, 68, 15);
    Name(start_, QStringLiteral("startDate"), QStringLiteral("Start Date:"));
    auto* endLabel = new QLabel(QStringLiteral("End Date:"), this);
    Place(endLabel, 176, 120, 34, 10);
    end_ = new QDateTimeEdit(ui_.Now(), this);
    Place(end_, 211, 118, 74, 15);
    Name(end_, QStringLiteral("endDate"), QStringLiteral("End Date:"));
    startLabel->setBuddy(start_);
    endLabel->setBuddy(end_);
    for (QDateTimeEdit* picker : {start_, end_}) {
        picker->setCalendarPopup(true);
        picker->setDisplayFormat(QStringLiteral("M/d/yyyy"));
    }

    rangeList_ = new QTreeWidget(this);
    Place(rangeList_, 41, 137, 266, 69);
    Name(rangeList_, QStringLiteral("rangeList"), tr("Date ranges"));
    rangeList_->setHeaderLabels({QStringLiteral("Start Date"), QStringLiteral("End Date")});
    rangeList_->setRootIsDecorated(false);
    rangeList_->setColumnWidth(0, 160);
    rangeList_->setColumnWidth(1, 160);
    add_ = Button(this, tr("&Add"), "add");
    Place(add_, 315, 148, 55, 18);
    Name(add_, QStringLiteral("addRange"), tr("Add"), QStringLiteral("Add"));
    connect(add_, &QPushButton::clicked, this, &savefilterDlg::Add);
    remove_ = Button(this, tr("&Remove"), "remove");
    Place(remove_, 315, 170, 55, 18);
    Name(remove_, QStringLiteral("removeRange"), tr("Remove"), QStringLiteral("Remove"));
    connect(remove_, &QPushButton::clicked, this, &savefilterDlg::Remove);

    auto* advanced = Button(this, tr("Ad&vance setting"), "settings");
    Place(advanced, 19, 225, 75, 18);
    Name(advanced, QStringLiteral("advanceSetting"), tr("Advance setting"),
         QStringLiteral("Advance setting"));
    connect(advanced, &QPushButton::clicked, this, &savefilterDlg::Advanced);
    auto* ok = Button(this, tr("&OK"), "ok");
    Place(ok, 157, 254, 55, 18);
    Name(ok, QStringLiteral("okButton"), tr("OK"), QStringLiteral("OK"));
    connect(ok, &QPushButton::clicked, this, &savefilterDlg::Ok);
    auto* cancel = Button(this, tr("&Cancel"), "close");
    Place(cancel, 217, 254, 55, 18);
    Name(cancel, QStringLiteral("cancelButton"), tr("Cancel"), QStringLiteral("Close the application"));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    // Opening: the predefined half, "All Time", no ranges.
    predefined_->setChecked(true);
    period_->setCurrentIndex(0);
    options_.dateRanges.clear();
    SwitchHalves();
    setTabOrder(path_, browse);
    setTabOrder(browse, predefined_);
    setTabOrder(predefined_, period_);
    setTabOrder(period_, manual_);
    setTabOrder(manual_, start_);
    setTabOrder(start_, end_);
    setTabOrder(end_, rangeList_);
    setTabOrder(rangeList_, add_);
    setTabOrder(add_, remove_);
    setTabOrder(remove_, advanced);
    setTabOrder(advanced, ok);
    setTabOrder(ok, cancel);
}

void savefilterDlg::Browse() {
    const QString folder = ui_.ChooseFolder(QStringLiteral("Select Folder"));
    if (!folder.isEmpty()) path_->setText(folder);
}

void savefilterDlg::SwitchHalves() {
    const bool predefined = predefined_->isChecked();
    period_->setEnabled(predefined);
    for (QWidget* w : std::initializer_list<QWidget*>{start_, end_, rangeList_, add_, remove_})
        w->setEnabled(!predefined);
}

void savefilterDlg::Add() {
    const QDateTime start = start_->dateTime();
    const QDateTime end = end_->dateTime();
    switch (saveoptions::AddManualRange(ranges_, start, end)) {
        case saveoptions::AddRange::EndBeforeStart:
            ui_.Message(QString::fromLatin1(saveoptions::msg::kEndBeforeStart));
            return;
        case saveoptions::AddRange::AlreadyListed:
            return;
        case saveoptions::AddRange::Added:
            options_.dateRanges = ranges_;
            new QTreeWidgetItem(rangeList_,
                                {saveoptions::RangeRowText(start), saveoptions::RangeRowText(end)});
            return;
    }
}

void savefilterDlg::Remove() {
    QTreeWidgetItem* row = rangeList_->currentItem();
    if (!row || !row->isSelected()) return;
    const int at = rangeList_->indexOfTopLevelItem(row);
    delete row;
    if (at >= 0 && at < static_cast<int>(ranges_.size())) ranges_.erase(ranges_.begin() + at);
    options_.dateRanges = ranges_;
}

void savefilterDlg::Ok() {
    saveoptions::SaveDialogChoices choices;
    choices.folderPath = path_->text();
    choices.manual = manual_->isChecked();
    choices.periodIndex = period_->currentIndex();
    choices.manualRanges = ranges_;
    const QString refusal = saveoptions::ApplySaveDialog(choices, ui_.Now(), options_);
    if (!refusal.isEmpty()) {
        ui_.Message(refusal);
        return;
    }
    accept();
}

void savefilterDlg::Advanced() {
    Advancesettingdlg dialog(options_, ui_, this);
    ui_.Run(dialog);
}
