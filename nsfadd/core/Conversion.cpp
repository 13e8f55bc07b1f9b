#include "nsfadd/core/Conversion.h"

#include "common/handoff/CalendarIds.h"
#include "common/handoff/HandoffPaths.h"
#include "common/handoff/PassRestart.h"
#include "common/handoff/ResumeRecord.h"
#include "common/handoff/RunLog.h"
#include "common/pst/PstStore.h"
#include "nsfadd/core/PassCounts.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>

#include <array>

namespace {

const QString kTopFolderFallback = QStringLiteral("\\\\Personal Folders");

// The kind a folder gets when the skeleton adds it, by its name without regard to case.
PstFolderKind KindOf(const QString& name) {
    struct Row {
        const char* name;
        int code;
        const char* containerClass;
    };
    static constexpr std::array<Row, 12> kRows = {{
        {"Tasks", 0, "IPF.Task"},
        {"Deleted Items", kPstDeletedItems, nullptr},
        {"Sent Items", kPstSentItems, nullptr},
        {"Junk E-mail", kPstJunkEmail, nullptr},
        {"Inbox", kPstInbox, nullptr},
        {"Outbox", kPstOutbox, nullptr},
        {"Drafts", kPstDrafts, nullptr},
        {"RSS Feeds", kPstRssFeeds, nullptr},
        {"Calendar", 0, "IPF.Appointment"},
        {"Contacts", kPstContacts, nullptr},
        {"Notes", 0, "IPF.StickyNote"},
        {"Journal", 0, "IPF.Journal"},
    }};
    for (const Row& row : kRows) {
        if (name.compare(QLatin1String(row.name), Qt::CaseInsensitive) != 0) continue;
        return row.containerClass ? PstFolderKind::Class(QString::fromLatin1(row.containerClass))
                                  : PstFolderKind::Default(row.code);
    }
    return PstFolderKind::None();
}

PstFolder FindOrAdd(PstFolders& folders, const QString& name) {
    if (PstFolder existing = folders.Item(name)) return existing;
    return folders.Add(name, KindOf(name));
}

}  // namespace

QString FileEndText(FileOutcome::End end) {
    switch (end) {
        case FileOutcome::End::Pending:
            return QStringLiteral("pending");
        case FileOutcome::End::Converted:
            return QStringLiteral("converted");
        case FileOutcome::End::ListingFailed:
            return QStringLiteral("not listed");
        case FileOutcome::End::StoreFailed:
            return QStringLiteral("no PST");
        case FileOutcome::End::Incomplete:
            return QStringLiteral("incomplete");
        case FileOutcome::End::Stopped:
            return QStringLiteral("stopped");
    }
    return {};
}

QString PassEndText(PassOutcome::End end) {
    switch (end) {
        case PassOutcome::End::NotRun:
            return QStringLiteral("not run");
        case PassOutcome::End::NotStarted:
            return QStringLiteral("not started");
        case PassOutcome::End::Finished:
            return QStringLiteral("finished");
        case PassOutcome::End::GivenUp:
            return QStringLiteral("given up");
        case PassOutcome::End::Stopped:
            return QStringLiteral("stopped");
    }
    return {};
}

QString PstFileName(const QString& databasePath) {
    const qsizetype cut = std::max(databasePath.lastIndexOf(u'\\'), databasePath.lastIndexOf(u'/'));
    QString name = cut < 0 ? QString() : databasePath.mid(cut + 1);
    if (cut < 0) name = databasePath;
    name = name.toUpper();
    name.replace(QLatin1String(".NSF"), QLatin1String(".PST"));
    name.replace(QLatin1String(".DXL"), QLatin1String(".PST"));
    return name;
}

QString ChoosePstPath(const QString& outputFolder, const QString& databasePath, const QStringList& taken) {
    const QString name = PstFileName(databasePath);
    const auto used = [&](const QString& path) { return QFileInfo::exists(path) || taken.contains(path); };
    QString path = outputFolder + name;
    for (int number = 0; used(path); ++number) path = outputFolder + QString::number(number) + name;
    return path;
}

QString CleanSkeletonName(const QString& name) {
    QString cleaned = name;
    for (QChar& c : cleaned)
        if (QStringView(u"\n\r/:*?<>|\\\t").contains(c)) c = u' ';
    return cleaned;
}

QStringList SkeletonLevels(const QString& recordPath) {
    if (recordPath.indexOf(u'\\', 1) < 0) return {CleanSkeletonName(recordPath)};
    QStringList levels;
    for (const QString& level : recordPath.split(u'\\'))
        if (!level.isEmpty()) levels << CleanSkeletonName(level);
    return levels;
}

Conversion::Conversion(Setup setup) : s_(std::move(setup)) {}

QString Conversion::LogPath() const {
    return s_.handoffFolder + RunLog::FileName();
}

bool Conversion::KeepGoing() const {
    return (!s_.keepGoing || s_.keepGoing->load()) && !StopRequested();
}

bool Conversion::StopRequested() const {
    return s_.stopRequested && s_.stopRequested->load();
}

void Conversion::Activity(const QString& text) {
    if (s_.observer) s_.observer->ActivityRow(text);
}

void Conversion::Message(const QString& text) {
    if (s_.prompts) s_.prompts->Message(text);
}

void Conversion::LogLine(const QString& text) {
    // Opened per line and closed at once: a child may append to the same file next.
    RunLog log;
    if (QFileInfo::exists(LogPath()) && log.Open(LogPath(), RunLog::Opening::AppendExisting))
        log.WriteLine(text);
}

bool Conversion::PrepareExport(const QString& logFolder, const std::vector<FileRow>& rows,
                               const FileRow& lastPreview, QString* optionsOutputFolder) {
    if (logFolder.isEmpty() || !QFileInfo::exists(logFolder)) {
        Message(QStringLiteral("Please enter folder path to save log and settings files."));
        return false;
    }
    s_.handoffFolder = WithTrailingSeparator(logFolder);
    {
        RunLog log;
        if (log.Open(LogPath(), RunLog::Opening::Recreate)) log.WriteRunHeader(QDateTime::currentDateTime());
    }
    s_.previewRun = false;
    const QString folderList = HandoffFilePath(s_.handoffFolder, kFolderListFileName);
    if (!CreateEmptyFolderList(folderList)) {
        Message(QStringLiteral("Folder file cannot be created"));
        return false;
    }
    if (rows.empty()) {
        Message(QStringLiteral("Please add nsf file"));
        return false;
    }
    const ChildCommandLine line{
        lastPreview.path, lastPreview.server, QStringLiteral("2"), {}, s_.handoffFolder};
    if (s_.observer) s_.observer->ConversionStarting();
    if (!s_.launcher->Run(ChildProgram::View, line)) return false;
    FolderListResult result;
    // A file that cannot be read keeps the output folder known before, as the window would.
    if (!ReadFolderList(folderList, FolderListKind::SaveOptions, result)) return true;
    if (result.status != FolderStatus::Result) return false;
    if (optionsOutputFolder) *optionsOutputFolder = result.outputFolder;
    return true;
}

std::vector<FileOutcome> Conversion::ExportLoop(const std::vector<FileRow>& rows,
                                                const QString& optionsOutputFolder) {
    std::vector<FileOutcome> outcomes(rows.size());
    for (std::size_t j = 0; j < rows.size(); ++j) {
        outcomes[j].file = rows[j];
        if (s_.observer) s_.observer->FileRowAdded(int(j), rows[j], optionsOutputFolder);
    }
    for (std::size_t j = 0; j < rows.size() && KeepGoing(); ++j) {
        if (s_.observer) s_.observer->FileStatusChanged(int(j), FileStatus::Processing);
        outcomes[j] = ListAndConvert(int(j), rows[j], optionsOutputFolder);
        if (s_.observer) s_.observer->FileStatusChanged(int(j), FileStatus::Completed);
    }
    Activity(QStringLiteral("Conversion process successfully completed for selected NSF file(s)."));
    Message(QStringLiteral("Conversion process completed for selected NSF files(s)"));
    return outcomes;
}

FileOutcome Conversion::ListAndConvert(int fileIndex, const FileRow& file, const QString& outputFolder,
                                       const QString& pstPath) {
    QElapsedTimer clock;
    clock.start();
    const QString folderList = HandoffFilePath(s_.handoffFolder, kFolderListFileName);
    CreateEmptyFolderList(folderList);
    const ChildCommandLine line{file.path, file.server, QStringLiteral("3"), {}, s_.handoffFolder};
    FolderListResult result;
    FileOutcome outcome;
    if (s_.launcher->Run(ChildProgram::View, line) &&
        ReadFolderList(folderList, FolderListKind::Listing, result) &&
        result.status == FolderStatus::Result) {
        outcome = ConvertOneFile(fileIndex, file, result.records, outputFolder, pstPath);
    } else {
        outcome.file = file;
        outcome.end = FileOutcome::End::ListingFailed;
        outcome.message = result.damaged
                              ? QStringLiteral("the folder list nsfview wrote is damaged")
                              : QStringLiteral("nsfview gave no folder list: the database cannot be read");
    }
    outcome.seconds = double(clock.elapsed()) / 1000.0;
    if (s_.observer) s_.observer->FileFinished(fileIndex, outcome);
    return outcome;
}

FileOutcome Conversion::ConvertOneFile(int fileIndex, const FileRow& file,
                                       const std::vector<FolderRecord>& records, const QString& outputFolder,
                                       const QString& pstPath) {
    FileOutcome outcome;
    outcome.file = file;
    CreateEmptyCalendarIds(HandoffFilePath(s_.handoffFolder, kCalendarIdsFileName));
    outcome.pstPath = pstPath.isEmpty() ? ChoosePstPath(outputFolder, file.path) : pstPath;

    QString topPath;
    {
        PstSession session;
        PstStore store = session.OpenStore(outcome.pstPath, 1, QStringLiteral("Personal Folders"));
        if (!store) {
            const QString line = QStringLiteral("Saving process stopped,pst session not open successfully.");
            LogLine(line);
            Message(line);
            outcome.end = FileOutcome::End::StoreFailed;
            outcome.message = session.LastError();
            return outcome;
        }
        store.Prepare();
        topPath = store.TopFolder().Path();
        if (topPath.isEmpty()) topPath = kTopFolderFallback;
        Activity(QStringLiteral("Output PST file Path: ") + outcome.pstPath);
        LogLine(QStringLiteral("Output PST file Path: ") + outcome.pstPath);
        const int n = int(records.size());
        if (s_.observer) {
            s_.observer->ProgressRange(0, n);
            s_.observer->ProgressPosition(0);
        }
        for (int i = 0; i < n && KeepGoing(); ++i) {
            if (s_.observer) s_.observer->ProgressPosition(i);
            PstFolders current = store.TopFolder().Folders();
            // A folder that cannot be found or added leaves its sub-folders out.
            for (const QString& level : SkeletonLevels(records[std::size_t(i)].path)) {
                const PstFolder folder = FindOrAdd(current, level);
                if (!folder) break;
                current = folder.Folders();
            }
        }
        session.LogOff();
    }
    Activity(QStringLiteral("pst file structure created successfully"));
    LogLine(QStringLiteral("pst file structure created successfully"));

    const QString settings = HandoffFilePath(s_.handoffFolder, kResumeFileName);
    bool complete = true;
    for (std::size_t j = 0; j < records.size() && KeepGoing(); ++j) {
        if (s_.observer) s_.observer->ProgressPosition(int(j));
        FolderOutcome folder{
            records[j], topPath + QLatin1Char('\\') + SkeletonLevels(records[j].path).join(u'\\'), {}};
        Activity(QStringLiteral("Processing folder: ") + folder.pstFolderPath);
        if (records[j].hasEntries == 1) {
            CreateResumeRecord(settings, {records[j].noteId, 0, folder.pstFolderPath, 1});
            folder.pass = RunPass(fileIndex, file, QStringLiteral("0"), outcome.pstPath);
            complete = complete && folder.pass.end == PassOutcome::End::Finished;
        }
        outcome.folders.push_back(folder);
        if (s_.observer) s_.observer->FolderFinished(fileIndex, folder);
    }
    if (KeepGoing()) {
        CreateResumeRecord(settings, {0, 0, outputFolder, 1});
        outcome.calendar = RunPass(fileIndex, file, QStringLiteral("1"), outcome.pstPath);
        complete = complete && (outcome.calendar.end == PassOutcome::End::Finished);
    }
    if (s_.observer) s_.observer->ProgressPosition(int(records.size()));
    if (s_.previewRun) {
        const QString done = QStringLiteral("NSF file conversion process successfully.");
        Activity(done);
        LogLine(done);
        Message(done);
    }
    const bool stopped = !KeepGoing() || outcome.calendar.end == PassOutcome::End::Stopped;
    outcome.end = stopped    ? FileOutcome::End::Stopped
                  : complete ? FileOutcome::End::Converted
                             : FileOutcome::End::Incomplete;
    if (outcome.end == FileOutcome::End::Incomplete)
        outcome.message = QStringLiteral("a pass of nsfsave was given up or could not start");
    return outcome;
}

PassOutcome Conversion::RunPass(int fileIndex, const FileRow& file, const QString& mode,
                                const QString& pstPath) {
    PassOutcome outcome;
    QElapsedTimer clock;
    clock.start();
    const QString settings = HandoffFilePath(s_.handoffFolder, kResumeFileName);
    const qint64 logStart = QFileInfo(LogPath()).size();
    const ChildCommandLine line{file.path, file.server, mode, pstPath, s_.handoffFolder};
    const bool folderPass = mode != QLatin1String("1");
    PassRestart restart;
    if (s_.observer) {
        ResumeRecord first;
        ReadResumeRecord(settings, first);
        s_.observer->PassStarted(fileIndex, first.path);
    }
    const auto tick = [&] {
        ResumeRecord now;
        if (s_.observer && ReadResumeRecord(settings, now)) s_.observer->PassAt(fileIndex, now.resumeIndex);
        return !StopRequested();
    };
    for (;;) {
        if (!s_.launcher->Run(ChildProgram::Save, line, tick)) {
            if (outcome.starts == 0) outcome.end = PassOutcome::End::NotStarted;
            break;
        }
        ++outcome.starts;
        const PassDecision decision = restart.AfterProcess(settings);
        if (decision == PassDecision::Stopped) {
            if (folderPass && s_.keepGoing) s_.keepGoing->store(false);
            outcome.end = PassOutcome::End::Stopped;
            break;
        }
        if (StopRequested()) {
            outcome.end = PassOutcome::End::Stopped;
            break;
        }
        if (decision == PassDecision::Finished) {
            outcome.end = PassOutcome::End::Finished;
            break;
        }
        if (decision == PassDecision::GivenUp) {
            outcome.end = PassOutcome::End::GivenUp;
            break;
        }
    }
    const PassCounts counts = ReadPassCounts(LogPath(), logStart, folderPass);
    outcome.found = counts.found;
    outcome.converted = counts.converted;
    outcome.warnings = counts.warnings;
    outcome.errors = counts.errors;
    outcome.seconds = double(clock.elapsed()) / 1000.0;
    return outcome;
}
