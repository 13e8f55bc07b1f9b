#include "common/handoff/ChildCommandLine.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace {

TEST(ChildProcess, ValuesWithBlanksSlashesAndEmptiesArriveWhole) {
    const ChildCommandLine sent{"/home/u/mail/a b.nsf", "", "0", "/out/x/P /F y.PST", "/tmp/l ü/"};
    QProcess child;
    sent.ConfigureProcess(child, QStringLiteral(NSF_CHILD_ECHO));
    child.start();
    ASSERT_TRUE(child.waitForFinished(10000)) << child.errorString().toStdString();
    EXPECT_EQ(QString::fromUtf8(child.readAllStandardOutput()),
              "[/home/u/mail/a b.nsf]\n[]\n[0]\n[/out/x/P /F y.PST]\n[/tmp/l ü/]\n");
}

}  // namespace
