#include "AdvancedDialog.h"

#include "common/saveoptions/SaveOptions.h"
#include "nsfview/core/PreviewScan.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

Advancesettingdlg::Advancesettingdlg(RunOptions& options, ViewerUi& ui, QWidget* parent)
    : UnitDialog(parent, 390, 310), options_(options), ui_(ui) {
    setWindowTitle(QStringLiteral("Advance setting"));
    setObjectName(QStringLiteral("advancedDialog"));
    const auto check = [this](const QString& text, const QString& object, int x, int y, int w, int h) {
        auto* box = new QCheckBox(text, this);
        Place(box, x, y, w, h);
        Name(box, object, text);
        return box;
    };
    const auto edit = [this](const QString& object, const QString& accessible, int x, int y, int w, int h) {
        auto* line = new QLineEdit(this);
        Place(line, x, y, w, h);
        Name(line, object, accessible);
        return line;
    };
    const auto label = [this](const QString& text, QWidget* buddy, int x, int y, int w, int h) {
        auto* l = new QLabel(text, this);
        Place(l, x, y, w, h);
        if (buddy) l->setBuddy(buddy);
        return l;
    };
    const auto button = [this](const QString& text, const QString& object, const QString& accessible, int x,
                               int y, int w, int h) {
        auto* b = new QPushButton(text, this);
        Place(b, x, y, w, h);
        Name(b, object, accessible);
        return b;
    };

    auto* database = new QGroupBox(QStringLiteral("Database Option:"), this);
    Place(database, 20, 9, 351, 37);
    excludeAll_ =
        check(QStringLiteral("Exclude All Folder"), QStringLiteral("excludeAllFolder"), 27, 26, 72, 10);
    removeEncryption_ =
        check(QStringLiteral("Remove Encryption"), QStringLiteral("removeEncryption"), 121, 26, 78, 10);
    saveDocLinks_ = check(QStringLiteral("Save DocLink"), QStringLiteral("saveDocLink"), 211, 26, 58, 10);
    saveHeader_ =
        check(QStringLiteral("Save Internet Header"), QStringLiteral("saveInternetHeader"), 283, 26, 86, 10);

    translation_ = check(QStringLiteral("Email Address Translation:"), QStringLiteral("addressTranslation"),
                         18, 51, 100, 10);
    nsfSource_ = check(QStringLiteral("Add  NSF File:"), QStringLiteral("addNsfFile"), 30, 66, 61, 10);
    nsfPath_ =
        edit(QStringLiteral("namesNsfPath"), QStringLiteral("Select Names.nsf File:"), 122, 77, 156, 14);
    label(QStringLiteral("Select Names.nsf File:"), nsfPath_, 40, 80, 80, 10);
    nsfBrowse_ = button(QStringLiteral("..."), QStringLiteral("browseNamesNsf"), tr("Browse for names.nsf"),
                        283, 77, 22, 14);
    csvSource_ = check(QStringLiteral("Add CSV File:"), QStringLiteral("addCsvFile"), 30, 105, 59, 10);
    csvPath_ = edit(QStringLiteral("csvPath"), QStringLiteral("Select .Csv File:"), 108, 116, 169, 14);
    label(QStringLiteral("Select .Csv File:"), csvPath_, 40, 119, 66, 10);
    csvBrowse_ = button(QStringLiteral("..."), QStringLiteral("browseCsv"), tr("Browse for CSV file"), 283,
                        115, 22, 14);
    sample_ = edit(QStringLiteral("sampleCsv"), QStringLiteral("File Format of CSV File Should be like :"),
                   174, 135, 145, 17);
    sample_->setReadOnly(true);
    label(QStringLiteral("File Format of CSV File Should be like :"), sample_, 45, 137, 128, 10);
    smtpManual_ =
        check(QStringLiteral("Set SMTP Manually"), QStringLiteral("setSmtpManually"), 30, 163, 76, 10);
    smtpPattern_ = new QComboBox(this);
    Place(smtpPattern_, 97, 177, 144, 14);
    Name(smtpPattern_, QStringLiteral("smtpFormat"), QStringLiteral("SMTP Format:"));
    label(QStringLiteral("SMTP Format:"), smtpPattern_, 40, 179, 55, 10);
    domain_ = edit(QStringLiteral("domainName"), QStringLiteral("Domain Name:"), 98, 194, 92, 14);
    label(QStringLiteral("Domain Name:"), domain_, 40, 197, 55, 10);
    auto* readMore = button(QStringLiteral("Read More..."), QStringLiteral("readMore"),
                            QStringLiteral("Read More..."), 253, 195, 64, 17);
    connect(readMore, &QPushButton::clicked, this, [this] { ui_.OpenUrl(ViewerUi::HomepageUrl()); });

    mapping_ =
        check(QStringLiteral("Custom Folder(s) Mapping:"), QStringLiteral("folderMapping"), 18, 227, 102, 10);
    folder_ = new QComboBox(this);
    Place(folder_, 112, 243, 103, 14);
    Name(folder_, QStringLiteral("selectFolder"), QStringLiteral("Select Folder:"));
    label(QStringLiteral("Select Folder:"), folder_, 40, 245, 70, 10);
    newName_ =
        edit(QStringLiteral("changeFolderName"), QStringLiteral("Change Folder Name:"), 112, 263, 105, 14);
    label(QStringLiteral("Change Folder Name:"), newName_, 30, 266, 80, 10);
    save_ = button(tr("&Save"), QStringLiteral("saveMapping"), tr("Save"), 222, 264, 52, 15);
    connect(save_, &QPushButton::clicked, this, &Advancesettingdlg::SaveMapping);

    auto* ok = button(tr("&OK"), QStringLiteral("okButton"), tr("OK"), 141, 292, 50, 15);
    ok->setToolTip(QStringLiteral("OK"));
    connect(ok, &QPushButton::clicked, this, &Advancesettingdlg::Ok);
    auto* cancel = button(tr("&Cancel"), QStringLiteral("cancelButton"), tr("Cancel"), 196, 292, 50, 15);
    cancel->setToolTip(QStringLiteral("Cancel"));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(nsfBrowse_, &QPushButton::clicked, this, [this] { nsfPath_->setText(ui_.ChooseFile()); });
    connect(csvBrowse_, &QPushButton::clicked, this, [this] { csvPath_->setText(ui_.ChooseFile()); });
    for (QCheckBox* box : {translation_, nsfSource_, csvSource_, smtpManual_, mapping_})
        connect(box, &QCheckBox::clicked, this, &Advancesettingdlg::ApplyEnabling);

    // Opening.
    if (options_.selectionMode == 1) {
        excludeAll_->setChecked(false);
        excludeAll_->setEnabled(false);
    } else {
        excludeAll_->setChecked(true);
    }
    nsfSource_->setChecked(true);
    csvSource_->setChecked(true);
    smtpManual_->setChecked(true);
    ApplyEnabling();
    sample_->setText(QDir::toNativeSeparators(
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("sample.csv"))));
    smtpPattern_->addItems(saveoptions::SmtpPatternNames());
    folder_->addItems(saveoptions::StandardFolderNames());
    smtpPattern_->setCurrentIndex(0);
    folder_->setCurrentIndex(0);
    connect(folder_, &QComboBox::currentIndexChanged, this, &Advancesettingdlg::FolderChosen);
    saveoptions::ResetAdvancedSettings(options_);
    folderMap_ = saveoptions::EmptyFolderMap();
}

void Advancesettingdlg::ApplyEnabling() {
    const bool translation = translation_->isChecked();
    for (QCheckBox* box : {nsfSource_, csvSource_, smtpManual_}) box->setEnabled(translation);
    const bool nsf = translation && nsfSource_->isChecked();
    nsfPath_->setEnabled(nsf);
    nsfBrowse_->setEnabled(nsf);
    const bool csv = translation && csvSource_->isChecked();
    csvPath_->setEnabled(csv);
    csvBrowse_->setEnabled(csv);
    sample_->setEnabled(csv);
    const bool smtp = translation && smtpManual_->isChecked();
    smtpPattern_->setEnabled(smtp);
    domain_->setEnabled(smtp);
    const bool mapping = mapping_->isChecked();
    folder_->setEnabled(mapping);
    newName_->setEnabled(mapping);
    save_->setEnabled(mapping);
}

void Advancesettingdlg::FolderChosen() {
    newName_->clear();
    const QString custom = folderMap_[folder_->currentText()];
    if (!custom.isEmpty()) newName_->setText(custom);
}

void Advancesettingdlg::SaveMapping() {
    if (folder_->currentIndex() < 0) return;
    const QString name = newName_->text();
    if (!saveoptions::IsValidCustomFolderName(name)) {
        ui_.Message(QString::fromLatin1(saveoptions::msg::kInvalidFolderName));
        return;
    }
    folderMap_[folder_->currentText()] = name;
    ui_.Message(QString::fromLatin1(saveoptions::msg::kFolderMappingSaved));
}

void Advancesettingdlg::Ok() {
    saveoptions::AdvancedChoices choices;
    choices.selectionMode = options_.selectionMode == 1;
    choices.excludeAllFolder = excludeAll_->isChecked();
    choices.removeEncryption = removeEncryption_->isChecked();
    choices.saveDocLinks = saveDocLinks_->isChecked();
    choices.saveInternetHeader = saveHeader_->isChecked();
    choices.addressTranslation = translation_->isChecked();
    choices.smtpManual = smtpManual_->isChecked();
    choices.smtpPattern = smtpPattern_->currentIndex();
    choices.smtpDomain = domain_->text();
    choices.csvSource = csvSource_->isChecked();
    choices.csvPath = csvPath_->text();
    choices.namesNsfSource = nsfSource_->isChecked();
    choices.namesNsfPath = nsfPath_->text();
    choices.folderMapping = mapping_->isChecked();
    choices.folderMap = folderMap_;
    choices.beforeNamesNsf = [this] { ui_.Message(QString::fromLatin1(viewtext::kNamesNsfWait)); };
    const QString refusal = saveoptions::ApplyAdvancedSettings(choices, options_);
    if (!refusal.isEmpty()) {
        ui_.Message(refusal);
        return;
    }
    accept();
}
