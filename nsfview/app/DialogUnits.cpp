#include "DialogUnits.h"

#include <QKeyEvent>
#include <QPushButton>

#include <cmath>

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetricsF metrics(font);
    x_ = metrics.averageCharWidth() / 4.0;
    y_ = metrics.height() / 8.0;
}

QRect DialogUnits::Rect(int x, int y, int w, int h) const {
    const auto px = [](double units, double scale) { return static_cast<int>(std::lround(units * scale)); };
    return {px(x, x_), px(y, y_), px(w, x_), px(h, y_)};
}

UnitDialog::UnitDialog(QWidget* parent, int width, int height) : QDialog(parent), units_(font()) {
    setFixedSize(units_.Size(width, height));
}

void UnitDialog::Place(QWidget* widget, int x, int y, int w, int h) const {
    widget->setGeometry(units_.Rect(x, y, w, h));
    // No button takes Enter as the default one.
    if (auto* button = qobject_cast<QPushButton*>(widget)) button->setAutoDefault(false);
}

void UnitDialog::Name(QWidget* widget, const QString& objectName, const QString& accessible,
                      const QString& tooltip) {
    widget->setObjectName(objectName);
    widget->setAccessibleName(accessible);
    if (!tooltip.isEmpty()) widget->setToolTip(tooltip);
}

void UnitDialog::keyPressEvent(QKeyEvent* event) {
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
