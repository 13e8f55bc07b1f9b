#pragma once
// Time zones as Outlook stores an appointment's zones ([MS-OXOCAL] 2.2.1.39 TZSTRUCT and
// 2.2.1.41 TZDEFINITION), and Notes zone texts resolved to real zones. Private to common/pst.

#include <QByteArray>
#include <QString>
#include <QTimeZone>

// The zone a Notes zone text or a zone name (IANA, Windows, "GMT"/"UTC") stands for.
QTimeZone PstResolveZone(const QString& text);
// The Windows name Outlook shows for a zone ("W. Europe Standard Time", "UTC").
QString PstWindowsZoneName(const QTimeZone& zone);
// The zone's rule in force in `year`, as TZSTRUCT and as a TZDEFINITION of one rule.
QByteArray PstTzStruct(const QTimeZone& zone, int year);
QByteArray PstTzDefinition(const QTimeZone& zone, int year);
