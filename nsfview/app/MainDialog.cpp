#include "MainDialog.h"

#include "FolderTreeWidget.h"
#include "ItemListModel.h"
#include "SaveDialog.h"
#include "Workers.h"
#include "common/handoff/FolderList.h"
#include "common/handoff/HandoffPaths.h"
#include "common/saveoptions/SaveOptions.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

namespace {

// Rows shown per turn of the event loop while a folder fills the list.
constexpr std::size_t kRowsPerBatch = 1000;

QPushButton* ImageButton(QWidget* parent, const QString& text, const char* icon) {
    auto* button =
        new QPushButton(QIcon(QStringLiteral(":/icons/%1.png").arg(QLatin1String(icon))), text, parent);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

CLotusNotesDlg::CLotusNotesDlg(ViewerSession& session, ViewerUi& ui, QWidget* parent)
    : UnitDialog(parent, 500, 330), session_(session), ui_(ui) {
    ViewerUi::LoadPictures();
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setWindowTitle(ViewerUi::Title());
    setWindowIcon(QIcon(QStringLiteral(":/icons/tree_00.png")));
    session_.KeepRunning() = 1;
    BuildControls();
}

CLotusNotesDlg::~CLotusNotesDlg() {
    // A window closed while a worker runs stops it and waits, so no worker outlives the window.
    for (QThread* worker : {static_cast<QThread*>(scan_), static_cast<QThread*>(list_)})
        if (worker && worker->isRunning()) {
            session_.KeepRunning() = 0;
            worker->wait();
        }
}

void CLotusNotesDlg::BuildControls() {
    banner_ = new QLabel(this);
    Place(banner_, 0, 0, 500, 50);
    banner_->setPixmap(QPixmap(QStringLiteral(":/icons/banner.png")));
    banner_->setScaledContents(true);
    Name(banner_, QStringLiteral("banner"), tr("nsfview banner"));

    treeView_ = new FolderTreeWidget(this);
    Place(treeView_, 7, 58, 138, 209);
    Name(treeView_, QStringLiteral("folderTree"), tr("Folders"));
    connect(treeView_, &FolderTreeWidget::textClicked, this, &CLotusNotesDlg::FolderClicked);
    connect(treeView_, &FolderTreeWidget::checkClicked, this, &CLotusNotesDlg::CheckClicked);

    listModel_ = new ItemListModel(this);
    listView_ = new QTableView(this);
    listView_->setModel(listModel_);
    Place(listView_, 145, 58, 348, 210);
    Name(listView_, QStringLiteral("itemList"), tr("Items"));
    listView_->setShowGrid(true);
    listView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    listView_->setSelectionMode(QAbstractItemView::SingleSelection);
    listView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listView_->setWordWrap(false);
    listView_->setTabKeyNavigation(false);
    listView_->verticalHeader()->hide();
    listView_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    listView_->verticalHeader()->setDefaultSectionSize(listView_->fontMetrics().height() + 4);
    listView_->horizontalHeader()->setHighlightSections(false);
    const int widths[] = {24, 100, 100, 200, 100};
    for (int c = 0; c < 5; ++c) listView_->setColumnWidth(c, widths[c]);

    status_ = new QPlainTextEdit(this);
    Place(status_, 9, 273, 484, 14);
    status_->setReadOnly(true);
    status_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    status_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    status_->setFocusPolicy(Qt::NoFocus);
    status_->document()->setDocumentMargin(1);
    Name(status_, QStringLiteral("statusLine"), tr("Status"));

    progress_ = new QProgressBar(this);
    Place(progress_, 8, 293, 427, 10);
    progress_->setTextVisible(false);
    Name(progress_, QStringLiteral("progress"), tr("Progress"));

    stop_ = ImageButton(this, tr("&Stop"), "stop");
    Place(stop_, 439, 288, 55, 18);
    Name(stop_, QStringLiteral("stopButton"), tr("Stop"), QStringLiteral("Stop the process"));
    connect(stop_, &QPushButton::clicked, this, &CLotusNotesDlg::Stop);

    help_ = ImageButton(this, tr("&Help"), "help");
    Place(help_, 5, 307, 55, 18);
    Name(help_, QStringLiteral("helpButton"), tr("Help"), QStringLiteral("Help."));
    auto* menu = new QMenu(help_);
    menu->setObjectName(QStringLiteral("helpMenu"));
    menu->addAction(QStringLiteral("Help"), this, [this] { ui_.OpenUrl(ViewerUi::ManualUrl()); });
    menu->addAction(QStringLiteral("Software Homepage"), this,
                    [this] { ui_.OpenUrl(ViewerUi::HomepageUrl()); });
    menu->addAction(QStringLiteral("About"), this, &CLotusNotesDlg::ShowAbout);
    help_->setMenu(menu);

    export_ = ImageButton(this, tr("E&xport"), "export");
    Place(export_, 380, 307, 55, 18);
    Name(export_, QStringLiteral("exportButton"), tr("Export"), QStringLiteral("Preview of selected file"));
    connect(export_, &QPushButton::clicked, this, &CLotusNotesDlg::Export);

    close_ = ImageButton(this, tr("&Close"), "close");
    Place(close_, 440, 307, 55, 18);
    Name(close_, QStringLiteral("closeButton"), tr("Close"), QStringLiteral("Close the application."));
    connect(close_, &QPushButton::clicked, this, &CLotusNotesDlg::CloseClicked);

    setTabOrder(treeView_, listView_);
    setTabOrder(listView_, stop_);
    setTabOrder(stop_, help_);
    setTabOrder(help_, export_);
    setTabOrder(export_, close_);
    SetWorkerVisible(false);
}

QString CLotusNotesDlg::StatusText() const {
    return status_->toPlainText();
}

void CLotusNotesDlg::SetStatus(const QString& text) {
    status_->setPlainText(text);
}

void CLotusNotesDlg::SetWorkerVisible(bool visible) {
    progress_->setVisible(visible);
    stop_->setVisible(visible);
}

void CLotusNotesDlg::Initialize() {
    session_.KeepRunning() = 1;
    started_ = session_.Start(ui_);
    if (!started_) return;
    StartRoutine();
}

void CLotusNotesDlg::StartRoutine() {
    tree_.Clear();
    folders_.clear();
    treeView_->clear();
    listModel_->Clear();
    SetStatus({});
    if (session_.Mode() == ViewerMode::Preview || session_.Mode() == ViewerMode::SaveOptions) {
        // The windows start from the values the dialogs show, with the constants the program
        // always writes; the run log stays where the start put it.
        const QString logPath = session_.Options().logPath;
        session_.Options() = saveoptions::DialogDefaults();
        session_.Options().logPath = logPath;
    }
    session_.Options().counterMode = 0;
    switch (session_.Mode()) {
        case ViewerMode::Preview:
            session_.Options().selectionMode = 1;
            session_.Options().includeAllFolder = 1;
            StartScan();
            break;
        case ViewerMode::SaveOptions:
            RunSaveOptionsMode();
            break;
        case ViewerMode::Listing: {
            treeView_->hide();
            listView_->hide();
            export_->hide();
            close_->hide();
            QThread* worker = QThread::create([this] { session_.RunListing(); });
            connect(worker, &QThread::finished, this, &CLotusNotesDlg::ExitPath);
            connect(worker, &QThread::finished, worker, &QObject::deleteLater);
            worker->start();
            break;
        }
        case ViewerMode::Empty:
            break;
    }
}

void CLotusNotesDlg::RunSaveOptionsMode() {
    RunOptions& options = session_.Options();
    options.reservedFlag = 1;
    savefilterDlg dialog(options, ui_, this);
    if (ui_.Run(dialog) == QDialog::Accepted) {
        WriteRunOptions(HandoffFilePath(session_.CommandLine().handoffFolder, kRunOptionsFileName), options);
        WriteFolderListOutputFolder(session_.FolderListPath(), options.pstTargetFolder);
    } else {
        WriteFolderListStatus(session_.FolderListPath(), FolderStatus::NoResult);
    }
    ExitPath();
}

void CLotusNotesDlg::StartScan() {
    scanBusy_ = true;
    SetWorkerVisible(true);
    export_->setEnabled(false);
    close_->setEnabled(false);
    scan_ = new ScanThread(session_, this);
    connect(scan_, &ScanThread::status, this, &CLotusNotesDlg::SetStatus);
    connect(scan_, &ScanThread::progressRange, progress_,
            [this](int maximum) { progress_->setRange(0, maximum); });
    connect(scan_, &ScanThread::progressPosition, progress_, &QProgressBar::setValue);
    connect(scan_, &QThread::finished, this, &CLotusNotesDlg::ScanDone);
    scan_->start();
}

void CLotusNotesDlg::ScanDone() {
    PreviewScanResult& result = scan_->Result();
    tree_ = std::move(result.tree);
    folders_ = std::move(result.folders);
    treeView_->Show(tree_);
    scanBusy_ = false;
    SetWorkerVisible(false);
    export_->setEnabled(true);
    close_->setEnabled(true);
    const QString done = QString::fromLatin1(viewtext::kScanDone);
    ui_.Message(done);
    // Keys go to the window again once the box is gone, also on a desktop without a window
    // manager to hand the focus back.
    activateWindow();
    SetStatus(done);
    session_.Log().WriteLine(done);
    emit scanFinished();
}

void CLotusNotesDlg::CheckClicked(QTreeWidgetItem* item) {
    const int index = treeView_->IndexOf(item);
    if (index < 0) return;
    tree_.Toggle(index);
    treeView_->ShowChecks(tree_);
}

void CLotusNotesDlg::FolderClicked(QTreeWidgetItem* item) {
    // One worker at a time: a click during the scan or during a listing is refused, so two
    // listings never fill the list together.
    if (scanBusy_ || listing_) {
        if (QTreeWidgetItem* listed = treeView_->ItemAt(listedItem_))
            treeView_->setCurrentItem(listed);
        else
            treeView_->clearSelection();
        ui_.Message(QString::fromLatin1(viewtext::kBusy));
        return;
    }
    listedItem_ = treeView_->IndexOf(item);
    session_.KeepRunning() = 1;
    const QString started = viewtext::ListingStarted(item->text(0));
    SetStatus(started);
    session_.Log().WriteLine(started);

    listing_ = true;
    const auto noteId = static_cast<std::uint32_t>(item->data(0, Qt::UserRole + 1).toULongLong());
    listed_.clear();
    listModel_->Clear();
    SetWorkerVisible(true);
    session_.KeepRunning() = 1;
    list_ = new ItemListThread(session_, noteId, this);
    connect(list_, &ItemListThread::status, this, &CLotusNotesDlg::SetStatus);
    connect(list_, &ItemListThread::progressRange, progress_,
            [this](int maximum) { progress_->setRange(0, maximum); });
    connect(list_, &ItemListThread::progressPosition, progress_, &QProgressBar::setValue);
    connect(list_, &QThread::finished, this, &CLotusNotesDlg::ListDone);
    list_->start();
}

void CLotusNotesDlg::ListDone() {
    listed_ = std::move(list_->Records());
    list_->deleteLater();
    list_ = nullptr;
    filled_ = 0;
    progress_->setRange(0, static_cast<int>(listed_.size()));
    progress_->setValue(0);
    const QString filling = QString::fromLatin1(viewtext::kFilling);
    SetStatus(filling);
    session_.Log().WriteLine(filling);
    FillNextBatch();
}

void CLotusNotesDlg::FillNextBatch() {
    const std::size_t from = filled_;
    const std::size_t to = std::min(listed_.size(), from + kRowsPerBatch);
    std::size_t at = from;
    for (; at < to; ++at)
        if (session_.KeepRunning() == 0) {
            session_.KeepRunning() = 1;
            break;
        }
    listModel_->AddOnTop(listed_, from, at);
    filled_ = at;
    progress_->setValue(static_cast<int>(at));
    if (at < to || filled_ == listed_.size()) {
        EndListing();
        return;
    }
    QTimer::singleShot(0, this, &CLotusNotesDlg::FillNextBatch);
}

void CLotusNotesDlg::EndListing() {
    SetStatus(QString::fromLatin1(viewtext::kListed));
    const int rows = listModel_->rowCount();
    if (rows > 0) SetStatus(viewtext::ListedTotal(rows));
    session_.Log().WriteLine(QString::fromLatin1(viewtext::kFilling));
    session_.KeepRunning() = 0;
    SetWorkerVisible(false);
    listing_ = false;
    emit listingFinished();
}

void CLotusNotesDlg::Stop() {
    if (ui_.Ask(QString::fromLatin1(viewtext::kStopQuestion))) session_.KeepRunning() = 0;
}

void CLotusNotesDlg::Export() {
    RunOptions& options = session_.Options();
    options.includeAllFolder = 1;
    options.reservedFlag = 1;
    savefilterDlg dialog(options, ui_, this);
    if (ui_.Run(dialog) != QDialog::Accepted) return;
    if (tree_.ExportedCount() == 0) {
        ui_.Message(QString::fromLatin1(viewtext::kNoSelection));
        return;
    }
    WriteFolderListSelection(session_.FolderListPath(), tree_.SelectionRecords(folders_, options),
                             options.pstTargetFolder, QString());
    WriteRunOptions(HandoffFilePath(session_.CommandLine().handoffFolder, kRunOptionsFileName), options);
    ExitPath();
}

void CLotusNotesDlg::CloseClicked() {
    if (!ui_.Ask(QString::fromLatin1(viewtext::kStopQuestion))) return;
    if (started_) WriteFolderListStatus(session_.FolderListPath(), FolderStatus::Closed);
    reject();
    QCoreApplication::quit();
}

void CLotusNotesDlg::ShowAbout() {
    AboutBox about(this);
    ui_.Run(about);
}

void CLotusNotesDlg::ExitPath() {
    if (session_.Mode() == ViewerMode::SaveOptions) {
        accept();
        return;
    }
    session_.Log().Close();
    ui_.EndProcess();
}

void CLotusNotesDlg::mousePressEvent(QMouseEvent* event) {
    // The window has no title bar: pressing anywhere outside the controls drags it.
    if (event->button() == Qt::LeftButton) {
        dragging_ = true;
        dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
        event->accept();
        return;
    }
    UnitDialog::mousePressEvent(event);
}

void CLotusNotesDlg::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - dragOffset_);
        event->accept();
        return;
    }
    UnitDialog::mouseMoveEvent(event);
}

void CLotusNotesDlg::mouseReleaseEvent(QMouseEvent* event) {
    dragging_ = false;
    UnitDialog::mouseReleaseEvent(event);
}

void CLotusNotesDlg::paintEvent(QPaintEvent* event) {
    UnitDialog::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

AboutBox::AboutBox(QWidget* parent) : UnitDialog(parent, 220, 110) {
    setWindowTitle(tr("About nsfview"));
    auto* banner = new QLabel(this);
    Place(banner, 0, 0, 220, 40);
    banner->setPixmap(QPixmap(QStringLiteral(":/icons/banner.png")));
    banner->setScaledContents(true);
    Name(banner, QStringLiteral("aboutBanner"), tr("nsfview banner"));
    auto* name = new QLabel(QStringLiteral("nsfview"), this);
    QFont bold(QStringLiteral("Arial"));
    bold.setPixelSize(15);
    bold.setWeight(QFont::DemiBold);  // 600
    name->setFont(bold);
    Place(name, 10, 48, 200, 14);
    Name(name, QStringLiteral("aboutName"), QStringLiteral("nsfview"));
    auto* text = new QLabel(tr("Scans a Notes mail database and hands the chosen folders and save options on "
                               "for the conversion to Outlook PST."),
                            this);
    text->setWordWrap(true);
    Place(text, 10, 64, 200, 24);
    auto* ok = new QPushButton(tr("OK"), this);
    Place(ok, 85, 90, 50, 15);
    Name(ok, QStringLiteral("aboutOk"), tr("OK"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
