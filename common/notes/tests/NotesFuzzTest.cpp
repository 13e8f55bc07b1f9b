// Seeded random mutations of a DXL database that uses every construct the reader knows; the
// reader must refuse or read each one without crashing, hanging or leaking (the sanitizer
// build runs this too).
#include "common/notes/DxlBuilder.h"
#include "common/notes/NotesFuzz.h"
#include "data/Samples.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <random>

namespace {

QByteArray Seed() {
    DxlBuilder b("Seed");
    b.AddForm("Memo", {{"Subject", "text"}, {"StartDate", "datetime"}, {"Body", "richtext"}});
    const NOTEID a =
        b.AddDocument("Memo")
            .Text("Subject", "Grüße 😀")
            .Names("SendTo", {"CN=A/O=B", "c@d.e"})
            .Numbers("N", {1, 2.5})
            .Dates("D", {"20180703T090500,00-05", "20180704/20180705"})
            .Date("StartDateTime", "20180703T090500,00+0530", true)
            .RichText("Body",
                      "<par>t<break/>u<tab/></par><table><tablerow><tablecell><par>c</par>"
                      "</tablecell></tablerow></table><section><sectiontitle>S</sectiontitle>"
                      "<par>in</par></section><par><picture><gif>R0lGODlh</gif></picture>"
                      "<doclink database='85257A6D004C2DC1' view='0123456789ABCDEF0123456789ABCDEF'"
                      " document='FEDCBA9876543210FEDCBA9876543210' description='d'/></par>")
            .Raw("Html", 21, "<p>h</p>")
            .Attach("f.txt", "file bytes")
            .Unread()
            .Id();
    const NOTEID e = b.AddDocument("Memo").Encrypted().Text("Body", "s").Id();
    b.AddDocument("Memo").FirstOpenStatus(263).OpenStatus(7);
    b.AddFolder("F\\G").Entry(a).Category("c").Entry(e, 0);
    b.AddView("V").OpenStatus(5);
    QByteArray x = b.ToDxl();
    // A comment and a CDATA section holding what looks like base64 tags.
    x.replace("<item name='N'",
              "<!-- <filedata> --><item name='C'><text><![CDATA[<gif>x]]></text></item><item name='N'");
    return x;
}

QByteArray Mutate(const QByteArray& seed, std::mt19937& rng) {
    static const char* kTokens[] = {"<",
                                    ">",
                                    "</item>",
                                    "<filedata>",
                                    "</filedata>",
                                    "<richtext>",
                                    "<gif>",
                                    "&amp;",
                                    "\xF0\x9F",
                                    "'",
                                    "<!--",
                                    "]]>",
                                    "<nx:entry noteid='8f6'/>",
                                    "\xC3",
                                    "=",
                                    "<datetime>99999999T999999</datetime>",
                                    "<datetimepair>",
                                    "<mime><![CDATA[",
                                    "\r\n--==outer==\r\n",
                                    "Content-Transfer-Encoding: base64\r\n",
                                    "=?UTF-8?B?",
                                    "<note class='document'>",
                                    "<!ENTITY e 'x'>"};
    QByteArray x = seed;
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < edits && !x.isEmpty(); ++i) {
        const auto pos = static_cast<qsizetype>(rng() % static_cast<unsigned>(x.size()));
        switch (rng() % 12) {
            case 0:
            case 1:
                x[pos] = static_cast<char>(rng());
                break;
            case 2:
            case 3:
                x.remove(pos, static_cast<qsizetype>(rng() % 40));
                break;
            case 4:
            case 5:
            case 6:
                x.insert(pos, kTokens[rng() % std::size(kTokens)]);
                break;
            case 7:
                x.truncate(pos);
                break;
            case 8:
            case 9: {  // a digit or letter for another: keeps the XML, changes values
                if (std::isalnum(static_cast<unsigned char>(x[pos])))
                    x[pos] = "0123456789abcdefAF"[rng() % 18];
                break;
            }
            default: {  // copy a slice elsewhere
                const auto len = static_cast<qsizetype>(rng() % 200);
                const auto to = static_cast<qsizetype>(rng() % static_cast<unsigned>(x.size()));
                x.insert(to, x.mid(pos, len));
            }
        }
    }
    return x;
}

TEST(NotesFuzz, MutatedDatabasesAreRefusedOrReadSafely) {
    // The builder's database, and the files as Domino's exporter writes them (MIME in both
    // forms, note format, a single document).
    const struct {
        const char* what;
        QByteArray seed;
        int inputs;
    } seeds[] = {{"builder", Seed(), 3000},
                 {"domino mail", DominoMailDxl(), 1500},
                 {"note format", DominoNoteFormatDxl(), 300},
                 {"single document", DominoSingleDocumentDxl(), 300}};
    std::mt19937 rng(20261211);
    for (const auto& s : seeds) {
        SCOPED_TRACE(s.what);
        ASSERT_EQ(FuzzDxlDatabase(reinterpret_cast<const std::uint8_t*>(s.seed.constData()),
                                  static_cast<std::size_t>(s.seed.size())),
                  1);
        int opened = 0;
        for (int i = 0; i < s.inputs; ++i) {
            const QByteArray x = Mutate(s.seed, rng);
            opened += FuzzDxlDatabase(reinterpret_cast<const std::uint8_t*>(x.constData()),
                                      static_cast<std::size_t>(x.size()));
        }
        std::printf("fuzz %s: %d inputs, %d opened, %d refused\n", s.what, s.inputs, opened,
                    s.inputs - opened);
        EXPECT_GT(opened, 0);
        EXPECT_LT(opened, s.inputs);
    }
}

}  // namespace
