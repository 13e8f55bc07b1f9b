#include "nsfadd/app/DialogUnits.h"

#include <QApplication>
#include <QFontMetricsF>

#include <cmath>

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetricsF metrics(font);
    x_ = metrics.averageCharWidth() / 4.0;
    y_ = metrics.height() / 8.0;
}

QFont DialogUnits::DialogFont() {
    QFont font = QApplication::font();
    font.setPointSize(8);
    return font;
}

int DialogUnits::X(double units) const {
    return int(std::lround(units * x_));
}

int DialogUnits::Y(double units) const {
    return int(std::lround(units * y_));
}

QRect DialogUnits::Rect(double x, double y, double width, double height) const {
    return {X(x), Y(y), X(width), Y(height)};
}

QSize DialogUnits::Size(double width, double height) const {
    return {X(width), Y(height)};
}
