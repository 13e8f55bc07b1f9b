#pragma once
// An unsaved item: the message being built and the folder it goes to. Private to common/pst.

#include <QList>
#include <QString>
#include <memory>

#include "common/pst/PstAddresses.h"
#include "common/pst/PstContext.h"

struct PstItemData {
    std::shared_ptr<PstContext> ctx;
    uint32_t folder = 0;
    QString messageClass;
    pst::NewMessage msg;
    bool saved = false;
    QList<PstPerson> members;  // of a group list, written at save

    // The property ID of a named property (0 when the name map refuses it).
    uint16_t Named(const pst::Guid& set, uint32_t lid);
    uint16_t NamedString(const pst::Guid& set, const char* name);
};

// Time values as PT_SYSTIME: 100-ns intervals since 1601-01-01 UTC.
uint64_t ToFileTime(const class QDateTime& when);
