// Every kind of file the library writes, read by every reader we have: pstcheck, pffexport
// (libpff), readpst (libpst) and pst-extractor (a port of the Java libpst, driven by
// tests/readers/pst_extractor_walk.js under a time limit). A fresh store, a store of many
// messages and hundreds of named properties, and Outlook's own file extended.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "pst/tests/test_util.h"

namespace fs = std::filesystem;

namespace pst {
namespace {

using test::Sh;
using test::ToolRun;

void ExpectNoComplaints(const ToolRun& r, const std::string& what) {
    EXPECT_EQ(r.status, 0) << what << ":\n" << r.out.substr(0, 4000);
    for (const char* bad : {"rror", "arning", "nable", "nsupported", "nvalid", "orrupt", "xception"})
        EXPECT_EQ(r.out.find(bad), std::string::npos) << what << " complained (" << bad << "):\n"
                                                      << r.out.substr(0, 4000);
}

// What pst-extractor must report for one message (see the walker's --summary lines).
std::string SummaryLine(const std::string& folder, const std::string& subject, bool read,
                        const std::string& to, size_t recipients, size_t attachments) {
    return "M\t/Top of Outlook data file/" + folder + "\t" + subject + "\t" + (read ? "read" : "unread") +
           "\t" + to + "\talice@example.com\tSMTP\t" + std::to_string(recipients) + "\t" +
           std::to_string(attachments) + "\n";
}

struct Written {
    std::vector<std::string> summaries;  // lines pst-extractor must print
};

NewMessage Mail(int i, const std::string& folder, Written& w, Store& s, bool withParts) {
    NewMessage m = test::SampleMessage(i, withParts ? 3000 : 0);
    m.props.erase(PidTagDisplayTo);  // derived from the recipients
    m.props.erase(0x0065);           // the represented sender is derived from the sender
    m.props.erase(PidTagSentRepresentingName);
    Recipient cc;
    cc.props[PidTagDisplayName] = MakeUtf8("Carol Copy");
    cc.props[PidTagEmailAddress] = MakeUtf8("carol@example.com");
    cc.props[PidTagRecipientType] = MakeLong(kRecipientCc);
    m.recipients.push_back(cc);
    bool read = i % 3 != 0;
    if (!read) m.props[PidTagMessageFlags] = MakeLong(0);
    auto named = s.NamedPropId({PS_PUBLIC_STRINGS, std::nullopt, "X-Field-" + std::to_string(i % 300)});
    if (named) m.props[*named] = MakeUtf8("value " + std::to_string(i));
    if (withParts && i % 2 == 0) {
        Attachment fwd;
        fwd.embedded = std::make_shared<NewMessage>(test::SampleMessage(1000 + i, 100));
        m.attachments.push_back(fwd);
    }
    w.summaries.push_back(
        SummaryLine(folder, ToUtf8(m.props[PidTagSubject]), read, "Bob Receiver", 2, m.attachments.size()));
    return m;
}

void Fill(Store& s, NID parent, const std::vector<std::string>& folders, int perFolder, bool withParts,
          Written& w) {
    int i = 0;
    for (auto& name : folders) {
        auto f = s.AddFolder(parent, name, "IPF.Note");
        ASSERT_OK(f);
        for (int k = 0; k < perFolder; ++k, ++i) ASSERT_OK(s.AddMessage(*f, Mail(i, name, w, s, withParts)));
        ASSERT_OK(s.Commit());
    }
}

struct Case {
    const char* name;
    std::function<void(const std::string& path, Written& w)> write;
    // pffexport's recovery pass ("-m all") complains about Outlook's own internal nodes (heaps of
    // types 0x9C and 0xCC) on the untouched reference file, so Outlook's file gets the item pass.
    const char* pffMode = "-m all";
};

const Case kCases[] = {
    {"fresh",
     [](const std::string& path, Written&) {
         auto s = Store::Create(path, "Personal Folders");
         ASSERT_OK(s);
     }},
    {"many",
     [](const std::string& path, Written& w) {
         auto s = Store::Create(path, "Personal Folders");
         ASSERT_OK(s);
         Fill(**s, (*s)->IpmSubtree(), {"Inbox", "Archive", "Projects"}, 400, false, w);
         Fill(**s, (*s)->IpmSubtree(), {"With parts"}, 30, true, w);
     }},
    {"outlook-extended",
     [](const std::string& path, Written& w) {
         fs::copy_file(test::ReferencePath(), path, fs::copy_options::overwrite_existing);
         fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
         auto s = Store::Open(path);
         ASSERT_OK(s);
         Fill(**s, (*s)->IpmSubtree(), {"Inbox"}, 20, true, w);
     },
     "-m items"},
};

class EveryReader : public ::testing::TestWithParam<Case> {};

TEST_P(EveryReader, ReadsTheWholeFileWithoutComplaint) {
    const Case& c = GetParam();
    fs::path dir =
        fs::temp_directory_path() / ("pst-every-" + std::string(c.name) + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::string file = (dir / "out.pst").string();
    Written w;
    c.write(file, w);
    if (HasFatalFailure()) return;

    CheckReport rep = CheckPstFile(file);
    EXPECT_TRUE(rep.ok()) << test::Joined(rep);
    ExpectNoComplaints(
        Sh(std::string("pffexport ") + c.pffMode + " -t '" + (dir / "pff").string() + "' '" + file + "'"),
        "pffexport");
    fs::create_directories(dir / "readpst");
    ExpectNoComplaints(Sh("readpst -S -o '" + (dir / "readpst").string() + "' '" + file + "'"), "readpst");

    ToolRun px = Sh(std::string("timeout 300 node '") + NSF_SOURCE_DIR +
                    "/tests/readers/pst_extractor_walk.js' --summary '" + file + "'");
    ASSERT_EQ(px.status, 0) << "pst-extractor failed or hung:\n" << px.out.substr(0, 4000);
    EXPECT_NE(px.out.find("F\t/Top of Outlook data file/Deleted Items"), std::string::npos) << px.out;
    EXPECT_EQ(px.out.find("Exception"), std::string::npos) << px.out.substr(0, 4000);
    size_t missing = 0;
    for (auto& line : w.summaries)
        if (px.out.find(line) == std::string::npos && ++missing <= 3)
            ADD_FAILURE() << "pst-extractor lacks " << line;
    EXPECT_EQ(missing, 0u);
    if (!HasFailure()) fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Files, EveryReader, ::testing::ValuesIn(kCases), [](const auto& param) {
    std::string n = param.param.name;
    for (auto& ch : n)
        if (ch == '-') ch = '_';
    return n;
});

}  // namespace
}  // namespace pst
