#include "common/handoff/RunLog.h"

#include "HandoffTestSupport.h"

#include <QDateTime>

namespace {

QByteArray Le(const QString& text) {
    return Bytes().Units(text);
}

const QByteArray kMark("\xFF\xFE", 2);

class RunLogFile : public HandoffFolder {
  protected:
    QString path_ = Path(RunLog::FileName());
};

TEST_F(RunLogFile, ThreeOpeningsCreateAppendOrRefuse) {
    RunLog log;
    EXPECT_FALSE(log.Open(path_, RunLog::Opening::AppendExisting));
    EXPECT_FALSE(QFile::exists(path_));

    ASSERT_TRUE(log.Open(path_, RunLog::Opening::CreateOrAppend));
    log.Write("a");
    log.Close();
    ASSERT_TRUE(log.Open(path_, RunLog::Opening::CreateOrAppend));
    log.Write("b");
    log.Close();
    ASSERT_TRUE(log.Open(path_, RunLog::Opening::AppendExisting));
    log.Write("c");
    log.Close();
    EXPECT_EQ(Get(path_), kMark + Le("abc"));

    ASSERT_TRUE(log.Open(path_, RunLog::Opening::Recreate));
    log.Write("new");
    EXPECT_EQ(Get(path_), kMark + Le("new"));  // unbuffered: on disk while still open
    EXPECT_TRUE(log.IsOpen());
    log.Close();
    EXPECT_FALSE(log.IsOpen());
    log.Write("ignored");
    EXPECT_EQ(Get(path_), kMark + Le("new"));
    EXPECT_FALSE(log.Open(Path("missing folder/log.txt"), RunLog::Opening::Recreate));
}

TEST_F(RunLogFile, LinesEndOnceAndTheChildContinuesAtTheNextByte) {
    RunLog launcher;
    ASSERT_TRUE(launcher.Open(path_, RunLog::Opening::Recreate));
    launcher.WriteRunHeader(QDateTime(QDate(2024, 3, 7), QTime(9, 5, 0)));
    launcher.Close();
    RunLog child;
    ASSERT_TRUE(child.Open(path_, RunLog::Opening::AppendExisting));
    child.WriteLine("Saving data process starts:");
    child.WriteLine("Email number: 3 \r\n");
    child.Write("x");
    child.LineEnd();
    child.WriteLine("");
    const QString expected = QString(149, '*') +
                             "\r\nStart Processing Time:\t7-3-2024-9-5-0\r\n"
                             "Saving data process starts:\r\nEmail number: 3 \r\nx\r\n\r\n";
    EXPECT_EQ(Get(path_), kMark + Le(expected));
}

TEST(RunLog, TimeFormatsHaveNoLeadingZeros) {
    const struct {
        QDateTime time;
        const char* header;
        const char* summary;
    } cases[] = {
        {QDateTime(QDate(2018, 7, 3), QTime(9, 5, 0)), "3-7-2018-9-5-0", "7/3/2018 9:5:0"},
        {QDateTime(QDate(1999, 12, 31), QTime(23, 59, 58)), "31-12-1999-23-59-58", "12/31/1999 23:59:58"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RunLog::HeaderTime(c.time), c.header);
        EXPECT_EQ(RunLog::SummaryTime(c.time), c.summary);
    }
}

}  // namespace
