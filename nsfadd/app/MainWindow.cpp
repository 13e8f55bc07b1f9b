#include "nsfadd/app/MainWindow.h"

#include "common/handoff/HandoffPaths.h"
#include "common/handoff/RunLog.h"
#include "nsfadd/app/DialogUnits.h"
#include "nsfadd/app/MigrationDlg.h"
#include "nsfadd/app/UserDialogs.h"
#include "nsfadd/app/WindowParts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QTimer>

// The add and search loops reach the list, status line and progress bar through the window's
// thread; they wait for each call, as a window message sent from a worker would.
class CCHarbexFirstDlgDlg::Sink : public FileListSink {
  public:
    explicit Sink(CCHarbexFirstDlgDlg* window) : w_(window) {}
    bool Contains(const QString& path) override {
        bool listed = false;
        OnThreadOf(w_, [&] { listed = w_->files_.Contains(path); });
        return listed;
    }
    void Append(const QString& path) override {
        OnThreadOf(w_, [&] { w_->AppendRow(path); });
    }
    int RowCount() override {
        int count = 0;
        OnThreadOf(w_, [&] { count = w_->files_.Count(); });
        return count;
    }
    void Status(const QString& text) override {
        OnThreadOf(w_, [&] { w_->status_->setText(text); });
    }
    void ShowProgress(bool shown, int range, bool animated) override {
        OnThreadOf(w_, [&] { w_->ShowProgress(shown, range, animated); });
    }
    void Progress(int position) override {
        OnThreadOf(w_, [&] { w_->progress_->setValue(position); });
    }
    void Message(const QString& text) override {
        OnThreadOf(w_, [&] { w_->dialogs_.Message(w_, text); });
    }

  private:
    CCHarbexFirstDlgDlg* w_;
};

// Messages of the conversion go to whichever launcher window is shown.
class CCHarbexFirstDlgDlg::Prompts : public ConversionPrompts {
  public:
    explicit Prompts(CCHarbexFirstDlgDlg* window) : w_(window) {}
    void Message(const QString& text) override {
        OnThreadOf(w_, [&] { w_->dialogs_.Message(Owner(), text); });
    }
    bool Question(const QString& text) override {
        bool yes = false;
        OnThreadOf(w_, [&] { yes = w_->dialogs_.Question(Owner(), text); });
        return yes;
    }

  private:
    QWidget* Owner() const {
        if (w_->progressWindow_ && w_->progressWindow_->isVisible()) return w_->progressWindow_;
        return w_;
    }
    CCHarbexFirstDlgDlg* w_;
};

class CCHarbexFirstDlgDlg::Observer : public ConversionObserver {
  public:
    explicit Observer(CCHarbexFirstDlgDlg* window) : w_(window) {}
    void ConversionStarting() override {
        OnThreadOf(w_, [&] { w_->ShowProgressWindow(); });
    }
    void FileRowAdded(int, const FileRow& row, const QString& outputFolder) override {
        OnProgressWindow([&](MigrationDlg& d) { d.AddFileRow(row, outputFolder); });
    }
    void FileStatusChanged(int index, FileStatus status) override {
        OnProgressWindow([&](MigrationDlg& d) { d.SetFileStatus(index, status); });
    }
    void ActivityRow(const QString& text) override {
        OnProgressWindow([&](MigrationDlg& d) { d.AddActivityRow(text); });
    }
    void ProgressRange(int low, int high) override {
        OnProgressWindow([&](MigrationDlg& d) { d.SetProgressRange(low, high); });
    }
    void ProgressPosition(int position) override {
        OnProgressWindow([&](MigrationDlg& d) { d.SetProgressPosition(position); });
    }

  private:
    template <class Call>
    void OnProgressWindow(Call&& call) {
        OnThreadOf(w_, [&] {
            if (w_->progressWindow_) call(*w_->progressWindow_);
        });
    }
    CCHarbexFirstDlgDlg* w_;
};

CCHarbexFirstDlgDlg::CCHarbexFirstDlgDlg(LauncherState& state, UserDialogs& dialogs, ChildLauncher& launcher,
                                         std::function<void()> endProcess, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      state_(state),
      dialogs_(dialogs),
      launcher_(launcher),
      endProcess_(std::move(endProcess)),
      prompts_(std::make_unique<Prompts>(this)),
      sink_(std::make_unique<Sink>(this)),
      observer_(std::make_unique<Observer>(this)) {
    setObjectName(QStringLiteral("CCHarbexFirstDlgDlg"));
    setWindowTitle(QStringLiteral("nsfadd"));
    setWindowIcon(style()->standardIcon(QStyle::SP_DriveHDIcon));
    setFont(DialogUnits::DialogFont());
    const DialogUnits du(font());
    setFixedSize(du.Size(500, 330));
    setAutoFillBackground(true);
    (new Banner(this))->setGeometry(du.Rect(0, 0, 500, 50));

    (new QGroupBox(QStringLiteral("Select folder path for log file:"), this))
        ->setGeometry(du.Rect(7, 54, 486, 30));
    logFolder_ = new QLineEdit(this);
    logFolder_->setObjectName(QStringLiteral("logFolder"));
    logFolder_->setReadOnly(true);
    // Read-only fields take no keyboard focus: Tab goes from button to button.
    logFolder_->setFocusPolicy(Qt::NoFocus);
    logFolder_->setGeometry(du.Rect(14, 65, 440, 13));
    auto* browse = new QPushButton(QStringLiteral("..."), this);
    browse->setObjectName(QStringLiteral("browse"));
    browse->setAutoDefault(false);
    browse->setGeometry(du.Rect(458, 64, 28, 15));

    (new QGroupBox(QStringLiteral("Add File(s)"), this))->setGeometry(du.Rect(7, 87, 486, 32));
    struct ButtonRow {
        const char* name;
        const char* caption;
        const char* tooltip;
        QStyle::StandardPixmap image;
        void (CCHarbexFirstDlgDlg::*command)();
    };
    const ButtonRow rowButtons[] = {
        {"add", "Add NSF File(s)", "Add NSF files", QStyle::SP_FileDialogNewFolder,
         &CCHarbexFirstDlgDlg::AddFiles},
        {"search", "Search NSF File(s)", "Search NSF files", QStyle::SP_FileDialogContentsView,
         &CCHarbexFirstDlgDlg::SearchFiles},
        {"remove", "Remove File", "Remove selected NSF files", QStyle::SP_DialogDiscardButton,
         &CCHarbexFirstDlgDlg::RemoveSelected},
        {"removeAll", "Remove All", "Remove All NSF files", QStyle::SP_TrashIcon,
         &CCHarbexFirstDlgDlg::RemoveAll},
        {"preview", "Preview", "Preview for nsf file", QStyle::SP_FileDialogDetailedView,
         &CCHarbexFirstDlgDlg::Preview},
    };
    double x = 14;
    for (const ButtonRow& b : rowButtons) {
        QPushButton* button =
            ImageButton(this, QString::fromLatin1(b.caption), QString::fromLatin1(b.tooltip), b.image);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setGeometry(du.Rect(x, 98, 90, 16));
        connect(button, &QPushButton::clicked, this, b.command);
        x += 94.5;
    }
    connect(browse, &QPushButton::clicked, this, &CCHarbexFirstDlgDlg::ChooseLogFolder);

    list_ = new QTableWidget(0, 1, this);
    list_->setObjectName(QStringLiteral("list"));
    list_->setGeometry(du.Rect(7, 123, 486, 140));
    list_->setHorizontalHeaderLabels({QStringLiteral("File Path")});
    list_->setColumnWidth(0, 500);
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->verticalHeader()->hide();
    list_->setShowGrid(true);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setWordWrap(false);
    list_->verticalHeader()->setDefaultSectionSize(du.Y(10));

    status_ = new QLineEdit(QStringLiteral("Select NSF file for conversion."), this);
    status_->setObjectName(QStringLiteral("status"));
    status_->setReadOnly(true);
    status_->setFocusPolicy(Qt::NoFocus);
    status_->setGeometry(du.Rect(7, 267, 486, 13));

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setGeometry(du.Rect(7, 285, 400, 11));
    progress_->setTextVisible(false);
    progress_->hide();
    QPushButton* stop =
        ImageButton(this, QStringLiteral("Stop"), QStringLiteral("Stop the process"), QStyle::SP_BrowserStop);
    stop->setObjectName(QStringLiteral("stop"));
    stop->setGeometry(du.Rect(425, 283, 68, 15));
    stop->hide();
    connect(stop, &QPushButton::clicked, this, &CCHarbexFirstDlgDlg::Stop);

    QPushButton* help =
        ImageButton(this, QStringLiteral("Help"), QStringLiteral("Help."), QStyle::SP_MessageBoxQuestion);
    help->setObjectName(QStringLiteral("help"));
    help->setGeometry(du.Rect(7, 307, 68, 16));
    auto* menu = new QMenu(help);
    connect(menu->addAction(QStringLiteral("Help")), &QAction::triggered, this, [this] {
        dialogs_.Open(
            QUrl(QStringLiteral("https://github.com/nsfconvert/nsfconvert/blob/main/docs/nsfadd.md")));
    });
    connect(menu->addAction(QStringLiteral("Software HomePage")), &QAction::triggered, this,
            [this] { dialogs_.Open(QUrl(QStringLiteral("https://github.com/nsfconvert/nsfconvert"))); });
    connect(menu->addAction(QStringLiteral("About")), &QAction::triggered, this,
            [this] { dialogs_.About(this); });
    help->setMenu(menu);

    QPushButton* exportButton = ImageButton(
        this, QStringLiteral("Export"), QStringLiteral("Export nsf file(s)"), QStyle::SP_DialogSaveButton);
    exportButton->setObjectName(QStringLiteral("export"));
    exportButton->setGeometry(du.Rect(353, 307, 68, 16));
    connect(exportButton, &QPushButton::clicked, this, &CCHarbexFirstDlgDlg::Export);
    QPushButton* close = ImageButton(this, QStringLiteral("Close"), QStringLiteral("Close the application."),
                                     QStyle::SP_DialogCloseButton);
    close->setObjectName(QStringLiteral("close"));
    close->setGeometry(du.Rect(425, 307, 68, 16));
    connect(close, &QPushButton::clicked, this, &CCHarbexFirstDlgDlg::Close);

    animation_ = new QTimer(this);
    animation_->setInterval(100);
    connect(animation_, &QTimer::timeout, this, &CCHarbexFirstDlgDlg::Animate);
    new DragAnywhere(this);
}

CCHarbexFirstDlgDlg::~CCHarbexFirstDlgDlg() {
    // A worker calls into this window; it is let finish first.
    for (QThread* worker : workers_) {
        while (!worker->wait(10)) QCoreApplication::processEvents();
    }
}

QPushButton* CCHarbexFirstDlgDlg::Button(const QString& objectName) const {
    return findChild<QPushButton*>(objectName);
}

bool CCHarbexFirstDlgDlg::WorkerRunning() const {
    return !workers_.empty();
}

void CCHarbexFirstDlgDlg::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape)
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

void CCHarbexFirstDlgDlg::AppendRow(const QString& path) {
    if (!files_.Append(path)) return;
    const int row = list_->rowCount();
    list_->insertRow(row);
    auto* item = new QTableWidgetItem(path);
    item->setToolTip(path);
    list_->setItem(row, 0, item);
    list_->scrollToBottom();
}

void CCHarbexFirstDlgDlg::ShowProgress(bool shown, int range, bool animated) {
    progress_->setVisible(shown);
    Button(QStringLiteral("stop"))->setVisible(shown);
    if (shown) {
        progress_->setRange(0, animated ? 1000 : std::max(range, 1));
        progress_->setValue(0);
    }
    if (shown && animated)
        animation_->start();
    else
        animation_->stop();
}

void CCHarbexFirstDlgDlg::Animate() {
    const AnimationStep step = NextAnimationStep(progress_->value());
    if (step.resetRange) progress_->setRange(0, 1000);
    progress_->setValue(step.position);
}

void CCHarbexFirstDlgDlg::StartWorker(std::function<void()> work, std::function<void()> then) {
    QThread* worker = QThread::create(std::move(work));
    workers_.push_back(worker);
    connect(worker, &QThread::finished, this, [this, worker, then = std::move(then)] {
        std::erase(workers_, worker);
        worker->deleteLater();
        if (then) then();
        emit workerFinished();
    });
    worker->start();
}

void CCHarbexFirstDlgDlg::ChooseLogFolder() {
    const QString folder = dialogs_.ChooseFolder(this, QStringLiteral("Select Folder"));
    const QString refusal = ::ChooseLogFolder(state_, folder);
    if (!refusal.isEmpty()) {
        dialogs_.Message(this, refusal);
        return;
    }
    logFolder_->setText(folder);
}

void CCHarbexFirstDlgDlg::AddFiles() {
    const QString refusal = ListCommandRefusal(state_, ListCommand::Add, logFolder_->text());
    if (!refusal.isEmpty()) {
        dialogs_.Message(this, refusal);
        return;
    }
    dialogs_.Message(this, QStringLiteral("Please make sure that nsf files are not corrupt."));
    const std::optional<QStringList> chosen = dialogs_.ChooseDatabases(this);
    StartWorker(
        [this, chosen] { ::AddFiles(state_, *sink_, chosen.value_or(QStringList()), chosen.has_value()); });
}

void CCHarbexFirstDlgDlg::SearchFiles() {
    const QString refusal = ListCommandRefusal(state_, ListCommand::Search, logFolder_->text());
    if (!refusal.isEmpty()) {
        dialogs_.Message(this, refusal);
        return;
    }
    dialogs_.Message(this, QStringLiteral("Please make sure that nsf files are not corrupt."));
    const QString folder = dialogs_.ChooseFolder(this, QStringLiteral("Select folder to search file(s)"));
    StartWorker([this, folder] { SearchFolder(state_, *sink_, folder); });
}

void CCHarbexFirstDlgDlg::RemoveSelected() {
    std::vector<int> selected;
    for (const QModelIndex& index : list_->selectionModel()->selectedRows()) selected.push_back(index.row());
    const RemoveResult result = ::RemoveSelected(state_, files_, selected);
    if (!result.message.isEmpty()) {
        dialogs_.Message(this, result.message);
        return;
    }
    std::sort(selected.begin(), selected.end(), std::greater<>());
    for (int row : selected) list_->removeRow(row);
    status_->setText(result.status);
}

void CCHarbexFirstDlgDlg::RemoveAll() {
    const RemoveResult result = ::RemoveAll(state_, files_);
    if (!result.message.isEmpty()) {
        dialogs_.Message(this, result.message);
        return;
    }
    list_->setRowCount(0);
    status_->setText(result.status);
}

void CCHarbexFirstDlgDlg::Stop() {
    StopRequest(state_, *prompts_);
}

int CCHarbexFirstDlgDlg::SelectionMark() const {
    const int current = list_->currentRow();
    if (current < 0 || !list_->selectionModel()->isRowSelected(current, {})) return -1;
    return current;
}

void CCHarbexFirstDlgDlg::ShowProgressWindow() {
    if (!progressWindow_) {
        progressWindow_ = new MigrationDlg(this);
        connect(progressWindow_, &MigrationDlg::closeRequested, this, &CCHarbexFirstDlgDlg::Close);
    }
    hide();
    progressWindow_->show();
}

void CCHarbexFirstDlgDlg::BackToList() {
    show();
    if (progressWindow_) progressWindow_->deleteLater();
    progressWindow_ = nullptr;
}

void CCHarbexFirstDlgDlg::Preview() {
    if (progressWindow_) return;  // a conversion runs already
    PreviewSetup setup{&state_,       &launcher_,     observer_.get(), prompts_.get(), logFolder_->text(),
                       files_.Rows(), SelectionMark()};
    auto end = std::make_shared<PreviewEnd>(PreviewEnd::Refused);
    StartWorker([setup, end] { *end = RunPreview(setup); },
                [this, end] {
                    switch (*end) {
                        case PreviewEnd::Back:
                        case PreviewEnd::NotStarted:
                            BackToList();
                            break;
                        case PreviewEnd::CloseAsked:
                            Close();
                            break;
                        default:
                            break;
                    }
                });
}

void CCHarbexFirstDlgDlg::Export() {
    if (progressWindow_) return;  // a conversion runs already
    const QString folder = logFolder_->text();
    if (!folder.isEmpty() && QFileInfo::exists(folder))
        state_.logFilePath = WithTrailingSeparator(folder) + RunLog::FileName();
    state_.previewRun = false;
    const std::vector<FileRow> rows = files_.Rows();
    const FileRow lastPreview = state_.lastPreview;
    auto confirmed = std::make_shared<bool>(false);
    StartWorker(
        [this, folder, rows, lastPreview, confirmed] {
            Conversion conversion(
                {{}, &launcher_, observer_.get(), prompts_.get(), &state_.keepGoing, nullptr, false});
            QString optionsOutputFolder;
            if (!conversion.PrepareExport(folder, rows, lastPreview, &optionsOutputFolder)) return;
            *confirmed = true;
            conversion.ExportLoop(rows, optionsOutputFolder);
        },
        [this, confirmed] {
            if (!*confirmed) BackToList();
        });
}

void CCHarbexFirstDlgDlg::Close() {
    if (CloseRequest(state_, *prompts_)) endProcess_();
}
