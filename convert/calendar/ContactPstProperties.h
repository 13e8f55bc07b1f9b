#pragma once
// A contact's or a group list's fields copied straight into its PST item, before the VCF or TXT
// file is imported into it. Refused values are skipped by the store; nothing is logged here.

#include "common/pst/PstStore.h"
#include "convert/calendar/ContactVcf.h"

// Every contact property from the record, in the record's order; with no record nothing.
void SetContactProperties(PstItem& item, const ContactFields* fields);
// The list's name, then one member per ";"-separated entry of Members (the whole text as one
// member when it holds no ";"), each as its full Notes name.
void SetGroupListProperties(PstItem& item, const ContactFields* fields);
