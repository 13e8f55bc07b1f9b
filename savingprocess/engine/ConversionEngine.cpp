#include "savingprocess/engine/ConversionEngine.h"

#include "common/handoff/CalendarIds.h"
#include "common/handoff/ResumeRecord.h"
#include "convert/mail/EmlWriter.h"
#include "convert/mail/FieldReader.h"
#include "convert/calendar/GroupText.h"
#include "convert/richtext/TempFolder.h"
#include "convert/mail/TextHelpers.h"

#include <QFile>
#include <QTimeZone>

#include <array>
#include <cmath>

namespace {

constexpr char kAllView[] = "($All)";
constexpr char kTempFolderName[] = "QuenmarkHarbexConvTmp";

QString Decimal(std::uint64_t value) {
    return QString::number(value);
}

QString ErrorText(LNSTATUS status) {
    return LNGetErrorMessageText(status);
}

}  // namespace

QString UniversalIdText(const LNUniversalID& unid) {
    return QStringLiteral("%1%2%3%4")
        .arg(unid.file.innards[1], 8, 16, QChar(u'0'))
        .arg(unid.file.innards[0], 8, 16, QChar(u'0'))
        .arg(unid.note.innards[1], 8, 16, QChar(u'0'))
        .arg(unid.note.innards[0], 8, 16, QChar(u'0'))
        .toUpper();
}

QDateTime OleToLocal(double value) {
    // Beyond a few thousand years either way the value names no date the ranges could hold.
    if (!std::isfinite(value) || std::fabs(value) > 3.0e6) return {};
    const double days = std::trunc(value);
    // The fraction is the time of day on either side of the epoch.
    const auto seconds = static_cast<qint64>(std::llround(std::fabs(value - days) * 86400.0));
    const QDate date = QDate(1899, 12, 30).addDays(static_cast<qint64>(days));
    return QDateTime(date, QTime(0, 0), Qt::LocalTime).addSecs(seconds);
}

QDateTime NotesToLocal(const LNDatetime& datetime) {
    if (!datetime.HasDate()) return {};
    const QDate date(datetime.GetYear(), datetime.GetMonth(), datetime.GetDay());
    const QTime time(datetime.GetHour(), datetime.GetMinute(), datetime.GetSecond());
    if (!date.isValid() || !time.isValid()) return {};
    if (!datetime.HasZone()) return QDateTime(date, time, Qt::LocalTime);
    const QDateTime zoned(date, time, Qt::OffsetFromUTC, datetime.GetUtcOffsetMinutes() * 60);
    return zoned.toLocalTime();
}

QDateTime DateTextToLocal(const QString& text) {
    DateParts parts;
    if (!ParseDateText(text, parts)) return {};
    return QDateTime(QDate(parts.year, parts.month, parts.day), QTime(parts.hour, parts.minute, parts.second),
                     Qt::LocalTime);
}

namespace {

// The calendar reader gives start and end in the reference zone.
QDateTime ReferenceZoneDate(const QString& text) {
    DateParts parts;
    if (!ParseDateText(text, parts)) return {};
    return QDateTime(QDate(parts.year, parts.month, parts.day), QTime(parts.hour, parts.minute, parts.second),
                     Qt::UTC);
}

}  // namespace

// The item collections of one folder pass and the source IDs stamped in each, read when an
// entry first needs them.
struct ConversionEngine::FolderTargets {
    std::array<std::unique_ptr<StoreFolder>, 4> folders;  // own, tasks, contacts, group lists
    std::array<std::optional<std::unordered_set<QString>>, 4> stamped;

    static std::size_t Slot(ItemKind kind) {
        switch (kind) {
            case ItemKind::Task:
                return 1;
            case ItemKind::Contact:
                return 2;
            case ItemKind::Group:
                return 3;
            default:
                return 0;
        }
    }
    StoreFolder* FolderFor(ItemKind kind) { return folders[Slot(kind)].get(); }
    std::unordered_set<QString>& StampedFor(ItemKind kind) {
        auto& ids = stamped[Slot(kind)];
        if (!ids)
            ids = folders[Slot(kind)] ? folders[Slot(kind)]->SourceIds() : std::unordered_set<QString>{};
        return *ids;
    }
};

ConversionEngine::ConversionEngine(LNNotesSession& session, RunState& state, ProgressWindow& window)
    : session_(session), state_(state), window_(window) {}

ConvertContext ConversionEngine::Context() {
    return ConvertContext{&database_, &state_.options, &state_.log, &state_.counts};
}

void ConversionEngine::Log(const QString& text) {
    state_.log.Write(text);
}

void ConversionEngine::LogLine(const QString& text) {
    state_.log.Write(text);
    state_.log.LineEnd();
}

void ConversionEngine::AddWarning() {
    Context().AddWarning();
}
void ConversionEngine::AddError() {
    Context().AddError();
}

QString ConversionEngine::TempFolder() {
    return PrivateTempFolder(QString::fromLatin1(kTempFolderName));
}

void ConversionEngine::WriteCheckpoint(NOTEID noteId, std::uint32_t index, const QString& path,
                                       std::uint8_t continueFlag, const char* failureLine) {
    if (!OverwriteResumeRecord(state_.settingPath, ResumeRecord{noteId, index, path, continueFlag}))
        LogLine(QString::fromLatin1(failureLine));
}

int ConversionEngine::OpenDatabase(const QString& databasePath, const QString& server) {
    // Notes takes both texts in the ANSI code page.
    const QString path = FromAnsi(ToAnsi(databasePath));
    const QString serverName = server.isEmpty() ? QString() : FromAnsi(ToAnsi(server));
    const LNSTATUS status = LNCatchStatus([&] {
        if (session_.GetDatabase(path, &database_, serverName) != LNNOERROR)
            throw LNSTATUS{LNERR_FILE_NOT_FOUND};
        const LNSTATUS opened = database_.Open();
        if (opened != LNNOERROR) throw opened;
    });
    return status == LNNOERROR ? 1 : 0;
}

void ConversionEngine::CloseDatabase() {
    database_.Close();
}

int ConversionEngine::InDateRanges(const QDateTime& d) const {
    const auto& ranges = state_.options.dateRanges;
    if (ranges.empty()) return 1;
    if (!d.isValid()) return 0;
    for (const DateRange& range : ranges) {
        const QDateTime start = OleToLocal(range.start.value);
        const QDateTime end = OleToLocal(range.end.value);
        if (d == start || d == end) return 1;
        if (start.isValid() && end.isValid() && start < d && d < end) return 1;
    }
    return 0;
}

int ConversionEngine::DumpFolder(std::uint32_t startIndex, const QString& folderPath, NOTEID folderNoteId,
                                 StoreSession& session) {
    temp_ = TempFolder();
    passCounts_ = {};
    std::uint64_t passCounter = 0;
    bool stopped = false;
    bool restart = false;

    QFile cal(state_.calPath);
    const bool calOpen = cal.open(QIODevice::ReadWrite | QIODevice::ExistingOnly | QIODevice::Unbuffered) &&
                         cal.seek(cal.size());
    if (!calOpen) LogLine(QStringLiteral("cal entry file cannot be open"));
    const bool allView = folderPath.contains(QLatin1String(kAllView));

    LogLine(QStringLiteral("Dumping folder path: ") + folderPath);

    FolderTargets targets;
    targets.folders[0] = session.FolderByPath(folderPath);
    targets.folders[1] = session.DefaultFolder(DefaultFolderCode::Tasks);
    targets.folders[2] = session.DefaultFolder(DefaultFolderCode::Contacts);
    targets.folders[3] = session.DefaultFolder(DefaultFolderCode::GroupLists);

    LNViewFolder view;
    try {
        if (database_.GetViewFolder(folderNoteId, &view) != LNNOERROR)
            Log(QStringLiteral("Folder view cannot be fetch with noteid \r\n"));
        if (view.Open(LNVFOPEN_NO_UPDATE | LNVFOPEN_NO_REFRESH) != LNNOERROR && view.Open(0) != LNNOERROR)
            Log(QStringLiteral("Folder view cannot be open \r\n"));

        const std::uint32_t count = view.GetEntryCount();
        window_.SetRange(0, count);
        window_.SetPosition(0);
        LogLine(QStringLiteral("Total number of emails: ") + Decimal(count));

        std::uint8_t readFlag = 1;
        std::uint32_t index = startIndex;
        for (;; ++index) {
            if (index >= count) break;
            if (state_.keepRunning.load() == 0) {
                state_.keepRunning.store(1);
                stopped = true;
                break;
            }
            WriteCheckpoint(folderNoteId, index, folderPath, 1, "setting file cannot be created");
            if (++passCounter == kFolderPassLimit) {
                state_.restart = 1;
                restart = true;
                break;
            }
            if (state_.keepRunning.load() == 0) {
                state_.keepRunning.store(1);
                stopped = true;
                break;
            }
            if (index % 10 == 0) window_.SetPosition(index);
            Log(QStringLiteral("Email number: ") + Decimal(index) + QStringLiteral(" \r\n"));

            LNDocument document;
            QString interchange;
            try {
                const LNVFEntry entry = view.GetEntry(index);
                if (entry.IsNull()) continue;
                readFlag = entry.IsUnread() ? 0 : 1;

                LNSTATUS status = entry.GetDocument(&document);
                if (status != LNNOERROR) {
                    Log(ErrorText(status));
                } else {
                    status = document.Open(0);
                    if (status == kRetryStatus) {
                        document.Close();
                        state_.restart = 1;
                        restart = true;
                        WriteCheckpoint(folderNoteId, index, folderPath, 1, "setting file cannot be created");
                        break;
                    }
                }
                if (!document.IsOpen()) {
                    LogLine(ErrorText(status));
                    AddWarning();
                    Log(QStringLiteral("WARNING:Document cannot be opened\r\n"));
                    ++passCounts_.leftOut;
                    state_.log.LineEnd();
                    continue;
                }

                const LNString form = document.GetFormName();
                const NOTEID noteId = document.GetNoteID();
                ++passCounts_.found;
                LogLine(QStringLiteral("\r\nItem ID:\t") + Decimal(noteId));
                LogLine(QStringLiteral("Item Type:\t") + ToWide(form));

                bool inRanges = true;
                if (!state_.options.dateRanges.empty())
                    inRanges = InDateRanges(NotesToLocal(document.GetCreated())) == 1;
                const QString unid = UniversalIdText(document.GetUniversalID());
                // The readers and writers open the document again by note ID.
                document.Close();
                if (!inRanges) {
                    ++passCounts_.leftOut;
                    ++passCounts_.leftOutFound;
                    continue;
                }

                const EntryEnd end =
                    ConvertEntry(ItemKindOf(form), noteId, unid, index, readFlag, folderPath, folderNoteId,
                                 targets, calOpen && !allView ? &cal : nullptr, interchange);
                if (end == EntryEnd::Restart) {
                    restart = true;
                    break;
                }
                if (!interchange.isEmpty()) QFile::remove(interchange);
            } catch (...) {
                // A failing entry never ends the pass; its interchange file stays behind.
                document.Close();
            }
        }
    } catch (LNSTATUS status) {
        AddError();
        Log(ErrorText(status));
        Log(QStringLiteral("\tERROR:while processing folder\r\n"));
        view.Close();
        return 1;
    }

    view.Close();
    cal.close();
    if (!restart)
        WriteCheckpoint(folderNoteId, 0, folderPath, stopped ? 0 : 1, "setting file cannot be created");
    targets = {};

    const bool second = state_.options.counterMode == 1;
    Log(Decimal(passCounts_.found) + QStringLiteral("\t:items found\r\n"));
    Log(Decimal(passCounts_.Dumped()) + QStringLiteral("\t:items Dump\r\n"));
    LogLine(QStringLiteral("Warnings:\t ") +
            Decimal(second ? state_.counts.secondWarnings : state_.counts.warnings));
    LogLine(QStringLiteral("Errors:\t") +
            Decimal(second ? state_.counts.secondErrors : state_.counts.errors));
    Log(QStringLiteral("Dumping of folder Finish Time:\t") +
        RunLog::SummaryTime(QDateTime::currentDateTime()));
    state_.log.LineEnd();
    state_.log.LineEnd();
    return stopped || restart ? 0 : 1;
}

ConversionEngine::EntryEnd ConversionEngine::ConvertEntry(ItemKind kind, NOTEID noteId, const QString& unid,
                                                          std::uint32_t index, std::uint8_t readFlag,
                                                          const QString& folderPath, NOTEID folderNoteId,
                                                          FolderTargets& targets, QFile* cal,
                                                          QString& interchangePath) {
    if (kind == ItemKind::Calendar) {
        if (cal != nullptr) {
            // cal.txt holds little-endian u32 values.
            const char bytes[4] = {static_cast<char>(noteId & 0xFF), static_cast<char>((noteId >> 8) & 0xFF),
                                   static_cast<char>((noteId >> 16) & 0xFF), static_cast<char>(noteId >> 24)};
            cal->write(bytes, 4);
        }
        return EntryEnd::Next;
    }
    if (kind == ItemKind::Unknown) {
        AddError();
        Log(QStringLiteral("ERROR:Item Type not found.Entry cannot be dump in Database\r\n"));
        ++passCounts_.leftOut;
        ++passCounts_.leftOutFound;
        state_.log.LineEnd();
        return EntryEnd::Next;
    }

    // An item saved by a process that ended before its next checkpoint is not made again.
    StoreFolder* folder = targets.FolderFor(kind);
    if (folder != nullptr && targets.StampedFor(kind).contains(unid)) return EntryEnd::Next;

    const ConvertContext context = Context();
    LNSTATUS thrown = LNNOERROR;
    QString displayName;
    switch (kind) {
        case ItemKind::Mail:
            mail_ = ReadMailFields(context, noteId, &thrown);
            mail_.readFlag = readFlag;
            displayName = mail_.subject + (mail_.from.isEmpty() ? QString() : u'[' + mail_.from + u']');
            break;
        case ItemKind::Task:
            task_ = ReadTaskFields(context, noteId, &thrown);
            task_.readFlag = readFlag;
            displayName = task_.subject + (task_.from.isEmpty() ? QString() : u'[' + task_.from + u']');
            break;
        default:
            contact_ = ReadContactFields(context, noteId);
            contact_.ReadFlag = readFlag;
            if (kind == ItemKind::Contact)
                displayName = contact_.FullName.isEmpty() ? contact_.FirstName : contact_.FullName;
            else
                displayName = contact_.ListName.isEmpty() ? contact_.ListDescription : contact_.ListName;
            break;
    }
    if (thrown != LNNOERROR) throw thrown;
    LogLine(QStringLiteral("Processing email: ") + CleanName(displayName));

    const ItemKindInfo& info = InfoOf(kind);
    interchangePath = temp_ + Decimal(index) + QString::fromLatin1(info.extension);
    if (folder == nullptr && kind != ItemKind::Mail) return EntryEnd::Next;

    std::unique_ptr<StoreItem> item =
        folder != nullptr ? folder->AddItem(QString::fromLatin1(info.messageClass)) : nullptr;
    if (!item) {
        state_.restart = 1;
        WriteCheckpoint(folderNoteId, index, folderPath, 1, "setting file cannot be created");
        return EntryEnd::Restart;
    }

    switch (kind) {
        case ItemKind::Mail:
            WriteMailEml(context, noteId, mail_, interchangePath);
            item->Import(interchangePath, ImportType::Eml);
            SetMailProperties(*item, mail_);
            if (!mail_.categories.isEmpty()) item->SetText(ItemProp::Categories, mail_.categories);
            item->SetBool(ItemProp::Read, mail_.readFlag != 0);
            item->SetBool(ItemProp::MailFlagSecond, true);
            item->SetSourceId(unid);
            item->Save();
            mail_.Reset();
            break;
        case ItemKind::Task:
            SetTaskProperties(*item, task_);
            WriteTaskEml(context, noteId, task_, interchangePath);
            item->Import(interchangePath, ImportType::Eml);
            if (!task_.categories.isEmpty()) item->SetText(ItemProp::Categories, task_.categories);
            item->SetSourceId(unid);
            item->Save();
            task_.Reset();
            break;
        case ItemKind::Contact: {
            SetContactProperties(*item, contact_);
            QString photoPath;
            WriteContactVcf(context, noteId, contact_, interchangePath, photoPath);
            item->Import(interchangePath, ImportType::Vcf);
            if (!photoPath.isEmpty()) item->AddPicture(photoPath);
            if (!contact_.Categories.isEmpty()) item->SetText(ItemProp::Categories, contact_.Categories);
            item->SetSourceId(unid);
            item->Save();
            contact_.Reset();
            break;
        }
        default:
            SetGroupListProperties(*item, contact_);
            WriteGroupText(interchangePath, contact_, context);
            item->Import(interchangePath, ImportType::GroupText);
            if (!contact_.Categories.isEmpty()) item->SetText(ItemProp::Categories, contact_.Categories);
            item->SetSourceId(unid);
            item->Save();
            contact_.Reset();
            break;
    }
    targets.StampedFor(kind).insert(unid);
    return EntryEnd::Next;
}

void ConversionEngine::SetMailProperties(StoreItem& item, const MailFields& f) {
    item.SetNumber(ItemProp::Importance, f.importance == 0 ? 0 : f.importance == 1 ? 1 : 2);
    if (const QDateTime date = DateTextToLocal(f.dateText); date.isValid())
        item.SetDate(ItemProp::MessageDate, date);
    if (!f.to.isEmpty()) item.SetText(ItemProp::To, f.to);
    if (!f.from.isEmpty()) item.SetText(ItemProp::From, f.from);
    if (f.bodyIsHtml == 1) item.SetText(ItemProp::HtmlBody, f.body);
    if (f.hasPlainBody == 1) item.SetText(ItemProp::PlainBody, f.plainBody);
    if (!f.cc.isEmpty()) item.SetText(ItemProp::Cc, f.cc);
    if (!f.bcc.isEmpty()) item.SetText(ItemProp::Bcc, f.bcc);
    if (!f.subject.isEmpty()) item.SetText(ItemProp::Subject, f.subject);
    item.SetBool(ItemProp::MailFlagFirst, true);
}

void ConversionEngine::SetTaskProperties(StoreItem& item, const TaskFields& f) {
    if (!f.to.isEmpty()) item.SetText(ItemProp::To, f.to);
    if (!f.from.isEmpty()) item.SetText(ItemProp::From, f.from);
    if (!f.cc.isEmpty()) item.SetText(ItemProp::Cc, f.cc);
    if (!f.bcc.isEmpty()) item.SetText(ItemProp::Bcc, f.bcc);
    if (!f.subject.isEmpty()) item.SetText(ItemProp::Subject, f.subject);
    if (const QDateTime d = DateTextToLocal(f.startDateText); d.isValid())
        item.SetDate(ItemProp::TaskStartDate, d);
    if (const QDateTime d = DateTextToLocal(f.dueDateText); d.isValid())
        item.SetDate(ItemProp::TaskDueDate, d);
    item.SetText(f.bodyIsHtml == 1 ? ItemProp::HtmlBody : ItemProp::PlainBody, f.body);
}

void ConversionEngine::DumpCalendar(StoreSession& session) {
    ResumeRecord record;
    if (!ReadResumeRecord(state_.settingPath, record)) record = ResumeRecord{0, 0, QString(), 1};
    std::vector<std::uint32_t> noteIds;
    if (!ReadCalendarIds(state_.calPath, noteIds)) return;
    const std::uint32_t lastNoteId = noteIds.empty() ? 0 : noteIds.back();
    const auto total = static_cast<std::uint32_t>(noteIds.size());

    window_.SetStatus(QStringLiteral("Saving Calendar Entries"));
    window_.SetRange(0, total);
    std::unique_ptr<StoreFolder> calendar = session.DefaultFolder(DefaultFolderCode::Calendar);

    bool stopped = false;
    bool restart = false;
    std::uint32_t handled = 0;
    try {
        for (std::uint32_t index = record.resumeIndex;; ++index) {
            if (index >= total) break;
            window_.SetPosition(index);
            const NOTEID noteId = noteIds[index];
            ++handled;
            WriteCheckpoint(noteId, index, record.path, 1, "setting file cannot be open");
            if (handled == kCalendarPassLimit) {
                state_.restart = 1;
                restart = true;
                break;
            }
            if (state_.keepRunning.load() == 0) {
                stopped = true;
                state_.keepRunning.store(1);
                break;
            }
            if (DumpCalendarEntry(noteId, calendar.get()) == 0) {
                state_.restart = 1;
                restart = true;
                break;
            }
        }
        LogLine(QStringLiteral("Calendar entries saved. "));
    } catch (...) {
        // The line above is then missing; the records below are written all the same.
    }
    if (!restart) WriteCheckpoint(lastNoteId, 0, record.path, stopped ? 0 : 1, "setting file cannot be open");
    calendarStamps_.reset();
}

int ConversionEngine::DumpCalendarEntry(NOTEID noteId, StoreFolder* calendar) {
    temp_ = TempFolder();
    bool restart = false;
    LNDocument document;
    try {
        if (database_.GetDocument(noteId, &document) != LNNOERROR) {
            Log(QStringLiteral("Warning:Document cannot be opened\r\n"));
            return 1;
        }
        if (document.Open(0) == kRetryStatus) restart = true;
        if (!document.IsOpen()) {
            document.Close();
            AddWarning();
            Log(QStringLiteral("WARNING:Document cannot be opened\r\n"));
            state_.log.LineEnd();
            return restart ? 0 : 1;
        }
        const LNString formName = document.GetFormName();
        LogLine(QStringLiteral("\r\nItem ID:\t") + Decimal(noteId));
        LogLine(QStringLiteral("Item Type:\t") + ToWide(formName));
        state_.log.LineEnd();
        bool inRanges = true;
        if (!state_.options.dateRanges.empty())
            inRanges = InDateRanges(NotesToLocal(document.GetCreated())) == 1;
        const QString unid = UniversalIdText(document.GetUniversalID());
        document.Close();
        state_.log.LineEnd();
        Log(QStringLiteral("doc is closed1"));
        if (!inRanges) return 1;

        if (ItemKindOf(formName) != ItemKind::Calendar) {
            AddError();
            Log(QStringLiteral("ERROR:Item Type is not calendar type.Entry cannot be dump in Database\r\n"));
            state_.log.LineEnd();
            return 1;
        }
        // An appointment saved by a process that ended before its next checkpoint.
        if (calendar != nullptr) {
            if (!calendarStamps_) calendarStamps_ = calendar->SourceIds();
            if (calendarStamps_->contains(unid)) return 1;
        }

        state_.log.LineEnd();
        Log(QStringLiteral("creating appointment"));
        const ConvertContext context = Context();
        calendar_ = ReadCalendarFields(context, noteId);
        calendar_.ReadFlag = 1;
        if (calendar == nullptr) return 1;
        state_.log.LineEnd();
        Log(QStringLiteral("session found"));
        std::unique_ptr<StoreItem> item = calendar->AddItem(QStringLiteral("IPM.Appointment"));
        if (!item) {
            LogLine(QStringLiteral("Rdomail not found."));
            return 0;
        }
        SetAppointmentProperties(*item, calendar_);
        const QString icsPath = temp_ + Decimal(noteId) + QStringLiteral("t.ics");
        WriteCalendarIcs(context, noteId, calendar_, icsPath);
        item->Import(icsPath, ImportType::Ics);
        state_.log.LineEnd();
        state_.log.LineEnd();
        Log(QStringLiteral("save app"));
        if (!calendar_.Categories.isEmpty()) item->SetText(ItemProp::Categories, calendar_.Categories);
        item->SetSourceId(unid);
        item->Save();
        calendarStamps_->insert(unid);
        calendar_.Reset();
    } catch (LNSTATUS status) {
        document.Close();
        AddError();
        Log(ErrorText(status));
        Log(QStringLiteral("\tERROR:while processing folder\r\n"));
        return 1;
    } catch (...) {
        document.Close();
        return 1;
    }
    return restart ? 0 : 1;
}

void ConversionEngine::SetAppointmentProperties(StoreItem& item, const CalendarFields& f) {
    try {
        if (f.Importance == 0) item.SetNumber(ItemProp::Importance, 0);
        item.SetText(ItemProp::From, f.From);
        if (!f.To.isEmpty()) item.SetText(ItemProp::To, f.To);
        if (!f.CC.isEmpty()) item.SetText(ItemProp::Cc, f.CC);
        if (!f.BCC.isEmpty()) item.SetText(ItemProp::Bcc, f.BCC);
        if (!f.Location.isEmpty()) item.SetText(ItemProp::Location, f.Location);
        if (!f.Summary.isEmpty()) item.SetText(ItemProp::Subject, f.Summary);
        if (!f.Body.isEmpty())
            item.SetText(f.BodyIsHtml == 1 ? ItemProp::HtmlBody : ItemProp::PlainBody, f.Body);
        if (f.HasPlainBody == 1) item.SetText(ItemProp::PlainBody, f.PlainBody);
        if (!f.OptionalAttendees.isEmpty()) item.SetText(ItemProp::OptionalAttendees, f.OptionalAttendees);
        if (!f.RequiredAttendees.isEmpty()) item.SetText(ItemProp::RequiredAttendees, f.RequiredAttendees);
        item.SetBool(ItemProp::ReminderSet, f.AlarmEnabled != 0);
        item.SetNumber(ItemProp::ReminderMinutes, f.AlarmOffsetMinutes);
        const QString dateText = f.CreatedDateText.isEmpty() ? f.LastModifiedDateText : f.CreatedDateText;
        if (const QDateTime d = DateTextToLocal(dateText); d.isValid())
            item.SetDate(ItemProp::MessageDate, d);
        if (const QDateTime d = ReferenceZoneDate(f.StartDateText); d.isValid())
            item.SetDate(ItemProp::Start, d);
        if (const QDateTime d = ReferenceZoneDate(f.EndDateText); d.isValid()) item.SetDate(ItemProp::End, d);
        item.SetText(ItemProp::StartTimeZone, f.StartTimeZone);
        item.SetText(ItemProp::EndTimeZone, f.EndTimeZone);
    } catch (...) {
        LogLine(QStringLiteral("Calendar entry is not save in pst file, unknown format."));
    }
}
