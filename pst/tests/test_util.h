#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "pst/check.h"
#include "pst/testsupport/memio.h"
#include "pst/messaging.h"

// Asserts that a Result or Status is ok and shows its failure text otherwise.
#define ASSERT_OK(expr)                                \
    do {                                               \
        auto&& ok_result_ = (expr);                    \
        ASSERT_TRUE(ok_result_) << ok_result_.error(); \
    } while (0)

namespace pst::test {

// The value of a result (or an empty T), its failure text in err.
template <class T>
T Take(Result<T> r, std::string& err) {
    if (!r) {
        err = r.error();
        return T{};
    }
    return std::move(*r);
}

// An external reader run through the shell: its exit status and everything it printed.
struct ToolRun {
    int status = -1;
    std::string out;  // stdout and stderr together
};

inline ToolRun Sh(const std::string& cmd) {
    ToolRun r;
    FILE* p = popen((cmd + " 2>&1").c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    r.status = pclose(p);
    return r;
}

// Outlook's own new file (MIT-licensed sample, see data/outlook-empty.pst.LICENSE).
inline std::string ReferencePath() {
    return PST_TEST_DATA_DIR "/outlook-empty.pst";
}

inline std::shared_ptr<Bytes> ReadWholeFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::make_shared<Bytes>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline CheckReport CheckBytes(const std::shared_ptr<Bytes>& b) {
    return CheckPst(std::make_unique<MemoryIo>(b));
}

inline std::string Joined(const CheckReport& r) {
    std::string s;
    for (auto& f : r.findings) s += f + "\n";
    return s;
}

// A message whose every part can be compared after reading it back.
inline NewMessage SampleMessage(int i, size_t attachmentBytes = 1000) {
    NewMessage m;
    m.props[PidTagSubject] = MakeUtf8("Subject " + std::to_string(i) + " \xC3\xA9t\xC3\xA9");
    m.props[PidTagSenderName] = MakeUtf8("Alice Sender");
    m.props[0x0C1F] = MakeUtf8("alice@example.com");
    m.props[0x0065] = MakeUtf8("alice@example.com");
    m.props[PidTagSentRepresentingName] = MakeUtf8("Alice Sender");
    m.props[PidTagBody] = MakeUtf8("Body of message " + std::to_string(i));
    m.props[PidTagMessageDeliveryTime] = MakeI8(133000000000000000ull + uint64_t(i), PT_SYSTIME);
    m.props[PidTagImportance] = MakeLong(1);
    m.props[PidTagDisplayTo] = MakeUtf8("Bob Receiver");
    Recipient r;
    r.props[PidTagDisplayName] = MakeUtf8("Bob Receiver");
    r.props[PidTagEmailAddress] = MakeUtf8("bob@example.com");
    r.props[PidTagRecipientType] = MakeLong(1);
    m.recipients.push_back(r);
    if (attachmentBytes) {
        Attachment a;
        a.props[PidTagAttachFilename] = MakeUtf8("file" + std::to_string(i) + ".bin");
        a.props[PidTagAttachLongFilename] = MakeUtf8("file" + std::to_string(i) + ".bin");
        a.data.resize(attachmentBytes);
        for (size_t k = 0; k < a.data.size(); ++k) a.data[k] = static_cast<uint8_t>(k * 7 + i);
        m.attachments.push_back(a);
    }
    return m;
}

}  // namespace pst::test
