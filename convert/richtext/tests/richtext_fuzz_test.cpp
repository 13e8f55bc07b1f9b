// Seeded random mutation of small DXL fragments through the renderer: a fixed number of inputs,
// the same ones on every run.
#include "convert/richtext/RichTextHtml.h"
#include "convert/richtext/testsupport/RichTextFuzz.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <random>
#include <string>
#include <vector>

namespace {

const std::vector<std::string> kSeeds = {
    "<richtext><pardef id='1' align='center' list='bullet'/><par def='1'><run><font size='12pt' "
    "style='bold' name='Arial' color='red'/>Hello</run><break/>world</par></richtext>",
    "<richtext><table rowdisplay='tabs'><tablecolumn width='1in'/><tablerow tablabel='a'>"
    "<tablecell columnspan='2'><par>x</par></tablecell></tablerow></table></richtext>",
    "<richtext><section><sectiontitle><run>T</run></sectiontitle><par><urllink "
    "href='http://x'><run>l</run></urllink><doclink database='85255E01001A2B3C' "
    "document='00' description='d'/></par></section></richtext>",
    "<richtext><par><picture width='10px'><gif>R0lGODlhAQABAAAAACw=</gif></picture>"
    "<computedtext><code event='value'><formula>\"a\"+{b}</formula></code></computedtext>"
    "<horizrule/></par></richtext>",
};

const std::vector<std::string> kFragments = {
    "<par>",
    "</par>",
    "<run>",
    "</run>",
    "<table>",
    "<tablerow>",
    "<tablecell>",
    "</table>",
    "<section>",
    "<sectiontitle>",
    "<font style='bold'/>",
    "<break/>",
    "&amp;",
    "&lt;",
    "<",
    ">",
    "'",
    "\"",
    "<picture><png>iVBORw0KGgo=</png></picture>",
    "<block>",
    "</block>",
    "<pardef id='1' list='number'/>",
    "\t",
    "   ",
    "\xC3\xA9",
    "\xFF",
};

std::string Mutate(std::string input, std::mt19937& random) {
    const int steps = 1 + static_cast<int>(random() % 6);
    for (int s = 0; s < steps; ++s) {
        const size_t at = input.empty() ? 0 : random() % (input.size() + 1);
        switch (random() % 5) {
            case 0:  // flip a byte
                if (at < input.size()) input[at] = static_cast<char>(random());
                break;
            case 1:  // cut a stretch out
                if (at < input.size()) input.erase(at, random() % 32);
                break;
            case 2:  // insert a piece of markup
                input.insert(at, kFragments[random() % kFragments.size()]);
                break;
            case 3:  // repeat a stretch
                if (at < input.size()) {
                    const std::string piece = input.substr(at, random() % 64);
                    for (unsigned n = random() % 8; n > 0; --n) input.insert(at, piece);
                }
                break;
            default:  // truncate
                input.resize(at);
        }
    }
    return input;
}

TEST(RichTextFuzz, MutatedFragmentsRenderOrFailCleanly) {
    std::mt19937 random(20261211);
    int inputs = 0;
    for (const std::string& seed : kSeeds) {
        FuzzRichTextHtml(reinterpret_cast<const uint8_t*>(seed.data()), seed.size());
        ++inputs;
    }
    for (; inputs < 3000; ++inputs) {
        const std::string input = Mutate(kSeeds[random() % kSeeds.size()], random);
        ASSERT_EQ(FuzzRichTextHtml(reinterpret_cast<const uint8_t*>(input.data()), input.size()), 0);
        // Output stays proportional to the input.
        QString html;
        if (RenderRichTextFragment(QString::fromUtf8(input.data(), static_cast<qsizetype>(input.size())),
                                   "Body", {}, &html)) {
            ASSERT_LE(html.size(), 64 * static_cast<qsizetype>(input.size()) + 1024);
        }
    }
    RecordProperty("inputs", inputs);
}

}  // namespace
