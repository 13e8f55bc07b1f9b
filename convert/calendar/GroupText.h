#pragma once
// Groups ("Group") as the small UTF-16LE text file that the PST import turns into a
// distribution list, after the list's name and members were set on the item directly.

#include "convert/calendar/ContactVcf.h"

// Five labelled lines (name, description, owner, members, comments) after FF FE. Returns 1 on
// success, 0 on failure with the log line and the error counters.
int WriteGroupText(const QString& txtPath, const ContactFields& fields, const ConvertContext& context);
