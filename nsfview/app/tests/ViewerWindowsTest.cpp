// The windows of nsfview driven as a person would: clicks on the tree, the buttons and the
// dialogs' controls, keys, with every message and question answered by the test.
#include "common/handoff/FolderList.h"
#include "common/handoff/HandoffPaths.h"
#include "common/notes/DxlBuilder.h"
#include "common/notes/Notes.h"
#include "common/saveoptions/SaveOptions.h"
#include "nsfadd/core/BatchExport.h"
#include "nsfview/app/AdvancedDialog.h"
#include "nsfview/app/FolderTreeWidget.h"
#include "nsfview/app/ItemListModel.h"
#include "nsfview/app/MainDialog.h"
#include "nsfview/app/SaveDialog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <functional>
#include <memory>

namespace {

// Answers the windows instead of a person.
class TestUi : public ViewerUi {
  public:
    QStringList messages;
    QStringList questions;
    QList<bool> answers;  // for the questions, in order; No when none is left
    std::function<int(QDialog&)> onDialog;
    QString chosenFolder;
    QString chosenFile;
    QList<QUrl> opened;
    QDateTime now{QDate(2026, 12, 13), QTime(14, 0)};  // a Sunday
    int ended = 0;

    void Message(const QString& text) override { messages << text; }
    bool Ask(const QString& text) override {
        questions << text;
        return !answers.isEmpty() && answers.takeFirst();
    }
    int Run(QDialog& dialog) override { return onDialog ? onDialog(dialog) : int(QDialog::Rejected); }
    QString ChooseFolder(const QString&) override { return chosenFolder; }
    QString ChooseFile() override { return chosenFile; }
    void OpenUrl(const QUrl& url) override { opened << url; }
    QDateTime Now() override { return now; }
    void EndProcess() override { ++ended; }
};

template <typename T>
T* Child(const QWidget& parent, const char* name) {
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    if (!child) qWarning("no child %s", name);
    return child;
}

void Click(const QWidget& parent, const char* name) {
    QTest::mouseClick(Child<QAbstractButton>(parent, name), Qt::LeftButton);
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The preview database: a nested folder listed before its parent, "($All)", an empty folder,
// a contact view, reply notices and ten mails in the inbox.
struct MailDatabase {
    QString path = QStringLiteral("/mem/viewer/mail.dxl");
    std::vector<NOTEID> mails;
    NOTEID contact = 0;
    MailDatabase() {
        DxlBuilder b;
        for (int i = 1; i <= 10; ++i) {
            auto& doc = b.AddDocument("Memo")
                            .Text("Subject", "Message " + std::to_string(i))
                            .Names("From", {"CN=Ann Lee/O=Acme"})
                            .Names("SendTo", {"CN=Bob Ray/O=Acme"})
                            .Date("PostedDate", "2018070" + std::to_string(i % 10) + "T090506,00+00");
            if (i == 3) doc.Attach("report.txt", "bytes");
            mails.push_back(doc.Id());
        }
        const NOTEID unsent =
            b.AddDocument("Memo").Text("Subject", "Draft").Created("20170102T030405,00+00").Id();
        const NOTEID notice = b.AddDocument("(ReplyNotice)").Text("Subject", "Re").Id();
        contact = b.AddDocument("Person").Text("FullNameInput", "Ann Lee").Text("FirstName", "Ann").Id();
        b.AddFolder("Inbox\\Old").Entry(mails[0]);
        b.AddFolder("($Inbox)").Entries(mails).Entry(notice);
        b.AddView("($All)").Entry(mails[0]);
        b.AddFolder("Empty");
        b.AddView("($People)").Entry(contact);
        b.AddFolder("Inbox Search").Entry(unsent).Entry(notice);
        b.AddFolder("My Notes").Entry(notice);
        b.Register(path);
    }
};

struct Handoff {
    QTemporaryDir dir;
    QString folder = dir.path() + QLatin1Char('/');
    explicit Handoff(bool withFolderList = true) {
        if (withFolderList) CreateEmptyFolderList(FolderList());
    }
    QString FolderList() const { return HandoffFilePath(folder, kFolderListFileName); }
    QString Config() const { return HandoffFilePath(folder, kRunOptionsFileName); }
    ChildCommandLine Line(const QString& database, const char* mode) const {
        return {database, QString(), QString::fromLatin1(mode), QString(), folder};
    }
};

// A main window of one run, shown (offscreen) so that clicks land where a person's would.
struct Viewer {
    ViewerSession session;
    TestUi ui;
    CLotusNotesDlg dialog;
    Viewer(const Handoff& handoff, const QString& database, const char* mode)
        : session(handoff.Line(database, mode)), dialog(session, ui) {
        dialog.show();
        if (!QTest::qWaitForWindowExposed(&dialog)) qWarning("window not exposed");
    }
    // Runs the start routine and waits for the scan of the preview.
    bool Scan() {
        QSignalSpy done(&dialog, &CLotusNotesDlg::scanFinished);
        dialog.Initialize();
        return done.count() > 0 || done.wait(20000);
    }
    FolderTreeWidget& Tree() { return *dialog.TreeView(); }
    QTreeWidgetItem* Item(int index) { return Tree().ItemAt(index); }
    void PressOn(QPoint at) { QTest::mouseClick(Tree().viewport(), Qt::LeftButton, {}, at); }
    void ClickText(int index) { PressOn(Tree().TextRect(Item(index)).center()); }
    void ClickCheck(int index) { PressOn(Tree().CheckRect(Item(index)).center()); }
    bool List(int index) {
        QSignalSpy done(&dialog, &CLotusNotesDlg::listingFinished);
        ClickText(index);
        return done.wait(20000);
    }
    QStringList Column(int column) {
        QStringList texts;
        auto* model = dialog.ListModel();
        for (int r = 0; r < model->rowCount(); ++r) texts << model->index(r, column).data().toString();
        return texts;
    }
};

// Fills the save dialog: a folder, and either a predefined period or manual ranges.
std::function<int(QDialog&)> SaveWith(const QString& folder, int period = 0,
                                      std::function<void(QDialog&)> more = {}) {
    return [folder, period, more](QDialog& dialog) {
        if (dialog.objectName() != QLatin1String("saveDialog")) return int(QDialog::Rejected);
        QTest::keyClicks(Child<QLineEdit>(dialog, "folderPath"), folder);
        Child<QComboBox>(dialog, "periodList")->setCurrentIndex(period);
        if (more) more(dialog);
        Click(dialog, "okButton");
        return dialog.result();
    };
}

}  // namespace

class ViewerWindowsTest : public QObject {
    Q_OBJECT
  private slots:
    void scanShowsTheTreeWithItsChecksIconsAndBoldFolders();
    void checkBoxesFollowTheTriStateRules();
    void onlyAClickOnTheTextListsAFolder();
    void aLargeFolderFillsInBatches();
    void stopAsksFirst();
    void exportWritesTheSelectionAndTheOptions();
    void exportRefusesWithoutSelectionOrOnCancel();
    void closeAsksAndWritesTheClosedRecord();
    void withoutFolderFileTheWindowStaysEmpty();
    void saveOptionsModeWritesTheOptionsOrTheCancelledRecord();
    void recordsMatchTheHeadlessPipeline();
    void saveDialogRules();
    void predefinedPeriodsUseTheClock();
    void advancedSettingsEnablingRules();
    void advancedSettingsRefusalsAndStoredValues();
    void folderMappingMessages();
    void mainWindowLayoutKeysAndHelp();
};

void ViewerWindowsTest::scanShowsTheTreeWithItsChecksIconsAndBoldFolders() {
    MailDatabase db;
    Handoff handoff;
    Viewer v(handoff, db.path, "1");
    QVERIFY(v.Scan());
    QCOMPARE(v.ui.messages, QStringList{QStringLiteral("Scanning process done..")});
    QCOMPARE(v.dialog.StatusText(), QStringLiteral("Scanning process done.."));
    struct Row {
        const char* text;
        int parent;
        int icon;
        Qt::CheckState state;
        bool bold;
    };
    const Row rows[] = {
        {"mail.dxl", -1, 0, Qt::PartiallyChecked, false},
        {"Inbox", 0, 3, Qt::Checked, false},  // made by "Inbox\Old", listed before "Inbox"
        {"Old", 1, 10, Qt::Checked, true},
        {"Inbox", 0, 3, Qt::Checked, true},  // the real folder: a second item of the same text
        {"($All)", 0, 10, Qt::Unchecked, true},
        {"Empty", 0, 10, Qt::Unchecked, false},
        {"($People)", 0, 10, Qt::Checked, true},
        {"Inbox Search", 0, 3, Qt::Checked, true},
        {"My Notes", 0, 5, Qt::Checked, true},
    };
    QCOMPARE(v.dialog.Tree().Size(), int(std::size(rows)));
    for (int i = 0; i < int(std::size(rows)); ++i) {
        const TreeItem& item = v.dialog.Tree().Item(i);
        QTreeWidgetItem* shown = v.Item(i);
        QCOMPARE(shown->text(0), QString::fromLatin1(rows[i].text));
        QCOMPARE(item.parent, rows[i].parent);
        QCOMPARE(item.icon, rows[i].icon);
        QCOMPARE(shown->checkState(0), rows[i].state);
        QCOMPARE(shown->font(0).bold(), rows[i].bold);
    }
    QVERIFY(v.Item(0)->isExpanded());
    QCOMPARE(v.dialog.Tree().Item(1).noteId, v.dialog.Tree().Item(2).noteId);
    // The worker's controls are gone and the buttons are back.
    QVERIFY(!Child<QWidget>(v.dialog, "progress")->isVisible());
    QVERIFY(!Child<QWidget>(v.dialog, "stopButton")->isVisible());
    QVERIFY(Child<QWidget>(v.dialog, "exportButton")->isEnabled());
    const QString log = QString::fromUtf16(
        reinterpret_cast<const char16_t*>(FileBytes(v.session.Options().logPath).constData() + 2));
    for (const char* line :
         {"Scanning File .\r\n\r\n", "Opening  Database\r\n", "Processing Folders.... \r\n\r\n",
          "Processing NSF File: mail.dxl\r\n", "Processing Folder: Old\r\n", "Processing Finished....\r\n",
          "Scanning process done..\r\n"})
        QVERIFY2(log.contains(QString::fromLatin1(line)), line);

    // A database that does not open: the error line, and still the end of the scan.
    Handoff other;
    Viewer broken(other, QStringLiteral("/mem/viewer/missing.dxl"), "1");
    QVERIFY(broken.Scan());
    QCOMPARE(broken.dialog.Tree().Size(), 0);
    QCOMPARE(broken.ui.messages, QStringList{QStringLiteral("Scanning process done..")});
}

void ViewerWindowsTest::checkBoxesFollowTheTriStateRules() {
    MailDatabase db;
    Handoff handoff;
    Viewer v(handoff, db.path, "1");
    QVERIFY(v.Scan());
    const auto states = [&] {
        QList<Qt::CheckState> s;
        for (int i = 0; i < 4; ++i) s << v.Item(i)->checkState(0);
        return s;
    };
    using S = QList<Qt::CheckState>;
    v.ClickCheck(2);  // "Old" off: its parent has no checked descendant left
    QCOMPARE(states(), (S{Qt::PartiallyChecked, Qt::Unchecked, Qt::Unchecked, Qt::Checked}));
    v.ClickCheck(1);  // the parent on: all below it too
    QCOMPARE(states(), (S{Qt::PartiallyChecked, Qt::Checked, Qt::Checked, Qt::Checked}));
    v.ClickCheck(0);  // a mixed root becomes fully checked ...
    for (int i = 0; i < v.dialog.Tree().Size(); ++i) QCOMPARE(v.Item(i)->checkState(0), Qt::Checked);
    v.ClickCheck(0);  // ... and then fully unchecked
    for (int i = 0; i < v.dialog.Tree().Size(); ++i) QCOMPARE(v.Item(i)->checkState(0), Qt::Unchecked);
    // Space toggles the current item, as a click on its box does.
    v.Tree().setCurrentItem(v.Item(3));
    v.Tree().setFocus();
    QTest::keyClick(&v.Tree(), Qt::Key_Space);
    QCOMPARE(states(), (S{Qt::PartiallyChecked, Qt::Unchecked, Qt::Unchecked, Qt::Checked}));
    QVERIFY(!v.dialog.Listing());
}

void ViewerWindowsTest::onlyAClickOnTheTextListsAFolder() {
    MailDatabase db;
    Handoff handoff;
    Viewer v(handoff, db.path, "1");
    QVERIFY(v.Scan());
    const int inbox = 3;
    // The box, the icon and the row beyond the text list nothing.
    const QRect check = v.Tree().CheckRect(v.Item(inbox));
    const QRect text = v.Tree().TextRect(v.Item(inbox));
    v.ClickCheck(inbox);
    v.ClickCheck(inbox);
    v.PressOn(QPoint((check.right() + text.left()) / 2, text.center().y()));
    v.PressOn(QPoint(text.right() + 6, text.center().y()));
    QVERIFY(!v.dialog.Listing());
    QCOMPARE(v.dialog.ListModel()->rowCount(), 0);

    QVERIFY(v.List(inbox));
    QStringList subjects;
    for (int i = 10; i >= 1; --i) subjects << QStringLiteral("Message %1").arg(i);
    QCOMPARE(v.Column(3), subjects);  // the last entry on top; the reply notice left out
    QCOMPARE(v.Column(1).first(), QStringLiteral("Bob Ray"));
    QCOMPARE(v.Column(2).first(), QStringLiteral("Ann Lee"));
    QCOMPARE(v.Column(4).last(), QStringLiteral("7/1/2018 9:5:6"));
    auto* model = v.dialog.ListModel();
    QVERIFY(!model->index(7, 0).data(Qt::DecorationRole).isNull());  // message 3 has a file
    QVERIFY(model->index(6, 0).data(Qt::DecorationRole).isNull());
    QCOMPARE(model->headerData(4, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Date/Time"));
    QCOMPARE(v.dialog.StatusText(), QStringLiteral("Total number of emails: [10]"));
    QVERIFY(v.Tree().currentItem() == v.Item(inbox));

    struct Case {
        int item;
        QStringList subjects;
        QStringList dates;
        QString status;
    } cases[] = {
        {6,
         {QStringLiteral("Ann Lee")},
         {QString()},
         QStringLiteral("Total number of emails: [1]")},  // a contact
        {7,
         {QStringLiteral("Draft")},
         {QStringLiteral("1/2/2017 3:4:5")},
         QStringLiteral("Total number of emails: [1]")},
        {8, {}, {}, QStringLiteral("Scanning completed.")},  // reply notices only
    };
    for (const Case& c : cases) {
        QVERIFY(v.List(c.item));  // a second folder shows only its own documents
        QCOMPARE(v.Column(3), c.subjects);
        QCOMPARE(v.Column(4), c.dates);
        QCOMPARE(v.dialog.StatusText(), c.status);
    }

    // While a listing runs a second click is refused and the list fills once.
    QSignalSpy done(&v.dialog, &CLotusNotesDlg::listingFinished);
    v.ClickText(inbox);
    v.ClickText(1);
    QCOMPARE(v.ui.messages.last(),
             QStringLiteral("Please stop the running process to continue the process."));
    QVERIFY(v.Tree().currentItem() == v.Item(inbox));
    QVERIFY(done.wait(20000));
    QTest::qWait(50);
    QCOMPARE(done.count(), 1);
    QCOMPARE(v.dialog.ListModel()->rowCount(), 10);

    // The list is read with the keyboard.
    auto* list = Child<QTableView>(v.dialog, "itemList");
    list->setFocus();
    list->setCurrentIndex(model->index(0, 3));
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(list->currentIndex().row(), 1);
    QCOMPARE(list->currentIndex().data(Qt::AccessibleTextRole).toString(), QStringLiteral("Message 9"));
}

void ViewerWindowsTest::aLargeFolderFillsInBatches() {
    DxlBuilder b;
    const NOTEID memo = b.AddDocument("Memo").Text("Subject", "same").Id();
    std::vector<NOTEID> entries(2500, memo);
    b.AddFolder("Big").Entries(entries);
    b.Register(QStringLiteral("/mem/viewer/big.dxl"));
    Handoff handoff;
    Viewer v(handoff, QStringLiteral("/mem/viewer/big.dxl"), "1");
    QVERIFY(v.Scan());
    // Rows arrive over several turns of the event loop: the window answers in between.
    QList<int> seen;
    connect(v.dialog.ListModel(), &QAbstractItemModel::rowsInserted, this,
            [&](const QModelIndex&, int first, int last) { seen << last - first + 1; });
    QVERIFY(v.List(1));
    QCOMPARE(v.dialog.ListModel()->rowCount(), 2500);
    QVERIFY2(seen.size() >= 3, "rows came in one piece");
}

void ViewerWindowsTest::stopAsksFirst() {
    MailDatabase db;
    Handoff handoff;
    Viewer v(handoff, db.path, "1");
    QVERIFY(v.Scan());
    auto* stop = Child<QPushButton>(v.dialog, "stopButton");
    stop->show();
    for (bool yes : {false, true}) {
        v.session.KeepRunning() = 1;
        v.ui.answers = {yes};
        QTest::mouseClick(stop, Qt::LeftButton);
        QCOMPARE(v.ui.questions.last(), QStringLiteral("Are you sure to stop the running process?"));
        QCOMPARE(int(v.session.KeepRunning()), yes ? 0 : 1);
    }
    // A Stop before the filling leaves the list empty, with the flag re-armed for the next worker.
    v.session.KeepRunning() = 1;
    QSignalSpy done(&v.dialog, &CLotusNotesDlg::listingFinished);
    v.ClickText(3);
    v.session.KeepRunning() = 0;
    QVERIFY(done.wait(20000));
    QVERIFY(v.dialog.ListModel()->rowCount() <= 10);
    QVERIFY(!stop->isVisible());
}

void ViewerWindowsTest::exportWritesTheSelectionAndTheOptions() {
    MailDatabase db;
    Handoff handoff;
    QTemporaryDir out;
    Viewer v(handoff, db.path, "1");
    QVERIFY(v.Scan());
    v.ClickCheck(3);  // the real "Inbox" off
    v.ui.onDialog = SaveWith(out.path(), 1, [&](QDialog& save) {
        // The advanced settings on the way: "Inbox" becomes "Posteingang".
        v.ui.onDialog = [&](QDialog& advanced) {
            QTest::mouseClick(Child<QCheckBox>(advanced, "folderMapping"), Qt::LeftButton);
            QTest::keyClicks(Child<QLineEdit>(advanced, "changeFolderName"), QStringLiteral("Posteingang"));
            Click(advanced, "saveMapping");
            Click(advanced, "okButton");
            return advanced.result();
        };
        Click(save, "advanceSetting");
    });
    QTest::mouseClick(Child<QPushButton>(v.dialog, "exportButton"), Qt::LeftButton);
    QCOMPARE(v.ui.ended, 1);

    const auto& tree = v.dialog.Tree();
    const auto id = [&](int i) { return tree.Item(i).noteId; };
    const std::vector<FolderRecord> records = {
        {QStringLiteral("Posteingang"), 1, id(1)},  // the level made by "Inbox\Old" carries its note ID
        {QStringLiteral("Posteingang\\Old"), 1, id(2)}, {QStringLiteral("($People)"), 1, id(6)},
        {QStringLiteral("Inbox Search"), 1, id(7)},     {QStringLiteral("My Notes"), 1, id(8)},
    };
    FolderListResult expected;
    expected.status = FolderStatus::Result;
    expected.records = records;
    expected.pstTargetFolder = out.path() + QLatin1Char('/');
    QCOMPARE(FileBytes(handoff.FolderList()), SerializeFolderList(expected, FolderListKind::Selection));

    RunOptions options = saveoptions::DialogDefaults();
    options.selectionMode = 1;
    options.includeAllFolder = 1;
    options.reservedFlag = 1;
    options.logPath = handoff.folder + RunLog::FileName();
    options.pstTargetFolder = expected.pstTargetFolder;
    options.dateRanges = {*saveoptions::PeriodRange(1, v.ui.now)};
    options.folderMappingOn = 1;
    options.folderMap[QStringLiteral("Inbox")] = QStringLiteral("Posteingang");
    QCOMPARE(ParseRunOptions(FileBytes(handoff.Config())), options);
    QCOMPARE(FileBytes(handoff.Config()), SerializeRunOptions(options));
}

void ViewerWindowsTest::exportRefusesWithoutSelectionOrOnCancel() {
    MailDatabase db;
    Handoff handoff;
    QTemporaryDir out;
    Viewer v(handoff, db.path, "1");
    QVERIFY(v.Scan());
    auto* exportButton = Child<QPushButton>(v.dialog, "exportButton");
    v.ui.onDialog = [](QDialog& save) {
        Click(save, "cancelButton");
        return save.result();
    };
    QTest::mouseClick(exportButton, Qt::LeftButton);
    v.ClickCheck(0);
    v.ClickCheck(0);  // everything off
    v.ui.onDialog = SaveWith(out.path());
    QTest::mouseClick(exportButton, Qt::LeftButton);
    QCOMPARE(v.ui.messages.last(), QStringLiteral("Please select folder from tree for saving"));
    QCOMPARE(v.ui.ended, 0);
    QCOMPARE(FileBytes(handoff.FolderList()), QByteArray());
    QVERIFY(!QFile::exists(handoff.Config()));
}

void ViewerWindowsTest::closeAsksAndWritesTheClosedRecord() {
    MailDatabase db;
    Handoff handoff;
    Viewer v(handoff, db.path, "1");
    QVERIFY(v.Scan());
    auto* close = Child<QPushButton>(v.dialog, "closeButton");
    v.ui.answers = {false};
    QTest::mouseClick(close, Qt::LeftButton);
    QVERIFY(v.dialog.isVisible());
    QCOMPARE(FileBytes(handoff.FolderList()), QByteArray());
    v.ui.answers = {true};
    QTest::mouseClick(close, Qt::LeftButton);
    QCOMPARE(v.ui.questions, QStringList(2, QStringLiteral("Are you sure to stop the running process?")));
    QCOMPARE(FileBytes(handoff.FolderList()), QByteArray(1, '\x03'));
    QCOMPARE(v.dialog.result(), int(QDialog::Rejected));
    QVERIFY(!v.dialog.isVisible());
}

void ViewerWindowsTest::withoutFolderFileTheWindowStaysEmpty() {
    MailDatabase db;
    Handoff handoff(false);
    Viewer v(handoff, db.path, "1");
    v.dialog.Initialize();
    QCOMPARE(v.ui.messages, QStringList{QStringLiteral("Folder file cannot be open")});
    QVERIFY(!v.dialog.ScanBusy());
    QVERIFY(!QFile::exists(handoff.folder + RunLog::FileName()));
    v.ui.answers = {true};
    Click(v.dialog, "closeButton");
    QVERIFY(!QFile::exists(handoff.FolderList()));
    QVERIFY(!v.dialog.isVisible());
}

void ViewerWindowsTest::saveOptionsModeWritesTheOptionsOrTheCancelledRecord() {
    MailDatabase db;
    QTemporaryDir out;
    {
        Handoff handoff;
        Viewer v(handoff, db.path, "2");
        v.ui.onDialog = SaveWith(out.path());
        v.dialog.Initialize();
        QCOMPARE(v.dialog.result(), int(QDialog::Accepted));
        QCOMPARE(v.ui.ended, 0);  // mode 2 ends the window normally
        FolderListResult expected;
        expected.status = FolderStatus::Result;
        expected.outputFolder = out.path() + QLatin1Char('/');
        QCOMPARE(FileBytes(handoff.FolderList()), SerializeFolderList(expected, FolderListKind::SaveOptions));
        const RunOptions written = ParseRunOptions(FileBytes(handoff.Config()));
        QCOMPARE(written.pstTargetFolder, expected.outputFolder);
        QCOMPARE(int(written.reservedFlag), 1);
        QCOMPARE(int(written.selectionMode), 0);
    }
    {
        Handoff handoff;
        Viewer v(handoff, db.path, "2");
        v.ui.onDialog = [](QDialog& save) {
            Click(save, "cancelButton");
            return save.result();
        };
        v.dialog.Initialize();
        QCOMPARE(FileBytes(handoff.FolderList()), QByteArray(1, '\0'));
        QVERIFY(!QFile::exists(handoff.Config()));
    }
}

void ViewerWindowsTest::recordsMatchTheHeadlessPipeline() {
    DxlBuilder b;
    const NOTEID memo = b.AddDocument("Memo").Text("Subject", "x").Id();
    b.AddFolder("($Inbox)").Entry(memo);
    b.AddFolder("Projects").Entry(memo);
    b.AddFolder("Projects\\2019").Entry(memo);
    b.AddFolder("Client: A\"B\"");
    b.AddView("($ToDo)").Entry(memo);
    const QString path = QStringLiteral("/mem/viewer/same.dxl");
    b.Register(path);
    QTemporaryDir out;
    QFile csv(out.filePath(QStringLiteral("book.csv")));
    QVERIFY(csv.open(QIODevice::WriteOnly));
    csv.write("ann lee , ann@example.com\n");
    csv.close();

    // Everything ticked in the preview gives the records of the listing mode.
    Handoff preview;
    Viewer v(preview, path, "1");
    QVERIFY(v.Scan());
    v.ClickCheck(0);
    v.ui.onDialog = SaveWith(out.path());
    Click(v.dialog, "exportButton");
    QCOMPARE(v.ui.ended, 1);
    const FolderListResult selection =
        ParseFolderList(FileBytes(preview.FolderList()), FolderListKind::Selection);
    QCOMPARE(selection.records.size(), std::size_t(6));  // "($All)" too, ticked by hand
    QCOMPARE(selection.records[3].path, QStringLiteral("Client  A\"B\""));

    Handoff headless;
    QVERIFY(QFile::copy(preview.Config(), headless.Config()));
    ViewerSession listing(headless.Line(path, "3"));
    TestUi quiet;
    QVERIFY(listing.Start(quiet));
    LNNotesSession notes;  // this thread reads the database now, as the listing process would
    notes.InitThread();
    listing.RunListing();
    notes.TermThread();
    QCOMPARE(ParseFolderList(FileBytes(headless.FolderList()), FolderListKind::Listing).records,
             selection.records);

    // The save options of mode 2 are those of the batch command line for the same choices.
    Handoff modeTwo;
    Viewer options(modeTwo, path, "2");
    options.ui.onDialog = SaveWith(out.path(), 4, [&](QDialog& save) {
        options.ui.onDialog = [&](QDialog& advanced) {
            for (const char* box :
                 {"removeEncryption", "saveDocLink", "addressTranslation", "addNsfFile", "folderMapping"})
                QTest::mouseClick(Child<QCheckBox>(advanced, box), Qt::LeftButton);
            Child<QComboBox>(advanced, "smtpFormat")->setCurrentIndex(2);
            QTest::keyClicks(Child<QLineEdit>(advanced, "domainName"), QStringLiteral("example.com"));
            QTest::keyClicks(Child<QLineEdit>(advanced, "csvPath"), csv.fileName());
            Child<QComboBox>(advanced, "selectFolder")->setCurrentIndex(2);
            QTest::keyClicks(Child<QLineEdit>(advanced, "changeFolderName"), QStringLiteral("Sent"));
            Click(advanced, "saveMapping");
            Click(advanced, "okButton");
            return advanced.result();
        };
        Click(save, "advanceSetting");
    });
    options.dialog.Initialize();
    // The batch line wants a database file that exists; any file does for its options.
    const BatchParse batch = ParseBatchCommandLine(
        {QStringLiteral("--export"), QStringLiteral("--log-folder"), modeTwo.folder,
         QStringLiteral("--output"), out.path(), QStringLiteral("--period"), QStringLiteral("3m"),
         QStringLiteral("--decrypt"), QStringLiteral("--doclinks"), QStringLiteral("--smtp-pattern"),
         QStringLiteral("2"), QStringLiteral("--smtp-domain"), QStringLiteral("example.com"),
         QStringLiteral("--address-csv"), csv.fileName(), QStringLiteral("--map-folder"),
         QStringLiteral("Sent Items=Sent"), csv.fileName()},
        options.ui.now);
    QVERIFY2(batch.action == BatchParse::Action::Run, qPrintable(batch.error));
    RunOptions fromBatch = batch.settings.options;
    fromBatch.logPath = modeTwo.folder + RunLog::FileName();
    QCOMPARE(ParseRunOptions(FileBytes(modeTwo.Config())), fromBatch);
    QCOMPARE(FileBytes(modeTwo.Config()), SerializeRunOptions(fromBatch));
}

void ViewerWindowsTest::saveDialogRules() {
    RunOptions options;
    options.dateRanges = {{}};
    TestUi ui;
    QTemporaryDir out;
    savefilterDlg save(options, ui);
    QVERIFY(options.dateRanges.empty());  // emptied on opening
    auto* manual = Child<QRadioButton>(save, "manualPeriod");
    auto* period = Child<QComboBox>(save, "periodList");
    auto* start = Child<QDateTimeEdit>(save, "startDate");
    auto* end = Child<QDateTimeEdit>(save, "endDate");
    auto* list = Child<QTreeWidget>(save, "rangeList");
    QCOMPARE(period->count(), 10);
    QCOMPARE(period->currentText(), QStringLiteral("All Time"));
    QVERIFY(period->isEnabled() && !start->isEnabled() && !Child<QWidget>(save, "addRange")->isEnabled());
    QTest::mouseClick(manual, Qt::LeftButton);
    QVERIFY(!period->isEnabled() && start->isEnabled() && list->isEnabled());
    QVERIFY(!Child<QRadioButton>(save, "predefinedPeriod")->isChecked());

    Click(save, "okButton");
    QCOMPARE(ui.messages.last(), QStringLiteral("Please select valid folder path to save the pst file(s)."));
    ui.chosenFolder = out.path();
    Click(save, "browseFolder");
    QCOMPARE(Child<QLineEdit>(save, "folderPath")->text(), out.path());
    Click(save, "okButton");
    QCOMPARE(ui.messages.last(), QStringLiteral("Please add at least one date range for saving."));
    QCOMPARE(options.pstTargetFolder, out.path() + QLatin1Char('/'));  // stored before the refusal

    const QDateTime day(QDate(2026, 3, 15), QTime(9, 30));
    struct Step {
        QDateTime from, to;
        int rows;
        const char* message;
    } steps[] = {
        {day, day.addDays(-1), 0, "End date should be greater than Start date"},
        {day, day, 1, nullptr},              // equal dates are a range
        {day, day.addSecs(60), 1, nullptr},  // reads the same as the row listed: not added
        {day, day.addDays(2), 2, nullptr},
    };
    for (const Step& s : steps) {
        const int before = int(ui.messages.size());
        start->setDateTime(s.from);
        end->setDateTime(s.to);
        Click(save, "addRange");
        QCOMPARE(list->topLevelItemCount(), s.rows);
        QCOMPARE(int(options.dateRanges.size()), s.rows);
        if (s.message)
            QCOMPARE(ui.messages.last(), QString::fromLatin1(s.message));
        else
            QCOMPARE(int(ui.messages.size()), before);
    }
    QCOMPARE(list->topLevelItem(1)->text(1), QStringLiteral("Tuesday, March 17, 2026"));
    Click(save, "removeRange");  // nothing marked: nothing removed
    QCOMPARE(list->topLevelItemCount(), 2);
    list->setCurrentItem(list->topLevelItem(0));
    Click(save, "removeRange");
    QCOMPARE(list->topLevelItemCount(), 1);
    Click(save, "okButton");
    QCOMPARE(save.result(), int(QDialog::Accepted));
    QCOMPARE(options.dateRanges.size(), std::size_t(1));
    QCOMPARE(saveoptions::FromOleDate(options.dateRanges[0].end.value), day.addDays(2));

    // Enter and Escape leave the dialog open.
    savefilterDlg again(options, ui);
    again.show();
    QTest::keyClick(&again, Qt::Key_Escape);
    QTest::keyClick(&again, Qt::Key_Return);
    QVERIFY(again.isVisible());
}

void ViewerWindowsTest::predefinedPeriodsUseTheClock() {
    struct Case {
        QDateTime now;
        int period;
        QDateTime start, end;
    } cases[] = {
        {{QDate(2026, 12, 13), QTime(14, 0)},
         1,
         {QDate(2026, 12, 7), QTime(14, 0)},
         {QDate(2026, 12, 13), QTime(14, 0)}},
        {{QDate(2024, 3, 15), QTime(10, 0)},
         4,
         {QDate(2023, 12, 1), QTime(0, 0)},
         {QDate(2024, 2, 29), QTime(0, 0)}},
        {{QDate(2026, 1, 15), QTime(10, 0)},
         7,
         {QDate(2025, 1, 1), QTime(0, 0)},
         {QDate(2025, 12, 31), QTime(0, 0)}},
    };
    QTemporaryDir out;
    for (const Case& c : cases) {
        RunOptions options;
        TestUi ui;
        ui.now = c.now;
        savefilterDlg save(options, ui);
        QTest::keyClicks(Child<QLineEdit>(save, "folderPath"), out.path());
        Child<QComboBox>(save, "periodList")->setCurrentIndex(c.period);
        Click(save, "okButton");
        QCOMPARE(options.dateRanges.size(), std::size_t(1));
        QCOMPARE(saveoptions::FromOleDate(options.dateRanges[0].start.value), c.start);
        QCOMPARE(saveoptions::FromOleDate(options.dateRanges[0].end.value), c.end);
    }
}

void ViewerWindowsTest::advancedSettingsEnablingRules() {
    for (int selectionMode : {0, 1}) {
        RunOptions options;
        options.selectionMode = static_cast<std::uint8_t>(selectionMode);
        options.addressTranslation = 1;
        options.addressMap[QStringLiteral("A")] = QStringLiteral("a@b.cd");
        TestUi ui;
        Advancesettingdlg advanced(options, ui);
        auto* excludeAll = Child<QCheckBox>(advanced, "excludeAllFolder");
        QCOMPARE(excludeAll->isEnabled(), selectionMode == 0);
        QCOMPARE(excludeAll->isChecked(), selectionMode == 0);
        // Opening resets the translation; Cancel does not bring it back.
        QCOMPARE(int(options.addressTranslation), 0);
        QVERIFY(options.addressMap.empty());
        QCOMPARE(options.folderMap, saveoptions::EmptyFolderMap());
        QCOMPARE(Child<QLineEdit>(advanced, "sampleCsv")->text().endsWith(QStringLiteral("sample.csv")),
                 true);
    }
    RunOptions options;
    TestUi ui;
    Advancesettingdlg a(options, ui);
    const char* controls[] = {"addNsfFile", "namesNsfPath", "browseNamesNsf", "addCsvFile",
                              "csvPath",    "browseCsv",    "sampleCsv",      "setSmtpManually",
                              "smtpFormat", "domainName",   "selectFolder",   "changeFolderName",
                              "saveMapping"};
    const auto enabled = [&] {
        QString bits;
        for (const char* name : controls)
            bits += Child<QWidget>(a, name)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        return bits;
    };
    struct Step {
        const char* click;
        const char* bits;
    } steps[] = {
        {nullptr, "0000000000000"},
        {"addressTranslation", "1111111111000"},
        {"addNsfFile", "1001111111000"},
        {"addCsvFile", "1001000111000"},
        {"setSmtpManually", "1001000100000"},
        {"folderMapping", "1001000100111"},
        {"addressTranslation", "0000000000111"},
    };
    for (const Step& s : steps) {
        if (s.click) QTest::mouseClick(Child<QCheckBox>(a, s.click), Qt::LeftButton);
        QCOMPARE(enabled(), QString::fromLatin1(s.bits));
    }
    // "..." replaces the path, also by nothing when the chooser is cancelled.
    QTest::mouseClick(Child<QCheckBox>(a, "addressTranslation"), Qt::LeftButton);
    QTest::mouseClick(Child<QCheckBox>(a, "addCsvFile"), Qt::LeftButton);
    ui.chosenFile = QStringLiteral("/tmp/a.csv");
    Click(a, "browseCsv");
    QCOMPARE(Child<QLineEdit>(a, "csvPath")->text(), ui.chosenFile);
    ui.chosenFile.clear();
    Click(a, "browseCsv");
    QCOMPARE(Child<QLineEdit>(a, "csvPath")->text(), QString());
    Click(a, "readMore");
    QCOMPARE(ui.opened, QList<QUrl>{ViewerUi::HomepageUrl()});
}

void ViewerWindowsTest::advancedSettingsRefusalsAndStoredValues() {
    QTemporaryDir dir;
    const auto write = [&](const char* name, const QByteArray& bytes) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return f.fileName();
    };
    const QString good = write("good.csv", "ann lee , ann@example.com\n\"Doe, John\",\"john@example.com\"\n");
    const QString bad = write("bad.csv", "ann,a@b.cd\nno comma here\nbob,b@b.cd\n");
    DxlBuilder names;
    names.AddDocument("Person")
        .Text("FirstName", "Ann")
        .Text("LastName", "Lee")
        .Text("FullNameInput", "Ann Lee")
        .Text("MailAddress", "ann@corp.example");
    const QString nsf = dir.filePath(QStringLiteral("names.dxl"));
    QVERIFY(names.Save(nsf));

    struct Case {
        const char* name;
        QStringList boxes;  // clicked after "Email Address Translation:"
        QString domain, csv, nsfPath;
        QStringList messages;
        bool accepted;
        std::map<QString, QString> table;
    } cases[] = {
        {"domain refused",
         {"addNsfFile", "addCsvFile"},
         "mail.example.com",
         {},
         {},
         {"Please enter valid domain name"},
         false,
         {}},
        {"domain and pattern", {"addNsfFile", "addCsvFile"}, "example.com", {}, {}, {}, true, {}},
        {"csv read",
         {"addNsfFile", "setSmtpManually"},
         {},
         good,
         {},
         {},
         true,
         {{"ANN LEE", "ann@example.com"}, {"DOE, JOHN", "john@example.com"}}},
        {"csv not valid",
         {"addNsfFile", "setSmtpManually"},
         {},
         bad,
         {},
         {"This is not a valid CSV File"},
         false,
         {{"ANN", "a@b.cd"}}},
        {"csv missing",
         {"addNsfFile", "setSmtpManually"},
         {},
         dir.filePath(QStringLiteral("none.csv")),
         {},
         {"Csv file cannot be opened"},
         false,
         {}},
        {"names.nsf missing",
         {"addCsvFile", "setSmtpManually"},
         {},
         {},
         dir.filePath(QStringLiteral("none.nsf")),
         {"Nsf file cannot be accessed"},
         false,
         {}},
        {"names.nsf read after the wait message",
         {"addCsvFile", "setSmtpManually"},
         {},
         {},
         nsf,
         {"Please wait for the process to complete"},
         true,
         {{"ANN LEE", "ann@corp.example;ann@corp.example"}}},
        {"no source",
         {"addCsvFile", "setSmtpManually", "addNsfFile"},
         {},
         {},
         {},
         {"Please select at least one option for translation."},
         false,
         {}},
    };
    for (const Case& c : cases) {
        RunOptions options;
        TestUi ui;
        Advancesettingdlg a(options, ui);
        QTest::mouseClick(Child<QCheckBox>(a, "addressTranslation"), Qt::LeftButton);
        for (const QString& box : c.boxes)
            QTest::mouseClick(Child<QCheckBox>(a, box.toLatin1().constData()), Qt::LeftButton);
        Child<QComboBox>(a, "smtpFormat")->setCurrentIndex(5);
        QTest::keyClicks(Child<QLineEdit>(a, "domainName"), c.domain);
        QTest::keyClicks(Child<QLineEdit>(a, "csvPath"), c.csv);
        QTest::keyClicks(Child<QLineEdit>(a, "namesNsfPath"), c.nsfPath);
        Click(a, "okButton");
        QVERIFY2(ui.messages == c.messages, c.name);
        QVERIFY2((a.result() == QDialog::Accepted) == c.accepted, c.name);
        QVERIFY2(options.addressMap == c.table, c.name);
        QCOMPARE(int(options.addressTranslation), 1);
        if (QString::fromLatin1(c.name) == QLatin1String("domain and pattern")) {
            QCOMPARE(options.smtpFormat, 5u);
            QCOMPARE(options.smtpDomain, QStringLiteral("example.com"));
        }
    }
    // The database options are stored as shown.
    RunOptions options;
    TestUi ui;
    Advancesettingdlg a(options, ui);
    for (const char* box : {"excludeAllFolder", "saveInternetHeader"})
        QTest::mouseClick(Child<QCheckBox>(a, box), Qt::LeftButton);
    Click(a, "okButton");
    QCOMPARE(a.result(), int(QDialog::Accepted));
    QCOMPARE(options.includeAllFolder, 1u);
    QCOMPARE(options.saveInternetHeader, 1u);
    QCOMPARE(options.removeEncryption, 0u);
}

void ViewerWindowsTest::folderMappingMessages() {
    RunOptions options;
    TestUi ui;
    Advancesettingdlg a(options, ui);
    QTest::mouseClick(Child<QCheckBox>(a, "folderMapping"), Qt::LeftButton);
    Click(a, "okButton");
    QCOMPARE(ui.messages.last(),
             QStringLiteral("Folder mapping cannot be applied.Please Select folder for mapping"));
    auto* folder = Child<QComboBox>(a, "selectFolder");
    auto* name = Child<QLineEdit>(a, "changeFolderName");
    for (const char* refused : {"", "a/b", "in:box", "x*", "q?", "<", ">", "a|b", "\"", "a\\b"}) {
        name->setText(QString::fromLatin1(refused));
        Click(a, "saveMapping");
        QCOMPARE(ui.messages.last(), QStringLiteral("please enter valid folder name"));
    }
    name->setText(QStringLiteral("Posteingang"));
    Click(a, "saveMapping");
    QCOMPARE(ui.messages.last(), QStringLiteral(" Folder mapping saved Successfully"));
    folder->setCurrentIndex(3);
    QCOMPARE(name->text(), QString());
    folder->setCurrentIndex(0);
    QCOMPARE(name->text(), QStringLiteral("Posteingang"));
    Click(a, "okButton");
    QCOMPARE(a.result(), int(QDialog::Accepted));
    QCOMPARE(int(options.folderMappingOn), 1);
    QCOMPARE(options.folderMap[QStringLiteral("Inbox")], QStringLiteral("Posteingang"));
}

void ViewerWindowsTest::mainWindowLayoutKeysAndHelp() {
    Handoff handoff;
    Viewer v(handoff, QString(), "0");
    v.dialog.Initialize();
    QVERIFY(v.ui.messages.isEmpty());
    QVERIFY(v.dialog.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(v.dialog.windowTitle(), QStringLiteral("nsfview"));
    const DialogUnits units(v.dialog.font());
    QCOMPARE(v.dialog.size(), units.Size(500, 330));
    struct Control {
        const char* name;
        QRect dialogUnits;
        const char* tooltip;
        const char* accessible;
    } controls[] = {
        {"folderTree", {7, 58, 138, 209}, "", "Folders"},
        {"itemList", {145, 58, 348, 210}, "", "Items"},
        {"statusLine", {9, 273, 484, 14}, "", "Status"},
        {"progress", {8, 293, 427, 10}, "", "Progress"},
        {"stopButton", {439, 288, 55, 18}, "Stop the process", "Stop"},
        {"helpButton", {5, 307, 55, 18}, "Help.", "Help"},
        {"exportButton", {380, 307, 55, 18}, "Preview of selected file", "Export"},
        {"closeButton", {440, 307, 55, 18}, "Close the application.", "Close"},
    };
    for (const Control& c : controls) {
        auto* w = Child<QWidget>(v.dialog, c.name);
        const QRect& r = c.dialogUnits;
        QCOMPARE(w->geometry(), units.Rect(r.x(), r.y(), r.width(), r.height()));
        QCOMPARE(w->toolTip(), QString::fromLatin1(c.tooltip));
        QCOMPARE(w->accessibleName(), QString::fromLatin1(c.accessible));
    }
    QStringList headers;
    auto* list = Child<QTableView>(v.dialog, "itemList");
    for (int c = 0; c < 5; ++c) headers << list->model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(headers, (QStringList{QString(), "To", "From", "Subject", "Date/Time"}));
    QCOMPARE(list->columnWidth(3), 200);

    // Enter and Escape do not end the window.
    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) QTest::keyClick(&v.dialog, key);
    QVERIFY(v.dialog.isVisible());
    // Pressing on the window outside the controls drags it.
    const QPoint before = v.dialog.pos();
    const QPoint grab(units.Rect(200, 325, 1, 1).topLeft());
    QTest::mousePress(&v.dialog, Qt::LeftButton, {}, grab);
    QMouseEvent move(QEvent::MouseMove, QPointF(grab + QPoint(30, 20)),
                     v.dialog.mapToGlobal(QPointF(grab + QPoint(30, 20))), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(&v.dialog, &move);
    QTest::mouseRelease(&v.dialog, Qt::LeftButton, {}, grab + QPoint(30, 20));
    QCOMPARE(v.dialog.pos(), before + QPoint(30, 20));

    // The Help menu: the manual, the homepage and the About box.
    QMenu* menu = Child<QPushButton>(v.dialog, "helpButton")->menu();
    QStringList entries;
    for (QAction* action : menu->actions()) entries << action->text();
    QCOMPARE(entries, (QStringList{"Help", "Software Homepage", "About"}));
    menu->actions()[0]->trigger();
    menu->actions()[1]->trigger();
    QCOMPARE(v.ui.opened, (QList<QUrl>{ViewerUi::ManualUrl(), ViewerUi::HomepageUrl()}));
    QString aboutName;
    QFont aboutFont;
    int aboutResult = -1;
    v.ui.onDialog = [&](QDialog& about) {
        auto* name = Child<QWidget>(about, "aboutName");
        aboutName = name->accessibleName();
        aboutFont = name->font();
        Click(about, "aboutOk");
        aboutResult = about.result();
        return aboutResult;
    };
    menu->actions()[2]->trigger();
    QCOMPARE(aboutName, QStringLiteral("nsfview"));
    QCOMPARE(aboutFont.pixelSize(), 15);
    QCOMPARE(aboutFont.weight(), QFont::DemiBold);
    QCOMPARE(aboutResult, int(QDialog::Accepted));
}

QTEST_MAIN(ViewerWindowsTest)
#include "ViewerWindowsTest.moc"
