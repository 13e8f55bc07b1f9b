#include "nsfadd/app/UserDialogs.h"

#include "nsfadd/app/AboutDlg.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>

namespace {
const QString kCaption = QStringLiteral("nsfadd");
}

void QtUserDialogs::Message(QWidget* owner, const QString& text) {
    QMessageBox::information(owner, kCaption, text);
}

bool QtUserDialogs::Question(QWidget* owner, const QString& text) {
    QMessageBox box(QMessageBox::Information, kCaption, text, QMessageBox::Yes | QMessageBox::No, owner);
    return box.exec() == QMessageBox::Yes;
}

QString QtUserDialogs::ChooseFolder(QWidget* owner, const QString& title) {
    return QDir::toNativeSeparators(QFileDialog::getExistingDirectory(owner, title));
}

std::optional<QStringList> QtUserDialogs::ChooseDatabases(QWidget* owner) {
    const QStringList names =
        QFileDialog::getOpenFileNames(owner, {}, {}, QStringLiteral("NSF File(s) (*.nsf *.dxl)"));
    if (names.isEmpty()) return std::nullopt;
    QStringList native;
    for (const QString& name : names) native << QDir::toNativeSeparators(name);
    return native;
}

void QtUserDialogs::About(QWidget* owner) {
    CQuenmarkAboutDlg about(owner);
    about.exec();
}

void QtUserDialogs::Open(const QUrl& url) {
    QDesktopServices::openUrl(url);
}
