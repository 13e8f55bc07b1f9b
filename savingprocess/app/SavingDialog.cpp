#include "SavingDialog.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace {

constexpr char kTitle[] = "nsfsave";

int ToInt(std::uint32_t value) {
    return static_cast<int>(std::min<std::uint32_t>(value, 0x7FFFFFFF));
}

}  // namespace

CsavingprocessDlg::CsavingprocessDlg(std::atomic<std::uint8_t>& keepRunning, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      keepRunning_(keepRunning),
      progress_(new QProgressBar(this)),
      status_(new QLineEdit(this)),
      stop_(new QPushButton(this)) {
    setWindowTitle(QString::fromLatin1(kTitle));
    setWindowIcon(style()->standardIcon(QStyle::SP_DriveHDIcon));
    setFixedSize(DialogUnits(0, 0, 370, 68).size());
    progress_->setGeometry(DialogUnits(4, 14, 309, 10));
    progress_->setTextVisible(false);
    status_->setGeometry(DialogUnits(4, 31, 360, 14));
    status_->setReadOnly(true);
    stop_->setGeometry(DialogUnits(318, 10, 48, 18));
    stop_->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
    stop_->setToolTip(QStringLiteral("Stop the process"));
    // Enter must not press Stop.
    stop_->setAutoDefault(false);
    stop_->setDefault(false);
    // A second press before the worker looks at the flag changes nothing.
    connect(stop_, &QPushButton::clicked, this, [this] { keepRunning_.store(0); });
}

QRect CsavingprocessDlg::DialogUnits(int x, int y, int width, int height) const {
    const QFontMetrics metrics(font());
    const double unitX = metrics.averageCharWidth() / 4.0;
    const double unitY = metrics.height() / 8.0;
    const auto px = [](double units, double unit) { return static_cast<int>(units * unit + 0.5); };
    return QRect(px(x, unitX), px(y, unitY), px(width, unitX), px(height, unitY));
}

void CsavingprocessDlg::OnWindowThread(const std::function<void()>& call) {
    if (QThread::currentThread() == thread())
        call();
    else
        QMetaObject::invokeMethod(this, call, Qt::BlockingQueuedConnection);
}

void CsavingprocessDlg::SetRange(std::uint32_t lower, std::uint32_t upper) {
    OnWindowThread([this, lower, upper] { progress_->setRange(ToInt(lower), ToInt(upper)); });
}

void CsavingprocessDlg::SetPosition(std::uint32_t position) {
    OnWindowThread([this, position] { progress_->setValue(ToInt(position)); });
}

void CsavingprocessDlg::SetStatus(const QString& text) {
    OnWindowThread([this, text] {
        status_->setText(text);
        status_->setCursorPosition(0);
    });
}

void CsavingprocessDlg::ShowMessage(const QString& text) {
    OnWindowThread([this, text] {
        // Tests that run the program without a person set NSF_DISMISS_MESSAGES: the message
        // goes to the standard error stream and counts as dismissed.
        if (qEnvironmentVariableIsSet("NSF_DISMISS_MESSAGES")) {
            std::fprintf(stderr, "%s: %s\n", kTitle, text.toLocal8Bit().constData());
            return;
        }
        QMessageBox::information(this, QString::fromLatin1(kTitle), text);
    });
}

void CsavingprocessDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void CsavingprocessDlg::closeEvent(QCloseEvent* event) {
    // The window has no close box; the process ends only at the end of its run.
    event->ignore();
}
