#include "convert/richtext/RichTextHtml.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QStringList>

#include <vector>

namespace {

QString Fragment(const QString& body, const RichTextHtmlOptions& options = {}) {
    QString html;
    EXPECT_TRUE(RenderRichTextFragment("<richtext>" + body + "</richtext>", "Body", options, &html))
        << body.toStdString();
    return html;
}

struct RenderCase {
    const char* name;
    const char* dxl;
    std::vector<const char*> present;
    std::vector<const char*> absent;
};

class RenderTest : public testing::TestWithParam<RenderCase> {};

TEST_P(RenderTest, ShowsTheElementAsHtml) {
    const RenderCase& c = GetParam();
    const QString html = Fragment(QString::fromUtf8(c.dxl));
    for (const char* p : c.present)
        EXPECT_TRUE(html.contains(QString::fromUtf8(p))) << "missing " << p << "\nin " << html.toStdString();
    for (const char* a : c.absent)
        EXPECT_FALSE(html.contains(QString::fromUtf8(a)))
            << "unexpected " << a << "\nin " << html.toStdString();
}

const RenderCase kRenderCases[] = {
    {"FontsAndAlignment",
     "<pardef id='1' align='center' leftmargin='1.5in'/><par def='1'><run><font size='14pt' "
     "style='bold italic underline strikethrough' name='Arial' color='red'/>Hi</run></par>",
     {"<div style=\"text-align:center;margin-left:0.5in\">", "font-family:&#39;Arial&#39;", "font-size:14pt",
      "font-weight:bold", "font-style:italic", "text-decoration:underline line-through", "color:#ff0000",
      ">Hi</span></div>"},
     {}},
    {"FontNameCannotLeaveTheStyle",
     "<par><run><font name='x&apos;;}&lt;/style&gt;&quot;' color='#12ab9Z'/>t</run></par>",
     {"font-family:&#39;xstyle&#39;"},
     {"</style>", "color:", "}"}},
    {"NotesPseudoFontsAndHexColour",
     "<par><run><font name='Default Monospace' color='#1A2b3C'/>t</run></par>",
     {"font-family:monospace", "color:#1a2b3c"},
     {}},
    {"TextIsEscaped",
     "<par>a &amp; b &lt;c&gt; \"q\" 'a'</par>",
     {"a &amp; b &lt;c&gt; &quot;q&quot; &#39;a&#39;"},
     {"<c>"}},
    {"PassThroughHtmlStaysText",
     "<par><run html='true'>&lt;script&gt;alert(1)&lt;/script&gt;</run></par>",
     {"&lt;script&gt;alert(1)&lt;/script&gt;"},
     {"<script>"}},
    {"BreaksAndSpaces",
     "<par>one<break/>two   three\tfour</par>",
     {"one<br>\r\ntwo &nbsp; three<span style=\"white-space:pre\">&#9;</span>four"},
     {}},
    {"EmptyParagraphIsAnEmptyLine", "<par/>", {"<div><br></div>"}, {}},
    {"BulletListGroupsItsParagraphs",
     "<pardef id='2' list='bullet'/><par def='2'>a</par>\n<par def='2'>b</par><par>c</par>",
     {"<ul><li>a</li>\r\n<li>b</li>\r\n</ul>\r\n<div>c</div>"},
     {}},
    {"NumberedAndLetteredListsAreSeparate",
     "<pardef id='3' list='number'/><pardef id='4' list='alphaupper'/>"
     "<par def='3'>one</par><par def='4'>A</par>",
     {"<ol><li>one</li>\r\n</ol>\r\n<ol type=\"A\"><li>A</li>\r\n</ol>"},
     {}},
    {"TableRowByRow",
     "<table><tablecolumn width='1in'/><tablecolumn width='1in'/><tablerow><tablecell>"
     "<par>a</par></tablecell><tablecell columnspan='2' bgcolor='yellow'><par>b</par></tablecell>"
     "</tablerow><tablerow><tablecell/></tablerow></table>",
     {"<table border=\"1\"", "<tr><td valign=\"top\"><div>a</div>\r\n</td>",
      "<td valign=\"top\" colspan=\"2\" style=\"background-color:#ffff00\"><div>b</div>",
      "<td valign=\"top\">&nbsp;</td></tr>", "</table>"},
     {"1in"}},
    {"TabbedTableShowsEveryRowUnderItsLabel",
     "<table rowdisplay='tabs'><tablecolumn/><tablerow tablabel='First &amp; one'><tablecell>"
     "<par>r1</par></tablecell></tablerow><tablerow tablabel='Second'><tablecell><par>r2</par>"
     "</tablecell></tablerow></table>",
     {"<th colspan=\"1\" style=\"text-align:left\">First &amp; one</th>", "r1", "Second", "r2"},
     {}},
    {"SectionShownOpen",
     "<section><sectiontitle><run>Title</run></sectiontitle><par>inside</par></section>",
     {"<div><div style=\"font-weight:bold\">Title</div>\r\n<div>inside</div>\r\n</div>"},
     {"<details>"}},
    {"UrlLink",
     "<par><urllink href='https://example.com/?a=1&amp;b=&quot;2&quot;'><run>site</run></urllink>"
     " <urllink href='www.example.org'/></par>",
     {"<a href=\"https://example.com/?a=1&amp;b=&quot;2&quot;\">site</a>",
      "<a href=\"http://www.example.org\">www.example.org</a>"},
     {}},
    {"ScriptUrlIsNotALink",
     "<par><urllink href='javascript:alert(1)'><run>x</run></urllink>"
     "<urllink href=' JavaScript:alert(2)'/></par>",
     {"x"},
     {"<a ", "href"}},
    {"DocumentLinkWithDescription",
     "<par><doclink server='CN=Mars/O=Acme' database='85255E01001A2B3C' "
     "view='0123456789abcdef0123456789ABCDEF' document='FEDCBA9876543210FEDCBA9876543210' "
     "description='Budget &lt;2024&gt;'/></par>",
     {"<a href=\"notes://Mars/85255E01001A2B3C/0123456789ABCDEF0123456789ABCDEF/"
      "FEDCBA9876543210FEDCBA9876543210\" title=\"Budget &lt;2024&gt;\">Budget &lt;2024&gt;</a>"},
     {}},
    {"DatabaseLinkKeepsOnlyHexInTheUrl",
     "<par><databaselink database='85255E01&quot;/&gt;001A2B3C'><run>db</run></databaselink></par>",
     {"<a href=\"notes:///85255E01001A2B3C\">db</a>"},
     {}},
    {"HorizontalRuleAndComputedText",
     "<par><horizrule/><computedtext><code event='value'><formula>\"Hello \" + {&lt;World&gt;}"
     "</formula></code></computedtext><computedtext><code event='value'><formula>@UserName"
     "</formula></code></computedtext></par>",
     {"<hr>", "Hello &lt;World&gt;"},
     {"@UserName"}},
    {"HiddenFromWebIsLeftOut",
     "<pardef id='5' hide='notes web'/><par def='5'>secret</par><par>shown</par>",
     {"shown"},
     {"secret"}},
    {"CodeAndBinaryAreNeverText",
     "<par><button><code event='click'><formula>@Command([Quit])</formula></code>Press</button>"
     "<attachmentref name='a.pdf' displayname='Report.pdf'><picture><gif>R0lGODlh</gif></picture>"
     "</attachmentref></par>",
     {"Press", "[Report.pdf]"},
     {"@Command", "R0lGODlh"}},
    {"ContainersAndUnknownElementsShowTheirText",
     "<block><font style='bold'/><par>in block</par></block><region><par>in region</par></region>"
     "<futureelement><par>kept</par></futureelement>",
     {"<span style=\"font-weight:bold\"><div>in block</div>", "in region", "kept"},
     {}},
    {"UndeclaredPrefixesAreTolerated",
     "<par x:mark='1'><run>cut from a whole file</run></par>",
     {"<div>cut from a whole file</div>"},
     {}},
    {"FontAfterAListNestsAroundIt",
     "<block><pardef id='6' list='bullet'/><par def='6'>a</par><font style='italic'/>"
     "<par def='6'>b</par></block>",
     {"<ul><li>a</li>\r\n</ul>\r\n<span style=\"font-style:italic\"><ul><li>b</li>\r\n</ul>"
      "\r\n</span>"},
     {}},
};

INSTANTIATE_TEST_SUITE_P(Elements, RenderTest, testing::ValuesIn(kRenderCases),
                         [](const testing::TestParamInfo<RenderCase>& p) {
                             return std::string(p.param.name);
                         });

TEST(RenderOptions, WithoutTheOptionsSectionsCollapseAndTabbedTablesShowTheirFirstRow) {
    RichTextHtmlOptions plain;
    plain.expandSections = false;
    plain.allTableRows = false;
    const QString html = Fragment(
        "<section><sectiontitle><run>T</run></sectiontitle><par>body</par></section>"
        "<table rowdisplay='tabs'><tablerow tablabel='L1'><tablecell><par>r1</par></tablecell>"
        "</tablerow><tablerow tablabel='L2'><tablecell><par>r2</par></tablecell></tablerow></table>"
        "<table><tablerow><tablecell><par>f1</par></tablecell></tablerow><tablerow><tablecell>"
        "<par>f2</par></tablecell></tablerow></table>",
        plain);
    EXPECT_TRUE(html.contains("<details><summary>T</summary>\r\n<div>body</div>\r\n</details>"));
    EXPECT_TRUE(html.contains("r1"));
    EXPECT_FALSE(html.contains("r2"));
    EXPECT_FALSE(html.contains("L1"));
    EXPECT_TRUE(html.contains("f1") && html.contains("f2"));  // ordinary tables stay whole
}

TEST(RenderDocument, WrapsTheFragmentAndFailsOnBrokenXml) {
    const QString html = RenderRichTextHtml("<richtext><par>x</par></richtext>", "Body");
    EXPECT_TRUE(html.startsWith("<html><head><meta http-equiv=\"Content-Type\""));
    EXPECT_TRUE(html.contains("<body>\r\n<div>x</div>\r\n</body></html>"));
    EXPECT_FALSE(RenderRichTextHtml("<richtext/>", "Body").isEmpty());

    for (const char* broken : {"", "<richtext><par>x</richtext>",
                               "<richtext><par>&bogus;</par>"
                               "</richtext>",
                               "not xml at all", "<richtext><par>x</par>"}) {
        EXPECT_TRUE(RenderRichTextHtml(broken, "Body").isEmpty()) << broken;
    }
}

TEST(RenderLimits, LongTextComesBackWholeInShortLines) {
    QString words;
    for (int i = 0; i < 20000; ++i) words += QStringLiteral("w\u00e9rd%1 ").arg(i % 10);
    const QString html = Fragment("<par>" + words + "</par><par>" + QString(50000, u'x') + "</par>");
    EXPECT_EQ(html.count(QStringLiteral("w\u00e9rd")), 20000);
    EXPECT_EQ(html.count(u'x'), 50000);
    // Lines with spaces stay within what an 8bit MIME part allows (RFC 5322: 998 octets).
    for (const QString& line : html.split("\r\n"))
        if (line.contains(u' ')) {
            EXPECT_LE(line.toUtf8().size(), 998);
        }
}

TEST(RenderLimits, DeepNestingIsCutOffNotFollowed) {
    QString open, close;
    for (int i = 0; i < 5000; ++i) {
        open += "<block><table><tablerow><tablecell>";
        close.prepend("</tablecell></tablerow></table></block>");
    }
    QString html;
    ASSERT_TRUE(RenderRichTextFragment(
        "<richtext><par>top</par>" + open + "<par>deep</par>" + close + "<par>after</par></richtext>", "Body",
        {}, &html));
    EXPECT_TRUE(html.contains("top"));
    EXPECT_TRUE(html.contains("after"));
    EXPECT_FALSE(html.contains("deep"));
    EXPECT_EQ(html.count("<table"), html.count("</table>"));
    EXPECT_EQ(html.count("<td"), html.count("</td>"));
}

QString Base64(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toBase64());
}

TEST(RenderPictures, EachGoodPictureGoesToTheSinkAndIsReferenced) {
    std::vector<RichTextPicture> seen;
    RichTextHtmlOptions options;
    options.savePicture = [&](const RichTextPicture& picture) {
        seen.push_back(picture);
        return "/tmp/x/" + picture.fileName;
    };
    const QByteArray gif1 = QByteArray("GIF89a") + QByteArray(40, '\1');
    const QByteArray gif2 = QByteArray("GIF87a") + QByteArray(10, '\2');
    const QByteArray png = QByteArray("\x89PNG\r\n\x1A\n", 8) + "rest";
    const QByteArray jpeg = QByteArray("\xFF\xD8\xFF\xE0", 4) + "rest";
    QString gif1Text = Base64(gif1);
    gif1Text.insert(8, "\n  ");  // DXL wraps its base64 lines
    const QString html =
        Fragment("<par><picture width='120px' height='99999999' alttext='a&quot;b'><gif>" + gif1Text +
                     "</gif></picture></par>"
                     "<par><picture><notesbitmap>AAAA</notesbitmap><gif>" +
                     Base64(gif2) +
                     "</gif></picture>"
                     "<picture><png>" +
                     Base64(png) + "</png></picture><picture><jpeg>" + Base64(jpeg) +
                     "</jpeg></picture></par>"
                     "<par><picture alttext='not a gif'><gif>" +
                     Base64("JUNK") +
                     "</gif></picture>"
                     "<picture alttext='bad base64'><gif>R0lG*ODlh</gif></picture></par>",
                 options);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].data, gif1);
    EXPECT_EQ(seen[1].data, gif2);
    EXPECT_EQ(seen[2].format, "png");
    EXPECT_EQ(seen[3].format, "jpeg");
    const QRegularExpression name("^Body([0-9]+)([0-9A-F]+)\\.(gif|png|jpg)$");
    QStringList names;
    for (size_t i = 0; i < seen.size(); ++i) {
        const auto m = name.match(seen[i].fileName);
        ASSERT_TRUE(m.hasMatch()) << seen[i].fileName.toStdString();
        EXPECT_TRUE(m.captured(1).startsWith(QString::number(i)));
        names << seen[i].fileName;
        EXPECT_TRUE(html.contains("<img src=\"/tmp/x/" + seen[i].fileName + "\""));
    }
    EXPECT_TRUE(names[2].endsWith(".png") && names[3].endsWith(".jpg"));
    names.removeDuplicates();
    EXPECT_EQ(names.size(), 4);
    EXPECT_TRUE(html.contains("alt=\"a&quot;b\" width=\"120\">"));  // absurd height dropped
    EXPECT_TRUE(html.contains("not a gif"));
    EXPECT_TRUE(html.contains("bad base64"));
    EXPECT_EQ(html.count("<img"), 4);
}

TEST(RenderPictures, PictureOverTheSizeLimitIsLeftOut) {
    int saved = 0;
    RichTextHtmlOptions options;
    options.maxPictureBytes = 64;
    options.savePicture = [&](const RichTextPicture& picture) {
        ++saved;
        return picture.fileName;
    };
    const QByteArray fits = QByteArray("GIF89a") + QByteArray(58, 'f');
    const QByteArray tooBig = fits + 'x';
    const QString html = Fragment("<par><picture><gif>" + Base64(fits) +
                                      "</gif></picture>"
                                      "<picture alttext='big'><gif>" +
                                      Base64(tooBig) + "</gif></picture></par>",
                                  options);
    EXPECT_EQ(saved, 1);
    EXPECT_EQ(html.count("<img"), 1);
    EXPECT_TRUE(html.contains("big"));
}

TEST(RenderPictures, ItemNameIsMadeSafeForAFileName) {
    QString fileName;
    RichTextHtmlOptions options;
    options.savePicture = [&](const RichTextPicture& picture) {
        fileName = picture.fileName;
        return QString();  // a sink that fails leaves the picture out
    };
    QString html;
    ASSERT_TRUE(RenderRichTextFragment(
        "<richtext><par><picture><gif>" + Base64("GIF89a....") + "</gif></picture></par></richtext>",
        "../$Body 2", options, &html));
    EXPECT_TRUE(fileName.startsWith("___$Body_20")) << fileName.toStdString();
    EXPECT_FALSE(html.contains("<img"));
}

TEST(LiteralFormula, OnlyStringLiteralsHaveAValue) {
    struct Case {
        const char* formula;
        const char* value;  // nullptr: no value
    } cases[] = {
        {"\"abc\"", "abc"},
        {" \"a\" + {b} +\"c\" ", "abc"},
        {"\"say \\\"hi\\\"\"", "say \"hi\""},
        {"\"\"", ""},
        {"@UserName", nullptr},
        {"\"a\" +", nullptr},
        {"\"a\" \"b\"", nullptr},
        {"\"unterminated", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        const QString value = LiteralFormulaValue(c.formula);
        if (c.value) {
            EXPECT_FALSE(value.isNull()) << c.formula;
            EXPECT_EQ(value, QString::fromUtf8(c.value)) << c.formula;
        } else {
            EXPECT_TRUE(value.isNull()) << c.formula;
        }
    }
}

}  // namespace
