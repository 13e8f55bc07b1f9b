#pragma once
// What every handle of a session shares: the open file, the last failure and the sync clock.
// Private to common/pst.

#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "pst/messaging.h"

class SyncDeferringIo;

struct PstContext {
    std::unique_ptr<pst::Store> store;  // empty before OpenStore and after LogOff
    SyncDeferringIo* io = nullptr;      // owned by the store
    QString path;
    QString lastError;
    std::function<void(const QString&)> sink;
    QElapsedTimer sinceSync;

    // Records a failure: keeps it as the last error and hands it to the sink.
    void Fail(const QString& what, const std::string& why);
    // Commits what is pending; syncs when the last sync is older than a few seconds.
    bool Commit(const QString& what);
    bool Sync();
};

// Runs a library call, and once more when it fails; false when both failed. The text of the
// last failure goes to the context.
template <class F>
bool Twice(PstContext& ctx, const QString& what, F&& call) {
    std::string err;
    if (call(err)) return true;
    err.clear();
    if (call(err)) return true;
    ctx.Fail(what, err);
    return false;
}
