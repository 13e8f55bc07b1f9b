#pragma once
// Contacts ("Person") as vCard files and the record that groups ("Group") share with them.
// The folder dump reads a document into a ContactFields record, copies the record into the
// PST item's properties, then writes and imports the VCF (contacts) or group TXT (groups).

#include "common/notes/LNStatus.h"
#include "convert/calendar/InterchangeText.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

// One UTF-16 text per member unless noted; an empty text means absent.
struct ContactFields {
    QString FullName;
    std::int32_t PrimaryAddressKind = 0;  // 1 home, 2 business, 3 other, 0 no "primaryAddress"
    QString CompanyName, JobTitle;
    QString FirstName, MiddleInitial, LastName, Title, Suffix;
    QString Email1, PrimaryPhone, Email2, Email3, Email4, Email5;
    QString OfficePhone, HomePhone, CellPhone, OfficeFax, Pager, AssistantPhone, HomeFax;
    QString PersonalPager, OtherOfficePhone, OtherHomePhone;
    QString InstantMessaging, Department, Location, Manager, Assistant;
    QString Website, Blogsite, Spouse, Children, Birthday, Anniversary;
    QString Custom1, Custom2, Custom3;
    QString OfficeStreet, OfficeCity, OfficeState, OfficeZip, OfficeCountry;
    QString HomeStreet, HomeCity, HomeState, HomeZip, HomeCountry;
    QString OtherStreet, OtherCity, OtherState, OtherZip, OtherCountry;
    QString Categories, NickName, AltFullNameSort, Comment;
    QString ListName, ListDescription, Members, ListOwner;  // groups
    QString AttachmentNames;                                // every name followed by ", "
    QString BodyHtml;                                       // the whole note rendered as HTML
    // Set by the folder dump after reading; the reader clears it.
    std::uint8_t ReadFlag = 0;

    void Reset() { *this = ContactFields{}; }  // every text empty, every number 0
    bool operator==(const ContactFields&) const = default;
};

// The member a form field fills, by its exact (case-sensitive) name; nothing for a name the
// record does not know. "primaryAddress" is not a text member and is handled by the reader.
QString* ContactMemberFor(ContactFields& fields, const QString& fieldName);

// "Business" 2, "Home" 1, "Other" 3, anything else 2.
std::int32_t PrimaryAddressKindOf(const QString& value);

// The vCard date: the part from the last '/' on moved to the front, then every '/' removed
// ("07/03/1980" -> "19800703"); a text without '/' gives an empty value.
QString VcfDateValue(const QString& dateText);

// The PHOTO property from the photo file's bytes: "PHOTO;ENCODING=BASE64:", then the base64
// on a line of its own and an empty line. The base64 line starts with one blank, a folded
// continuation (RFC 2425 5.8.1), without which readers take it for a broken property.
void WriteVcfPhoto(LineFile& vcf, QIODevice& photo);

// The photo step of the writer: receives the open VCF file, writes the PHOTO property and its
// log lines, and gives back the full path of the detached photo file, or nothing.
using VcfPhotoStep = std::function<std::optional<QString>(LineFile&)>;

// The writer proper, over a record and the photo step (which may be empty). Returns 1 on
// success and 0 on failure; `photoPath` receives the detached photo's path when a PHOTO was
// written and is left alone otherwise.
int WriteContactVcfFile(const QString& vcfPath, const ContactFields& fields, const ConvertContext& context,
                        const VcfPhotoStep& photo, QString& photoPath);

// Reads the contact or group `noteId` of the context's database into a fresh record: every
// form field in form order by its exact name (a later field for the same member wins), the
// note as HTML, the attachment names. Nothing is logged. A Notes status thrown while reading ends
// the read and is stored in *thrown (0 otherwise).
ContactFields ReadContactFields(const ConvertContext& context, NOTEID noteId, LNSTATUS* thrown = nullptr);

// Writes the VCF file for the record; an attachment named exactly "ContactPhoto" becomes the
// PHOTO and stays detached in the "temp" folder, its full path given back in `photoPath`.
// 1 on success, 0 on failure.
int WriteContactVcf(const ConvertContext& context, NOTEID noteId, const ContactFields& fields,
                    const QString& vcfPath, QString& photoPath);
