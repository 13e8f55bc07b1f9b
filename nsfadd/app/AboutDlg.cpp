#include "nsfadd/app/AboutDlg.h"

#include "nsfadd/app/DialogUnits.h"

#include <QLabel>
#include <QPushButton>

CQuenmarkAboutDlg::CQuenmarkAboutDlg(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("nsfadd"));
    setFont(DialogUnits::DialogFont());
    const DialogUnits du(font());
    setFixedSize(du.Size(250, 90));
    auto* title = new QLabel(QStringLiteral("nsfadd"), this);
    QFont titleFont(QStringLiteral("Arial"));
    titleFont.setPixelSize(15);
    titleFont.setWeight(QFont::Weight(600));
    title->setFont(titleFont);
    title->setGeometry(du.Rect(10, 10, 200, 14));
    auto* text = new QLabel(QStringLiteral("Converts Lotus Notes mail databases into Outlook PST files. "
                                           "Part of nsfconvert, with nsfview and nsfsave."),
                            this);
    text->setWordWrap(true);
    text->setGeometry(du.Rect(10, 30, 230, 30));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setGeometry(du.Rect(190, 68, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
