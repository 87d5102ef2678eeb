// `ravelo [PORT]`, `--help` and `--version`, the program run as a user runs it.
// (A port named on the command line opening at start is checked with the
// journal, the whole program against the simulator.)
#include "support/ownprogram.h"

#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTest>

class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void answers_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out"); // patterns
        QTest::addColumn<QString>("err");
        QTest::newRow("--help") << QStringList{"--help"} << 0
                                << "^Usage: ravelo \\[OPTION\\]\\.\\.\\. \\[PORT\\]\n(.*\n)*  -h, --help .*\n(.*\n)*      --version " << "^$";
        QTest::newRow("-h") << QStringList{"-h"} << 0 << "^Usage: ravelo " << "^$";
        QTest::newRow("--version") << QStringList{"--version"} << 0
                                   << "^ravelo " + QRegularExpression::escape(RAVELO_VERSION) + "\n$" << "^$";
        QTest::newRow("an unknown option") << QStringList{"--bogus"} << 2 << "^$"
                                           << "ravelo: Unknown option 'bogus'\\.\nTry 'ravelo --help' for more information\\.\n";
        QTest::newRow("two ports") << QStringList{"/dev/ttyUSB0", "/dev/ttyUSB1"} << 2 << "^$"
                                   << "ravelo: one port at most: '/dev/ttyUSB0' '/dev/ttyUSB1'\n";
    }
    void answers()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        // Help and version need no display.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (status == 0) {
            environment.remove("QT_QPA_PLATFORM");
            environment.remove("DISPLAY");
            environment.remove("WAYLAND_DISPLAY");
        }
        QByteArray standardError, standardOutput;
        QCOMPARE(runOwnProgram(RAVELO_PROGRAM, arguments, 30000, &standardError, &standardOutput, environment),
                 status);
        QVERIFY2(QRegularExpression(out).match(QString::fromUtf8(standardOutput)).hasMatch(), standardOutput.constData());
        QVERIFY2(QRegularExpression(err).match(QString::fromUtf8(standardError)).hasMatch(), standardError.constData());
    }
};

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
