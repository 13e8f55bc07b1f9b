#include "common/saveoptions/SaveOptions.h"

#include "common/handoff/HandoffPaths.h"
#include "common/notes/Notes.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringDecoder>

#include <cmath>

namespace saveoptions {

namespace {

const QDate kOleEpoch(1899, 12, 30);

}  // namespace

RunOptions DialogDefaults() {
    RunOptions options;
    options.reservedFlag = 1;
    options.includeAllFolder = 0;
    options.reserved1 = 1;
    options.reserved2 = 1;
    options.reserved3 = 0;
    options.folderMap = EmptyFolderMap();
    return options;
}

const QStringList& StandardFolderNames() {
    static const QStringList names = {
        QStringLiteral("Inbox"),    QStringLiteral("Drafts"),      QStringLiteral("Sent Items"),
        QStringLiteral("Trash"),    QStringLiteral("Junk E-mail"), QStringLiteral("Tasks"),
        QStringLiteral("Contacts"), QStringLiteral("Calendar"),    QStringLiteral("Journal")};
    return names;
}

std::map<QString, QString> EmptyFolderMap() {
    std::map<QString, QString> map;
    for (const QString& name : StandardFolderNames()) map[name];
    return map;
}

OleDateTime ToOleDate(const QDateTime& local) {
    const double days = double(kOleEpoch.daysTo(local.date()));
    const double time = double(local.time().msecsSinceStartOfDay()) / 86'400'000.0;
    // Before the epoch the whole days count down while the time of day still counts up.
    return {days < 0 ? days - time : days + time, 0};
}

QDateTime FromOleDate(double value) {
    if (!std::isfinite(value) || std::fabs(value) > 3'000'000.0) return {};
    const double whole = std::trunc(value);
    const double fraction = std::fabs(value - whole);
    const auto msecs = static_cast<int>(std::llround(fraction * 86'400'000.0));
    QDateTime result(kOleEpoch.addDays(static_cast<qint64>(whole)), QTime(0, 0));
    return result.addMSecs(msecs);
}

const QStringList& PeriodNames() {
    static const QStringList names = {
        QStringLiteral("All Time"),           QStringLiteral("Last 1 week Items"),
        QStringLiteral("Last 2 week Items"),  QStringLiteral("Last 3 week Items"),
        QStringLiteral("Last 3 month Items"), QStringLiteral("Last 6 month Items"),
        QStringLiteral("Last 9 month Items"), QStringLiteral("Last 1 Year Items"),
        QStringLiteral("Last 2 Year Items"),  QStringLiteral("Last 3 Year Items")};
    return names;
}

std::optional<DateRange> PeriodRange(int index, const QDateTime& now) {
    QDateTime start, end;
    const QDate today = now.date();
    if (index >= 1 && index <= 3) {
        // Weeks end on the most recent Sunday at the current time of day.
        const int sundayBased = today.dayOfWeek() % 7 + 1;  // 1 = Sunday ... 7 = Saturday
        const int back = sundayBased - 1;
        static constexpr int kExtra[] = {0, 6, 13, 20};
        start = now.addDays(-(back + kExtra[index]));
        end = now.addDays(-back);
    } else if (index >= 4 && index <= 6) {
        static constexpr int kMonths[] = {0, 0, 0, 0, 3, 6, 9};
        int month = today.month() - kMonths[index];
        int year = today.year();
        month %= 12;
        if (month <= 0) {
            month += 12;
            year -= 1;
        }
        start = QDateTime(QDate(year, month, 1), QTime(0, 0));
        end = QDateTime(QDate(today.year(), today.month(), 1), QTime(0, 0)).addDays(-1);
    } else if (index >= 7 && index <= 9) {
        const int years = index - 6;
        start = QDateTime(QDate(today.year() - years, 1, 1), QTime(0, 0));
        end = QDateTime(QDate(today.year() - 1, 12, 31), QTime(0, 0));
    } else {
        return std::nullopt;
    }
    return DateRange{ToOleDate(start), ToOleDate(end)};
}

QString RangeRowText(const QDateTime& value) {
    return QLocale::c().toString(value.date(), QStringLiteral("dddd, MMMM dd, yyyy"));
}

AddRange AddManualRange(std::vector<DateRange>& ranges, const QDateTime& start, const QDateTime& end) {
    if (end < start) return AddRange::EndBeforeStart;
    const QString startText = RangeRowText(start), endText = RangeRowText(end);
    for (const DateRange& range : ranges) {
        if (RangeRowText(FromOleDate(range.start.value)) == startText &&
            RangeRowText(FromOleDate(range.end.value)) == endText)
            return AddRange::AlreadyListed;
    }
    ranges.push_back({ToOleDate(start), ToOleDate(end)});
    return AddRange::Added;
}

QString ApplySaveDialog(const SaveDialogChoices& choices, const QDateTime& now, RunOptions& options) {
    options.reservedFlag = 1;
    if (choices.folderPath.isEmpty() || !QFileInfo::exists(choices.folderPath))
        return QString::fromLatin1(msg::kInvalidFolder);
    options.pstTargetFolder = WithTrailingSeparator(choices.folderPath);
    if (choices.manual) {
        if (choices.manualRanges.empty()) return QString::fromLatin1(msg::kNoRange);
        options.dateRanges = choices.manualRanges;
    } else {
        options.dateRanges.clear();
        if (auto range = PeriodRange(choices.periodIndex, now)) options.dateRanges.push_back(*range);
    }
    return {};
}

const QStringList& SmtpPatternNames() {
    static const QStringList names = {
        QStringLiteral("Firstname@domainname"),          QStringLiteral("Lastname@domainname"),
        QStringLiteral("Firstname.Lastname@domainname"), QStringLiteral("Lastname.Firstname@domainname"),
        QStringLiteral("FI.Lastname@domainname"),        QStringLiteral("Lastname.FI@domainname"),
        QStringLiteral("Firstname.LI@domainname"),       QStringLiteral("LI.Firstname@domainname")};
    return names;
}

bool IsValidSmtpDomain(const QString& domain) {
    const qsizetype dot = domain.indexOf(QLatin1Char('.'));
    if (dot < 0) return false;
    const QString tail = domain.mid(dot + 1);
    if (tail.size() < 2) return false;
    const auto letter = [](QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); };
    for (QChar c : tail)
        if (!letter(c)) return false;
    for (QChar c : domain.left(dot))
        if (!letter(c) && !(c >= u'0' && c <= u'9') && c != u'-' && c != u'_') return false;
    return true;
}

namespace {

// 8-bit text: UTF-8 when the bytes are valid UTF-8, Latin-1 otherwise.
QString FromEightBit(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

QString TrimChars(QString text, QChar c) {
    while (text.startsWith(c)) text.remove(0, 1);
    while (text.endsWith(c)) text.chop(1);
    return text;
}

}  // namespace

bool ParseCsvLine(const QByteArray& line, QString& name, QString& address, bool& notValid) {
    notValid = false;
    const QString text = FromEightBit(line);
    QString rest;
    if (!text.startsWith(u'"')) {
        const qsizetype comma = text.indexOf(u',');
        if (comma < 0) {
            notValid = true;
            return false;
        }
        name = text.left(comma).trimmed();
        rest = text.mid(comma + 1);
    } else {
        const qsizetype close = text.indexOf(u'"', 1);
        if (close < 0) return false;
        name = text.mid(1, close - 1).trimmed();
        while (name.endsWith(u'"')) name.chop(1);
        rest = text.mid(close + 1);
    }
    address = TrimChars(TrimChars(rest.trimmed(), u','), u'"');
    name = name.toUpper();
    return true;
}

CsvRead ReadAddressCsv(const QString& path, std::map<QString, QString>& table) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return CsvRead::CannotOpen;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
        QString name, address;
        bool notValid = false;
        if (ParseCsvLine(line, name, address, notValid)) {
            table[name] = address;
        } else if (notValid) {
            return CsvRead::NotValid;
        }
    }
    return CsvRead::Read;
}

namespace {

void AddAddress(std::map<QString, QString>& table, const QString& key, const QString& address) {
    auto [it, inserted] = table.try_emplace(key, address);
    if (!inserted) it->second += QLatin1Char(';') + address;
}

// The fields read from a Person document, and the part each gives.
enum class PersonPart { FullName, FirstName, MiddleInitial, LastName, Address };

std::optional<PersonPart> PartOf(const std::string& field) {
    if (field == "FullNameInput") return PersonPart::FullName;
    if (field == "FirstName") return PersonPart::FirstName;
    if (field == "MiddleInitial") return PersonPart::MiddleInitial;
    if (field == "LastName") return PersonPart::LastName;
    if (field == "email_1" || field == "MailAddress" || field == "miscPhone1" || field == "MiscPhone1")
        return PersonPart::Address;
    return std::nullopt;
}

QString FieldValue(const LNDocument& doc, const std::string& field) {
    LNItem item;
    if (doc.GetItem(field, &item) != LNNOERROR) return {};
    if (item.GetType() == LNITEMTYPE_RICHTEXT) {
        LNRichText rich;
        if (doc.GetRichText(field, &rich) != LNNOERROR) return {};
        return LNStringTranslate(rich.GetPlainText());
    }
    return LNStringTranslate(item.GetText(";"));
}

void ReadPerson(const LNDocument& doc, std::map<QString, QString>& table) {
    std::vector<LNFormField> fields;
    if (doc.GetFormFields(&fields) != LNNOERROR) return;
    QString parts[5];
    bool found[5] = {};
    for (const LNFormField& field : fields) {
        const auto part = PartOf(field.name);
        if (!part) continue;
        const auto i = static_cast<std::size_t>(*part);
        if (found[i]) continue;
        const QString value = FieldValue(doc, field.name);
        if (*part == PersonPart::Address) {
            if (value.isEmpty()) continue;
        }
        parts[i] = value;
        found[i] = true;
        if (std::all_of(std::begin(found), std::end(found), [](bool f) { return f; })) break;
    }
    const QString& address = parts[4];
    if (address.isEmpty()) return;
    if (!parts[0].isEmpty()) AddAddress(table, parts[0].toUpper(), address);
    QString built;
    for (int i = 1; i <= 3; ++i) {
        if (parts[i].isEmpty()) continue;
        built += parts[i];
        if (i < 3) built += QLatin1Char(' ');
    }
    while (built.endsWith(u' ')) built.chop(1);
    if (!built.isEmpty()) AddAddress(table, built.toUpper(), address);
}

}  // namespace

bool ReadNamesNsfAddresses(const QString& path, std::map<QString, QString>& table, QString* error) {
    LNNotesSession session;
    LNDatabase db;
    LNSTATUS status = session.Initialize();
    if (status == LNNOERROR) status = session.GetDatabase(path, &db);
    if (status == LNNOERROR) status = db.Open();
    if (status != LNNOERROR) {
        if (error) *error = LNGetErrorMessageText(status);
        return false;
    }
    std::vector<NOTEID> ids;
    db.GetDocumentIDs(&ids);
    // A document that throws ends only its own reading.
    for (NOTEID id : ids) {
        LNCatchStatus([&] {
            LNDocument doc;
            if (db.GetDocument(id, &doc) != LNNOERROR || doc.Open() != LNNOERROR) return;
            if (doc.GetFormName() == "Person") ReadPerson(doc, table);
            doc.Close();
        });
    }
    db.Close();
    return true;
}

bool IsValidCustomFolderName(const QString& name) {
    if (name.isEmpty()) return false;
    for (QChar c : name)
        if (QStringView(u"/:*?<>|\"\\").contains(c)) return false;
    return true;
}

void ResetAdvancedSettings(RunOptions& options) {
    options.addressTranslation = 0;
    options.smtpPatternOn = 0;
    options.smtpFormat = 0;
    options.csvTranslationOn = 0;
    options.namesNsfTranslationOn = 0;
    options.folderMappingOn = 0;
    options.smtpDomain.clear();
    options.addressMap.clear();
    options.folderMap = EmptyFolderMap();
}

QString ApplyAdvancedSettings(const AdvancedChoices& choices, RunOptions& options) {
    if (!choices.selectionMode) options.includeAllFolder = choices.excludeAllFolder ? 0 : 1;
    options.removeEncryption = choices.removeEncryption ? 1 : 0;
    options.saveDocLinks = choices.saveDocLinks ? 1 : 0;
    options.saveInternetHeader = choices.saveInternetHeader ? 1 : 0;
    if (choices.addressTranslation) {
        options.addressTranslation = 1;
        if (choices.smtpManual) {
            if (!IsValidSmtpDomain(choices.smtpDomain)) return QString::fromLatin1(msg::kInvalidDomain);
            options.smtpFormat = static_cast<std::uint32_t>(choices.smtpPattern);
            options.smtpPatternOn = 1;
            options.smtpDomain = choices.smtpDomain;
        }
        if (choices.csvSource) {
            switch (ReadAddressCsv(choices.csvPath, options.addressMap)) {
                case CsvRead::CannotOpen:
                    return QString::fromLatin1(msg::kCsvCannotOpen);
                case CsvRead::NotValid:
                    options.csvTranslationOn = 1;
                    return QString::fromLatin1(msg::kCsvNotValid);
                case CsvRead::Read:
                    options.csvTranslationOn = 1;
                    break;
            }
        }
        if (choices.namesNsfSource) {
            if (choices.namesNsfPath.isEmpty() || !QFileInfo(choices.namesNsfPath).isFile())
                return QString::fromLatin1(msg::kNsfCannotAccess);
            if (choices.beforeNamesNsf) choices.beforeNamesNsf();
            if (ReadNamesNsfAddresses(choices.namesNsfPath, options.addressMap))
                options.namesNsfTranslationOn = 1;
        }
        if (!options.smtpPatternOn && !options.csvTranslationOn && !options.namesNsfTranslationOn)
            return QString::fromLatin1(msg::kNoTranslationSource);
    }
    if (choices.folderMapping) {
        options.folderMap = EmptyFolderMap();
        bool any = false;
        for (const auto& [key, custom] : choices.folderMap) {
            if (!options.folderMap.contains(key)) continue;
            options.folderMap[key] = custom;
            any = any || !custom.isEmpty();
        }
        if (!any) return QString::fromLatin1(msg::kNoFolderMapping);
        options.folderMappingOn = 1;
    }
    return {};
}

QString CleanFolderLevel(const QString& level) {
    QString cleaned = level;
    for (QChar& c : cleaned)
        if (QStringView(u"\n\r\t/:*?<>|\\").contains(c)) c = u' ';
    return cleaned;
}

QString CleanAndMapLevel(const QString& level, const RunOptions& options) {
    const QString cleaned = CleanFolderLevel(level);
    if (options.folderMappingOn == 1) {
        const auto it = options.folderMap.find(cleaned);
        if (it != options.folderMap.end() && !it->second.isEmpty() && StandardFolderNames().contains(cleaned))
            return it->second;
    }
    return cleaned;
}

QString ListingFolderPath(const QString& name, const RunOptions& options) {
    const qsizetype firstSlash = name.indexOf(u'\\');
    if (firstSlash <= 0) return CleanAndMapLevel(name, options);
    QStringList levels = name.split(u'\\');
    for (QString& level : levels) level = CleanAndMapLevel(level, options);
    QString path = levels.join(u'\\');
    while (path.endsWith(u'\\')) path.chop(1);
    return path;
}

}  // namespace saveoptions
