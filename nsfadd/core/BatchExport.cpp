#include "nsfadd/core/BatchExport.h"

#include "common/handoff/FolderList.h"
#include "common/handoff/HandoffPaths.h"
#include "common/handoff/RunLog.h"
#include "common/saveoptions/SaveOptions.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <mutex>
#include <thread>

namespace {

constexpr int kMaxJobs = 64;

const QStringList& PeriodKeys() {
    static const QStringList keys = {"all", "1w", "2w", "3w", "3m", "6m", "9m", "1y", "2y", "3y"};
    return keys;
}

std::optional<QDateTime> ParseRangeEnd(const QString& text, bool end) {
    for (const char* format : {"yyyy-MM-ddTHH:mm:ss", "yyyy-MM-ddTHH:mm"}) {
        const QDateTime value = QDateTime::fromString(text, QLatin1String(format));
        if (value.isValid()) return value;
    }
    const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid()) return std::nullopt;
    // A date alone covers the whole day.
    return QDateTime(date, end ? QTime(23, 59, 59) : QTime(0, 0));
}

// Which option a refusal of the save rules is about.
QString OptionOfMessage(const QString& message) {
    using namespace saveoptions::msg;
    const std::pair<const char*, const char*> table[] = {
        {kInvalidFolder, "--output"},
        {kNoRange, "--range"},
        {kInvalidDomain, "--smtp-domain"},
        {kCsvCannotOpen, "--address-csv"},
        {kCsvNotValid, "--address-csv"},
        {kNsfCannotAccess, "--address-book"},
        {kNoTranslationSource, "--smtp-pattern"},
        {kNoFolderMapping, "--map-folder"},
    };
    for (const auto& [text, option] : table)
        if (message == QLatin1String(text)) return QString::fromLatin1(option);
    return {};
}

}  // namespace

bool IsBatchCommandLine(const QStringList& args) {
    return args.contains(QStringLiteral("--export")) || args.contains(QStringLiteral("--help")) ||
           args.contains(QStringLiteral("-h"));
}

QString BatchUsage() {
    return QStringLiteral(
        "Usage: nsfadd --export --log-folder DIR --output DIR [options] DATABASE...\n"
        "\n"
        "Converts each database (*.nsf, *.dxl) into a PST in the output folder, without windows.\n"
        "The run log, \"config.txt\" and the other hand-off files go into the log folder.\n"
        "\n"
        "Save options (defaults are those the dialogs start with):\n"
        "  --period P             all (default), 1w, 2w, 3w, 3m, 6m, 9m, 1y, 2y or 3y: the last weeks,\n"
        "                         months or calendar years, as in the save dialog's period list\n"
        "  --range START,END      a manual date range; repeat for more. Dates YYYY-MM-DD (the whole\n"
        "                         day) or YYYY-MM-DDTHH:MM[:SS]\n"
        "  --include-all          convert the \"($All)\" view too (left out by default)\n"
        "  --decrypt              remove encryption from encrypted documents\n"
        "  --doclinks             save document links as link files\n"
        "  --internet-header      the \"Save Internet Header\" choice\n"
        "  --smtp-pattern N       address pattern 0-7 (0 Firstname@domainname, 1 Lastname@,\n"
        "                         2 Firstname.Lastname@, 3 Lastname.Firstname@, 4 FI.Lastname@,\n"
        "                         5 Lastname.FI@, 6 Firstname.LI@, 7 LI.Firstname@)\n"
        "  --smtp-domain DOMAIN   the domain of the pattern (name.tld)\n"
        "  --address-csv FILE     addresses from a CSV file (name,address per line)\n"
        "  --address-book FILE    addresses from a names.nsf address book\n"
        "  --map-folder STD=NAME  give a standard folder (Inbox, Drafts, Sent Items, Trash,\n"
        "                         Junk E-mail, Tasks, Contacts, Calendar, Journal) a custom name\n"
        "\n"
        "Running many databases:\n"
        "  --jobs N               convert N databases at once, each with its own hand-off folder\n"
        "                         and run log under the log folder (default 1)\n"
        "  --incremental          add to existing PSTs only what they do not hold yet\n"
        "  --report FILE          write a JSON report per database and folder\n"
        "  --quiet                print only each database's outcome\n"
        "  --help                 this text\n"
        "\n"
        "Exit status: 0 when every database was converted, 1 when one was not, 2 for a wrong\n"
        "command line.\n");
}

BatchParse ParseBatchCommandLine(const QStringList& args, const QDateTime& now) {
    BatchParse parse;
    BatchSettings& s = parse.settings;
    const auto fail = [&](const QString& text) {
        parse.action = BatchParse::Action::Error;
        parse.error = text;
        return parse;
    };
    saveoptions::SaveDialogChoices save;
    saveoptions::AdvancedChoices advanced;
    advanced.smtpManual = advanced.csvSource = advanced.namesNsfSource = false;
    bool exportAsked = false, periodGiven = false, smtpPatternGiven = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const auto value = [&](QString* out) {
            if (i + 1 >= args.size()) return false;
            *out = args[++i];
            return true;
        };
        QString v;
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            parse.action = BatchParse::Action::Help;
            return parse;
        } else if (arg == QLatin1String("--export")) {
            exportAsked = true;
        } else if (arg == QLatin1String("--include-all")) {
            advanced.excludeAllFolder = false;
        } else if (arg == QLatin1String("--decrypt")) {
            advanced.removeEncryption = true;
        } else if (arg == QLatin1String("--doclinks")) {
            advanced.saveDocLinks = true;
        } else if (arg == QLatin1String("--internet-header")) {
            advanced.saveInternetHeader = true;
        } else if (arg == QLatin1String("--incremental")) {
            s.incremental = true;
        } else if (arg == QLatin1String("--quiet")) {
            s.quiet = true;
        } else if (arg.startsWith(QLatin1String("--"))) {
            if (!value(&v)) return fail(arg + QStringLiteral(": a value is missing"));
            if (arg == QLatin1String("--log-folder")) {
                s.logFolder = v;
            } else if (arg == QLatin1String("--output")) {
                s.outputFolder = v;
            } else if (arg == QLatin1String("--report")) {
                s.reportPath = v;
            } else if (arg == QLatin1String("--jobs")) {
                bool ok = false;
                s.jobs = v.toInt(&ok);
                if (!ok || s.jobs < 1 || s.jobs > kMaxJobs)
                    return fail(
                        QStringLiteral("--jobs: a number from 1 to %1, not \"%2\"").arg(kMaxJobs).arg(v));
            } else if (arg == QLatin1String("--period")) {
                save.periodIndex = int(PeriodKeys().indexOf(v));
                if (save.periodIndex < 0)
                    return fail(
                        QStringLiteral("--period: one of %1, not \"%2\"").arg(PeriodKeys().join(", "), v));
                periodGiven = true;
            } else if (arg == QLatin1String("--range")) {
                const QStringList ends = v.split(u',');
                const auto start = ends.size() == 2 ? ParseRangeEnd(ends[0].trimmed(), false) : std::nullopt;
                const auto end = ends.size() == 2 ? ParseRangeEnd(ends[1].trimmed(), true) : std::nullopt;
                if (!start || !end)
                    return fail(
                        QStringLiteral("--range: START,END as YYYY-MM-DD[THH:MM[:SS]], not \"%1\"").arg(v));
                if (saveoptions::AddManualRange(save.manualRanges, *start, *end) ==
                    saveoptions::AddRange::EndBeforeStart)
                    return fail(QStringLiteral("--range \"%1\": ").arg(v) +
                                QString::fromLatin1(saveoptions::msg::kEndBeforeStart));
                save.manual = true;
            } else if (arg == QLatin1String("--smtp-pattern")) {
                bool ok = false;
                advanced.smtpPattern = v.toInt(&ok);
                if (!ok) advanced.smtpPattern = int(saveoptions::SmtpPatternNames().indexOf(v));
                if (advanced.smtpPattern < 0 || advanced.smtpPattern > 7)
                    return fail(QStringLiteral("--smtp-pattern: a number from 0 to 7, not \"%1\"").arg(v));
                smtpPatternGiven = true;
            } else if (arg == QLatin1String("--smtp-domain")) {
                advanced.smtpDomain = v;
                advanced.smtpManual = true;
            } else if (arg == QLatin1String("--address-csv")) {
                advanced.csvPath = v;
                advanced.csvSource = true;
            } else if (arg == QLatin1String("--address-book")) {
                advanced.namesNsfPath = v;
                advanced.namesNsfSource = true;
            } else if (arg == QLatin1String("--map-folder")) {
                const qsizetype eq = v.indexOf(u'=');
                const QString key = v.left(eq), custom = v.mid(eq + 1);
                if (eq < 0 || !saveoptions::StandardFolderNames().contains(key))
                    return fail(
                        QStringLiteral("--map-folder: STANDARD=NAME with STANDARD one of %1, not \"%2\"")
                            .arg(saveoptions::StandardFolderNames().join(", "), v));
                if (!saveoptions::IsValidCustomFolderName(custom))
                    return fail(QStringLiteral("--map-folder \"%1\": ").arg(v) +
                                QString::fromLatin1(saveoptions::msg::kInvalidFolderName));
                advanced.folderMap[key] = custom;
                advanced.folderMapping = true;
            } else {
                return fail(arg + QStringLiteral(": unknown option (see --help)"));
            }
        } else {
            s.databases << arg;
        }
    }
    if (!exportAsked)
        return fail(QStringLiteral("--export: missing (the windows are not part of this build)"));
    if (s.logFolder.isEmpty()) return fail(QStringLiteral("--log-folder: missing"));
    if (!QFileInfo(s.logFolder).isDir())
        return fail(QStringLiteral("--log-folder: not a folder: ") + s.logFolder);
    if (s.outputFolder.isEmpty()) return fail(QStringLiteral("--output: missing"));
    if (!QFileInfo(s.outputFolder).isDir())
        return fail(QStringLiteral("--output: not a folder: ") + s.outputFolder);
    if (periodGiven && save.manual) return fail(QStringLiteral("--period and --range: choose one"));
    if (smtpPatternGiven && !advanced.smtpManual)
        return fail(QStringLiteral("--smtp-pattern: needs --smtp-domain"));
    if (s.databases.isEmpty()) return fail(QStringLiteral("no database given"));
    for (const QString& db : s.databases)
        if (!QFileInfo(db).isFile()) return fail(QStringLiteral("database not found: ") + db);
    for (QString& db : s.databases) db = QFileInfo(db).absoluteFilePath();
    s.logFolder = QFileInfo(s.logFolder).absoluteFilePath();
    s.outputFolder = QFileInfo(s.outputFolder).absoluteFilePath();
    if (!s.reportPath.isEmpty()) s.reportPath = QFileInfo(s.reportPath).absoluteFilePath();

    advanced.addressTranslation = advanced.smtpManual || advanced.csvSource || advanced.namesNsfSource;
    s.options = saveoptions::DialogDefaults();
    save.folderPath = s.outputFolder;
    QString refusal = saveoptions::ApplySaveDialog(save, now, s.options);
    if (refusal.isEmpty()) refusal = saveoptions::ApplyAdvancedSettings(advanced, s.options);
    if (!refusal.isEmpty()) {
        const QString option = OptionOfMessage(refusal);
        return fail((option.isEmpty() ? QString() : option + QStringLiteral(": ")) + refusal);
    }
    parse.action = BatchParse::Action::Run;
    return parse;
}

int BatchRun::ExitStatus() const {
    if (stopped) return 1;
    for (const FileOutcome& f : files)
        if (f.end != FileOutcome::End::Converted) return 1;
    return 0;
}

QString JobHandoffFolder(const BatchSettings& settings, int index) {
    const QString log = WithTrailingSeparator(settings.logFolder);
    if (settings.jobs <= 1) return log;
    const QString name = QFileInfo(settings.databases[index]).fileName();
    return WithTrailingSeparator(log +
                                 QStringLiteral("%1-%2").arg(index + 1, 3, 10, QLatin1Char('0')).arg(name));
}

QString JobTemporaryFolder(const BatchSettings& settings, int job) {
    const QString folder =
        WithTrailingSeparator(settings.logFolder) + QStringLiteral("tmp-job%1").arg(job + 1);
    if (!QDir().mkpath(folder) ||
        !QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return {};
    return folder;
}

QStringList PlanPstPaths(const BatchSettings& settings) {
    const QString output = WithTrailingSeparator(settings.outputFolder);
    QStringList paths;
    for (const QString& db : settings.databases) {
        if (settings.incremental) {
            // The names a first run into this folder gave, whatever the folder holds now.
            const QString name = PstFileName(db);
            QString path = output + name;
            for (int n = 0; paths.contains(path); ++n) path = output + QString::number(n) + name;
            paths << path;
        } else {
            paths << ChoosePstPath(output, db, paths);
        }
    }
    return paths;
}

namespace {

// Progress and outcomes on the terminal, from any job's thread.
class TerminalProgress : public ConversionObserver {
  public:
    TerminalProgress(QTextStream& out, const BatchSettings& settings)
        : out_(out),
          quiet_(settings.quiet),
          files_(int(settings.databases.size())),
          at_(settings.databases.size()) {
        clock_.start();
        sinceStatus_.start();
    }

    void FileStarted(int index, const QString& db) {
        std::lock_guard lock(mutex_);
        if (!quiet_) out_ << QStringLiteral("[%1/%2] %3\n").arg(index + 1).arg(files_).arg(db) << Qt::flush;
    }
    void ProgressRange(int, int high) override {
        std::lock_guard lock(mutex_);
        foldersTotal_ += high;
        ++filesListed_;
    }
    void PassStarted(int index, const QString&) override {
        std::lock_guard lock(mutex_);
        at_[std::size_t(index)] = 0;
    }
    void PassAt(int index, std::uint32_t resumeIndex) override {
        std::lock_guard lock(mutex_);
        at_[std::size_t(index)] = resumeIndex;
        // A long folder shows its progress every few seconds.
        if (!quiet_ && sinceStatus_.elapsed() >= kStatusEveryMs) StatusLine();
    }
    void FolderFinished(int index, const FolderOutcome& folder) override {
        std::lock_guard lock(mutex_);
        at_[std::size_t(index)] = 0;
        ++foldersDone_;
        items_ += folder.pass.converted;
        if (quiet_) return;
        out_ << "    " << folder.record.path;
        if (folder.pass.end == PassOutcome::End::NotRun)
            out_ << ": empty\n";
        else
            out_ << QStringLiteral(": %1 of %2 items, %3 warnings, %4 errors (%5)\n")
                        .arg(folder.pass.converted)
                        .arg(folder.pass.found)
                        .arg(folder.pass.warnings)
                        .arg(folder.pass.errors)
                        .arg(PassEndText(folder.pass.end));
        StatusLine();
    }
    void FileFinished(int index, const FileOutcome& outcome) override {
        std::lock_guard lock(mutex_);
        ++filesDone_;
        items_ += outcome.calendar.converted;
        out_ << QStringLiteral("[%1/%2] %3: %4")
                    .arg(index + 1)
                    .arg(files_)
                    .arg(outcome.file.path, FileEndText(outcome.end));
        if (!outcome.pstPath.isEmpty() && outcome.end != FileOutcome::End::StoreFailed)
            out_ << " -> " << outcome.pstPath;
        if (!outcome.message.isEmpty()) out_ << " (" << outcome.message << ")";
        out_ << QStringLiteral(", %1 s\n").arg(outcome.seconds, 0, 'f', 1);
        if (!quiet_) StatusLine();
        out_.flush();
    }

  private:
    void StatusLine() {
        sinceStatus_.start();
        std::uint64_t running = 0;
        for (std::uint32_t at : at_) running += at;
        const double seconds = double(clock_.elapsed()) / 1000.0;
        const std::uint64_t items = items_ + running;
        const double rate = seconds > 0 ? double(items) / seconds : 0;
        // Time left from the share of the work done: whole files, and the folders of the files
        // whose folder lists are known.
        double fraction = double(filesDone_) / files_;
        if (foldersTotal_ > 0)
            fraction =
                std::max(fraction, double(foldersDone_) / foldersTotal_ * double(filesListed_) / files_);
        out_ << QStringLiteral("    files %1/%2, folders %3/%4, items %5, %6 items/s")
                    .arg(filesDone_)
                    .arg(files_)
                    .arg(foldersDone_)
                    .arg(foldersTotal_)
                    .arg(items)
                    .arg(rate, 0, 'f', 1);
        if (fraction > 0 && fraction < 1)
            out_ << QStringLiteral(", about %1 s left").arg(seconds * (1 - fraction) / fraction, 0, 'f', 0);
        out_ << '\n' << Qt::flush;
    }

    std::mutex mutex_;
    QTextStream& out_;
    bool quiet_;
    int files_;
    int filesDone_ = 0;
    int foldersDone_ = 0;
    int foldersTotal_ = 0;
    int filesListed_ = 0;
    std::uint64_t items_ = 0;
    std::vector<std::uint32_t> at_;
    QElapsedTimer clock_;
    QElapsedTimer sinceStatus_;
    static constexpr qint64 kStatusEveryMs = 5000;
};

// Export's preparation of a hand-off folder, with the options written as nsfview writes them.
bool PrepareHandoff(const QString& folder, RunOptions options) {
    if (!QDir().mkpath(folder)) return false;
    RunLog log;
    if (!log.Open(folder + RunLog::FileName(), RunLog::Opening::Recreate)) return false;
    log.WriteRunHeader(QDateTime::currentDateTime());
    log.Close();
    options.logPath = folder + RunLog::FileName();
    return WriteRunOptions(HandoffFilePath(folder, kRunOptionsFileName), options) &&
           CreateEmptyFolderList(HandoffFilePath(folder, kFolderListFileName));
}

}  // namespace

BatchRun RunBatchExport(const BatchSettings& settings, const std::function<ChildLauncher*(int)>& launcherFor,
                        QTextStream& out, const std::atomic<bool>* stopRequested) {
    BatchRun run;
    QElapsedTimer clock;
    clock.start();
    const int count = int(settings.databases.size());
    run.files.resize(std::size_t(count));
    const QStringList pstPaths = PlanPstPaths(settings);
    for (int i = 0; i < count; ++i) {
        run.files[std::size_t(i)].file = {settings.databases[i], {}};
        run.files[std::size_t(i)].pstPath = pstPaths[i];
    }
    TerminalProgress progress(out, settings);
    std::atomic<bool> keepGoing{true};
    std::atomic<int> next{0};
    const bool shared = settings.jobs <= 1;
    if (shared && !PrepareHandoff(JobHandoffFolder(settings, 0), settings.options)) {
        for (auto& f : run.files) {
            f.end = FileOutcome::End::ListingFailed;
            f.message = QStringLiteral("the log folder cannot be written");
        }
        return run;
    }
    std::mutex results;
    const auto worker = [&](int job) {
        ChildLauncher* launcher = launcherFor(job);
        for (int i = next++; i < count; i = next++) {
            if (!keepGoing.load() || (stopRequested && stopRequested->load())) break;
            const QString handoff = JobHandoffFolder(settings, i);
            FileOutcome outcome;
            if (!shared && !PrepareHandoff(handoff, settings.options)) {
                outcome.file = {settings.databases[i], {}};
                outcome.end = FileOutcome::End::ListingFailed;
                outcome.message = QStringLiteral("the hand-off folder cannot be written: ") + handoff;
            } else {
                progress.FileStarted(i, settings.databases[i]);
                Conversion conversion(
                    {handoff, launcher, &progress, nullptr, &keepGoing, stopRequested, false});
                outcome =
                    conversion.ListAndConvert(i, {settings.databases[i], {}},
                                              WithTrailingSeparator(settings.outputFolder), pstPaths[i]);
            }
            std::lock_guard lock(results);
            run.files[std::size_t(i)] = outcome;
        }
    };
    const int threads = std::min(settings.jobs, count);
    if (threads <= 1) {
        worker(0);
    } else {
        std::vector<std::thread> pool;
        for (int job = 0; job < threads; ++job) pool.emplace_back(worker, job);
        for (auto& t : pool) t.join();
    }
    run.stopped = !keepGoing.load() || (stopRequested && stopRequested->load());
    run.seconds = double(clock.elapsed()) / 1000.0;
    return run;
}

namespace {

QJsonObject PassJson(const PassOutcome& pass) {
    return {{"outcome", PassEndText(pass.end)},
            {"found", double(pass.found)},
            {"converted", double(pass.converted)},
            {"leftOut", double(pass.found > pass.converted ? pass.found - pass.converted : 0)},
            {"warnings", double(pass.warnings)},
            {"errors", double(pass.errors)},
            {"starts", pass.starts},
            {"seconds", pass.seconds}};
}

}  // namespace

QByteArray BatchReportJson(const BatchSettings& settings, const BatchRun& run) {
    QJsonArray files;
    int converted = 0;
    for (const FileOutcome& f : run.files) {
        QJsonArray folders;
        PassOutcome total;
        for (const FolderOutcome& folder : f.folders) {
            QJsonObject o = PassJson(folder.pass);
            o.insert("path", folder.record.path);
            o.insert("pstFolder", folder.pstFolderPath);
            o.insert("hasEntries", folder.record.hasEntries == 1);
            o.insert("noteId", double(folder.record.noteId));
            folders.append(o);
            total.found += folder.pass.found;
            total.converted += folder.pass.converted;
            total.warnings += folder.pass.warnings;
            total.errors += folder.pass.errors;
        }
        if (f.end == FileOutcome::End::Converted) ++converted;
        QJsonObject totals = PassJson(total);
        totals.remove("outcome");
        totals.remove("starts");
        totals.remove("seconds");
        files.append(QJsonObject{{"database", f.file.path},
                                 {"pst", f.pstPath},
                                 {"outcome", FileEndText(f.end)},
                                 {"message", f.message},
                                 {"seconds", f.seconds},
                                 {"totals", totals},
                                 {"folders", folders},
                                 {"calendar", PassJson(f.calendar)}});
    }
    const QJsonObject root{{"logFolder", settings.logFolder},
                           {"outputFolder", settings.outputFolder},
                           {"jobs", settings.jobs},
                           {"incremental", settings.incremental},
                           {"stopped", run.stopped},
                           {"seconds", run.seconds},
                           {"databases", int(run.files.size())},
                           {"converted", converted},
                           {"files", files}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool WriteBatchReport(const QString& path, const BatchSettings& settings, const BatchRun& run) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const QByteArray bytes = BatchReportJson(settings, run);
    return file.write(bytes) == bytes.size();
}
