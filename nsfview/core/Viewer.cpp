#include "nsfview/core/Viewer.h"

#include "common/handoff/FolderList.h"
#include "common/handoff/HandoffPaths.h"
#include "common/saveoptions/SaveOptions.h"

#include <QFile>

ViewerMode ModeOf(const QString& mode) {
    if (mode == QLatin1String("1")) return ViewerMode::Preview;
    if (mode == QLatin1String("2")) return ViewerMode::SaveOptions;
    if (mode == QLatin1String("3")) return ViewerMode::Listing;
    return ViewerMode::Empty;
}

ChildCommandLine ViewerCommandLine(const QStringList& argumentsAfterProgram) {
    if (argumentsAfterProgram.size() == 5) return ChildCommandLine::FromArguments(argumentsAfterProgram);
    return ChildCommandLine::ParseRaw(argumentsAfterProgram.join(QLatin1Char(' ')));
}

ViewerSession::ViewerSession(ChildCommandLine commandLine, ScanReport report)
    : line_(std::move(commandLine)), mode_(ModeOf(line_.mode)), report_(std::move(report)) {}

QString ViewerSession::FolderListPath() const {
    return HandoffFilePath(line_.handoffFolder, kFolderListFileName);
}

void ViewerSession::Status(const QString& text) {
    if (report_.status) report_.status(text);
}

bool ViewerSession::Start(ViewerPrompts& prompts) {
    QFile folderList(FolderListPath());
    if (line_.handoffFolder.isEmpty() || !folderList.open(QIODevice::ReadWrite | QIODevice::ExistingOnly)) {
        prompts.Message(QStringLiteral("Folder file cannot be open"));
        return false;
    }
    folderList.close();
    options_.logPath = line_.handoffFolder + RunLog::FileName();
    if (log_.Open(options_.logPath, RunLog::Opening::CreateOrAppend))
        log_.Write(QString(149, QLatin1Char('*')) + QStringLiteral("\r\n"));
    options_.counterMode = 0;
    return true;
}

void ViewerSession::RunListing() {
    ReadRunOptions(HandoffFilePath(line_.handoffFolder, kRunOptionsFileName), options_);
    Status(QStringLiteral("Opening  Database"));
    log_.WriteLine(QStringLiteral("Opening  Database "));
    NsfScanner scanner(&log_, &keepRunning_, report_);
    if (scanner.OpenDatabase(line_.databasePath, line_.server) == 0) return;
    const QString processing = QStringLiteral("Processing Folders for nsf file:  ") + line_.databasePath;
    log_.WriteLine(processing);
    Status(processing);
    std::vector<FolderRecord> records;
    for (const ScannedFolder& folder : scanner.ListFolders(options_))
        records.push_back(
            {saveoptions::ListingFolderPath(folder.name, options_), folder.hasEntries, folder.noteId});
    WriteFolderListRecords(FolderListPath(), records);
}
