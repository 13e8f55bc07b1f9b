#include "convert/mail/AddressTranslation.h"

#include <gtest/gtest.h>

namespace {

TEST(CTokenTest, SplitsOnlyTextsThatHoldASeparator) {
    struct Case {
        QString text;
        QStringList entries;
    };
    const Case cases[] = {
        {"", {}},
        {"alice@example.com", {}},  // one entry, no ";": no entries at all
        {"a;b", {"a", "b"}},
        {"a;b;", {"a", "b", ""}},
        {";", {"", ""}},
        {";;x", {"", "", "x"}},
    };
    for (const Case& c : cases) {
        const CToken tokens(c.text);
        EXPECT_EQ(tokens.Entries(), c.entries) << c.text.toStdString();
        EXPECT_EQ(tokens.Count(), c.entries.size());
    }
}

TEST(CommonNameOfTest, TakesTheTextAfterTheFirstCnUpToTheNextSlash) {
    EXPECT_EQ(CommonNameOf("CN=Given Family/OU=Sales/O=Acme"), "Given Family");
    EXPECT_EQ(CommonNameOf("CN=Given Family"), "Given Family");
    EXPECT_EQ(CommonNameOf("Given Family/Acme"), "");
    EXPECT_EQ(CommonNameOf("cn=lower/O=Acme"), "");  // the marker is matched as written
    EXPECT_EQ(CommonNameOf("X CN=A/CN=B"), "A");
    EXPECT_EQ(CommonNameOf("CN=/O=Acme"), "");
}

struct ListCase {
    const char* what;
    QString internet;
    QString notes;
    QString merged;
};

TEST(MergeAddressListsTest, KeepsInternetAddressesAndShortensNotesNames) {
    const ListCase cases[] = {
        {"single address and single name", "alice@example.com", "CN=Alice Smith/O=Acme", "alice@example.com"},
        {"no Internet address", "", "CN=Given Family/O=Acme", "Given Family"},
        {"dot for the only recipient", ".", "CN=Given Family/O=Acme", "Given Family"},
        {"first recipient without address", ".;bob@example.com", "CN=Alice Smith/O=Acme;CN=Bob Jones/O=Acme",
         "Alice Smith;bob@example.com"},
        {"two names, no Internet list", "", "CN=Alice Smith/O=Acme;CN=Bob Jones/O=Acme",
         "Alice Smith;Bob Jones"},
        {"counts differ: N unused", "a@x.com;.;c@x.com", "CN=A/O=X;CN=B/O=X", "a@x.com;c@x.com"},
        {"a Notes name where an address was expected", "CN=Alice Smith/O=Acme", "CN=Alice Smith/O=Acme",
         "Alice Smith"},
        {"Notes name inside the Internet list", "CN=Ann/O=X;b@x.com", "CN=Ann/O=X;CN=Bo/O=X", "Ann;b@x.com"},
        {"flat names stay", "", "Alice;Bob", "Alice;Bob"},
        {"trailing separator", "", "CN=Ann/O=X;CN=Bo/O=X;", "Ann;Bo"},
        {"nothing at all", "", "", ""},
        {"only separators", ";", ";", ""},
    };
    for (const ListCase& c : cases) EXPECT_EQ(MergeAddressLists(c.internet, c.notes), c.merged) << c.what;
}

RunOptions MapOptions(bool patternOn = false, std::uint32_t format = 2) {
    RunOptions options;
    options.addressTranslation = 1;
    options.csvTranslationOn = 1;
    options.smtpPatternOn = patternOn ? 1 : 0;
    options.smtpFormat = format;
    options.smtpDomain = "Example.org";
    options.addressMap = {
        {"GIVEN FAMILY", "given.family@acme.com"},
        {"ALICE SMITH", "alice@acme.com;asmith@globex.com"},
        {"BOB@HOME.NET", "bob.jones@acme.com"},
    };
    return options;
}

TEST(TranslateAddressListsTest, MapModeLooksUpCommonNamesInUpperCase) {
    struct Case {
        const char* what;
        QString internet;
        QString notes;
        bool patternOn;
        QString expected;
    };
    const Case cases[] = {
        {"single address wins", "alice@example.com", "CN=Alice Smith/O=Acme", false, "alice@example.com"},
        {"a Notes name in I is kept", "CN=Alice Smith/O=Acme", "CN=Alice Smith/O=Acme", false,
         "CN=Alice Smith/O=Acme"},
        {"key found", "", "CN=Given Family/O=Acme", false, "given.family@acme.com"},
        {"key found, dot", ".", "CN=given family/O=Acme", false, "given.family@acme.com"},
        {"missing key, pattern on", "", "CN=Ann Lee/O=Acme", true, "Ann.Lee@Example.org"},
        {"missing key, pattern off", "", "CN=Ann Lee/O=Acme", false, "Ann Lee"},
        {"two addresses, label in the Notes name", ".", "CN=Alice Smith/O=GLOBEX", false,
         "asmith@globex.com"},
        {"two addresses, no label matches", ".", "CN=Alice Smith/O=Initech", false, "alice@acme.com"},
        {"address without CN= looked up whole", ".;x@y.com", "bob@home.net;CN=Q/O=R", false,
         "bob.jones@acme.com;x@y.com"},
        {"address without CN= absent from the table", "", "carol@home.net", true, "carol@home.net"},
        {"pairs resolved one by one", ".;bob@example.com", "CN=Given Family/O=Acme;CN=Bob Jones/O=Acme",
         false, "given.family@acme.com;bob@example.com"},
        {"counts differ: N unused", "a@x.com;.;c@x.com", "CN=Given Family/O=X;CN=B/O=X", true,
         "a@x.com;c@x.com"},
        {"names only", "", "CN=Given Family/O=X;CN=Ann Lee/O=X;", true,
         "given.family@acme.com;Ann.Lee@Example.org"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TranslateAddressLists(c.internet, c.notes, MapOptions(c.patternOn)), c.expected) << c.what;
    }
}

TEST(TranslateAddressListsTest, PatternModeBuildsEveryNameWithACommonName) {
    RunOptions options;
    options.addressTranslation = 1;
    options.smtpPatternOn = 1;
    options.smtpFormat = 2;
    options.smtpDomain = "example.org";
    options.addressMap = {{"GIVEN FAMILY", "never@used.com"}};  // only map mode reads the table
    EXPECT_EQ(TranslateAddressLists("", "CN=Given Family/O=Acme", options), "Given.Family@example.org");
    EXPECT_EQ(TranslateAddressLists(".", "carol@home.net", options), "carol@home.net");
    EXPECT_EQ(TranslateAddressLists(".;.", "CN=A B/O=X;CN=C D/O=X", options),
              "A.B@example.org;C.D@example.org");
    options.smtpFormat = 8;
    EXPECT_EQ(TranslateAddressLists("", "CN=Given Family/O=Acme", options), "");
}

TEST(TranslateAddressListsTest, NoSourceOnGivesNothing) {
    RunOptions options;
    options.addressTranslation = 1;
    options.addressMap = {{"GIVEN FAMILY", "g@f.com"}};
    EXPECT_EQ(TranslateAddressLists("alice@example.com", "CN=Given Family/O=X", options), "");
    EXPECT_EQ(TranslateAddressLists("", "CN=Given Family/O=X", options), "");
    options.namesNsfTranslationOn = 1;  // the names.nsf source alone is map mode too
    EXPECT_EQ(TranslateAddressLists("", "CN=Given Family/O=X", options), "g@f.com");
}

TEST(PickAddressTest, ChoosesTheAddressWhoseDomainLabelTheNameCarries) {
    struct Case {
        QString value;
        QString notesName;
        QString expected;
    };
    const Case cases[] = {
        {"a@acme.com;b@globex.com", "CN=X/O=Globex", "b@globex.com"},
        {"a@acme.com;b@globex.com", "CN=X/O=gLoBeX", "b@globex.com"},
        {"a@acme.com;b@globex.com", "CN=X/O=Initech", "a@acme.com"},
        {"a@acme.com;b@globex.com", "CN=Acmeson/O=Globex", "a@acme.com"},  // first match wins
        {"nomail;b@globex", "CN=X/O=Globex", "b@globex"},                  // domain without '.'
        {";b@globex.com", "CN=X/O=Initech", ""},                           // first entry empty
        {"a@acme.com", "CN=X/O=Acme", ""},                                 // no ";": the caller uses it whole
    };
    for (const Case& c : cases)
        EXPECT_EQ(PickAddress(c.value, c.notesName), c.expected) << c.value.toStdString();
}

TEST(SmtpPatternTest, EveryFormat) {
    struct Case {
        std::uint32_t format;
        QString name;
        QString expected;
    };
    const Case cases[] = {
        {0, "Given Family", "Given@Dom.com"},
        {1, "Given Family", "Family@Dom.com"},
        {2, "Given Family", "Given.Family@Dom.com"},
        {3, "Given Family", "Family.Given@Dom.com"},
        {4, "Given Family", "G.Family@Dom.com"},
        {5, "Given Family", "Family.G@Dom.com"},
        {6, "Given Family", "Given.F@Dom.com"},
        {7, "Given Family", "F.Given@Dom.com"},
        {8, "Given Family", ""},
        {0xFFFFFFFFu, "Given Family", ""},
        {1, "Mononym", "SMTP@Dom.com"},
        {6, "Mononym", "Mononym.S@Dom.com"},
        {2, "W1 W2 W3", "W1W2.W3@Dom.com"},
        {4, "W1 W2 W3", "W.W3@Dom.com"},
        {7, "W1 W2 W3", "W.W1W2@Dom.com"},
        {4, "", ".SMTP@Dom.com"},
        {6, "Given ", "Given.@Dom.com"},  // last name empty after the space is removed
        {4, QString::fromUtf8("\xF0\x9F\x98\x80x Lee"), QString::fromUtf8("\xF0\x9F\x98\x80.Lee@Dom.com")},
    };
    RunOptions options;
    options.smtpDomain = "Dom.com";
    for (const Case& c : cases) {
        options.smtpFormat = c.format;
        EXPECT_EQ(SmtpPattern(c.name, options), c.expected) << c.format << " " << c.name.toStdString();
    }
}

}  // namespace
