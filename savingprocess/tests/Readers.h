#pragma once
// The three independent readers over a PST written by nsfsave, reduced to what the tests
// compare: the subjects of the messages of one folder, as each reader sees them.

#include <QMap>
#include <QString>
#include <QStringList>

// Subjects per folder name (the last part of the folder's path), one entry per message.
using FolderSubjects = QMap<QString, QStringList>;

// pffexport -m all: the "Subject:" line of every message's OutlookHeaders.txt.
FolderSubjects PffexportSubjects(const QString& pst, const QString& workDir, QString* problems);
// readpst -S: one file per message; the "Subject:" header, encoded words decoded.
FolderSubjects ReadpstSubjects(const QString& pst, const QString& workDir, QString* problems);
// pst-extractor through tests/readers/pst_extractor_walk.js, under a time limit.
FolderSubjects PstExtractorSubjects(const QString& pst, QString* problems);
// pstcheck's verdict: empty when the file is sound.
QString PstCheckProblems(const QString& pst);
