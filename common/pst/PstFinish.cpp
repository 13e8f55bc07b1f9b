// Properties derived just before an item is written: what Outlook would fill in itself when a
// user made the item, so that lists, previews and reminders work on converted items.
#include "common/pst/PstProps.h"
#include "common/pst/PstText.h"

using namespace pstprops;

namespace {

const pst::Prop* Find(PstItemData& d, uint16_t id) {
    auto it = d.msg.props.find(id);
    return it == d.msg.props.end() ? nullptr : &it->second;
}
QString Str(PstItemData& d, uint16_t id) {
    const pst::Prop* p = Find(d, id);
    return p ? QString::fromStdString(pst::ToUtf8(*p)) : QString();
}
void SetIfAbsent(PstItemData& d, uint16_t id, const pst::Prop& v) {
    if (id) d.msg.props.emplace(id, v);
}

void FinishContact(PstItemData& d) {
    QString display = Str(d, pst::PidTagDisplayName);
    if (display.isEmpty()) {
        QStringList parts;
        for (uint16_t id : {kDisplayNamePrefix, kGivenName, kMiddleName, kSurname, kGeneration})
            if (!Str(d, id).isEmpty()) parts << Str(d, id);
        display = parts.join(u' ');
        if (!display.isEmpty()) d.msg.props[pst::PidTagDisplayName] = pst::MakeUtf8(display.toStdString());
    }
    const QString last = Str(d, kSurname), first = Str(d, kGivenName);
    const QString fileAs = !last.isEmpty() && !first.isEmpty() ? last + QStringLiteral(", ") + first
                           : !last.isEmpty()                   ? last
                           : !display.isEmpty()                ? display
                                                               : Str(d, kCompanyName);
    SetIfAbsent(d, d.Named(pst::PSETID_Address, kLidFileUnder), pst::MakeUtf8(fileAs.toStdString()));
    SetIfAbsent(d, d.Named(pst::PSETID_Address, kLidFileUnderId), pst::MakeLong(0x8017));  // "Last, First"
    SetIfAbsent(d, pst::PidTagSubject, pst::MakeUtf8(display.toStdString()));
    // Each e-mail address with the companions Outlook shows it by ([MS-OXOCNTC] 2.2.1.2).
    std::vector<uint32_t> list;
    uint32_t mask = 0;
    for (uint32_t n = 0; n < 3; ++n) {
        const uint16_t addrId = d.Named(pst::PSETID_Address, kLidEmail1Address + 0x10 * n);
        const QString addr = addrId ? Str(d, addrId) : QString();
        if (addr.isEmpty()) continue;
        PstPerson p = PersonOf(addr);
        p.name = display.isEmpty() ? addr : display + QStringLiteral(" (") + addr + u')';
        const QByteArray eid = OneOffEntryId(p);
        SetIfAbsent(d, d.Named(pst::PSETID_Address, kLidEmail1AddrType + 0x10 * n),
                    pst::MakeUtf8(p.type.toStdString()));
        SetIfAbsent(d, d.Named(pst::PSETID_Address, kLidEmail1DisplayName + 0x10 * n),
                    pst::MakeUtf8(p.name.toStdString()));
        SetIfAbsent(d, d.Named(pst::PSETID_Address, kLidEmail1OriginalDisplayName + 0x10 * n),
                    pst::MakeUtf8(addr.toStdString()));
        SetIfAbsent(d, d.Named(pst::PSETID_Address, kLidEmail1OriginalEntryId + 0x10 * n),
                    pst::MakeBinary(pst::Bytes(eid.begin(), eid.end())));
        list.push_back(n);
        mask |= 1u << n;
    }
    if (!list.empty()) {
        pst::Prop mv;
        mv.type = pst::PT_MV_LONG;
        for (uint32_t v : list) {
            uint8_t b[4];
            pst::Wr32(b, v);
            mv.data.insert(mv.data.end(), b, b + 4);
        }
        SetIfAbsent(d, d.Named(pst::PSETID_Address, kLidEmailList), mv);
        SetIfAbsent(d, d.Named(pst::PSETID_Address, kLidEmailArrayType), pst::MakeLong(mask));
    }
}

void FinishDistList(PstItemData& d) {
    std::vector<pst::Bytes> members;
    pst::Bytes all;
    for (const PstPerson& p : d.members) {
        const QByteArray eid = OneOffEntryId(p);
        members.emplace_back(eid.begin(), eid.end());
        all.insert(all.end(), eid.begin(), eid.end());
    }
    // Members without an address book entry are one-off entries in both lists ([MS-OXOCNTC] 2.2.2.2).
    PstSetNamed(d, pst::PSETID_Address, kLidDistributionListMembers, pst::MakeMvBinary(members));
    PstSetNamed(d, pst::PSETID_Address, kLidDistributionListOneOffMembers, pst::MakeMvBinary(members));
    PstSetNamed(d, pst::PSETID_Address, kLidDistributionListChecksum,
                pst::MakeLong(pst::ComputeCrc(all.data(), all.size())));
    const QString name = Str(d, pst::PidTagDisplayName);
    SetIfAbsent(d, d.Named(pst::PSETID_Address, kLidDistributionListName), pst::MakeUtf8(name.toStdString()));
    SetIfAbsent(d, d.Named(pst::PSETID_Address, kLidFileUnder), pst::MakeUtf8(name.toStdString()));
    SetIfAbsent(d, pst::PidTagSubject, pst::MakeUtf8(name.toStdString()));
}

void FinishAppointment(PstItemData& d) {
    const pst::Prop* start = Find(d, d.Named(pst::PSETID_Appointment, kLidAppointmentStartWhole));
    const pst::Prop* end = Find(d, d.Named(pst::PSETID_Appointment, kLidAppointmentEndWhole));
    if (start && end) {
        const int64_t minutes = (int64_t(pst::AsI8(*end)) - int64_t(pst::AsI8(*start))) / 600000000LL;
        SetIfAbsent(d, d.Named(pst::PSETID_Appointment, kLidAppointmentDuration),
                    pst::MakeLong(uint32_t(std::clamp<int64_t>(minutes, 0, INT32_MAX))));
    }
    SetIfAbsent(d, d.Named(pst::PSETID_Appointment, kLidBusyStatus), pst::MakeLong(2));
    SetIfAbsent(d, d.Named(pst::PSETID_Appointment, kLidAppointmentSubType), pst::MakeBool(false));
    const uint16_t set = d.Named(pst::PSETID_Common, kLidReminderSet);
    if (start && set && Find(d, set) && Find(d, set)->data == pst::MakeBool(true).data) {
        const pst::Prop* delta = Find(d, d.Named(pst::PSETID_Common, kLidReminderDelta));
        const uint64_t before = delta ? uint64_t(pst::AsLong(*delta)) * 600000000ULL : 0;
        SetIfAbsent(d, d.Named(pst::PSETID_Common, kLidReminderTime), *start);
        SetIfAbsent(d, d.Named(pst::PSETID_Common, kLidReminderSignalTime),
                    pst::MakeI8(pst::AsI8(*start) - before, pst::PT_SYSTIME));
    }
}

void FinishTask(PstItemData& d) {
    SetIfAbsent(d, d.Named(pst::PSETID_Task, kLidTaskStatus), pst::MakeLong(0));
    pst::Prop zero;
    zero.type = pst::PT_DOUBLE;
    zero.data.assign(8, 0);
    SetIfAbsent(d, d.Named(pst::PSETID_Task, kLidPercentComplete), zero);
    SetIfAbsent(d, d.Named(pst::PSETID_Task, kLidTaskComplete), pst::MakeBool(false));
    SetIfAbsent(d, d.Named(pst::PSETID_Task, kLidTaskState), pst::MakeLong(1));
}

}  // namespace

void PstFinishItem(PstItemData& d) {
    // The text Outlook previews and searches, for an item that only has an HTML body.
    if (const pst::Prop* html = Find(d, pst::PidTagHtml); html && !Find(d, pst::PidTagBody)) {
        const QString text = PstHtmlToText(QString::fromUtf8(reinterpret_cast<const char*>(html->data.data()),
                                                             qsizetype(html->data.size())));
        d.msg.props[pst::PidTagBody] = pst::MakeUtf8(text.toStdString());
    }
    SetIfAbsent(d, pst::PidTagImportance, pst::MakeLong(1));
    SetIfAbsent(d, pst::PidTagSensitivity, pst::MakeLong(0));
    const QString cls = d.messageClass;
    if (cls.startsWith(QLatin1String("IPM.Contact")))
        FinishContact(d);
    else if (cls.startsWith(QLatin1String("IPM.DistList")))
        FinishDistList(d);
    else if (cls.startsWith(QLatin1String("IPM.Appointment")))
        FinishAppointment(d);
    else if (cls.startsWith(QLatin1String("IPM.Task")))
        FinishTask(d);
}
