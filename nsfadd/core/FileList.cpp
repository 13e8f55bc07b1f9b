#include "nsfadd/core/FileList.h"

#include "common/handoff/HandoffPaths.h"
#include "common/handoff/RunLog.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>

namespace {

const QString kPleaseWait = QStringLiteral("Please wait while process is running.");
const QString kAddToContinue = QStringLiteral("Add files to continue the process.");
const QString kRemoveRefusal =
    QStringLiteral("Please stop the running process to remove file(s) from the list.");

// The closing status of add and search, with the total as a log line.
void ReportTotal(const LauncherState& state, FileListSink& sink) {
    const int count = sink.RowCount();
    sink.Status(TotalFilesText(count));
    if (count > 0) AppendLogLine(state.logFilePath, TotalFilesText(count));
}

}  // namespace

bool FileList::Contains(const QString& path) const {
    return std::any_of(rows_.begin(), rows_.end(),
                       [&](const FileRow& row) { return row.path.compare(path, Qt::CaseInsensitive) == 0; });
}

bool FileList::Append(const QString& path) {
    if (Contains(path)) return false;
    rows_.push_back({path, {}});
    return true;
}

void FileList::Remove(int index) {
    if (index >= 0 && index < Count()) rows_.erase(rows_.begin() + index);
}

QString TotalFilesText(int count) {
    return count == 0 ? kAddToContinue : QStringLiteral("Total number of files: [%1]").arg(count);
}

bool IsTotalFilesText(const QString& text) {
    return text.startsWith(QLatin1String("Total number of files: ["));
}

QString RepairRootPath(QString path) {
    return path.replace(QLatin1String(":\\\\"), QLatin1String(":\\"));
}

bool IsDatabaseFileName(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot < 0) return false;
    const QStringView extension = QStringView(fileName).mid(dot + 1);
    return extension.compare(QLatin1String("nsf"), Qt::CaseInsensitive) == 0 ||
           extension.compare(QLatin1String("dxl"), Qt::CaseInsensitive) == 0;
}

void AppendLogLine(const QString& logFilePath, const QString& text) {
    if (logFilePath.isEmpty() || !QFileInfo::exists(logFilePath)) return;
    RunLog log;
    if (log.Open(logFilePath, RunLog::Opening::AppendExisting)) log.WriteLine(text);
}

QString ChooseLogFolder(LauncherState& state, const QString& chosenFolder) {
    if (chosenFolder.isEmpty() || !QFileInfo(chosenFolder).isDir())
        return QStringLiteral("Please select valid folder path to save log file.");
    state.logFilePath = WithTrailingSeparator(chosenFolder) + RunLog::FileName();
    RunLog log;
    // A file that cannot be deleted is kept and appended to.
    if (!log.Open(state.logFilePath, RunLog::Opening::Recreate))
        log.Open(state.logFilePath, RunLog::Opening::AppendExisting);
    return {};
}

QString ListCommandRefusal(const LauncherState& state, ListCommand command, const QString& logFolderText) {
    if (state.busy.load() == 1)
        return command == ListCommand::Add
                   ? QStringLiteral("Please stop the running process to add file(s) in the list.")
                   : QStringLiteral("Please stop the running process to search nsf files");
    if (logFolderText.isEmpty() || !QFileInfo::exists(logFolderText))
        return QStringLiteral("Please enter folder path to save log and settings files.");
    return {};
}

void AddFiles(LauncherState& state, FileListSink& sink, const QStringList& selected, bool confirmed) {
    if (confirmed) {
        sink.Status(kPleaseWait);
        state.busy.store(1);
        sink.ShowProgress(true, int(selected.size()), false);
        for (int i = 0; i < selected.size() && state.busy.load() == 1; ++i) {
            const QString path = RepairRootPath(selected[i]);
            if (sink.Contains(path)) continue;
            if (!QFileInfo::exists(path)) {
                const QString text = path + QStringLiteral(" Selected file is not valid.");
                sink.Message(text);
                AppendLogLine(state.logFilePath, text);
                continue;
            }
            sink.Append(path);
            AppendLogLine(state.logFilePath, path);
            sink.Progress(i + 1);
            sink.Status(path);
        }
        sink.Progress(int(selected.size()));
    }
    sink.ShowProgress(false, 0, false);
    state.busy.store(0);
    ReportTotal(state, sink);
}

bool SearchFolder(LauncherState& state, FileListSink& sink, const QString& chosenFolder) {
    const QString folder = chosenFolder.trimmed();
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) return false;
    state.busy.store(1);
    sink.Status(kPleaseWait);
    sink.ShowProgress(true, 0, true);
    SearchTree(state, sink, folder);
    state.busy.store(0);
    sink.ShowProgress(false, 0, false);
    ReportTotal(state, sink);
    return true;
}

void SearchTree(LauncherState& state, FileListSink& sink, const QString& folder) {
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (state.busy.load() == 1 && it.hasNext()) {
        const QFileInfo entry = it.nextFileInfo();
        if (entry.isDir()) {
            if (!entry.isSymLink()) SearchTree(state, sink, entry.filePath());
            continue;
        }
        const QString path = QDir::toNativeSeparators(entry.filePath());
        if (!IsDatabaseFileName(entry.fileName()) || sink.Contains(path)) continue;
        sink.Append(path);
        sink.Status(path);
        AppendLogLine(state.logFilePath, path);
    }
}

RemoveResult RemoveSelected(LauncherState& state, FileList& list, std::vector<int> selectedRows) {
    if (state.busy.load() == 1) return {kRemoveRefusal, {}};
    if (list.Count() == 0) return {QStringLiteral("No file(s) is present in the list to remove."), {}};
    if (selectedRows.empty()) return {QStringLiteral("No file(s) selected to remove."), {}};
    std::sort(selectedRows.begin(), selectedRows.end(), std::greater<>());
    selectedRows.erase(std::unique(selectedRows.begin(), selectedRows.end()), selectedRows.end());
    for (int row : selectedRows) list.Remove(row);
    return {{},
            list.Count() == 0 ? QStringLiteral("Add NSF files to continue the process.")
                              : TotalFilesText(list.Count())};
}

RemoveResult RemoveAll(LauncherState& state, FileList& list) {
    if (state.busy.load() == 1) return {kRemoveRefusal, {}};
    if (list.Count() == 0) return {QStringLiteral("No file is present in the list to remove"), {}};
    list.Clear();
    return {{}, kAddToContinue};
}

void StopRequest(LauncherState& state, ConversionPrompts& prompts) {
    if (state.busy.load() != 1) return;
    if (prompts.Question(QStringLiteral("Are you sure to stop the running process?"))) state.busy.store(0);
}

AnimationStep NextAnimationStep(int position) {
    if (position >= 1000) return {true, 0};
    return {false, position + 1};
}

bool CloseRequest(LauncherState& state, ConversionPrompts& prompts) {
    if (state.busy.load() == 1) {
        prompts.Message(QStringLiteral("Please wait for the running process."));
        return false;
    }
    if (!prompts.Question(QStringLiteral("Do you want to Close Application ?"))) return false;
    AppendLogLine(state.logFilePath, QStringLiteral("Application closed by user"));
    return true;
}
