#pragma once
// People in the address texts the readers and writers pass around: entries joined by ";" or
// ",", each an Internet address ("ann@acme.com", "Ann Lee <ann@acme.com>") or a Notes name
// ("CN=Ann Lee/O=Acme", "Ann Lee"). Private to common/pst.

#include <QList>
#include <QString>

struct PstPerson {
    QString name;     // display name
    QString address;  // SMTP address, or the Notes name when it has none
    QString type;     // "SMTP" or "NOTES"
};

QList<PstPerson> SplitPeople(const QString& text);
PstPerson PersonOf(const QString& entry);
// An address as Outlook keeps it for a person: the one-off entry ID of [MS-OXCDATA] 2.2.5.1.
QByteArray OneOffEntryId(const PstPerson& p);
