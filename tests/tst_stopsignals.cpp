// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/stopsignals.h"

#include <QtTest>

#include <csignal>
#include <unistd.h>

class tst_StopSignals : public QObject
{
    Q_OBJECT

private slots:
    void eachSignalBecomesOneByte_data();
    void eachSignalBecomesOneByte();
    void repeatedSignalsAreBytesToo();
    void installingAgainKeepsThePipeAndDropsOldBytes();
};

void tst_StopSignals::eachSignalBecomesOneByte_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void tst_StopSignals::eachSignalBecomesOneByte()
{
    QFETCH(int, signalNumber);
    const int readEnd = InstallStopSignalHandlers();
    QVERIFY(readEnd >= 0);
    DrainStopSignals(readEnd);
    QCOMPARE(::raise(signalNumber), 0); // would end this test program without the handler
    QCOMPARE(DrainStopSignals(readEnd), 1);
    QCOMPARE(DrainStopSignals(readEnd), 0); // drained: reading again does not block
}

void tst_StopSignals::repeatedSignalsAreBytesToo()
{
    const int readEnd = InstallStopSignalHandlers();
    QVERIFY(readEnd >= 0);
    DrainStopSignals(readEnd);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(::raise(SIGTERM), 0);
    QCOMPARE(DrainStopSignals(readEnd), 5);
}

void tst_StopSignals::installingAgainKeepsThePipeAndDropsOldBytes()
{
    const int first = InstallStopSignalHandlers();
    QVERIFY(first >= 0);
    QCOMPARE(::raise(SIGHUP), 0); // meant for the first installation: dropped by the second
    const int second = InstallStopSignalHandlers();
    QCOMPARE(second, first);
    QCOMPARE(DrainStopSignals(second), 0);
    QCOMPARE(::raise(SIGHUP), 0);
    QCOMPARE(DrainStopSignals(second), 1);
}

QTEST_GUILESS_MAIN(tst_StopSignals)
#include "tst_stopsignals.moc"
