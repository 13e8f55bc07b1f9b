#pragma once
// Layouts given in dialog units, turned into pixels with the dialog's font (x = average character
// width / 4, y = character height / 8), and the base of every dialog of the program: Enter and
// Escape do nothing, so only the buttons end a dialog.

#include <QDialog>
#include <QFont>
#include <QFontMetricsF>
#include <QRect>
#include <QString>

class QAbstractButton;
class QWidget;

class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font);
    QRect Rect(int x, int y, int w, int h) const;
    QSize Size(int w, int h) const { return Rect(0, 0, w, h).size(); }

  private:
    double x_;
    double y_;
};

class UnitDialog : public QDialog {
  public:
    UnitDialog(QWidget* parent, int width, int height);
    const DialogUnits& Units() const { return units_; }
    // Places `widget` (a child of this dialog) at a rectangle in dialog units.
    void Place(QWidget* widget, int x, int y, int w, int h) const;
    // Names a control for tests and assistive tools, and gives it its tooltip.
    static void Name(QWidget* widget, const QString& objectName, const QString& accessible,
                     const QString& tooltip = {});

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    DialogUnits units_;
};
