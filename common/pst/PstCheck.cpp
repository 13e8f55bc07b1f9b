#include "common/pst/PstCheck.h"

#include <QFile>

#include "common/pst/PstProps.h"
#include "pst/check.h"

using namespace pstprops;

namespace {

struct Need {
    const char* messageClass;
    std::vector<uint16_t> tags;
    std::vector<std::pair<const pst::Guid*, uint32_t>> named;
};

const Need kNeeds[] = {
    {"IPM.Note", {pst::PidTagMessageFlags, pst::PidTagCreationTime}, {}},
    {"IPM.Task", {pst::PidTagSubject}, {{&pst::PSETID_Task, kLidTaskStatus}}},
    {"IPM.Contact", {pst::PidTagDisplayName}, {{&pst::PSETID_Address, kLidFileUnder}}},
    {"IPM.DistList",
     {pst::PidTagDisplayName},
     {{&pst::PSETID_Address, kLidDistributionListName}, {&pst::PSETID_Address, kLidDistributionListMembers}}},
    {"IPM.Appointment",
     {pst::PidTagSubject},
     {{&pst::PSETID_Appointment, kLidAppointmentStartWhole},
      {&pst::PSETID_Appointment, kLidAppointmentEndWhole},
      {&pst::PSETID_Appointment, kLidBusyStatus}}},
};

void CheckFolder(pst::Store& s, pst::NID folder, const QString& path, QStringList& out, int depth) {
    if (depth > 64) return;
    auto info = s.GetFolder(folder);
    auto ids = s.Messages(folder);
    if (!info || !ids) {
        out << path + QStringLiteral(": folder cannot be read");
        return;
    }
    if (info->contentCount != ids->size())
        out << path + QStringLiteral(": content count %1, contents table %2")
                          .arg(info->contentCount)
                          .arg(ids->size());
    for (pst::NID nid : *ids) {
        auto m = s.ReadMessage(nid);
        const QString at = path + QStringLiteral(": message %1").arg(nid.value());
        if (!m) {
            out << at + QStringLiteral(" cannot be read");
            continue;
        }
        auto cls = m->props.find(pst::PidTagMessageClass);
        if (cls == m->props.end()) {
            out << at + QStringLiteral(" has no message class");
            continue;
        }
        const QString c = QString::fromStdString(pst::ToUtf8(cls->second));
        for (const Need& n : kNeeds) {
            if (c != QLatin1String(n.messageClass)) continue;
            for (uint16_t tag : n.tags)
                if (!m->props.count(tag))
                    out << at + QStringLiteral(" (%1) lacks 0x%2").arg(c).arg(tag, 4, 16, QLatin1Char('0'));
            for (const auto& [set, lid] : n.named) {
                auto id = s.NamedPropId({*set, lid, {}});
                if (!id || !m->props.count(*id))
                    out << at + QStringLiteral(" (%1) lacks named 0x%2")
                                    .arg(c)
                                    .arg(lid, 4, 16, QLatin1Char('0'));
            }
        }
        if (c == QLatin1String("IPM.Note") && m->props.count(pst::PidTagMessageFlags) &&
            (pst::AsLong(m->props.at(pst::PidTagMessageFlags)) & 0x8))
            out << at + QStringLiteral(" is marked unsent");
        for (size_t i = 0; i < m->recipients.size(); ++i)
            for (uint16_t tag : {pst::PidTagRecipientType, pst::PidTagDisplayName, pst::PidTagAddressType,
                                 pst::PidTagEmailAddress})
                if (!m->recipients[i].count(tag))
                    out << at + QStringLiteral(" recipient %1 lacks 0x%2")
                                    .arg(i)
                                    .arg(tag, 4, 16, QLatin1Char('0'));
    }
    auto subs = s.Subfolders(folder);
    if (!subs) {
        out << path + QStringLiteral(": subfolders cannot be read");
        return;
    }
    for (const auto& f : *subs)
        CheckFolder(s, f.nid, path + u'\\' + QString::fromStdString(f.name), out, depth + 1);
}

}  // namespace

QStringList PstCheckConvertedStore(const QString& path) {
    QStringList out;
    const std::string p = QFile::encodeName(path).toStdString();
    for (const std::string& f : pst::CheckPstFile(p).findings) out << QString::fromStdString(f);
    auto s = pst::Store::Open(p, false);
    if (!s) {
        out << QString::fromStdString(s.error());
        return out;
    }
    CheckFolder(**s, (*s)->IpmSubtree(), QString(), out, 0);
    return out;
}
