#include "nsfview/core/PreviewScan.h"

#include "common/notes/Notes.h"
#include "convert/mail/AddressTranslation.h"

namespace {

void Show(const ScanReport& report, const QString& text) {
    if (report.status) report.status(text);
}

// Stops a loop on a user Stop and re-arms the flag for the next worker.
bool Continue(std::atomic<std::uint8_t>& keepRunning) {
    if (keepRunning.load() != 0) return true;
    keepRunning.store(1);
    return false;
}

QString Joined(const std::vector<LNString>& values) {
    QStringList parts;
    for (const LNString& v : values) parts << LNStringTranslate(v);
    return parts.join(QLatin1Char(';'));
}

void Tag(RunLog* log, const char* tag) {
    if (log) log->Write(QString::fromLatin1(tag));
}

void ReadMailFields(const LNDocument& doc, const RunOptions& options, ItemRecord& record) {
    LNDatetime date = doc.GetDateSent();
    if (date.GetMonth() == 0 || date.GetDay() == 0 || date.GetYear() == 0) date = doc.GetCreated();
    record.dateText = ItemDateText(date);
    const QString internetFrom =
        doc.HasItem("INetFrom") ? LNStringTranslate(doc.GetItemText("INetFrom")) : QString();
    QString internetTo =
        doc.HasItem("INetSendTo") ? LNStringTranslate(doc.GetItemText("INetSendTo")) : QString();
    const QString sender = LNStringTranslate(doc.GetSender());
    const QString recipients = Joined(doc.GetRecipients(LNRECIPIENTTYPE_TO));
    if (options.addressTranslation == 1) {
        record.from = TranslateAddressLists(internetFrom, sender, options);
        record.to = TranslateAddressLists(internetTo, recipients, options);
    } else {
        record.from = MergeAddressLists(internetFrom, sender);
        QString bare = internetTo;
        bare.remove(QLatin1Char('.')).remove(QLatin1Char(';'));
        if (bare.trimmed().isEmpty() && doc.HasItem("AltSendTo"))
            internetTo = LNStringTranslate(doc.GetItemText("AltSendTo"));
        record.to = MergeAddressLists(internetTo, recipients);
    }
    record.subject = LNStringTranslate(doc.GetSubject());
    record.hasAttachment = doc.HasAttachments() ? 1 : 0;
}

void ReadContactFields(const LNDocument& doc, ItemRecord& record) {
    std::vector<LNFormField> fields;
    doc.GetFormFields(&fields);
    for (const LNFormField& field : fields) {
        if (!doc.HasItem(field.name)) continue;
        if (field.name != "FullNameInput" && field.name != "FirstName" && field.name != "ListName") continue;
        const QString value = LNStringTranslate(doc.GetItemText(field.name));
        if (value.isEmpty()) continue;
        record.subject = value;
        return;
    }
}

}  // namespace

QString viewtext::ListingStarted(const QString& folder) {
    return QStringLiteral("Please wait while ") + folder + QStringLiteral(" folder is scanning....");
}

QString viewtext::ListedTotal(int rows) {
    return QStringLiteral("Total number of emails: [%1]").arg(rows);
}

QString ItemDateText(const LNDatetime& value) {
    return QStringLiteral("%1/%2/%3 %4:%5:%6")
        .arg(value.GetMonth())
        .arg(value.GetDay())
        .arg(value.GetYear())
        .arg(value.GetHour())
        .arg(value.GetMinute())
        .arg(value.GetSecond());
}

PreviewScanResult RunPreviewScan(ViewerSession& session, const ScanReport& report) {
    PreviewScanResult result;
    RunLog& log = session.Log();
    auto& keepRunning = session.KeepRunning();
    const auto showAndLog = [&](const QString& text, bool lineEnd) {
        log.Write(text);
        if (lineEnd) log.LineEnd();
        Show(report, text);
    };
    showAndLog(QString::fromLatin1(viewtext::kScanningFile), true);
    LNNotesSession notes;
    if (!notes.IsInitialized()) notes.Initialize();
    notes.InitThread();
    const LNSTATUS thrown = LNCatchStatus([&] {
        showAndLog(QString::fromLatin1(viewtext::kOpening), true);
        NsfScanner scanner(&log, &keepRunning, report);
        if (scanner.OpenDatabase(session.CommandLine().databasePath, session.CommandLine().server) == 0) {
            showAndLog(QString::fromLatin1(viewtext::kOpenFailed), false);
            return;
        }
        result.opened = true;
        showAndLog(QString::fromLatin1(viewtext::kProcessingFolders), true);
        result.folders = scanner.ListFolders(session.Options());
        const int root = result.tree.AddRoot(session.CommandLine().databasePath);
        showAndLog(QString::fromLatin1(viewtext::kProcessingNsf) + result.tree.Item(root).text, true);
        const int count = static_cast<int>(result.folders.size());
        if (report.progressRange) report.progressRange(count);
        if (report.progressPosition) report.progressPosition(0);
        for (int i = 0; i < count; ++i) {
            if (!Continue(keepRunning)) break;
            if (i % 10 == 0 && report.progressPosition) report.progressPosition(i);
            const ScannedFolder& folder = result.folders[static_cast<std::size_t>(i)];
            const bool topLevel = !folder.name.contains(QLatin1Char('\\'));
            for (int created : result.tree.AddFolder(folder))
                log.WriteLine(QString::fromLatin1(viewtext::kProcessingFolder) +
                              result.tree.Item(created).text);
            if (topLevel) Show(report, QString::fromLatin1(viewtext::kProcessingFolder) + folder.name);
        }
        if (report.progressPosition) report.progressPosition(count);
    });
    // A thrown Notes error ends the scan quietly; the tree built so far stays.
    if (thrown == LNNOERROR) showAndLog(QString::fromLatin1(viewtext::kFinished), true);
    notes.TermThread();
    return result;
}

std::vector<ItemRecord> ListFolderItems(const QString& path, const QString& server, std::uint32_t noteId,
                                        const RunOptions& options, RunLog* log,
                                        std::atomic<std::uint8_t>* keepRunning, const ScanReport& report) {
    std::vector<ItemRecord> records;
    LNNotesSession notes;
    if (!notes.IsInitialized()) notes.Initialize();
    notes.InitThread();
    LNDatabase database;
    const LNSTATUS thrown = LNCatchStatus([&] {
        if (notes.GetDatabase(path, &database, server) != LNNOERROR || database.Open() != LNNOERROR) return;
        LNViewFolder view;
        if (database.GetViewFolder(noteId, &view) != LNNOERROR) Tag(log, "Func: 123a");
        if (view.Open(LNVFOPEN_NO_UPDATE) != LNNOERROR) Tag(log, "Func: 123b");
        const std::uint32_t count = view.GetEntryCount();
        if (report.progressRange) report.progressRange(static_cast<int>(count));
        if (report.progressPosition) report.progressPosition(0);
        for (std::uint32_t i = 0; i < count && (!keepRunning || keepRunning->load() == 1); ++i) {
            if (i % 10 == 0 && report.progressPosition) report.progressPosition(static_cast<int>(i));
            const LNVFEntry entry = view.GetEntry(i);
            if (entry.IsNull() || entry.IsCategory()) continue;
            ItemRecord record;
            LNDocument doc;
            if (entry.GetDocument(&doc) != LNNOERROR) Tag(log, "Func: 123c");
            if (doc.Open() != LNNOERROR) Tag(log, "Func: 123d");
            const LNSTATUS formStatus =
                LNCatchStatus([&] { record.form = LNStringTranslate(doc.GetFormName()); });
            if (formStatus != LNNOERROR) Tag(log, "Func: 123e");
            // A document read only partly still gives its row.
            LNCatchStatus([&] {
                if (doc.HasItem("Subject"))
                    ReadMailFields(doc, options, record);
                else
                    ReadContactFields(doc, record);
            });
            if (record.form != QLatin1String("(ReplyNotice)")) records.push_back(std::move(record));
            doc.Close();
        }
        view.Close();
    });
    if (thrown != LNNOERROR && log)
        log->WriteLine(QStringLiteral("Func: 123") + LNGetErrorMessageText(thrown));
    if (database.IsOpen()) database.Close();
    notes.TermThread();
    return records;
}
