#pragma once
// What a converted store must hold, beyond the file's own soundness (pst::CheckPst): every
// message carries the properties its class needs, every recipient row names a person, and each
// folder's contents table agrees with its messages.

#include <QString>
#include <QStringList>

// One finding per line; empty for a sound converted store.
QStringList PstCheckConvertedStore(const QString& path);
