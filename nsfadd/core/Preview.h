#pragma once
// Preview: one listed database opened in nsfview's selection mode, and what its answer in
// "Folderpth.txt" leads to. A save request converts that database with the ticked folders,
// on the calling thread, with the same per-file conversion as Export.

#include "nsfadd/core/Conversion.h"
#include "nsfadd/core/FileList.h"

#include <QString>

#include <vector>

enum class PreviewEnd {
    Refused,     // a check failed; its message was shown
    NotStarted,  // nsfview could not be started: back to the list without a message
    Back,        // the user chose Back
    Converted,   // the ticked folders were converted
    CloseAsked,  // the user closed nsfview, or it wrote nothing: the Close question follows
    Unreadable,  // "Folderpth.txt" could not be opened afterwards: nothing more happens
};

struct PreviewSetup {
    LauncherState* state = nullptr;
    ChildLauncher* launcher = nullptr;
    ConversionObserver* observer = nullptr;  // ConversionStarting() shows the progress window
    ConversionPrompts* prompts = nullptr;
    QString logFolder;          // the text of the log-folder field
    std::vector<FileRow> rows;  // the list, in order
    int selectionMark = -1;     // the row the user selected last; -1: none
};

PreviewEnd RunPreview(const PreviewSetup& setup);
