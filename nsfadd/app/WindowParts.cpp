#include "nsfadd/app/WindowParts.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

Banner::Banner(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Banner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QLinearGradient gradient(0, 0, width(), 0);
    gradient.setColorAt(0, QColor(0x1f, 0x3a, 0x68));
    gradient.setColorAt(1, QColor(0x3d, 0x7e, 0xc4));
    painter.fillRect(rect(), gradient);
    painter.setPen(Qt::white);
    QFont title = font();
    title.setPointSizeF(font().pointSizeF() * 2.2);
    title.setBold(true);
    painter.setFont(title);
    const int margin = height() / 4;
    painter.drawText(rect().adjusted(margin, 0, -margin, -height() / 3), Qt::AlignLeft | Qt::AlignBottom,
                     QStringLiteral("nsfadd"));
    QFont line = font();
    line.setPointSizeF(font().pointSizeF() * 1.1);
    painter.setFont(line);
    painter.drawText(rect().adjusted(margin, 0, -margin, -height() / 8), Qt::AlignLeft | Qt::AlignBottom,
                     QStringLiteral("Lotus Notes databases to Outlook PST files"));
}

QPushButton* ImageButton(QWidget* parent, const QString& caption, const QString& tooltip,
                         QStyle::StandardPixmap image) {
    auto* button = new QPushButton(parent->style()->standardIcon(image), caption, parent);
    button->setToolTip(tooltip);
    // Enter does nothing in the launcher's windows, not even on the focused button.
    button->setAutoDefault(false);
    return button;
}

DragAnywhere::DragAnywhere(QWidget* window) : QObject(window), window_(window) {
    window->installEventFilter(this);
}

bool DragAnywhere::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_) return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton) return false;
            dragging_ = true;
            offset_ = mouse->globalPosition().toPoint() - window_->frameGeometry().topLeft();
            return true;
        }
        case QEvent::MouseMove: {
            if (!dragging_) return false;
            const auto* mouse = static_cast<QMouseEvent*>(event);
            window_->move(mouse->globalPosition().toPoint() - offset_);
            return true;
        }
        case QEvent::MouseButtonRelease:
            dragging_ = false;
            return false;
        default:
            return false;
    }
}
