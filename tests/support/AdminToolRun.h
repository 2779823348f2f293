#pragma once

#include <QProcess>
#include <QStringList>
#include <QTest>

// Runs the provisioning tool that the test target names in XINFANG_ADMIN and gives what it said.
struct AdminToolRun {
    int exitCode;
    QString out;
    QString err;
};

inline AdminToolRun runAdmin(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(XINFANG_ADMIN), arguments);
    const bool finished = process.waitForFinished(120000);
    [&] {
        QVERIFY2(finished, "xinfang-admin did not finish");
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    }();
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}
