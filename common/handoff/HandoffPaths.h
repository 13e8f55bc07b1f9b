#pragma once
// Names of the files in the hand-off folder and how their paths are formed. The hand-off
// folder always ends with the platform's separator, so a file path is the folder with the
// name appended and nothing in between.

#include <QString>

inline constexpr char kFolderListFileName[] = "Folderpth.txt";
inline constexpr char kResumeFileName[] = "setting.txt";
inline constexpr char kCalendarIdsFileName[] = "cal.txt";
inline constexpr char kRunOptionsFileName[] = "config.txt";

// handoffFolder + fileName, exactly.
QString HandoffFilePath(const QString& handoffFolder, const char* fileName);

// The folder in native form with one platform separator at its end (added only when missing),
// as the launcher keeps the folder the user picked and as output folders are completed.
QString WithTrailingSeparator(const QString& folder);
