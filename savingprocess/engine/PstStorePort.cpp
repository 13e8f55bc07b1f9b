#include "savingprocess/engine/PstStorePort.h"

#include "common/pst/PstStore.h"

#include <QFileInfo>
#include <QTextStream>

namespace {

struct ContactTextSlot {
    ItemProp prop;
    PstContactText text;
};

constexpr ContactTextSlot kContactTexts[] = {
    {ItemProp::AssistantName, PstContactText::AssistantName},
    {ItemProp::AssistantPhone, PstContactText::AssistantPhone},
    {ItemProp::Business2Phone, PstContactText::Business2Phone},
    {ItemProp::BusinessCity, PstContactText::BusinessCity},
    {ItemProp::BusinessCountry, PstContactText::BusinessCountry},
    {ItemProp::BusinessPostalCode, PstContactText::BusinessPostalCode},
    {ItemProp::BusinessState, PstContactText::BusinessState},
    {ItemProp::BusinessStreet, PstContactText::BusinessStreet},
    {ItemProp::BusinessFax, PstContactText::BusinessFax},
    {ItemProp::BusinessHomePage, PstContactText::BusinessHomePage},
    {ItemProp::BusinessPhone, PstContactText::BusinessPhone},
    {ItemProp::Children, PstContactText::Children},
    {ItemProp::CompanyName, PstContactText::CompanyName},
    {ItemProp::Department, PstContactText::Department},
    {ItemProp::Email1, PstContactText::Email1},
    {ItemProp::Email2, PstContactText::Email2},
    {ItemProp::Email3, PstContactText::Email3},
    {ItemProp::FirstName, PstContactText::FirstName},
    {ItemProp::FullName, PstContactText::FullName},
    {ItemProp::Home2Phone, PstContactText::Home2Phone},
    {ItemProp::HomeCity, PstContactText::HomeCity},
    {ItemProp::HomeCountry, PstContactText::HomeCountry},
    {ItemProp::HomePostalCode, PstContactText::HomePostalCode},
    {ItemProp::HomeState, PstContactText::HomeState},
    {ItemProp::HomeStreet, PstContactText::HomeStreet},
    {ItemProp::HomeFax, PstContactText::HomeFax},
    {ItemProp::HomePhone, PstContactText::HomePhone},
    {ItemProp::InstantMessaging, PstContactText::InstantMessaging},
    {ItemProp::JobTitle, PstContactText::JobTitle},
    {ItemProp::LastName, PstContactText::LastName},
    {ItemProp::MailingAddress, PstContactText::MailingAddress},
    {ItemProp::MailingCity, PstContactText::MailingCity},
    {ItemProp::MailingCountry, PstContactText::MailingCountry},
    {ItemProp::MailingPostalCode, PstContactText::MailingPostalCode},
    {ItemProp::MailingPostOfficeBox, PstContactText::MailingPostOfficeBox},
    {ItemProp::MailingState, PstContactText::MailingState},
    {ItemProp::MailingStreet, PstContactText::MailingStreet},
    {ItemProp::ManagerName, PstContactText::ManagerName},
    {ItemProp::MiddleName, PstContactText::MiddleName},
    {ItemProp::MobilePhone, PstContactText::MobilePhone},
    {ItemProp::NickName, PstContactText::NickName},
    {ItemProp::OfficeLocation, PstContactText::OfficeLocation},
    {ItemProp::OtherCity, PstContactText::OtherCity},
    {ItemProp::OtherCountry, PstContactText::OtherCountry},
    {ItemProp::OtherPostalCode, PstContactText::OtherPostalCode},
    {ItemProp::OtherState, PstContactText::OtherState},
    {ItemProp::OtherStreet, PstContactText::OtherStreet},
    {ItemProp::MessagingPhone, PstContactText::OtherPhone},
    {ItemProp::Pager, PstContactText::Pager},
    {ItemProp::PrimaryPhone, PstContactText::PrimaryPhone},
    {ItemProp::Spouse, PstContactText::Spouse},
    {ItemProp::Suffix, PstContactText::Suffix},
    {ItemProp::Title, PstContactText::Title},
    {ItemProp::User1, PstContactText::User1},
    {ItemProp::User2, PstContactText::User2},
    {ItemProp::User3, PstContactText::User3},
};

class PortItem : public StoreItem {
  public:
    PortItem(PstItem item, const PstSession& session) : item_(std::move(item)), session_(session) {}

    bool SetText(ItemProp prop, const QString& v) override {
        switch (prop) {
            case ItemProp::To:
                item_.SetTo(v);
                return true;
            case ItemProp::Cc:
                item_.SetCc(v);
                return true;
            case ItemProp::Bcc:
                item_.SetBcc(v);
                return true;
            case ItemProp::From:
                // An appointment keeps the organizer's name only.
                if (item_.MessageClass() == QLatin1String("IPM.Appointment"))
                    item_.SetSenderName(v);
                else
                    item_.SetSender(v);
                return true;
            case ItemProp::Subject:
                item_.SetSubject(v);
                return true;
            case ItemProp::HtmlBody:
                item_.SetHtmlBody(v);
                return true;
            case ItemProp::PlainBody:
                item_.SetPlainBody(v);
                return true;
            case ItemProp::Categories:
                item_.SetCategories(v);
                return true;
            case ItemProp::Location:
                item_.SetLocation(v);
                return true;
            case ItemProp::OptionalAttendees:
                item_.SetOptionalAttendees(v);
                return true;
            case ItemProp::RequiredAttendees:
                item_.SetRequiredAttendees(v);
                return true;
            case ItemProp::StartTimeZone:
            case ItemProp::EndTimeZone: {
                if (v.isEmpty()) return true;  // the entry names no zone: nothing to look up
                const PstTimeZone zone = session_.TimeZoneByName(v);
                if (!zone) return false;
                if (prop == ItemProp::StartTimeZone)
                    item_.SetStartTimeZone(zone);
                else
                    item_.SetEndTimeZone(zone);
                return true;
            }
            case ItemProp::ListName:
                item_.SetDistListName(v);
                return true;
            default:
                break;
        }
        for (const ContactTextSlot& slot : kContactTexts) {
            if (slot.prop == prop) {
                item_.SetContactText(slot.text, v);
                return true;
            }
        }
        return false;
    }
    bool SetNumber(ItemProp prop, std::int64_t v) override {
        const int value = static_cast<int>(v);
        switch (prop) {
            case ItemProp::Importance:
                item_.SetImportance(value);
                return true;
            case ItemProp::ReminderMinutes:
                item_.SetReminderMinutesBeforeStart(value);
                return true;
            case ItemProp::SelectedMailingAddress:
                item_.SetSelectedMailingAddress(value);
                return true;
            default:
                return false;
        }
    }
    bool SetBool(ItemProp prop, bool v) override {
        switch (prop) {
            case ItemProp::Read:
                item_.SetRead(v);
                return true;
            case ItemProp::MailFlagFirst:
                item_.SetSent(v);
                return true;
            case ItemProp::MailFlagSecond:
                item_.SetUnmodified(v);
                return true;
            case ItemProp::ReminderSet:
                item_.SetReminderSet(v);
                return true;
            default:
                return false;
        }
    }
    bool SetDate(ItemProp prop, const QDateTime& v) override {
        switch (prop) {
            case ItemProp::MessageDate:
                item_.SetMessageDate(v);
                return true;
            case ItemProp::TaskStartDate:
                item_.SetTaskStartDate(v);
                return true;
            case ItemProp::TaskDueDate:
                item_.SetTaskDueDate(v);
                return true;
            case ItemProp::Start:
                item_.SetStart(v);
                return true;
            case ItemProp::End:
                item_.SetEnd(v);
                return true;
            case ItemProp::Anniversary:
                item_.SetContactDate(PstContactDate::Anniversary, v);
                return true;
            case ItemProp::Birthday:
                item_.SetContactDate(PstContactDate::Birthday, v);
                return true;
            default:
                return false;
        }
    }
    bool AddMember(const QString& name, const QString& second, const QString& third) override {
        item_.AddMember(name, second, third);
        return true;
    }
    bool AddPicture(const QString& path) override { return item_.AddPicture(path); }
    bool Import(const QString& path, ImportType type) override {
        return item_.Import(path, static_cast<int>(type));
    }
    bool SetSourceId(const QString& universalId) override {
        item_.SetNamedText(kSourcePropertySet, QString::fromLatin1(kSourcePropertyName), universalId);
        return true;
    }
    bool Save() override { return item_.Save(); }

  private:
    PstItem item_;
    const PstSession& session_;
};

class PortFolder : public StoreFolder {
  public:
    PortFolder(PstItems items, const PstSession& session) : items_(std::move(items)), session_(session) {}
    std::unique_ptr<StoreItem> AddItem(const QString& messageClass) override {
        PstItem item = items_.Add(messageClass);
        if (!item) return nullptr;
        return std::make_unique<PortItem>(std::move(item), session_);
    }
    std::unordered_set<QString> SourceIds() override {
        const QStringList values =
            items_.NamedTextValues(kSourcePropertySet, QString::fromLatin1(kSourcePropertyName));
        return std::unordered_set<QString>(values.begin(), values.end());
    }

  private:
    PstItems items_;
    const PstSession& session_;
};

class PortSession : public StoreSession {
  public:
    PortSession() {
        session_.SetErrorSink(
            [](const QString& text) { QTextStream(stderr) << "nsfsave: PST: " << text << '\n'; });
    }
    bool Open(const QString& pstPath) override {
        // The launcher creates the PST with its folders; a missing file is a failure here, not
        // a new empty store.
        if (!QFileInfo(pstPath).isFile()) return false;
        store_ = session_.OpenStore(pstPath, 1, QStringLiteral("Personal Folders"));
        return !store_.IsEmpty();
    }
    std::unique_ptr<StoreFolder> FolderByPath(const QString& path) override {
        return Wrap(store_.FolderByPath(path));
    }
    std::unique_ptr<StoreFolder> DefaultFolder(DefaultFolderCode code) override {
        return Wrap(store_.DefaultFolder(static_cast<int>(code)));
    }
    void LogOff() override { session_.LogOff(); }

  private:
    std::unique_ptr<StoreFolder> Wrap(const PstFolder& folder) {
        if (!folder) return nullptr;
        PstItems items = folder.Items();
        if (!items) return nullptr;
        return std::make_unique<PortFolder>(std::move(items), session_);
    }

    PstSession session_;
    PstStore store_;
};

}  // namespace

std::unique_ptr<StoreSession> CreatePstStoreSession() {
    return std::make_unique<PortSession>();
}
