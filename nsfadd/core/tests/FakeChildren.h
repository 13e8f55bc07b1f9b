#pragma once
// A launcher that plays nsfview and nsfsave from a script: the listing it answers, and for each
// nsfsave process the record it leaves in "setting.txt" and the summary it logs.

#include "common/handoff/FolderList.h"
#include "common/handoff/HandoffPaths.h"
#include "common/handoff/ResumeRecord.h"
#include "common/handoff/RunLog.h"
#include "nsfadd/core/Conversion.h"

#include <deque>
#include <functional>

struct SaveStep {
    std::uint32_t resumeIndex = 0;
    std::uint8_t continueFlag = 1;
    int dumped = 0;  // items logged in the folder summary; -1: no summary
};

class FakeChildren : public ChildLauncher {
  public:
    bool Run(ChildProgram program, const ChildCommandLine& line, const std::function<bool()>&) override {
        calls.push_back(line);
        if (program == ChildProgram::View) {
            if (!listing.empty())
                WriteFolderListRecords(HandoffFilePath(line.handoffFolder, kFolderListFileName), listing);
            return viewStarts;
        }
        if (!saveStarts) return false;
        ResumeRecord record;
        ReadResumeRecord(HandoffFilePath(line.handoffFolder, kResumeFileName), record);
        passRecords.push_back(record);
        const SaveStep step = steps.empty() ? SaveStep{} : steps.front();
        if (!steps.empty()) steps.pop_front();
        if (step.dumped >= 0) {
            RunLog log;
            if (log.Open(line.handoffFolder + RunLog::FileName(), RunLog::Opening::AppendExisting))
                log.Write(
                    QStringLiteral("%1\t:items found\r\n%2\t:items Dump\r\nWarnings:\t 1\r\nErrors:\t0\r\n")
                        .arg(step.dumped + 1)
                        .arg(step.dumped));
        }
        record.resumeIndex = step.resumeIndex;
        record.continueFlag = step.continueFlag;
        OverwriteResumeRecord(HandoffFilePath(line.handoffFolder, kResumeFileName), record);
        return true;
    }

    std::vector<FolderRecord> listing;
    std::deque<SaveStep> steps;
    bool viewStarts = true;
    bool saveStarts = true;
    std::vector<ChildCommandLine> calls;
    std::vector<ResumeRecord> passRecords;  // "setting.txt" as each nsfsave process found it
};

class RecordingObserver : public ConversionObserver {
  public:
    void FileStatusChanged(int index, FileStatus status) override { statuses.push_back({index, status}); }
    void ActivityRow(const QString& text) override { rows << text; }
    std::vector<std::pair<int, FileStatus>> statuses;
    QStringList rows;
};

class RecordingPrompts : public ConversionPrompts {
  public:
    void Message(const QString& text) override { messages << text; }
    bool Question(const QString&) override { return true; }
    QStringList messages;
};
