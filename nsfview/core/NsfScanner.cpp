#include "nsfview/core/NsfScanner.h"

#include "common/handoff/RunLog.h"

#include <array>

namespace {

constexpr std::array<const char*, 11> kKeptViews = {"($Sent)", "($Drafts)",   "My Contacts",   "Groups",
                                                    "($ToDo)", "By Category", "($ByCategory)", "($Meetings)",
                                                    "($All)",  "($People)",   "($Contacts)"};

constexpr std::array<std::pair<const char*, const char*>, 7> kNameMap = {{
    {"($Sent)", "Sent Items"},
    {"($Inbox)", "Inbox"},
    {"($Drafts)", "Drafts"},
    {"($ToDo)", "Tasks"},
    {"($Meetings)", "Calendar"},
    {"($JunkMail)", "Junk E-mail"},
    {"($Trash)", "Trash"},
}};

constexpr qsizetype kMaxNameLength = 511;

}  // namespace

NsfScanner::NsfScanner(RunLog* log, std::atomic<std::uint8_t>* keepRunning, ScanReport report)
    : log_(log), keepRunning_(keepRunning), report_(std::move(report)) {}

NsfScanner::~NsfScanner() {
    CloseDatabase();
}

QString NsfScanner::MappedName(const QString& notesName) {
    for (const auto& [notes, shown] : kNameMap)
        if (notesName == QLatin1String(notes)) return QString::fromLatin1(shown);
    return notesName;
}

bool NsfScanner::IsKeptView(const QString& name, int typeCode) {
    if (typeCode != 0) return false;
    for (const char* kept : kKeptViews)
        if (name == QString::fromUtf8(kept)) return true;
    return false;
}

void NsfScanner::LogTagged(const char* tag, LNSTATUS status) {
    if (!log_) return;
    log_->Write(QString::fromLatin1(tag) + LNGetErrorMessageText(status));
    log_->LineEnd();
}

bool NsfScanner::Continue() {
    if (!keepRunning_ || keepRunning_->load() != 0) return true;
    keepRunning_->store(1);
    return false;
}

int NsfScanner::OpenDatabase(const QString& path, const QString& server) {
    CloseDatabase();
    const LNSTATUS thrown = LNCatchStatus([&] {
        if (!session_.IsInitialized()) session_.Initialize();
        LNSTATUS status = session_.GetDatabase(path, &database_, server);
        if (status != LNNOERROR) {
            if (!server.isEmpty()) LogTagged("Func: 121a", status);
            LogTagged("Func: 121b", status);
            return;
        }
        status = database_.Open();
        if (status != LNNOERROR) LogTagged("Func: 121c", status);
    });
    // A database that did not open gives no folder list at all, rather than an empty one that
    // would be converted into an empty PST and reported as done.
    return thrown == LNNOERROR && database_.IsOpen() ? 1 : 0;
}

void NsfScanner::CloseDatabase() {
    if (database_.IsOpen()) database_.Close();
}

const std::vector<ScannedFolder>& NsfScanner::ListFolders(const RunOptions& options) {
    folders_.clear();
    const LNSTATUS thrown = LNCatchStatus([&] {
        std::vector<LNViewFolder> views;
        const LNSTATUS status = database_.GetViewFolders(&views);
        if (status != LNNOERROR) LogTagged("Func: 122a", status);
        if (report_.progressRange) report_.progressRange(static_cast<int>(views.size()));
        if (report_.progressPosition) report_.progressPosition(0);
        for (std::size_t i = 0; i < views.size(); ++i) {
            if (!Continue()) break;
            if (i % 10 == 0 && report_.progressPosition) report_.progressPosition(static_cast<int>(i));
            LNViewFolder& view = views[i];
            const LNSTATUS opened = view.Open();
            if (opened != LNNOERROR) LogTagged("Func: 122b", opened);
            const QString name = LNStringTranslate(view.GetName()).left(kMaxNameLength);
            const int type = view.GetType();
            const std::uint32_t count = view.IsOpen() ? view.GetEntryCount() : 0;
            const bool folder = view.IsFolder();
            const bool kept =
                (folder || IsKeptView(name, type)) &&
                !(name == QLatin1String("($All)") && options.includeAllFolder != 1) &&
                !(options.selectionMode == 0 &&
                  (name == QLatin1String("($Alarms)") || name == QLatin1String("($ByCategory)") ||
                   name == QLatin1String("($Inbox-Categorized1)")));
            if (kept)
                folders_.push_back({MappedName(name), view.GetNoteID(), std::uint8_t(count > 0 ? 1 : 0)});
            view.Close();
        }
    });
    if (thrown != LNNOERROR) LogTagged("Func: 122", thrown);
    return folders_;
}
