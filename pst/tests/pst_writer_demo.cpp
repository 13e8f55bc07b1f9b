// pstwrite OUT.pst: writes a small store with folders and messages (used by the reader checks).
#include <cstdio>
#include "pst/messaging.h"
using namespace pst;
int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::string err;
  auto s = Store::Create(argv[1], "Personal Folders", err);
  if (!s) { std::fprintf(stderr, "create: %s\n", err.c_str()); return 1; }
  auto inbox = s->AddFolder(s->IpmSubtree(), "Inbox", "IPF.Note", err);
  if (!inbox) { std::fprintf(stderr, "folder: %s\n", err.c_str()); return 1; }
  s->SetDefaultFolder(DefaultFolder::Inbox, *inbox, err);
  for (int i = 0; i < (argc > 2 ? atoi(argv[2]) : 3); ++i) {
    NewMessage m;
    m.props[PidTagSubject] = MakeUtf8("Hello " + std::to_string(i));
    m.props[PidTagSenderName] = MakeUtf8("Alice Sender");
    m.props[0x0C1F] = MakeUtf8("alice@example.com");
    m.props[0x0C1E] = MakeUtf8("SMTP");
    m.props[PidTagSentRepresentingName] = MakeUtf8("Alice Sender");
    m.props[PidTagBody] = MakeUtf8("Body text " + std::to_string(i));
    m.props[PidTagMessageDeliveryTime] = MakeI8(133000000000000000ull, PT_SYSTIME);
    Recipient r;
    r.props[PidTagDisplayName] = MakeUtf8("Bob");
    r.props[PidTagEmailAddress] = MakeUtf8("bob@example.com");
    m.recipients.push_back(r);
    m.props[PidTagDisplayTo] = MakeUtf8("Bob");
    Attachment a;
    a.props[PidTagAttachFilename] = MakeUtf8("a.txt");
    a.props[PidTagAttachLongFilename] = MakeUtf8("a.txt");
    a.data = Bytes(10000, 'x');
    m.attachments.push_back(a);
    if (!s->AddMessage(*inbox, m, err)) { std::fprintf(stderr, "msg: %s\n", err.c_str()); return 1; }
  }
  if (!s->Commit(err)) { std::fprintf(stderr, "commit: %s\n", err.c_str()); return 1; }
  return 0;
}
