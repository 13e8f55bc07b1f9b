// Seeded random mutation through the mail fuzz entry points: a fixed number of inputs, the same
// ones on every run. The entry points abort on a broken invariant.
#include "convert/mail/testsupport/MailFuzz.h"

#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

const std::vector<std::string> kSeeds = {
    ".;bob@acme.com\0CN=Ann Lee/O=Acme;CN=Bob Jones/O=Acme\0a@acme.com;b@globex.com\0acme.com\0Ann Lee"s,
    "\0CN=Given Family/OU=Sales/O=Acme\0given@acme.com\0example.org\0W1 W2 W3"s,
    "CN=Ann/O=X\0CN=Ann/O=X;\0;\0\0 "s,
    "a@b.c\0d@e.f\0g@h.i\0j@k.l\0Re: Café ☕\0"
    "7/3/2018 9:5:0\0<p>Grüße</p>\0x.txt, "s,
    "\x15\0h\0i\0\0\0\0"s,
};

const std::vector<std::string> kPieces = {
    ";",          ".",
    "CN=",        "/",
    "@",          " ",
    "\0"s,        "\r\n",
    "--",         "__=_Part_Boundary_00",
    "\"",         "\\",
    "..",         ":",
    "\xC3\xA9",   "\xF0\x9F\x98\x80",
    "\xFF",       "\xED\xA0\x80",
    "=?utf-8?B?", "\t",
};

std::string Mutate(std::string input, std::mt19937& random) {
    const int steps = 1 + static_cast<int>(random() % 6);
    for (int s = 0; s < steps; ++s) {
        const std::size_t at = input.empty() ? 0 : random() % (input.size() + 1);
        switch (random() % 5) {
            case 0:
                if (at < input.size()) input[at] = static_cast<char>(random());
                break;
            case 1:
                if (at < input.size()) input.erase(at, random() % 16);
                break;
            case 2:
                input.insert(at, kPieces[random() % kPieces.size()]);
                break;
            case 3:
                if (at < input.size()) {
                    const std::string piece = input.substr(at, random() % 64);
                    for (auto n = random() % 8; n > 0; --n) input.insert(at, piece);
                }
                break;
            default:
                input.resize(at);
        }
    }
    return input;
}

template <typename Entry>
int RunMutations(Entry entry, int inputs, unsigned seed) {
    std::mt19937 random(seed);
    int ran = 0;
    for (const std::string& s : kSeeds) {
        entry(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
        ++ran;
    }
    for (; ran < inputs; ++ran) {
        std::string input = kSeeds[random() % kSeeds.size()];
        for (auto rounds = 1 + random() % 3; rounds > 0; --rounds) input = Mutate(input, random);
        entry(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    }
    return ran;
}

TEST(MailFuzzTest, AddressTextsAndNames) {
    EXPECT_EQ(RunMutations(FuzzMailTexts, 4000, 1), 4000);
}

TEST(MailFuzzTest, EmlWriter) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray saved = qgetenv("TMPDIR");
    qputenv("TMPDIR", dir.path().toUtf8());
    EXPECT_EQ(RunMutations(FuzzEmlWriter, 2000, 2), 2000);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    qputenv("TMPDIR", saved);
}

}  // namespace
