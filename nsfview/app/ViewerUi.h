#pragma once
// Everything the windows ask of a person or of the desktop goes through ViewerUi: message
// boxes, Yes/No questions, modal dialogs, file and folder choosers, the browser, the clock and
// the end of the process. DesktopUi does it with real windows; tests answer it themselves.

#include "nsfview/core/Viewer.h"

#include <QDateTime>
#include <QString>
#include <QUrl>

class QDialog;
class QWidget;

class ViewerUi : public ViewerPrompts {
  public:
    // The caption of every message box, and the main window's title.
    static QString Title() { return QStringLiteral("nsfview"); }
    static QUrl ManualUrl();
    static QUrl HomepageUrl();
    // Makes the program's pictures available (once per process).
    static void LoadPictures();

    // An information box with OK (ViewerPrompts::Message), and a Yes/No question: true for Yes.
    virtual bool Ask(const QString& text) = 0;
    // Shows `dialog` modally; returns its result (QDialog::Accepted or Rejected).
    virtual int Run(QDialog& dialog) = 0;
    // A folder browser and an open-file dialog; empty when cancelled.
    virtual QString ChooseFolder(const QString& title) = 0;
    virtual QString ChooseFile() = 0;
    virtual void OpenUrl(const QUrl& url) = 0;
    virtual QDateTime Now() = 0;
    // Ends the process at once with exit code 0, without waiting for workers.
    virtual void EndProcess() = 0;
};

class DesktopUi : public ViewerUi {
  public:
    void SetParent(QWidget* parent) { parent_ = parent; }
    void Message(const QString& text) override;
    bool Ask(const QString& text) override;
    int Run(QDialog& dialog) override;
    QString ChooseFolder(const QString& title) override;
    QString ChooseFile() override;
    void OpenUrl(const QUrl& url) override;
    QDateTime Now() override;
    void EndProcess() override;

  private:
    QWidget* parent_ = nullptr;
};
