#pragma once
// Pieces both launcher windows share: the banner along the top edge, image buttons, dragging
// the window by any point, and calls from a worker into the window's thread.

#include <QMetaObject>
#include <QObject>
#include <QPoint>
#include <QPushButton>
#include <QStyle>
#include <QThread>
#include <QWidget>

#include <utility>

class Banner : public QWidget {
  public:
    explicit Banner(QWidget* parent);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

QPushButton* ImageButton(QWidget* parent, const QString& caption, const QString& tooltip,
                         QStyle::StandardPixmap image);

// Moves its window while the mouse is dragged over a part of it that takes no clicks itself.
class DragAnywhere : public QObject {
  public:
    explicit DragAnywhere(QWidget* window);
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* window_;
    QPoint offset_;
    bool dragging_ = false;
};

// Runs `call` on `target`'s thread and waits for it: directly when already there, otherwise as
// a queued call the worker waits for.
template <class Call>
void OnThreadOf(QObject* target, Call&& call) {
    if (QThread::currentThread() == target->thread())
        call();
    else
        QMetaObject::invokeMethod(target, std::forward<Call>(call), Qt::BlockingQueuedConnection);
}
