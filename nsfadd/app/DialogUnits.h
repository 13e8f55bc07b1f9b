#pragma once
// Layouts in dialog units, the unit the launcher's windows were drawn in: one horizontal unit
// is a quarter of the dialog font's average character width, one vertical unit an eighth of
// its height, so the windows keep their proportions with any font.

#include <QFont>
#include <QRect>
#include <QSize>

class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font);
    // The dialog font of the launcher's windows: the system's user-interface font at 8 points.
    static QFont DialogFont();
    int X(double units) const;
    int Y(double units) const;
    QRect Rect(double x, double y, double width, double height) const;
    QSize Size(double width, double height) const;

  private:
    double x_;
    double y_;
};
