#include "convert/mail/DocLinks.h"
#include "convert/mail/MailFields.h"
#include "convert/mail/TextHelpers.h"

#include <gtest/gtest.h>

namespace {

TEST(DateTextTest, FormatsWithoutLeadingZerosAndReadsBack) {
    const DateParts parts{2018, 7, 3, 9, 5, 0};
    EXPECT_EQ(FormatDateText(parts), "7/3/2018 9:5:0");
    DateParts read;
    ASSERT_TRUE(ParseDateText("7/3/2018 9:5:0", read));
    EXPECT_EQ(read, parts);
    ASSERT_TRUE(ParseDateText("12/31/1999 23:59:59", read));
    EXPECT_EQ(read, (DateParts{1999, 12, 31, 23, 59, 59}));
}

TEST(DateTextTest, RefusesTextsThatAreNoDate) {
    const char* bad[] = {"",
                         "7/3/2018",
                         "2/30/2018 1:1:1",
                         "13/1/2018 1:1:1",
                         "1/1/0 1:1:1",
                         "1/1/2018 24:0:0",
                         "1/1/2018 1:60:0",
                         "x/1/2018 1:1:1",
                         " 1/1/2018 1:1:1",
                         "1/1/2018 1:1:1 PM",
                         "99999999/1/1 1:1:1"};
    for (const char* text : bad) {
        DateParts read{1, 2, 3, 4, 5, 6};
        EXPECT_FALSE(ParseDateText(text, read)) << text;
        EXPECT_EQ(read, (DateParts{1, 2, 3, 4, 5, 6})) << "left untouched: " << text;
    }
}

TEST(RecordsTest, ResetClearsEveryMember) {
    MailFields mail;
    mail.subject = "s";
    mail.importance = 2;
    mail.readFlag = 1;
    mail.Reset();
    EXPECT_EQ(mail, MailFields{});
    TaskFields task;
    task.dueDateText = "1/1/2020 0:0:0";
    task.isRepeating = 1;
    task.Reset();
    EXPECT_EQ(task, TaskFields{});
}

TEST(EncodedWordTest, AlwaysOneBase64WordOfTheUtf8Bytes) {
    EXPECT_EQ(EncodedWord("Hi"), "=?utf-8?B?SGk=?=");
    EXPECT_EQ(EncodedWord(QString::fromUtf8("Grüße")), "=?utf-8?B?R3LDvMOfZQ==?=");
    EXPECT_EQ(EncodedWord(""),
              "=?utf-8?B?"
              "?=");
    EXPECT_EQ(EncodedWord(QString(200, u'a')).size(), 12 + 268);  // never split
}

TEST(NdlTextTest, HexIsUpperCaseAndPaddedToEightDigits) {
    EXPECT_EQ(Hex8(0x5A3), "000005A3");
    EXPECT_EQ(Hex8(0xFFFFFFFFu), "FFFFFFFF");
    EXPECT_EQ(ReplicaText(0xABCDEF01u, 0x5A3), "000005A3:ABCDEF01");
    EXPECT_EQ(UnidText(1, 2, 0xa, 0xb), "OF00000002:00000001-ON0000000B:0000000A");
    EXPECT_EQ(NdlText("R", "V", "N", QString::fromUtf8("Café")),
              QByteArray("<NDL>\r\n<REPLICA R>\r\n<VIEW V>\r\n<NOTE N>\r\n<REM>Caf\xE9</REM>\r\n"
                         "</NDL>"));
}

}  // namespace
