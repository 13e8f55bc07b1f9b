#pragma once
// The launcher's main window: the log folder, the file list with Add, Search, Remove File,
// Remove All and Stop, Preview, Export, the Help menu and Close. The commands themselves are
// the core's; the window shows what they report and runs the long ones on workers.

#include "nsfadd/app/MigrationDlg.h"
#include "nsfadd/core/ChildLauncher.h"
#include "nsfadd/core/FileList.h"
#include "nsfadd/core/Preview.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QThread;
class QTimer;
class UserDialogs;

class CCHarbexFirstDlgDlg : public QWidget {
    Q_OBJECT
  public:
    // endProcess ends the program at once (Close with Yes); tests put a recorder in its place.
    CCHarbexFirstDlgDlg(LauncherState& state, UserDialogs& dialogs, ChildLauncher& launcher,
                        std::function<void()> endProcess, QWidget* parent = nullptr);
    ~CCHarbexFirstDlgDlg() override;

    // The commands, as the buttons run them.
    void ChooseLogFolder();
    void AddFiles();
    void SearchFiles();
    void RemoveSelected();
    void RemoveAll();
    void Stop();
    void Preview();
    void Export();
    void Close();

    // True while an add, search, Preview or Export worker runs.
    bool WorkerRunning() const;
    const FileList& Files() const { return files_; }
    QTableWidget* List() const { return list_; }
    QLineEdit* StatusLine() const { return status_; }
    QLineEdit* LogFolder() const { return logFolder_; }
    QProgressBar* Progress() const { return progress_; }
    QPushButton* Button(const QString& objectName) const;
    MigrationDlg* ProgressWindow() const { return progressWindow_; }

  signals:
    void workerFinished();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    class Sink;
    class Observer;
    class Prompts;
    friend class Sink;
    friend class Observer;

    void AppendRow(const QString& path);
    void ShowProgress(bool shown, int range, bool animated);
    void Animate();
    void StartWorker(std::function<void()> work, std::function<void()> then = {});
    void ShowProgressWindow();
    void BackToList();
    int SelectionMark() const;

    LauncherState& state_;
    UserDialogs& dialogs_;
    ChildLauncher& launcher_;
    std::function<void()> endProcess_;
    std::unique_ptr<Prompts> prompts_;
    std::unique_ptr<Sink> sink_;
    std::unique_ptr<Observer> observer_;
    FileList files_;
    QLineEdit* logFolder_;
    QTableWidget* list_;
    QLineEdit* status_;
    QProgressBar* progress_;
    QTimer* animation_;
    std::vector<QThread*> workers_;
    QPointer<MigrationDlg> progressWindow_;
};
