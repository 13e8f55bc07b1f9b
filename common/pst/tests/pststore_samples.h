#pragma once
// Interchange files as the writers and other mailers write them: seeds of the round-trip and
// fuzz tests.

// A message as other mailers write it: Q-encoded subject, a named sender, a zone east of UTC,
// alternative bodies in quoted-printable, an inline image and a base64 attachment.
inline const char kRichEml[] =
    "From: =?utf-8?B?QW5uIEzDuGUgPGFubkBhY21lLmNvbT4=?=\r\n"
    "To: \"Lee, Bo\" <bo@acme.com>, =?utf-8?Q?Cy_W=C3=BC?= <cy@acme.com>\r\n"
    "Subject: =?utf-8?Q?R=C3=A9sum=C3=A9_of_Q3?=\r\n"
    "Date: Tue, 3 Jul 2018 10:15:00 +0100\r\n"
    "Message-ID: <rich-1@acme.com>\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"outer\"\r\n\r\n"
    "--outer\r\nContent-Type: multipart/related; boundary=\"rel\"\r\n\r\n"
    "--rel\r\nContent-Type: multipart/alternative; boundary=\"alt\"\r\n\r\n"
    "--alt\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
    "Gr=C3=BC=C3=9Fe from the plain part\r\n"
    "--alt\r\nContent-Type: text/html; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
    "<p>Gr=C3=BC=C3=9Fe <img src=3D\"cid:logo@acme\"></p>\r\n"
    "--alt--\r\n"
    "--rel\r\nContent-Type: image/png\r\nContent-ID: <logo@acme>\r\nContent-Transfer-Encoding: base64\r\n\r\n"
    "iVBORw0KGgoAAAANSUhEUg==\r\n"
    "--rel--\r\n"
    "--outer\r\nContent-Type: application/pdf; name=\"=?utf-8?B?QmVyaWNodCDDpC5wZGY=?=\"\r\n"
    "Content-Disposition: attachment; filename=\"=?utf-8?B?QmVyaWNodCDDpC5wZGY=?=\"\r\n"
    "Content-Transfer-Encoding: base64\r\n\r\n"
    "JVBERi0xLjQKJcOkw7zDtsOfCg==\r\n"
    "--outer--\r\n";

inline const char kVcf[] =
    "BEGIN:VCARD\r\n"
    "N;CHARSET=utf-8:Berg;Anna;;;\r\n"
    "FN;CHARSET=utf-8:Anna Berg\r\n"
    "ORG;CHARSET=utf-8:Acme AB;R&D\r\n"
    "EMAIL;CHARSET=utf-8:anna@acme.example\r\n"
    "ADR;TYPE=work;ENCODING=QUOTED-PRINTABLE;CHARSET=utf-8:;;Industriv=C3=A4gen 3;Lund;;223 70;Sweden\r\n"
    "TEL;TYPE=work,voice:+46 46 101\r\n"
    "TITLE;CHARSET=utf-8:Chief Engineer\r\n"
    "BDAY:19800703\r\n"
    "END:VCARD\r\n";

inline const char kIcs[] =
    "BEGIN:VCALENDAR\r\nBEGIN:VTIMEZONE\r\nTZID:Greenwich Mean Time\r\nEND:VTIMEZONE\r\nBEGIN:VEVENT\r\n"
    "DTEND;TZID=\"Greenwich Mean Time\":20180703T100000\r\n"
    "DTSTART;TZID=\"Greenwich Mean Time\":20180703T091500\r\n"
    "SUMMARY;CHARSET=utf-8:Planning meeting\r\n"
    "ORGANIZER;CN=\"ann@acme.com\"\r\n"
    "ATTENDEE;CN=\"Gro\xDF Bert;cy@acme.com\"\r\n"
    "ATTACH;ENCODING=BASE64;VALUE=BINARY;X-FILENAME=\"agenda.txt\":aGVsbG8K\r\n"
    "DESCRIPTION;CHARSET=utf-8:Agenda attached\r\n"
    "LOCATION;CHARSET=utf-8:Room 4\r\n"
    "CATEGORIES:Blue\r\n"
    "BEGIN:VALARM\r\nTRIGGER:-PT15M\r\nACTION:DISPLAY\r\nDESCRIPTION:Reminder\r\nEND:VALARM\r\n"
    "END:VEVENT\r\nEND:VCALENDAR\r\n";
