#include "DialogUnits.h"

#include <QKeyEvent>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <cmath>

DialogUnits::DialogUnits(const QFont& font) {
    // The average character width as dialog templates measure it: over the 52 letters.
    const QFontMetricsF metrics(font);
    const double average =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
        52.0;
    x_ = average / 4.0;
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
    QRect rect = units_.Rect(x, y, w, h);
    // A caption never loses its end: a check box, radio button or label that needs more room
    // than its rectangle grows to the right.
    const auto* label = qobject_cast<QLabel*>(widget);
    if (qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget) ||
        (label && !label->text().isEmpty()))
        rect.setWidth(std::max(rect.width(), widget->sizeHint().width()));
    widget->setGeometry(rect);
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
