// Item properties, mapped to the MAPI properties Outlook shows and searches ([MS-OXPROPS],
// [MS-OXOMSG], [MS-OXOTASK], [MS-OXOCAL], [MS-OXOCNTC]).
#include <QDateTime>
#include <QFile>
#include <QRegularExpression>

#include "common/pst/PstAddresses.h"
#include "common/pst/PstItemData.h"
#include "common/pst/PstProps.h"
#include "common/pst/PstStore.h"

using namespace pstprops;

uint64_t ToFileTime(const QDateTime& when) {
    // 11,644,473,600 seconds lie between 1601-01-01 and 1970-01-01.
    const qint64 ms = when.toMSecsSinceEpoch();
    return static_cast<uint64_t>((ms + 11644473600000LL) * 10000LL);
}

uint16_t PstItemData::Named(const pst::Guid& set, uint32_t lid) {
    if (!ctx->store) return 0;
    auto id = ctx->store->NamedPropId({set, lid, {}});
    if (!id) ctx->Fail(QStringLiteral("named property cannot be mapped"), id.error());
    return id.value_or(0);
}

uint16_t PstItemData::NamedString(const pst::Guid& set, const char* name) {
    if (!ctx->store) return 0;
    auto id = ctx->store->NamedPropId({set, std::nullopt, name});
    if (!id) ctx->Fail(QStringLiteral("named property cannot be mapped"), id.error());
    return id.value_or(0);
}

namespace {

pst::Prop Text(const QString& s) {
    return pst::MakeUtf8(s.toStdString());
}
pst::Prop Time(const QDateTime& t) {
    return pst::MakeI8(ToFileTime(t), pst::PT_SYSTIME);
}
pst::Prop Bin(const QByteArray& b) {
    return pst::MakeBinary(pst::Bytes(b.begin(), b.end()));
}

}  // namespace

// Shared setters also used by the importers.
void PstSetProp(PstItemData& d, uint16_t id, const pst::Prop& v) {
    if (id) d.msg.props[id] = v;
}
void PstSetNamed(PstItemData& d, const pst::Guid& set, uint32_t lid, const pst::Prop& v) {
    PstSetProp(d, d.Named(set, lid), v);
}

void PstSetFlag(PstItemData& d, uint32_t bit, bool on) {
    auto& p = d.msg.props[pst::PidTagMessageFlags];
    uint32_t f = p.data.size() == 4 ? pst::AsLong(p) : 0;
    p = pst::MakeLong(on ? (f | bit) : (f & ~bit));
}

pst::Recipient PstRecipientRow(const PstPerson& person, uint32_t type) {
    pst::Recipient r;
    auto& p = r.props;
    p[pst::PidTagRecipientType] = pst::MakeLong(type);
    p[pst::PidTagDisplayName] = Text(person.name);
    p[kRecipientDisplayName] = Text(person.name);
    p[pst::PidTagAddressType] = Text(person.type);
    p[pst::PidTagEmailAddress] = Text(person.address);
    if (person.type == QLatin1String("SMTP")) p[kSmtpAddress] = Text(person.address);
    p[pst::PidTagEntryId] = Bin(OneOffEntryId(person));
    p[pst::PidTagSearchKey] = Bin((person.type + u':' + person.address.toUpper()).toUtf8() + '\0');
    p[pst::PidTagObjectType] = pst::MakeLong(6);  // MAPI_MAILUSER
    p[pst::PidTagDisplayType] = pst::MakeLong(0);
    p[pst::PidTagResponsibility] = pst::MakeBool(true);
    p[kRecipientFlags] = pst::MakeLong(1);  // sendable
    return r;
}

// Replaces the recipients of one kind and the display text Outlook lists them by.
void PstSetRecipients(PstItemData& d, uint32_t type, const QList<PstPerson>& people) {
    auto& rs = d.msg.recipients;
    rs.erase(std::remove_if(rs.begin(), rs.end(),
                            [&](const pst::Recipient& r) {
                                auto it = r.props.find(pst::PidTagRecipientType);
                                return it != r.props.end() && (pst::AsLong(it->second) & 0xF) == type;
                            }),
             rs.end());
    QStringList names;
    for (const PstPerson& p : people) {
        rs.push_back(PstRecipientRow(p, type));
        names << p.name;
    }
    const uint16_t display = type == 1   ? pst::PidTagDisplayTo
                             : type == 2 ? pst::PidTagDisplayCc
                                         : pst::PidTagDisplayBcc;
    d.msg.props[display] = Text(names.join(QStringLiteral("; ")));
}

void PstSetSender(PstItemData& d, const PstPerson& p, bool allFive) {
    auto& m = d.msg.props;
    m[pst::PidTagSenderName] = Text(p.name);
    m[pst::PidTagSentRepresentingName] = Text(p.name);
    if (!allFive) return;
    const QByteArray eid = OneOffEntryId(p);
    const QByteArray key = (p.type + u':' + p.address.toUpper()).toUtf8() + '\0';
    m[kSenderEmailAddress] = Text(p.address);
    m[kSenderAddrType] = Text(p.type);
    m[kSenderEntryId] = Bin(eid);
    m[kSenderSearchKey] = Bin(key);
    m[kSentRepresentingEmailAddress] = Text(p.address);
    m[kSentRepresentingAddrType] = Text(p.type);
    m[kSentRepresentingEntryId] = Bin(eid);
    m[kSentRepresentingSearchKey] = Bin(key);
    if (p.type == QLatin1String("SMTP")) {
        m[kSenderSmtpAddress] = Text(p.address);
        m[kSentRepresentingSmtpAddress] = Text(p.address);
    }
}

QString PstItem::MessageClass() const {
    return d_ ? d_->messageClass : QString();
}

void PstItem::SetSubject(const QString& subject) {
    if (!d_) return;
    d_->msg.props[pst::PidTagSubject] = Text(subject);
    d_->msg.props[kNormalizedSubject] = Text(subject);
    d_->msg.props[pst::PidTagConversationTopic] = Text(subject);
}

void PstItem::SetCategories(const QString& categories) {
    if (!d_) return;
    std::vector<std::string> list;
    for (const QString& c : categories.split(QRegularExpression(QStringLiteral("[;,]")), Qt::SkipEmptyParts))
        if (!c.trimmed().isEmpty()) list.push_back(c.trimmed().toStdString());
    PstSetProp(*d_, d_->NamedString(pst::PS_PUBLIC_STRINGS, "Keywords"), pst::MakeMvUnicode(list));
}

void PstItem::SetImportance(int importance) {
    if (!d_) return;
    d_->msg.props[pst::PidTagImportance] = pst::MakeLong(uint32_t(std::clamp(importance, 0, 2)));
}

void PstItem::SetRead(bool read) {
    if (d_) PstSetFlag(*d_, pst::kMsgFlagRead, read);
}

void PstItem::SetSent(bool sent) {
    if (d_) PstSetFlag(*d_, 0x8 /* MSGFLAG_UNSENT */, !sent);
}

void PstItem::SetUnmodified(bool unmodified) {
    if (d_) PstSetFlag(*d_, pst::kMsgFlagUnmodified, unmodified);
}

void PstItem::SetMessageDate(const QDateTime& when) {
    if (!d_ || !when.isValid()) return;
    d_->msg.props[pst::PidTagMessageDeliveryTime] = Time(when);
    d_->msg.props[pst::PidTagClientSubmitTime] = Time(when);
}

void PstItem::SetTo(const QString& addresses) {
    if (d_) PstSetRecipients(*d_, 1, SplitPeople(addresses));
}
void PstItem::SetCc(const QString& addresses) {
    if (d_) PstSetRecipients(*d_, 2, SplitPeople(addresses));
}
void PstItem::SetBcc(const QString& addresses) {
    if (d_) PstSetRecipients(*d_, 3, SplitPeople(addresses));
}

void PstItem::SetSender(const QString& address) {
    if (!d_) return;
    const auto people = SplitPeople(address);
    PstSetSender(*d_, people.isEmpty() ? PstPerson{} : people.front(), true);
}

void PstItem::SetSenderName(const QString& address) {
    if (!d_) return;
    const auto people = SplitPeople(address);
    PstSetSender(*d_, people.isEmpty() ? PstPerson{} : people.front(), false);
}

void PstItem::SetHtmlBody(const QString& html) {
    if (!d_) return;
    const QByteArray utf8 = html.toUtf8();
    d_->msg.props[pst::PidTagHtml] = Bin(utf8);
    d_->msg.props[kInternetCodepage] = pst::MakeLong(65001);
    d_->msg.props[kNativeBody] = pst::MakeLong(3);
}

void PstItem::SetPlainBody(const QString& text) {
    if (!d_) return;
    d_->msg.props[pst::PidTagBody] = Text(text);
    if (!d_->msg.props.count(pst::PidTagHtml)) d_->msg.props[kNativeBody] = pst::MakeLong(1);
}

// ---- tasks ----

void PstItem::SetTaskStartDate(const QDateTime& when) {
    if (!d_ || !when.isValid()) return;
    PstSetNamed(*d_, pst::PSETID_Task, kLidTaskStartDate, Time(when));
    PstSetNamed(*d_, pst::PSETID_Common, kLidCommonStart, Time(when));
}

void PstItem::SetTaskDueDate(const QDateTime& when) {
    if (!d_ || !when.isValid()) return;
    PstSetNamed(*d_, pst::PSETID_Task, kLidTaskDueDate, Time(when));
    PstSetNamed(*d_, pst::PSETID_Common, kLidCommonEnd, Time(when));
}

// ---- appointments ----

void PstItem::SetLocation(const QString& location) {
    if (d_) PstSetNamed(*d_, pst::PSETID_Appointment, kLidLocation, Text(location));
}

void PstItem::SetStart(const QDateTime& when) {
    if (!d_ || !when.isValid()) return;
    PstSetNamed(*d_, pst::PSETID_Appointment, kLidAppointmentStartWhole, Time(when));
    PstSetNamed(*d_, pst::PSETID_Common, kLidCommonStart, Time(when));
    d_->msg.props[kStartDate] = Time(when);
}

void PstItem::SetEnd(const QDateTime& when) {
    if (!d_ || !when.isValid()) return;
    PstSetNamed(*d_, pst::PSETID_Appointment, kLidAppointmentEndWhole, Time(when));
    PstSetNamed(*d_, pst::PSETID_Common, kLidCommonEnd, Time(when));
    d_->msg.props[kEndDate] = Time(when);
}

void PstItem::SetRequiredAttendees(const QString& addresses) {
    if (!d_) return;
    PstSetRecipients(*d_, 1, SplitPeople(addresses));
    PstSetNamed(*d_, pst::PSETID_Appointment, kLidToAttendeesString, Text(addresses));
}

void PstItem::SetOptionalAttendees(const QString& addresses) {
    if (!d_) return;
    PstSetRecipients(*d_, 2, SplitPeople(addresses));
    PstSetNamed(*d_, pst::PSETID_Appointment, kLidCcAttendeesString, Text(addresses));
}

void PstItem::SetReminderSet(bool on) {
    if (d_) PstSetNamed(*d_, pst::PSETID_Common, kLidReminderSet, pst::MakeBool(on));
}

void PstItem::SetReminderMinutesBeforeStart(int minutes) {
    if (d_)
        PstSetNamed(*d_, pst::PSETID_Common, kLidReminderDelta,
                    pst::MakeLong(uint32_t(std::max(minutes, 0))));
}

void PstItem::SetBusyStatus(int status) {
    if (d_)
        PstSetNamed(*d_, pst::PSETID_Appointment, kLidBusyStatus,
                    pst::MakeLong(uint32_t(std::clamp(status, 0, 4))));
}

// ---- group lists ----

void PstItem::SetDistListName(const QString& name) {
    if (!d_) return;
    PstSetNamed(*d_, pst::PSETID_Address, kLidDistributionListName, Text(name));
    PstSetNamed(*d_, pst::PSETID_Address, kLidFileUnder, Text(name));
    d_->msg.props[pst::PidTagDisplayName] = Text(name);
    SetSubject(name);
}

// ---- save ----

bool PstItem::Save() {
    if (!d_ || d_->saved || !d_->ctx->store) return false;
    PstFinishItem(*d_);
    PstContext& ctx = *d_->ctx;
    std::optional<pst::NID> nid;
    if (!Twice(ctx, QStringLiteral("item cannot be saved"), [&](std::string& err) {
            auto r = ctx.store->AddMessage(d_->folder, d_->msg);
            if (r)
                nid = *r;
            else
                err = r.error();
            return r.ok();
        }))
        return false;
    d_->saved = true;
    return ctx.Commit(QStringLiteral("item cannot be committed"));
}

// ---- the caller's own named properties ----

namespace {
pst::Guid GuidOf(const QUuid& u) {
    // [MS-OXCDATA] 2.5.1: Data1-Data3 little-endian, Data4 as bytes.
    pst::Guid g;
    pst::Wr32(g.b, u.data1);
    pst::Wr16(g.b + 4, u.data2);
    pst::Wr16(g.b + 6, u.data3);
    std::copy(std::begin(u.data4), std::end(u.data4), g.b + 8);
    return g;
}
}  // namespace

void PstItem::SetNamedText(const QUuid& propertySet, const QString& name, const QString& value) {
    if (!d_) return;
    const std::string n = name.toStdString();
    PstSetProp(*d_, d_->NamedString(GuidOf(propertySet), n.c_str()), Text(value));
}

QStringList PstItems::NamedTextValues(const QUuid& propertySet, const QString& name) const {
    QStringList out;
    if (!ctx_ || !ctx_->store) return out;
    pst::Store& s = *ctx_->store;
    auto id = s.NamedPropId({GuidOf(propertySet), std::nullopt, name.toStdString()});
    auto ids = s.Messages(folder_);
    if (!id || !ids) {
        ctx_->Fail(QStringLiteral("folder items cannot be read"), !id ? id.error() : ids.error());
        return out;
    }
    for (pst::NID nid : *ids) {
        auto node = s.ndb().FindNode(nid);
        pst::PropMap props;
        std::string err;
        if (!node || !pst::ReadPc(s.ndb(), node->bidData, node->bidSub, props, err)) {
            ctx_->Fail(QStringLiteral("item cannot be read"), node ? err : node.error());
            continue;
        }
        auto it = props.find(*id);
        if (it != props.end() && (it->second.type == pst::PT_UNICODE || it->second.type == pst::PT_STRING8))
            out << QString::fromStdString(pst::ToUtf8(it->second));
    }
    return out;
}
