#include "config/appconfig.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class tst_AppConfig : public QObject
{
    Q_OBJECT

private slots:
    void readTimeInterval_data();
    void readTimeInterval();
    void writeKeepsOtherKeys();
    void writeCreatesFile();
    void writeToFolderPathFails();
    void readJournalSettings_data();
    void readJournalSettings();
    void journalFolderSurvivesTheRewrite_data();
    void journalFolderSurvivesTheRewrite();
    void handTypedForeignValueSurvivesTheRewrite();
};

void tst_AppConfig::readTimeInterval_data()
{
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("usedDefault");

    QTest::newRow("no file") << false << QByteArray() << 1000 << false;
    QTest::newRow("empty file") << true << QByteArray() << 1000 << false;
    QTest::newRow("stored 2500") << true << QByteArray("[Time]\ntimeInterval=2500\n") << 2500 << false;
    QTest::newRow("stored 60000") << true << QByteArray("[Time]\ntimeInterval=60000\n") << 60000 << false;
    QTest::newRow("letters") << true << QByteArray("[Time]\ntimeInterval=abc\n") << 1000 << true;
    QTest::newRow("zero") << true << QByteArray("[Time]\ntimeInterval=0\n") << 1000 << true;
    QTest::newRow("negative") << true << QByteArray("[Time]\ntimeInterval=-250\n") << 1000 << true;
    QTest::newRow("fraction") << true << QByteArray("[Time]\ntimeInterval=2.5\n") << 1000 << true;
    QTest::newRow("beyond int") << true << QByteArray("[Time]\ntimeInterval=99999999999\n") << 1000 << true;
    QTest::newRow("key in other section") << true << QByteArray("[Other]\ntimeInterval=3000\n") << 1000 << false;
    QTest::newRow("among other keys")
        << true << QByteArray("[Window]\nx=1\n[Time]\nother=5\ntimeInterval=1500\n") << 1500 << false;
}

void tst_AppConfig::readTimeInterval()
{
    QFETCH(bool, fileExists);
    QFETCH(QByteArray, content);
    QFETCH(int, expected);
    QFETCH(bool, usedDefault);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = AppConfig::configPath(dir.path());
    QCOMPARE(path, dir.path() + QStringLiteral("/config.ini"));
    if (fileExists)
        QVERIFY(writeFile(path, content));

    bool defaulted = !usedDefault;
    QCOMPARE(AppConfig::readTimeInterval(path, &defaulted), expected);
    QCOMPARE(defaulted, usedDefault);
    // Reading never creates the file.
    QCOMPARE(QFile::exists(path), fileExists);
}

void tst_AppConfig::writeKeepsOtherKeys()
{
    QTemporaryDir dir;
    const QString path = AppConfig::configPath(dir.path());
    QVERIFY(writeFile(path, "[Window]\nx=1\n[Time]\nother=5\ntimeInterval=abc\n"
                    "[Journal]\nenabled=false\nfolder=/data/a,b\n"));

    QVERIFY(AppConfig::writeTimeInterval(path, 4000));

    QSettings settings(path, QSettings::IniFormat);
    QCOMPARE(settings.value("Window/x").toInt(), 1);
    QCOMPARE(settings.value("Time/other").toInt(), 5);
    QCOMPARE(settings.value("Time/timeInterval").toInt(), 4000);
    QCOMPARE(AppConfig::readTimeInterval(path), 4000);
    const AppConfig::JournalSettings journal = AppConfig::readJournalSettings(path, "/default");
    QCOMPARE(journal.enabled, false);
    QCOMPARE(journal.folder, QStringLiteral("/data/a,b"));
}

void tst_AppConfig::writeCreatesFile()
{
    QTemporaryDir dir;
    const QString path = AppConfig::configPath(dir.path());
    QVERIFY(AppConfig::writeTimeInterval(path, 1000));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    QCOMPARE(lines, QList<QByteArray>({"[Time]", "timeInterval=1000"}));
}

void tst_AppConfig::writeToFolderPathFails()
{
    // A path that is a folder cannot be written (root can write into a
    // read-only folder, so that is no test here).
    QTemporaryDir dir;
    const QString path = AppConfig::configPath(dir.path());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("config.ini")));
    QVERIFY(!AppConfig::writeTimeInterval(path, 1000));
}

void tst_AppConfig::readJournalSettings_data()
{
    QTest::addColumn<QByteArray>("content"); // null: no file
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("folder");     // <dir>: the file's folder, ~: home
    QTest::addColumn<bool>("usedDefault");

    QTest::newRow("no file: on, in the default folder") << QByteArray() << true << "/default" << false;
    QTest::newRow("enabled=false turns it off") << QByteArray("[Journal]\nenabled=false\n") << false
                                                << "/default" << false;
    QTest::newRow("enabled=Off in any case turns it off") << QByteArray("[Journal]\nenabled=Off\n")
                                                          << false << "/default" << false;
    QTest::newRow("an enabled that is no boolean keeps it on")
        << QByteArray("[Journal]\nenabled=maybe\n") << true << "/default" << true;
    QTest::newRow("an absolute folder is used as it is")
        << QByteArray("[Journal]\nfolder=/data/logs/\n") << true << "/data/logs" << false;
    QTest::newRow("a relative folder counts from the file's folder")
        << QByteArray("[Journal]\nfolder=logs/today\n") << true << "<dir>/logs/today" << false;
    QTest::newRow("a folder under ~ counts from home")
        << QByteArray("[Journal]\nfolder=~/logs\n") << true << "~/logs" << false;
    QTest::newRow("an empty folder gives the default")
        << QByteArray("[Journal]\nfolder=  \n") << true << "/default" << true;
    QTest::newRow("a folder with non-ASCII letters is read as UTF-8")
        << QByteArray("[Journal]\nfolder=/data/Messungen-\xc3\xa4\n") << true
        << QString::fromUtf8("/data/Messungen-\xc3\xa4") << false;
}

void tst_AppConfig::readJournalSettings()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, enabled);
    QFETCH(QString, folder);
    QFETCH(bool, usedDefault);

    QTemporaryDir dir;
    const QString path = AppConfig::configPath(dir.path());
    if (!content.isNull())
        QVERIFY(writeFile(path, content));
    folder.replace(QStringLiteral("<dir>"), QDir(dir.path()).absolutePath());
    if (folder.startsWith('~'))
        folder.replace(0, 1, QDir::homePath());

    bool defaulted = !usedDefault;
    const AppConfig::JournalSettings journal =
        AppConfig::readJournalSettings(path, QStringLiteral("/default"), &defaulted);
    QCOMPARE(journal.enabled, enabled);
    QCOMPARE(journal.folder, folder);
    QCOMPARE(defaulted, usedDefault);
}

void tst_AppConfig::journalFolderSurvivesTheRewrite_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("endsWith");
    QTest::newRow("forward slashes") << QByteArray("folder=/data/rec") << "/data/rec";
    QTest::newRow("a Windows path typed with single backslashes")
        << QByteArray("folder=D:\\Measurements\\Ravelo") << "D:\\Measurements\\Ravelo";
    QTest::newRow("a network path typed by hand") << QByteArray("folder=\\\\server\\share")
                                                 << "\\\\server\\share";
    QTest::newRow("a path with a comma") << QByteArray("folder=/data/a,b") << "/data/a,b";
}

// The program rewrites config.ini at every exit: the folder must read the
// same before and after, however it was typed.
void tst_AppConfig::journalFolderSurvivesTheRewrite()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, endsWith);
    QTemporaryDir dir;
    const QString path = AppConfig::configPath(dir.path());
    QVERIFY(writeFile(path, "[Journal]\n" + line + "\n"));
    const QString before = AppConfig::readJournalSettings(path, "/default").folder;
    QVERIFY2(before.endsWith(endsWith), qPrintable(before));
    for (int exit = 0; exit < 2; ++exit) {
        QVERIFY(AppConfig::writeTimeInterval(path, 1000));
        QCOMPARE(AppConfig::readJournalSettings(path, "/default").folder, before);
    }
}

// Another program's key typed the same way keeps its text too.
void tst_AppConfig::handTypedForeignValueSurvivesTheRewrite()
{
    QTemporaryDir dir;
    const QString path = AppConfig::configPath(dir.path());
    QVERIFY(writeFile(path, "[Tools]\nviewer=C:\\Programs\\view.exe\n"));
    QVERIFY(AppConfig::writeTimeInterval(path, 2000));
    QSettings settings(path, QSettings::IniFormat);
    QCOMPARE(settings.value("Tools/viewer").toString(), QStringLiteral("C:\\Programs\\view.exe"));
    QCOMPARE(settings.value("Time/timeInterval").toInt(), 2000);
}

QTEST_GUILESS_MAIN(tst_AppConfig)
#include "tst_appconfig.moc"
