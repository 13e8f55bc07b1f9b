#include "nsfadd/core/Preview.h"

#include "common/handoff/FolderList.h"
#include "common/handoff/HandoffPaths.h"
#include "common/handoff/RunLog.h"

#include <QDateTime>
#include <QFileInfo>

PreviewEnd RunPreview(const PreviewSetup& setup) {
    LauncherState& state = *setup.state;
    const auto message = [&](const QString& text) {
        if (setup.prompts) setup.prompts->Message(text);
    };
    if (setup.logFolder.isEmpty() || !QFileInfo::exists(setup.logFolder)) {
        message(QStringLiteral("Please enter folder path to save log and settings files."));
        return PreviewEnd::Refused;
    }
    const QString handoff = WithTrailingSeparator(setup.logFolder);
    // Unlike Export, Preview keeps the run log and appends a new header to it.
    if (!state.logFilePath.isEmpty() && QFileInfo::exists(state.logFilePath)) {
        RunLog log;
        if (log.Open(state.logFilePath, RunLog::Opening::AppendExisting))
            log.WriteRunHeader(QDateTime::currentDateTime());
    }
    state.previewRun = true;
    const QString folderList = HandoffFilePath(handoff, kFolderListFileName);
    if (!CreateEmptyFolderList(folderList)) {
        message(QStringLiteral("Folder file cannot be created"));
        return PreviewEnd::Refused;
    }
    if (setup.rows.empty()) {
        message(QStringLiteral("Please add nsf file"));
        return PreviewEnd::Refused;
    }
    if (setup.selectionMark < 0 || setup.selectionMark >= int(setup.rows.size())) {
        message(QStringLiteral("Please Select a File From a List Control"));
        return PreviewEnd::Refused;
    }
    const FileRow current = setup.rows[std::size_t(setup.selectionMark)];
    state.lastPreview = current;
    if (setup.observer) setup.observer->ConversionStarting();
    if (!setup.launcher->Run(ChildProgram::View,
                             {current.path, current.server, QStringLiteral("1"), {}, handoff}))
        return PreviewEnd::NotStarted;

    FolderListResult answer;
    if (!ReadFolderList(folderList, FolderListKind::Selection, answer)) return PreviewEnd::Unreadable;
    switch (answer.status) {
        case FolderStatus::Result: {
            Conversion conversion(
                {handoff, setup.launcher, setup.observer, setup.prompts, &state.keepGoing, nullptr, true});
            conversion.ConvertOneFile(0, current, answer.records,
                                      WithTrailingSeparator(answer.pstTargetFolder));
            return PreviewEnd::Converted;
        }
        case FolderStatus::Back:
            return PreviewEnd::Back;
        default:
            return PreviewEnd::CloseAsked;
    }
}
