#include "Workers.h"

void ItemListThread::run() {
    const QString processing = QString::fromLatin1(viewtext::kProcessingMail);
    session_.Log().WriteLine(processing);
    emit status(processing);
    records_ = ListFolderItems(session_.CommandLine().databasePath, session_.CommandLine().server, noteId_,
                               options_, &session_.Log(), &session_.KeepRunning(), SignalReport(this));
}
