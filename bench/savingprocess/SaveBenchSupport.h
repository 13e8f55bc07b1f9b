#pragma once
// Generated databases and hand-off folders for the nsfsave benchmarks.

#include "common/notes/LNStatus.h"

#include <QString>

enum class BenchKind { Mail, MailWithAttachments, Contact, Appointment };

BenchKind KindByName(const QString& name);
const char* KindName(BenchKind kind);

struct Scenario {
    QString database;
    QString pst;
    QString handoff;
    QString folderPath;
    NOTEID folderNoteId = 0;
};

// A database of `count` documents of the kind in one folder "Inbox", a PST with that folder
// and the hand-off files of a folder run starting at index 0.
bool WriteScenario(const QString& dir, BenchKind kind, int count, Scenario& scenario);
