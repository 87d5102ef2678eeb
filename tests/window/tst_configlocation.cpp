// Where the sampling interval is kept: config.ini beside the program (a
// portable copy), or the user's configuration location when there is none
// or it cannot be written (an installed program). Each row starts the window
// with its own program folder, HOME and XDG_CONFIG_HOME, sets the interval
// through the dialog, quits and starts again.

#include "mainwindow/mainwindow.h"

#include "config/appconfig.h"
#include "dialogs/timeintervaldlg.h"
#include "support/modaldialog.h"
#include "support/testfiles.h"
#include "support/withoutoverride.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

enum class Beside { Absent, Writable, ReadOnly };
Q_DECLARE_METATYPE(Beside)

namespace {

QByteArray settingsText(int intervalMs)
{
    return "[Journal]\nfolder=/srv/readings\n[Time]\ntimeInterval=" + QByteArray::number(intervalMs) + '\n';
}

// 0 when there is no file, -1 when the key of another part of the program
// that every file started with is gone.
int storedInterval(const QString &path, bool keepsForeignKey)
{
    if (!QFile::exists(path))
        return 0;
    // QSettings keeps a failed write's values for its path in this process:
    // what reached the disk is read from a copy under a new name.
    QTemporaryDir copyDir;
    const QString copy = copyDir.filePath(QStringLiteral("copy.ini"));
    if (!QFile::copy(path, copy))
        return -2;
    QSettings settings(copy, QSettings::IniFormat);
    if (keepsForeignKey
        && settings.value(QStringLiteral("Journal/folder")).toString() != QLatin1String("/srv/readings"))
        return -1;
    return settings.value(QLatin1String(AppConfig::TimeIntervalKey)).toInt();
}

} // namespace

class tst_ConfigLocation : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void intervalSurvivesRestart_data();
    void intervalSurvivesRestart();

private:
    // Opens the interval dialog from the window's menu action, types the
    // seconds and presses OK; returns what the dialog showed at opening.
    QString setIntervalThroughDialog(MainWindow *window, int seconds);
};

void tst_ConfigLocation::cleanup()
{
    AppConfig::setProgramDir(QString());
}

QString tst_ConfigLocation::setIntervalThroughDialog(MainWindow *window, int seconds)
{
    QString shown;
    whenModal<TimeIntervalDlg>(this, [&shown, seconds](TimeIntervalDlg *dialog) {
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("etTime"));
        shown = edit->text();
        edit->setText(QString::number(seconds));
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("btnOk")), Qt::LeftButton);
    });
    window->findChild<QAction *>(QStringLiteral("act_setTimeInterval"))->trigger();
    return shown;
}

void tst_ConfigLocation::intervalSurvivesRestart_data()
{
    QTest::addColumn<Beside>("beside");         // config.ini beside the program
    QTest::addColumn<int>("userAtStart");       // in the user's location; 0: no file
    QTest::addColumn<int>("shownAtStart");      // seconds the dialog shows first
    QTest::addColumn<int>("besideAfter");       // ms in each file after quitting
    QTest::addColumn<int>("userAfter");

    // Beside the program: 2 s when there; the user's choice: 5 s.
    QTest::newRow("no file anywhere: the first run leaves the user's file")
        << Beside::Absent << 0 << 1 << 0 << 5000;
    QTest::newRow("only the user's file: it is read and rewritten")
        << Beside::Absent << 7000 << 7 << 0 << 5000;
    QTest::newRow("a writable file beside the program wins over the user's")
        << Beside::Writable << 7000 << 2 << 5000 << 7000;
    QTest::newRow("a writable file beside the program and no user's file")
        << Beside::Writable << 0 << 2 << 5000 << 0;
    QTest::newRow("a read-only file beside the program: read, the change goes to the user's file")
        << Beside::ReadOnly << 0 << 2 << 2000 << 5000;
    QTest::newRow("a read-only file beside the program and the user's file: the user's")
        << Beside::ReadOnly << 7000 << 7 << 2000 << 5000;
}

void tst_ConfigLocation::intervalSurvivesRestart()
{
    QFETCH(Beside, beside);
    QFETCH(int, userAtStart);
    QFETCH(int, shownAtStart);
    QFETCH(int, besideAfter);
    QFETCH(int, userAfter);

    QTemporaryDir programDir;
    QTemporaryDir home;
    QVERIFY(programDir.isValid() && home.isValid());
    const QString besidePath = AppConfig::configPath(programDir.path());
    const QString userPath = home.path() + QStringLiteral("/config/Ravelo/config.ini");
    if (beside != Beside::Absent)
        QVERIFY(writeFile(besidePath, settingsText(2000)));
    if (userAtStart)
        QVERIFY(writeFile(userPath, settingsText(userAtStart)));
    // An installed program's folder: the ordinary user may read, not write.
    if (beside == Beside::ReadOnly) {
        QVERIFY(QFile::setPermissions(besidePath, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(QFile::setPermissions(programDir.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup
                                      | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    }

    AppConfig::setProgramDir(programDir.path());
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/config")));
    QCOMPARE(AppConfig::userConfigPath(), userPath);

    QString shownAfterRestart;
    {
        WithoutOverride asAnyone;
        auto window = std::make_unique<MainWindow>();
        QCOMPARE(setIntervalThroughDialog(window.get(), 5), QString::number(shownAtStart));
        window.reset(); // quitting writes the settings

        window = std::make_unique<MainWindow>();
        shownAfterRestart = setIntervalThroughDialog(window.get(), 5);
        // Written again with the same value, so the files below are settled.
        window.reset();
    }
    QCOMPARE(shownAfterRestart, QStringLiteral("5"));
    const bool keepsForeignKey = beside != Beside::Absent || userAtStart;
    QCOMPARE(storedInterval(besidePath, keepsForeignKey), besideAfter);
    QCOMPARE(storedInterval(userPath, keepsForeignKey), userAfter);

    QFile::setPermissions(programDir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QTEST_MAIN(tst_ConfigLocation)
#include "tst_configlocation.moc"
