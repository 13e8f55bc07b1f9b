#pragma once
// One address text from the two lists a Notes mail keeps for each of From, To, CC and BCC: the
// Internet list ("INetSendTo" and its kin, "." for a recipient without an Internet address) and
// the Notes list (canonical names such as "CN=Given Family/O=Org"). Both lists arrive with their
// entries joined by ";".

#include "common/handoff/RunOptions.h"

#include <QString>
#include <QStringList>

// Splits a list at ";". A text without any ";" has no entries at all, even when it is not
// empty: single-entry lists take the branches for lists without entries.
class CToken {
  public:
    explicit CToken(const QString& text, QChar separator = u';');

    qsizetype Count() const { return entries_.size(); }
    const QString& operator[](qsizetype i) const { return entries_[i]; }
    const QStringList& Entries() const { return entries_; }

  private:
    QStringList entries_;
};

// The text after the first "CN=" up to the next '/', or empty when there is no "CN=".
QString CommonNameOf(const QString& text);

// No translation: Internet addresses are kept, Notes names become their common names.
QString MergeAddressLists(const QString& internetList, const QString& notesList);

// Translation: Notes names become Internet addresses from options.addressMap (when the CSV or
// the names.nsf source is on), falling back to SmtpPattern when options.smtpPatternOn is 1.
// With none of the three sources on the result is empty.
QString TranslateAddressLists(const QString& internetList, const QString& notesList,
                              const RunOptions& options);

// From a table value holding several addresses, the one whose domain label (the domain up to
// its first '.') occurs in notesName, ignoring case; else the first; empty when the value has
// no ";" (the caller then uses the value whole).
QString PickAddress(const QString& value, const QString& notesName);

// An address built from a display name by options.smtpFormat (0 to 7) and options.smtpDomain;
// empty for any other format.
QString SmtpPattern(const QString& name, const RunOptions& options);
