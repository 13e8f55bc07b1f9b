#pragma once
// Property IDs and named-property IDs that the store interface writes, beyond those pst/ names
// itself ([MS-OXPROPS]), and the setters the importers share with PstItem. Private to common/pst.

#include <QList>
#include <QString>
#include <QTimeZone>

#include "common/pst/PstAddresses.h"
#include "common/pst/PstItemData.h"

namespace pstprops {

// Tagged properties.
enum : uint16_t {
    kSentRepresentingEntryId = 0x0041,
    kSentRepresentingSearchKey = 0x003B,
    kStartDate = 0x0060,
    kEndDate = 0x0061,
    kSentRepresentingAddrType = 0x0064,
    kSentRepresentingEmailAddress = 0x0065,
    kInternetMessageId = 0x1035,
    kSenderEntryId = 0x0C19,
    kSenderSearchKey = 0x0C1D,
    kSenderAddrType = 0x0C1E,
    kSenderEmailAddress = 0x0C1F,
    kNormalizedSubject = 0x0E1D,
    kNativeBody = 0x1016,
    kTransportHeaders = 0x007D,
    kAttachContentId = 0x3712,
    kAttachFlags = 0x3714,
    kAttachHidden = 0x7FFE,
    kAttachContactPhoto = 0x7FFF,
    kSmtpAddress = 0x39FE,
    kInternetCodepage = 0x3FDE,
    kRecipientFlags = 0x5FFD,
    kRecipientDisplayName = 0x5FF6,
    kSenderSmtpAddress = 0x5D01,
    kSentRepresentingSmtpAddress = 0x5D02,
    kRecipientTrackStatus = 0x5FFF,
    // Contacts.
    kGeneration = 0x3A05,
    kGivenName = 0x3A06,
    kBusinessPhone = 0x3A08,
    kHomePhone = 0x3A09,
    kSurname = 0x3A11,
    kPostalAddress = 0x3A15,
    kCompanyName = 0x3A16,
    kJobTitle = 0x3A17,
    kDepartment = 0x3A18,
    kOfficeLocation = 0x3A19,
    kPrimaryPhone = 0x3A1A,
    kBusiness2Phone = 0x3A1B,
    kMobilePhone = 0x3A1C,
    kOtherPhone = 0x3A1F,
    kPagerPhone = 0x3A21,
    kBusinessFax = 0x3A24,
    kHomeFax = 0x3A25,
    kCountry = 0x3A26,
    kLocality = 0x3A27,
    kStateOrProvince = 0x3A28,
    kStreetAddress = 0x3A29,
    kPostalCode = 0x3A2A,
    kPostOfficeBox = 0x3A2B,
    kAssistantPhone = 0x3A2E,
    kHome2Phone = 0x3A2F,
    kAssistant = 0x3A30,
    kWeddingAnniversary = 0x3A41,
    kBirthday = 0x3A42,
    kMiddleName = 0x3A44,
    kDisplayNamePrefix = 0x3A45,
    kSpouseName = 0x3A48,
    kManagerName = 0x3A4E,
    kNickname = 0x3A4F,
    kBusinessHomePage = 0x3A51,
    kChildrensNames = 0x3A58,
    kHomeCity = 0x3A59,
    kHomeCountry = 0x3A5A,
    kHomePostalCode = 0x3A5B,
    kHomeState = 0x3A5C,
    kHomeStreet = 0x3A5D,
    kOtherCity = 0x3A5F,
    kOtherCountry = 0x3A60,
    kOtherPostalCode = 0x3A61,
    kOtherState = 0x3A62,
    kOtherStreet = 0x3A63,
};

// Named properties (long IDs) by property set.
enum : uint32_t {
    // PSETID_Address
    kLidFileUnder = 0x8005,
    kLidFileUnderId = 0x8006,
    kLidHasPicture = 0x8015,
    kLidHomeAddress = 0x801A,
    kLidWorkAddress = 0x801B,
    kLidOtherAddress = 0x801C,
    kLidPostalAddressId = 0x8022,
    kLidEmailList = 0x8028,
    kLidEmailArrayType = 0x8029,
    kLidWorkStreet = 0x8045,
    kLidWorkCity = 0x8046,
    kLidWorkState = 0x8047,
    kLidWorkPostalCode = 0x8048,
    kLidWorkCountry = 0x8049,
    kLidDistributionListChecksum = 0x804C,
    kLidUser1 = 0x804F,
    kLidUser2 = 0x8050,
    kLidUser3 = 0x8051,
    kLidDistributionListName = 0x8053,
    kLidDistributionListOneOffMembers = 0x8054,
    kLidDistributionListMembers = 0x8055,
    kLidInstantMessaging = 0x8062,
    kLidEmail1DisplayName = 0x8080,
    kLidEmail1AddrType = 0x8082,
    kLidEmail1Address = 0x8083,
    kLidEmail1OriginalDisplayName = 0x8084,
    kLidEmail1OriginalEntryId = 0x8085,
    // PSETID_Task
    kLidTaskStatus = 0x8101,
    kLidPercentComplete = 0x8102,
    kLidTaskStartDate = 0x8104,
    kLidTaskDueDate = 0x8105,
    kLidTaskComplete = 0x811C,
    kLidTaskState = 0x8113,
    // PSETID_Appointment
    kLidBusyStatus = 0x8205,
    kLidLocation = 0x8208,
    kLidAppointmentStartWhole = 0x820D,
    kLidAppointmentEndWhole = 0x820E,
    kLidAppointmentDuration = 0x8213,
    kLidAppointmentSubType = 0x8215,
    kLidTimeZoneStruct = 0x8233,
    kLidTimeZoneDescription = 0x8234,
    kLidToAttendeesString = 0x823B,
    kLidCcAttendeesString = 0x823C,
    kLidTzDefStart = 0x825E,
    kLidTzDefEnd = 0x825F,
    kLidTzDefRecur = 0x8260,
    // PSETID_Common
    kLidReminderDelta = 0x8501,
    kLidReminderTime = 0x8502,
    kLidReminderSet = 0x8503,
    kLidCommonStart = 0x8516,
    kLidCommonEnd = 0x8517,
    kLidReminderSignalTime = 0x8560,
};

}  // namespace pstprops

void PstSetProp(PstItemData& d, uint16_t id, const pst::Prop& v);
void PstSetNamed(PstItemData& d, const pst::Guid& set, uint32_t lid, const pst::Prop& v);
void PstSetFlag(PstItemData& d, uint32_t bit, bool on);
pst::Recipient PstRecipientRow(const PstPerson& person, uint32_t type);
void PstSetRecipients(PstItemData& d, uint32_t type, const QList<PstPerson>& people);
void PstSetSender(PstItemData& d, const PstPerson& p, bool allFive);
// Derived properties filled in just before an item is written (plain body of an HTML mail,
// a contact's file-as and e-mail lists, a group list's members, ...).
void PstFinishItem(PstItemData& d);

// Importers: false when the file does not parse; the item is then unchanged.
bool PstImportEml(PstItemData& d, const QString& path, QString& why);
bool PstImportVcf(PstItemData& d, const QString& path, QString& why);
bool PstImportIcs(PstItemData& d, const QString& path, QString& why);
bool PstImportGroupText(PstItemData& d, const QString& path, QString& why);
void PstSetZone(PstItemData& d, const QTimeZone& zone, bool start);
