#pragma once
// Every dialog, message box and question of the launcher goes through this interface, so that
// tests answer them without a person and without a modal loop.

#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

class QWidget;

class UserDialogs {
  public:
    virtual ~UserDialogs() = default;
    // A message box with the caption "nsfadd" and the information icon.
    virtual void Message(QWidget* owner, const QString& text) = 0;
    // The same with Yes and No; true for Yes.
    virtual bool Question(QWidget* owner, const QString& text) = 0;
    // The folder browser; empty when cancelled.
    virtual QString ChooseFolder(QWidget* owner, const QString& title) = 0;
    // The file-open dialog for databases, several at once; nullopt when cancelled.
    virtual std::optional<QStringList> ChooseDatabases(QWidget* owner) = 0;
    virtual void About(QWidget* owner) = 0;
    virtual void Open(const QUrl& url) = 0;
};

// The real dialogs.
class QtUserDialogs : public UserDialogs {
  public:
    void Message(QWidget* owner, const QString& text) override;
    bool Question(QWidget* owner, const QString& text) override;
    QString ChooseFolder(QWidget* owner, const QString& title) override;
    std::optional<QStringList> ChooseDatabases(QWidget* owner) override;
    void About(QWidget* owner) override;
    void Open(const QUrl& url) override;
};
