#include "convert/mail/EmlWriter.h"
#include "convert/richtext/TempFolder.h"
#include "convert/mail/TextHelpers.h"

#include "mail_fixture.h"
#include "mail_eml_support.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

const std::string kLinkXml =
    "<par>See <doclink database='85257A6D004C2DC1' view='0123456789ABCDEF0011223344556677' "
    "document='AABBCCDDEEFF00112233445566778899' description='Budget'/></par>";

class MailEmlTest : public EmlFixture {};

MailFields FullFields() {
    MailFields f;
    f.from = "ann@acme.com";
    f.to = "bob@acme.com;Cy Wu";
    f.cc = "Di Ma";
    f.bcc = "ed@acme.com";
    f.subject = QString::fromUtf8("Café: Plan/Q3?");
    f.dateText = "7/3/2018 9:5:6";
    f.body = QString::fromUtf8("<p>Grüße</p>");
    f.bodyIsHtml = 1;
    f.attachmentNames = "report.txt, a/b:c.txt, ";
    return f;
}

TEST_F(MailEmlTest, FullMailMatchesTheGoldenLayout) {
    DxlBuilder b;
    QByteArray all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    const NOTEID id = b.AddDocument("Memo")
                          .Text("Subject", "x")
                          .RichText("Body", kLinkXml)
                          .Text("$Links", "1")
                          .Attach("report.txt", "hello\n")
                          .Attach("a/b:c.txt", all)
                          .Id();
    Open(b);
    options.saveDocLinks = 1;
    ASSERT_EQ(WriteMailEml(Context(), id, FullFields(), EmlPath()), 1);
    const QByteArray eml = ReadEml();
    EXPECT_EQ(WithoutBoundary(eml), Golden("mail_full.eml"));
    EXPECT_EQ(LogText(), QString::fromUtf8("Item Name:\tann@acme.com Café  Plan Q3 \r\n"
                                           "Link Documents :\t1.ndl,\r\n"
                                           "Attachments:\treport.txt,a b c.txt,\r\n"));
    EXPECT_EQ(counts.errors, 0u);
    EXPECT_TRUE(QDir(TempFolder()).isEmpty()) << "detached and link files are deleted";
}

TEST_F(MailEmlTest, MailWithoutSubjectSenderOrBodyKeepsOneEmptyPart) {
    Open(DxlBuilder());
    ASSERT_EQ(WriteMailEml(Context(), 0x8F6, MailFields{}, EmlPath()), 1);
    EXPECT_EQ(WithoutBoundary(ReadEml()), Golden("mail_empty.eml"));
    EXPECT_EQ(LogText(), "Item Name:\t\r\n");
}

TEST_F(MailEmlTest, TaskWithPlainBody) {
    Open(DxlBuilder());
    TaskFields t;
    t.subject = "Hi";
    t.body = "line one\r\nline two";
    t.dateText = "2/30/2018 1:1:1";  // no such day: no Date field
    ASSERT_EQ(WriteTaskEml(Context(), 0x8F6, t, EmlPath()), 1);
    EXPECT_EQ(WithoutBoundary(ReadEml()), Golden("task_plain.eml"));
    EXPECT_EQ(LogText(), "Item Name:\tHi\r\n");
}

TEST_F(MailEmlTest, BoundaryIsGeneratedAndNeverOccursInTheBody) {
    Open(DxlBuilder());
    MailFields f;
    f.body = "x";
    ASSERT_EQ(WriteMailEml(Context(), 0x8F6, f, EmlPath()), 1);
    const QString first = BoundaryOf(ReadEml());
    EXPECT_TRUE(QRegularExpression("^__=_Part_Boundary_00[1-9]_\\d{6}\\.\\d{6}$").match(first).hasMatch())
        << first.toStdString();

    // A body that quotes the delimiters of every boundary the generator can give.
    for (int counter = 1; counter <= 9; ++counter) {
        f.body = "--" + first + "\r\n--" + first + ".1\r\n";
        ASSERT_EQ(WriteMailEml(Context(), 0x8F6, f, EmlPath()), 1);
        const QByteArray eml = ReadEml();
        const QString boundary = BoundaryOf(eml);
        EXPECT_FALSE(f.body.contains("--" + boundary)) << boundary.toStdString();
        EXPECT_EQ(eml.count(("--" + boundary).toLatin1()), 2);
    }
}

TEST_F(MailEmlTest, AttachmentsWithTheSameCleanedNameKeepTheirOwnBytes) {
    DxlBuilder b;
    const NOTEID id = b.AddDocument("Memo")
                          .Text("Subject", "s")
                          .Attach("a:b.txt", "first")
                          .Attach("a/b.txt", "second")
                          .Attach("..", "dots")
                          .Attach("../../escape.txt", "up")
                          .Id();
    Open(b);
    MailFields f;
    f.subject = "s";
    f.attachmentNames = "a:b.txt, a/b.txt, .., ../../escape.txt, ";
    ASSERT_EQ(WriteMailEml(Context(), id, f, EmlPath()), 1);
    const QList<EmlPart> parts = AttachmentParts(ReadEml());
    ASSERT_EQ(parts.size(), 4);
    EXPECT_EQ(parts[0].name, "a b.txt");
    EXPECT_EQ(parts[0].content, "first");
    EXPECT_EQ(parts[1].name, "a b.txt");
    EXPECT_EQ(parts[1].content, "second");
    EXPECT_EQ(parts[2].name, "..");
    EXPECT_EQ(parts[2].content, "dots");
    EXPECT_EQ(parts[3].name, ".. .. escape.txt");
    EXPECT_EQ(parts[3].content, "up");
    EXPECT_EQ(LogText(), "Item Name:\ts\r\nAttachments:\ta b.txt,a b.txt,..,.. .. escape.txt,\r\n");
    EXPECT_FALSE(QFile::exists(QDir::tempPath() + "/escape.txt"));
    EXPECT_TRUE(QDir(TempFolder()).isEmpty());
}

TEST_F(MailEmlTest, UnsavableAttachmentsAreLoggedAndCounted) {
    DxlBuilder b;
    const NOTEID id = b.AddDocument("Memo")
                          .Text("Subject", "s")
                          .Attach("good.txt", "ok")
                          .ItemXml(
                              "<item name='$FILE'><object><file hosttype='msdos' compression='none' "
                              "flags='storedindoc' encoding='none' name='bad.bin' size='99'><filedata>"
                              "AAAA</filedata></file></object></item>")
                          .Id();
    Open(b);
    options.counterMode = 1;
    MailFields f;
    f.subject = "s";
    f.attachmentNames = "good.txt, bad.bin, ";
    // A file left behind by an earlier document must not stand in for the damaged one.
    ASSERT_EQ(DetachFolder(), TempFolder());
    QFile stale(TempFolder() + "bad.bin");
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("stale");
    stale.close();

    ASSERT_EQ(WriteMailEml(Context(), id, f, EmlPath()), 1);
    const QList<EmlPart> parts = AttachmentParts(ReadEml());
    ASSERT_EQ(parts.size(), 1);
    EXPECT_EQ(parts[0].content, "ok");
    EXPECT_EQ(LogText(), "Item Name:\ts\r\nAttachments:\tgood.txt,ERROR: bad.bin is not dump.\r\n\r\n");
    EXPECT_EQ(counts.errors, 1u);
    EXPECT_EQ(counts.secondErrors, 1u);
}

TEST_F(MailEmlTest, ADetachFolderThatIsALinkIsRefused) {
    const QString elsewhere = dir.filePath("elsewhere");
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    ASSERT_TRUE(QFile::link(elsewhere, QDir::tempPath() + "/temp"));
    DxlBuilder b;
    const NOTEID id = b.AddDocument("Memo").Text("Subject", "s").Attach("a.txt", "1").Id();
    Open(b);
    MailFields f;
    f.subject = "s";
    f.attachmentNames = "a.txt, ";
    ASSERT_EQ(WriteMailEml(Context(), id, f, EmlPath()), 1);
    EXPECT_TRUE(AttachmentParts(ReadEml()).isEmpty());
    EXPECT_EQ(LogText(), "Item Name:\ts\r\nAttachments:\tERROR: a.txt is not dump.\r\n\r\n");
    EXPECT_TRUE(QDir(elsewhere).isEmpty());
    EXPECT_EQ(counts.errors, 1u);
}

TEST_F(MailEmlTest, FailuresOfTheWriter) {
    DxlBuilder b;
    const NOTEID throwing =
        b.AddDocument("Memo").Text("Subject", "s").Attach("a.txt", "1").ThrowStatus(LNERR_NOTE_DAMAGED).Id();
    Open(b);
    MailFields f;
    f.subject = "s";
    f.attachmentNames = "a.txt, ";
    EXPECT_EQ(WriteMailEml(Context(), throwing, f, EmlPath()), 0);
    TaskFields t;
    t.subject = "s";
    t.attachmentNames = "a.txt, ";
    EXPECT_EQ(WriteTaskEml(Context(), throwing, t, EmlPath()), 0);
    EXPECT_TRUE(
        LogText().endsWith("ERROR:Mail Entry is Not Dump \r\n"
                           "Item Name:\ts\r\nAttachments:\t"
                           "ERROR:Task Entry is Not Dump \r\n"))
        << LogText().toStdString();
    EXPECT_EQ(counts.errors, 2u);
    EXPECT_EQ(counts.secondErrors, 0u) << "counterMode 0 keeps only the first pair";

    // A file that cannot be created: given up without a log line.
    const QString before = LogText();
    f.attachmentNames.clear();
    EXPECT_EQ(WriteMailEml(Context(), throwing, f, dir.filePath("missing/x.eml")), 0);
    EXPECT_EQ(LogText(), before + "Item Name:\ts\r\n");
    EXPECT_EQ(counts.errors, 2u);
}

TEST_F(MailEmlTest, ALinkPlantedAtTheEmlPathIsReplacedNotFollowed) {
    Open(DxlBuilder());
    const QString target = dir.filePath("victim.txt");
    QFile victim(target);
    ASSERT_TRUE(victim.open(QIODevice::WriteOnly));
    victim.write("keep");
    victim.close();
    ASSERT_TRUE(QFile::link(target, EmlPath()));
    ASSERT_EQ(WriteMailEml(Context(), 0x8F6, MailFields{}, EmlPath()), 1);
    EXPECT_FALSE(QFileInfo(EmlPath()).isSymLink());
    EXPECT_TRUE(ReadEml().startsWith("Content-Type: multipart/mixed"));
    ASSERT_TRUE(victim.open(QIODevice::ReadOnly));
    EXPECT_EQ(victim.readAll(), "keep");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3)
        << "the log, the EML and the untouched file; no temporary file is left";
}

TEST_F(MailEmlTest, DocumentLinksAreNumberedAfreshPerDocumentAndOnlyWhenAsked) {
    DxlBuilder b;
    const std::string two = kLinkXml +
                            "<par><doclink database='0000000000000001' "
                            "view='00000000000000000000000000000002' "
                            "document='00000000000000000000000000000003' "
                            "description='Caf\xC3\xA9'/></par>";
    const NOTEID first = b.AddDocument("Memo")
                             .Text("Subject", "a")
                             .RichText("Body", two)
                             .Text("$Links", "1")
                             .Attach("z.txt", "z")
                             .Id();
    const NOTEID noLinksItem = b.AddDocument("Memo").Text("Subject", "b").RichText("Body", two).Id();
    Open(b);
    MailFields f;
    f.attachmentNames = "z.txt, ";
    options.saveDocLinks = 0;
    ASSERT_EQ(WriteMailEml(Context(), first, f, EmlPath()), 1);
    EXPECT_EQ(AttachmentParts(ReadEml()).size(), 1);
    EXPECT_FALSE(LogText().contains("Link Documents"));

    options.saveDocLinks = 1;
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(WriteMailEml(Context(), first, f, EmlPath()), 1);
        const QList<EmlPart> parts = AttachmentParts(ReadEml());
        ASSERT_EQ(parts.size(), 3);
        EXPECT_EQ(parts[0].name, "1.ndl");
        EXPECT_EQ(parts[1].name, "2.ndl");
        EXPECT_EQ(parts[2].name, "z.txt");
        EXPECT_EQ(parts[1].content, QByteArray("<NDL>\r\n<REPLICA 00000000:00000001>\r\n"
                                               "<VIEW OF00000000:00000000-ON00000000:00000002>\r\n"
                                               "<NOTE OF00000000:00000000-ON00000000:00000003>\r\n"
                                               "<REM>Caf\xE9</REM>\r\n</NDL>"));
    }
    EXPECT_EQ(LogText().count("Link Documents :\t1.ndl,2.ndl,\r\n"), 2);
    ASSERT_EQ(WriteMailEml(Context(), noLinksItem, MailFields{}, EmlPath()), 1);
    EXPECT_EQ(LogText().count("Link Documents"), 2) << "no \"$Links\" item, no export";
}

TEST(DetachFileNameTest, StaysOneNameInsideTheFolder) {
    EXPECT_EQ(DetachFileName("report.pdf"), "report.pdf");
    EXPECT_EQ(DetachFileName(""), "_");
    EXPECT_EQ(DetachFileName("."), "_.");
    EXPECT_EQ(DetachFileName(".."), "_..");
    EXPECT_EQ(DetachFileName(". ."), "_. .");
    EXPECT_EQ(DetachFileName("..x"), "..x");
    EXPECT_EQ(DetachFileName(QString::fromUtf8("a\0b", 3)), "a b");
    const QString longName = QString(300, QChar(0x00E9)) + ".pdf";  // 2 UTF-8 bytes each
    const QString cut = DetachFileName(longName);
    EXPECT_TRUE(cut.endsWith(".pdf"));
    EXPECT_LE(cut.toUtf8().size(), 255);
    EXPECT_GE(cut.toUtf8().size(), 253);
    EXPECT_FALSE(cut.contains(QChar(0xFFFD)));
}

}  // namespace
