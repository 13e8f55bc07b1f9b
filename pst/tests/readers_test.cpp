// Files written by the library, read back by independent readers: pffinfo / pffexport
// (pff-tools) and lspst / readpst (pst-utils). What they report must match what was written,
// and none of them may complain about the file.
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "pst/tests/test_util.h"

namespace fs = std::filesystem;

namespace pst {
namespace {

using test::Sh;
using test::ToolRun;

std::string Slurp(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

void ExpectNoComplaints(const ToolRun& r, const std::string& tool) {
    EXPECT_EQ(r.status, 0) << tool << ":\n" << r.out;
    for (const char* bad : {"rror", "arning", "nable", "nsupported", "nvalid", "orrupt"})
        EXPECT_EQ(r.out.find(bad), std::string::npos) << tool << " complained (" << bad << "):\n" << r.out;
}

class Readers : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("pst-readers-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        file_ = (dir_ / "out.pst").string();
        std::string err;
        auto s = test::Take(Store::Create(file_, "Personal Folders"), err);
        ASSERT_TRUE(s) << err;
        auto inbox = s->AddFolder(s->IpmSubtree(), "Inbox", "IPF.Note");
        auto archive = s->AddFolder(*inbox, "Archive", "IPF.Note");
        auto tasks = s->AddFolder(s->IpmSubtree(), "Tasks", "IPF.Task");
        ASSERT_TRUE(inbox && archive && tasks) << err;
        (void)s->SetDefaultFolder(DefaultFolder::Inbox, *inbox);
        (void)s->SetDefaultFolder(DefaultFolder::Tasks, *tasks);
        for (int i = 0; i < 4; ++i) {
            msgs_.push_back(test::SampleMessage(i, i == 2 ? 200000 : 700));
            ASSERT_OK(s->AddMessage(i < 3 ? *inbox : *archive, msgs_.back()));
        }
        ASSERT_OK(s->Commit());
        // A second session adds to the same file, as the converter's worker processes do.
        s.reset();
        s = test::Take(Store::Open(file_), err);
        ASSERT_TRUE(s) << err;
        NewMessage task = test::SampleMessage(10, 0);
        task.props[PidTagMessageClass] = MakeUtf8("IPM.Task");
        ASSERT_OK(s->AddMessage(*tasks, task));
        ASSERT_OK(s->Commit());
        CheckReport rep = CheckPstFile(file_);
        ASSERT_TRUE(rep.ok()) << test::Joined(rep);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
    std::string file_;
    std::vector<NewMessage> msgs_;
};

TEST_F(Readers, PffinfoAndLspstSeeTheStore) {
    ToolRun info = Sh("pffinfo '" + file_ + "'");
    ExpectNoComplaints(info, "pffinfo");
    EXPECT_NE(info.out.find("64-bit"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Subtree, Inbox"), std::string::npos) << info.out;
    ToolRun ls = Sh("lspst '" + file_ + "'");
    ExpectNoComplaints(ls, "lspst");
    for (const char* want :
         {"Folder \"Inbox\"", "Folder \"Archive\"", "Folder \"Tasks\"", "From: Alice Sender"})
        EXPECT_NE(ls.out.find(want), std::string::npos) << want << "\n" << ls.out;
    for (int i = 0; i < 4; ++i)
        EXPECT_NE(ls.out.find("Subject: Subject " + std::to_string(i)), std::string::npos) << ls.out;
}

TEST_F(Readers, PffexportExportsEveryPart) {
    std::string target = (dir_ / "px").string();
    ToolRun r = Sh("pffexport -m all -t '" + target + "' '" + file_ + "'");
    ExpectNoComplaints(r, "pffexport");
    fs::path inbox = fs::path(target + ".export") / "Top of Outlook data file" / "Inbox";
    ASSERT_TRUE(fs::exists(inbox)) << r.out;
    EXPECT_TRUE(fs::exists(inbox / "Archive" / "Message00001"));
    EXPECT_TRUE(fs::exists(fs::path(target + ".export") / "Top of Outlook data file" / "Tasks"));
    for (int i = 0; i < 3; ++i) {
        fs::path m = inbox / ("Message0000" + std::to_string(i + 1));
        std::string headers = Slurp(m / "OutlookHeaders.txt");
        EXPECT_NE(headers.find("Subject " + std::to_string(i)), std::string::npos) << headers;
        EXPECT_NE(headers.find("Alice Sender"), std::string::npos) << headers;
        EXPECT_NE(Slurp(m / "Message.txt").find("Body of message " + std::to_string(i)), std::string::npos);
        std::string recips = Slurp(m / "Recipients.txt");
        EXPECT_NE(recips.find("bob@example.com"), std::string::npos) << recips;
        const Attachment& a = msgs_[i].attachments[0];
        std::string name = "1_file" + std::to_string(i) + ".bin";
        EXPECT_EQ(Slurp(m / "Attachments" / name), std::string(a.data.begin(), a.data.end())) << name;
    }
}

TEST_F(Readers, ReadpstWritesEveryMessageAndAttachment) {
    fs::path out = dir_ / "rp";
    fs::create_directories(out);
    ToolRun r = Sh("readpst -S -o '" + out.string() + "' '" + file_ + "'");
    ExpectNoComplaints(r, "readpst");
    fs::path inbox = out / "Personal Folders" / "Inbox";
    size_t emails = 0;
    std::string all;
    for (auto& e : fs::directory_iterator(inbox)) {
        std::string name = e.path().filename().string();
        if (e.is_regular_file() && name.find('-') == std::string::npos) {
            ++emails;
            all += Slurp(e.path());
        }
    }
    EXPECT_EQ(emails, 3u);
    // The subjects carry non-ASCII text, so readpst writes them as RFC 2047 encoded words.
    const char* encoded[] = {"U3ViamVjdCAwIMOpdMOp", "U3ViamVjdCAxIMOpdMOp", "U3ViamVjdCAyIMOpdMOp"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NE(all.find(std::string("Subject: =?utf-8?B?") + encoded[i] + "?="), std::string::npos);
        EXPECT_NE(all.find("Body of message " + std::to_string(i)), std::string::npos);
    }
    EXPECT_NE(all.find("From: \"Alice Sender\" <alice@example.com>"), std::string::npos)
        << all.substr(0, 400);
    EXPECT_NE(all.find("To: Bob Receiver"), std::string::npos);
    // Attachments land beside the messages, byte for byte.
    size_t attachments = 0;
    for (auto& e : fs::directory_iterator(inbox)) {
        std::string name = e.path().filename().string();
        auto dash = name.find('-');
        if (dash == std::string::npos) continue;
        int i = name[dash + 5] - '0';
        ASSERT_GE(i, 0);
        ASSERT_LT(i, 3);
        const Bytes& want = msgs_[i].attachments[0].data;
        EXPECT_EQ(Slurp(e.path()), std::string(want.begin(), want.end())) << name;
        ++attachments;
    }
    EXPECT_EQ(attachments, 3u);
    EXPECT_TRUE(fs::exists(out / "Personal Folders" / "Inbox" / "Archive"));
}

// A folder filled over several commits: its table is appended to, with a multi-level row index.
TEST(ReadersOnLargeFolder, AppendedContentsTableReadsWhole) {
    auto dir = fs::temp_directory_path() / ("pst-bulk-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string file = (dir / "bulk.pst").string();
    std::string err;
    {
        auto s = test::Take(Store::Create(file, "Personal Folders"), err);
        ASSERT_TRUE(s) << err;
        auto f = s->AddFolder(s->IpmSubtree(), "Bulk", "IPF.Note");
        for (int i = 0; i < 600; ++i) {
            ASSERT_OK(s->AddMessage(*f, test::SampleMessage(i, 0)));
            if (i % 200 == 199) {
                ASSERT_OK(s->Commit());
            }
        }
    }
    ASSERT_TRUE(CheckPstFile(file).ok()) << test::Joined(CheckPstFile(file));
    ToolRun ls = Sh("lspst '" + file + "'");
    ExpectNoComplaints(ls, "lspst");
    size_t n = 0;
    for (size_t at = 0; (at = ls.out.find("Email\t", at)) != std::string::npos; ++at) ++n;
    EXPECT_EQ(n, 600u);
    ToolRun px = Sh("pffexport -t '" + (dir / "px").string() + "' '" + file + "'");
    ExpectNoComplaints(px, "pffexport");
    EXPECT_TRUE(fs::exists(dir / "px.export" / "Top of Outlook data file" / "Bulk" / "Message00600"));
    fs::remove_all(dir);
}

TEST(ReadersOnReference, OutlooksFileAfterExtensionStillReads) {
    auto dir = fs::temp_directory_path() / ("pst-ref-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string file = (dir / "ext.pst").string();
    fs::copy_file(test::ReferencePath(), file, fs::copy_options::overwrite_existing);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    std::string err;
    {
        auto s = test::Take(Store::Open(file), err);
        ASSERT_TRUE(s) << err;
        auto f = s->AddFolder(s->IpmSubtree(), "Inbox", "IPF.Note");
        ASSERT_OK(f);
        ASSERT_OK(s->AddMessage(*f, test::SampleMessage(5)));
        ASSERT_OK(s->Commit());
    }
    ASSERT_TRUE(CheckPstFile(file).ok()) << test::Joined(CheckPstFile(file));
    ToolRun ls = Sh("lspst '" + file + "'");
    ExpectNoComplaints(ls, "lspst");
    EXPECT_NE(ls.out.find("Subject: Subject 5"), std::string::npos) << ls.out;
    ToolRun info = Sh("pffexport -t '" + (dir / "px").string() + "' '" + file + "'");
    ExpectNoComplaints(info, "pffexport");
    EXPECT_TRUE(fs::exists(dir / "px.export" / "Top of Outlook data file" / "Inbox" / "Message00001"));
    fs::remove_all(dir);
}

}  // namespace
}  // namespace pst
