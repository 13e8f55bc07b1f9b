#include "convert/mail/FieldReader.h"

#include "mail_fixture.h"

namespace {

using MailReaderTest = MailFixture;

const std::string kSent = "20180703T090506,00+00";

DxlDocumentBuilder& AddMemo(DxlBuilder& b, const std::string& subject = "Quarterly") {
    return b.AddDocument("Memo").Text("Subject", subject).Date("PostedDate", kSent);
}

TEST_F(MailReaderTest, ReadsAddressesSubjectDateAndCategories) {
    DxlBuilder b;
    const NOTEID id = AddMemo(b, "Café ☕")
                          .Names("From", {"CN=Ann Lee/O=Acme"})
                          .Text("INetFrom", "ann@acme.com")
                          .Names("SendTo", {"CN=Bob Jones/O=Acme", "CN=Cy Wu/O=Acme"})
                          .TextList("INetSendTo", {".", "cy@acme.com"})
                          .Names("CopyTo", {"CN=Di Ma/O=Acme"})
                          .Names("BlindCopyTo", {"CN=Ed Ox/O=Acme", "CN=Fay Up/O=Acme"})
                          .TextList("Categories", {"Work", "Übersee"})
                          .Text("Importance", "1")
                          .Id();
    Open(b);
    const MailFields f = ReadMailFields(Context(), id);
    EXPECT_EQ(f.from, "ann@acme.com");
    EXPECT_EQ(f.to, "Bob Jones;cy@acme.com");
    EXPECT_EQ(f.cc, "Di Ma");
    EXPECT_EQ(f.bcc, "Ed Ox;Fay Up");
    EXPECT_EQ(f.subject, QString::fromUtf8("Café ☕"));
    EXPECT_EQ(f.dateText, "7/3/2018 9:5:6");
    EXPECT_EQ(f.categories, QString::fromUtf8("Work;Übersee"));
    EXPECT_EQ(f.importance, LNIMPORTANCE_HIGH);
    EXPECT_EQ(f.hasPlainBody, 0);
    EXPECT_TRUE(f.plainBody.isEmpty());
    EXPECT_EQ(counts.errors, 0u);
    EXPECT_TRUE(LogText().isEmpty()) << "readers never log";
}

TEST_F(MailReaderTest, WithoutSubjectItemOrOpenableDocumentTheRecordIsEmpty) {
    DxlBuilder b;
    const NOTEID noSubject = b.AddDocument("Memo")
                                 .Names("From", {"CN=Ann/O=X"})
                                 .Text("Body", "text")
                                 .Date("PostedDate", kSent)
                                 .Id();
    const NOTEID broken = AddMemo(b).OpenStatus(LNERR_NOTE_DAMAGED).Id();
    const NOTEID throwing = AddMemo(b).ThrowStatus(LNERR_NOTE_DAMAGED).Id();
    Open(b);
    EXPECT_EQ(ReadMailFields(Context(), noSubject), MailFields{});
    EXPECT_EQ(ReadMailFields(Context(), broken), MailFields{});
    EXPECT_EQ(ReadMailFields(Context(), 0x7777), MailFields{});
    LNSTATUS thrown = 1;
    EXPECT_EQ(ReadMailFields(Context(), throwing, &thrown), MailFields{});
    EXPECT_EQ(ReadTaskFields(Context(), noSubject), TaskFields{});
    ConvertContext noDatabase = Context();
    noDatabase.database = nullptr;
    EXPECT_EQ(ReadMailFields(noDatabase, noSubject), MailFields{});
}

TEST_F(MailReaderTest, SentDateWithoutDatePartFallsBackToCreation) {
    DxlBuilder b;
    const NOTEID timeOnly = b.AddDocument("Memo")
                                .Text("Subject", "s")
                                .Date("PostedDate", "T101500,00")
                                .Created("20170102T030405,00+00")
                                .Id();
    const NOTEID none = b.AddDocument("Memo").Text("Subject", "s").Created("20160506T070809,00+00").Id();
    Open(b);
    EXPECT_EQ(ReadMailFields(Context(), timeOnly).dateText, "1/2/2017 3:4:5");
    EXPECT_EQ(ReadMailFields(Context(), none).dateText, "5/6/2016 7:8:9");
}

TEST_F(MailReaderTest, AltSendToStandsInForAnInternetListOfDotsWithoutTranslation) {
    DxlBuilder b;
    const NOTEID id = AddMemo(b)
                          .Names("SendTo", {"CN=Bob Jones/O=Acme", "CN=Cy Wu/O=Acme"})
                          .TextList("INetSendTo", {".", "."})
                          .TextList("AltSendTo", {"bob@alt.com", "cy@alt.com"})
                          .Id();
    const NOTEID noAlt = AddMemo(b)
                             .Names("SendTo", {"CN=Bob Jones/O=Acme", "CN=Cy Wu/O=Acme"})
                             .TextList("INetSendTo", {".", "."})
                             .Id();
    Open(b);
    EXPECT_EQ(ReadMailFields(Context(), id).to, "bob@alt.com;cy@alt.com");
    EXPECT_EQ(ReadMailFields(Context(), noAlt).to, "Bob Jones;Cy Wu");

    options.addressTranslation = 1;  // translation never looks at AltSendTo
    options.smtpPatternOn = 1;
    options.smtpFormat = 2;
    options.smtpDomain = "acme.com";
    EXPECT_EQ(ReadMailFields(Context(), id).to, "Bob.Jones@acme.com;Cy.Wu@acme.com");
    options.smtpPatternOn = 0;
    EXPECT_EQ(ReadMailFields(Context(), id).to, "") << "no source on: no addresses";
}

TEST_F(MailReaderTest, BodyTries) {
    QByteArray utf16Html;
    for (QChar c : QString::fromUtf8("<p>Grüße</p>")) {
        utf16Html += static_cast<char>(c.unicode() & 0xFF);
        utf16Html += static_cast<char>(c.unicode() >> 8);
    }
    DxlBuilder b;
    const NOTEID text = AddMemo(b).TextList("Body", {"line one", "line two"}).Id();
    const NOTEID rich = AddMemo(b).RichText("Body", "<par>Hello <b>rich</b> &amp; more</par>").Id();
    const NOTEID html16 = AddMemo(b).Raw("Body", 21, utf16Html).Id();
    const NOTEID html8 = AddMemo(b).Raw("Body", 21, QByteArray("<p>caf\xE9</p>")).Id();
    const NOTEID htmlUtf8 = AddMemo(b).Raw("Body", 21, QByteArray("<p>caf\xC3\xA9</p>")).Id();
    const NOTEID htmlTiny = AddMemo(b).Raw("Body", 21, QByteArray("ab")).Id();
    const NOTEID none = AddMemo(b).Id();
    Open(b);

    MailFields f = ReadMailFields(Context(), text);
    EXPECT_EQ(f.body, "line one;line two");
    EXPECT_EQ(f.bodyIsHtml, 0);

    f = ReadMailFields(Context(), rich);
    EXPECT_EQ(f.bodyIsHtml, 1);
    EXPECT_TRUE(f.body.contains("rich")) << f.body.toStdString();
    EXPECT_TRUE(f.body.contains("&amp;")) << f.body.toStdString();

    f = ReadMailFields(Context(), html16);
    EXPECT_EQ(f.body, QString::fromUtf8("<p>Grüße</p>"));
    EXPECT_EQ(f.bodyIsHtml, 1);
    EXPECT_EQ(ReadMailFields(Context(), html8).body, QString::fromUtf8("<p>café</p>"));
    EXPECT_EQ(ReadMailFields(Context(), htmlUtf8).body, QString::fromUtf8("<p>café</p>"));
    f = ReadMailFields(Context(), htmlTiny);
    EXPECT_EQ(f.body, "");
    EXPECT_EQ(f.bodyIsHtml, 1);
    f = ReadMailFields(Context(), none);
    EXPECT_EQ(f.body, "");
    EXPECT_EQ(f.bodyIsHtml, 0);
}

TEST_F(MailReaderTest, AttachmentNamesEachEndWithACommaAndBlank) {
    DxlBuilder b;
    const NOTEID id = AddMemo(b).Attach("a.txt", "1").Attach("Résumé: v2?.pdf", "2").Id();
    const NOTEID none = AddMemo(b).Id();
    Open(b);
    EXPECT_EQ(ReadMailFields(Context(), id).attachmentNames, QString::fromUtf8("a.txt, Résumé: v2?.pdf, "));
    EXPECT_EQ(ReadMailFields(Context(), none).attachmentNames, "");
}

TEST_F(MailReaderTest, EncryptedItemsAreReadOnlyWhenDecryptionIsOn) {
    DxlBuilder b;
    const NOTEID id = AddMemo(b).Encrypted().Text("Body", "secret").Attach("s.bin", "x").Id();
    const NOTEID noKey = AddMemo(b).Encrypted(LNERR_DECRYPT_NO_KEY).Text("Body", "secret").Id();
    Open(b);
    MailFields f = ReadMailFields(Context(), id);
    EXPECT_EQ(f.encrypted, 1);
    EXPECT_EQ(f.body, "");
    EXPECT_EQ(f.attachmentNames, "");
    options.removeEncryption = 1;
    f = ReadMailFields(Context(), id);
    EXPECT_EQ(f.body, "secret");
    EXPECT_EQ(f.attachmentNames, "s.bin, ");
    EXPECT_EQ(f.subject, "Quarterly");
    f = ReadMailFields(Context(), noKey);
    EXPECT_EQ(f.body, "");
    EXPECT_EQ(f.subject, "Quarterly");
}

TEST_F(MailReaderTest, TaskReadsFormDatesPlainRichTextAndFlags) {
    DxlBuilder b;
    b.AddForm("Task", {{"Subject", "text"},
                       {"StartDate", "datetime"},
                       {"tmpStartDate", "datetime"},
                       {"DueDate", "datetime"},
                       {"Body", "richtext"}});
    const NOTEID id = b.AddDocument("Task")
                          .Text("Subject", "Plan")
                          .Date("StartDate", "20180701T080000,00+00")
                          .Date("tmpStartDate", "20180702T080000,00+00")
                          .Date("DueDate", "20180709")
                          .RichText("Body", "<par>Do <b>it</b></par>")
                          .TextList("Categories", {"Ü"})
                          .Number("Repeats", 1)
                          .Number("OrgConfidential", 1)
                          .Names("From", {"CN=Ann Lee/O=Acme"})
                          .Id();
    const NOTEID missingTmp = b.AddDocument("Task")
                                  .Text("Subject", "Plan")
                                  .Date("StartDate", "20180701T080000,00+00")
                                  .Text("Body", "plain text body")
                                  .Id();
    Open(b);
    TaskFields t = ReadTaskFields(Context(), id);
    EXPECT_EQ(t.startDateText, "07/02/2018 08:00:00") << "the later form field wins";
    EXPECT_EQ(t.dueDateText, "07/09/2018");
    EXPECT_EQ(t.body, "Do it\n");
    EXPECT_EQ(t.bodyIsHtml, 0);
    EXPECT_EQ(t.categories, QString::fromUtf8("Ü"));
    EXPECT_EQ(t.isRepeating, 1);
    EXPECT_EQ(t.isPrivate, 1);
    EXPECT_EQ(t.from, "Ann Lee");

    t = ReadTaskFields(Context(), missingTmp);
    EXPECT_EQ(t.startDateText, "07/01/2018 08:00:00") << "an absent tmpStartDate keeps it";
    EXPECT_EQ(t.body, "plain text body");
    EXPECT_EQ(t.isRepeating, 0);
}

TEST(HtmlItemTextTest, ReadsUtf16OrEightBitAfterTheTypeWord) {
    using Bytes = std::vector<std::uint8_t>;
    EXPECT_EQ(HtmlItemText(Bytes{21, 0, 'h', 0, 'i', 0}), "hi");
    EXPECT_EQ(HtmlItemText(Bytes{21, 0, 'h', 0, 'i', 0, 0, 0, 'x', 0}), "hi");
    EXPECT_EQ(HtmlItemText(Bytes{21, 0, 'h', 'i', '!'}), "hi!");
    EXPECT_EQ(HtmlItemText(Bytes{21, 0, 'h', 'i', 0, 'x'}), "hi");
    EXPECT_EQ(HtmlItemText(Bytes{21, 0, 'h', 'i'}), "");
    EXPECT_EQ(HtmlItemText(Bytes{}), "");
    EXPECT_EQ(HtmlItemText(Bytes{21, 0, 'a', 0, 'b'}), "a") << "odd UTF-16 tail dropped";
}

}  // namespace
