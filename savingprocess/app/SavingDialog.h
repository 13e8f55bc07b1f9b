#pragma once
// The progress window of nsfsave: a progress bar, a read-only status line and a Stop button.
// The worker reaches it only through ProgressWindow calls that wait until the window's thread
// has handled them.

#include "savingprocess/engine/RunState.h"

#include <QDialog>

#include <functional>

class QLineEdit;
class QProgressBar;
class QPushButton;

class CsavingprocessDlg : public QDialog, public ProgressWindow {
    Q_OBJECT
  public:
    // stopFlag: the keep-running byte the Stop button clears.
    explicit CsavingprocessDlg(std::atomic<std::uint8_t>& keepRunning, QWidget* parent = nullptr);

    // ProgressWindow, callable from any thread; each call returns once the window handled it.
    void SetRange(std::uint32_t lower, std::uint32_t upper) override;
    void SetPosition(std::uint32_t position) override;
    void SetStatus(const QString& text) override;
    void ShowMessage(const QString& text) override;

    // The window's own side, for tests.
    QProgressBar* ProgressBar() const { return progress_; }
    QLineEdit* StatusLine() const { return status_; }
    QPushButton* StopButton() const { return stop_; }

    // Pixels of a dialog-unit rectangle in this window's font.
    QRect DialogUnits(int x, int y, int width, int height) const;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void OnWindowThread(const std::function<void()>& call);

    std::atomic<std::uint8_t>& keepRunning_;
    QProgressBar* progress_;
    QLineEdit* status_;
    QPushButton* stop_;
};
