#include "ViewerUi.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

#include <cstdlib>

// The pictures are compiled into the library; a static library must register them itself.
static void InitIconResources() {
    Q_INIT_RESOURCE(icons);
}

void ViewerUi::LoadPictures() {
    static const bool loaded = (InitIconResources(), true);
    (void)loaded;
}

QUrl ViewerUi::ManualUrl() {
    return QUrl(QStringLiteral("https://github.com/nsfconvert/nsfconvert/blob/main/docs/nsfview.md"));
}

QUrl ViewerUi::HomepageUrl() {
    return QUrl(QStringLiteral("https://github.com/nsfconvert/nsfconvert"));
}

void DesktopUi::Message(const QString& text) {
    QMessageBox::information(parent_, Title(), text);
}

bool DesktopUi::Ask(const QString& text) {
    QMessageBox box(QMessageBox::Information, Title(), text, QMessageBox::Yes | QMessageBox::No, parent_);
    return box.exec() == QMessageBox::Yes;
}

int DesktopUi::Run(QDialog& dialog) {
    return dialog.exec();
}

QString DesktopUi::ChooseFolder(const QString& title) {
    return QFileDialog::getExistingDirectory(parent_, title);
}

QString DesktopUi::ChooseFile() {
    return QFileDialog::getOpenFileName(parent_);
}

void DesktopUi::OpenUrl(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

QDateTime DesktopUi::Now() {
    return QDateTime::currentDateTime();
}

void DesktopUi::EndProcess() {
    std::_Exit(0);
}
