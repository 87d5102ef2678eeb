#include "mainwindow/mainwindow.h"
#include "config/appconfig.h"
#include "ui_mainwindow.h"
#include "tickgauge.h"
#include "support/modaldialog.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>

#include <cstdio>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowAtStart();
    void sampleTableAtStart();
    void panelAtStart();
    void menusAndToolBar_data();
    void menusAndToolBar();
    void configAtStart_data();
    void configAtStart();
    void configWrittenAtExit();
    void configNotWrittenSaysSo();
    void exitQuestion_data();
    void exitQuestion();
    void fileDialogsStartInTheLastFolder();

private:
    static QString configPath() { return AppConfig::configPath(QCoreApplication::applicationDirPath()); }
    static void removeConfigs()
    {
        QFile::remove(configPath());
        QFile::remove(AppConfig::userConfigPath());
    }
    static void writeConfig(const QByteArray &content)
    {
        QFile file(configPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.flush();
        // QSettings caches the file it last wrote and trusts size and time to
        // tell a change: a same-sized rewrite within the same moment needs an
        // unmistakable time of its own.
        file.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime);
    }

    std::unique_ptr<MainWindow> m_window;
};

void tst_MainWindow::init()
{
    removeConfigs();
    m_window.reset(new MainWindow);
}

void tst_MainWindow::cleanup()
{
    m_window.reset();
    removeConfigs();
}

void tst_MainWindow::windowAtStart()
{
    const MainWindow &w = *m_window;
    QCOMPARE(w.windowTitle(), QStringLiteral("Ravelo"));
    QCOMPARE(w.maximumSize(), QSize(1440, 900));
    // The offscreen screen (800 × 600) cannot hold even the form's smallest
    // size, 1024 × 668: the window starts at the most that fits it (its
    // frame allowed for), and that is its smallest.
    QCOMPARE(w.minimumSize(), QSize(784, 560));
    QCOMPARE(w.size(), QSize(784, 560));
    QVERIFY(!w.windowIcon().isNull());
    QCOMPARE(w.m_statusLabel->text(), QStringLiteral("UnConnected"));
    QCOMPARE(w.m_statusLabel->parentWidget(), w.ui->statusbar);
    for (QAction *action : w.findChildren<QAction *>())
        QVERIFY2(action->isEnabled(), qPrintable(action->objectName()));

    QVERIFY(!w.m_pollTimer->isActive());
    QCOMPARE(w.m_pollTimer->timerType(), Qt::PreciseTimer);
    QVERIFY(!w.m_serialPort->isOpen());
    QCOMPARE(w.m_count, 0);
    // The line settings are defined before the settings dialog is ever used.
    QCOMPARE(w.m_serialPort->baudRate(), QSerialPort::Baud9600);
    QCOMPARE(w.m_serialPort->parity(), QSerialPort::NoParity);
    QCOMPARE(w.m_serialPort->dataBits(), QSerialPort::Data8);
    QCOMPARE(w.m_serialPort->stopBits(), QSerialPort::OneStop);
    QVERIFY(!w.m_isNegative);

    // The images are compiled into the static library and must survive linking.
    for (const char *name : {"serial_logo", "exit", "setting", "use", "about", "connect",
                             "disconnect", "time", "pdf", "excel", "print", "lightning"})
        QCOMPARE(QImage(QStringLiteral(":/img/%1.png").arg(name)).size(), QSize(48, 48));
}

void tst_MainWindow::sampleTableAtStart()
{
    QTableWidget *table = m_window->ui->tableWidget;
    QCOMPARE(m_window->m_tableWidget, table);
    QCOMPARE(table->rowCount(), 0);
    QStringList titles;
    for (int c = 0; c < table->columnCount(); ++c)
        titles << table->horizontalHeaderItem(c)->text();
    QCOMPARE(titles, QStringList({"Serial number", "unconnected", "Numeric value", "Per unit", "time"}));
    QCOMPARE(table->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(table->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(table->selectionBehavior(), QAbstractItemView::SelectRows);
    QVERIFY(table->verticalHeader()->isHidden());
    for (int c = 0; c < 4; ++c)
        QCOMPARE(table->horizontalHeader()->sectionResizeMode(c), QHeaderView::Stretch);
    QCOMPARE(table->horizontalHeader()->sectionResizeMode(4), QHeaderView::ResizeToContents);
}

void tst_MainWindow::panelAtStart()
{
    Ui::MainWindow *ui = m_window->ui;
    // The start-up cover hides the whole panel until bytes arrive.
    QCOMPARE(ui->lbLogo->text(), QStringLiteral("DMM"));
    QCOMPARE(ui->lbLogo->geometry(), QRect(0, 0, 560, 340));
    QVERIFY(!ui->lbLogo->isHidden());
    QCOMPARE(ui->widget->children().last(), ui->lbLogo); // raised above its siblings
    QVERIFY(ui->lbLightning->isHidden());
    QCOMPARE(ui->lbLightning->pixmap(Qt::ReturnByValue).size(), QSize(24, 24));

    // The meter's widest displays fit the reading label, whatever the font.
    QVERIFY(ui->lbData->font().bold());
    QVERIFY(ui->lbData->font().pointSize() <= 100);
    const QFontMetrics metrics(ui->lbData->font());
    for (const char *text : {"8.888", "88.88", "LIVE", "----"})
        QVERIFY2(metrics.horizontalAdvance(QLatin1String(text)) <= ui->lbData->width(), text);
}

void tst_MainWindow::menusAndToolBar_data()
{
    QTest::addColumn<QString>("container");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("File menu") << "menu_file" << "File"
                               << QStringList{"act_openSerialPort", "act_closeSerialPort", "act_pdf",
                                              "act_excel", "act_print", "act_openRecordings",
                                              "act_openRecording", "act_saveChartPicture", "act_exit"};
    QTest::newRow("Set up menu") << "menu_setting" << "Set up"
                                 << QStringList{"act_setSerial", "act_setTimeInterval", "act_historyChart",
                                               "act_limits", "act_resetStatistics"};
    QTest::newRow("Help menu") << "menu_help" << "Help" << QStringList{"act_useDoc", "act_about"};
    QTest::newRow("tool bar") << "toolBar" << "toolBar"
                              << QStringList{"act_openSerialPort", "act_closeSerialPort", "act_setSerial",
                                             "act_pdf", "act_excel", "act_print", "act_exit"};
}

void tst_MainWindow::menusAndToolBar()
{
    QFETCH(QString, container);
    QFETCH(QString, title);
    QFETCH(QStringList, entries);

    auto *widget = m_window->findChild<QWidget *>(container);
    QVERIFY(widget);
    auto *menu = qobject_cast<QMenu *>(widget);
    QCOMPARE(menu ? menu->title() : widget->windowTitle(), title);
    QStringList names;
    for (QAction *action : widget->actions())
        names << (action->isSeparator() ? QStringLiteral("separator") : action->objectName());
    QCOMPARE(names, entries);

    QToolBar *toolBar = m_window->ui->toolBar;
    QVERIFY(!toolBar->isMovable() && !toolBar->isFloatable());
    QCOMPARE(toolBar->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
}

void tst_MainWindow::configAtStart_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no file
    QTest::addColumn<int>("expected");

    QTest::newRow("no file") << QByteArray() << 1000;
    QTest::newRow("2500") << QByteArray("[Time]\ntimeInterval=2500\n") << 2500;
    QTest::newRow("text reads as default") << QByteArray("[Time]\ntimeInterval=abc\n") << 1000;
}

void tst_MainWindow::configAtStart()
{
    QFETCH(QByteArray, content);
    QFETCH(int, expected);

    m_window.reset();
    removeConfigs();
    if (!content.isEmpty())
        writeConfig(content);
    m_window.reset(new MainWindow);
    QCOMPARE(m_window->m_config.timeIntervalMs, expected);
}

void tst_MainWindow::configWrittenAtExit()
{
    m_window.reset();
    writeConfig("[Meter]\nmodel=DMM\n[Time]\ntimeInterval=2500\n");
    m_window.reset(new MainWindow);
    m_window->m_config.timeIntervalMs = 7000; // as the interval dialog would set it
    m_window.reset();
    {
        QSettings settings(configPath(), QSettings::IniFormat);
        QCOMPARE(settings.value("Time/timeInterval").toInt(), 7000);
        QCOMPARE(settings.value("Meter/model").toString(), QStringLiteral("DMM"));
    }

    // A first run without config.ini leaves one with the default behind, in
    // the user's location (where the program's own folder may be read-only).
    removeConfigs();
    m_window.reset(new MainWindow);
    m_window.reset();
    QVERIFY(!QFile::exists(configPath()));
    QSettings fresh(AppConfig::userConfigPath(), QSettings::IniFormat);
    QCOMPARE(fresh.childGroups(), QStringList{"Time"});
    QCOMPARE(fresh.value("Time/timeInterval").toInt(), 1000);
}

// The window is gone when config.ini is written: a failure goes to standard
// error, with the file and the reason. Here the user's configuration folder
// would lie below a plain file.
void tst_MainWindow::configNotWrittenSaysSo()
{
    m_window.reset();
    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("plain"));
    QFile file(plain);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(plain + "/config"));
    const QString path = AppConfig::userConfigPath();
    m_window.reset(new MainWindow);

    const QString errFile = dir.filePath(QStringLiteral("stderr.txt"));
    std::fflush(stderr);
    const int savedErr = ::dup(2);
    const int errFd = ::open(QFile::encodeName(errFile).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(errFd, 2);
    m_window.reset();
    std::fflush(stderr);
    ::dup2(savedErr, 2);
    ::close(savedErr);
    ::close(errFd);
    qputenv("XDG_CONFIG_HOME", configHome);

    QFile err(errFile);
    QVERIFY(err.open(QIODevice::ReadOnly));
    const QByteArray said = err.readAll();
    QVERIFY2(said.contains("\nravelo: cannot write " + QFile::encodeName(path) + ": Not a directory\n")
                 || said.startsWith("ravelo: cannot write " + QFile::encodeName(path) + ": Not a directory\n"),
             said.constData());
}

void tst_MainWindow::exitQuestion_data()
{
    QTest::addColumn<bool>("byQuitAction");
    QTest::addColumn<QString>("answer"); // Yes, No, Escape
    QTest::addColumn<bool>("closed");

    QTest::newRow("close, Yes") << false << "Yes" << true;
    QTest::newRow("close, No") << false << "No" << false;
    QTest::newRow("close, Escape") << false << "Escape" << false;
    QTest::newRow("Quit action, Yes") << true << "Yes" << true;
    QTest::newRow("Quit action, No") << true << "No" << false;
}

void tst_MainWindow::exitQuestion()
{
    QFETCH(bool, byQuitAction);
    QFETCH(QString, answer);
    QFETCH(bool, closed);

    MainWindow &w = *m_window;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.m_rxBuffer = QByteArray("kept");

    // The question is modal: answer it from the event loop once it is up.
    QString text, title;
    QTimer answerer;
    connect(&answerer, &QTimer::timeout, &answerer, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        answerer.stop();
        text = box->text();
        title = box->windowTitle();
        if (answer == QLatin1String("Escape"))
            QTest::keyClick(box, Qt::Key_Escape);
        else
            box->button(answer == QLatin1String("Yes") ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    answerer.start(0);

    if (byQuitAction)
        w.ui->act_exit->trigger();
    else
        w.close();

    QCOMPARE(text, QStringLiteral("Are you sure to exit？"));
    QCOMPARE(title, QStringLiteral("Prompt"));
    QCOMPARE(w.isVisible(), !closed);
    QCOMPARE(w.m_rxBuffer, QByteArray("kept"));
}

// The first file dialog opens in the recordings folder; the next ones in
// the folder of the file chosen last, whichever dialog it was chosen in.
void tst_MainWindow::fileDialogsStartInTheLastFolder()
{
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath("rec")));
    writeConfig("[Journal]\nfolder=" + dir.filePath("rec").toUtf8() + "\n");
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    QStringList startedIn;
    auto use = [&](const char *action, const QString &chosen) {
        whenModal<QFileDialog>(&w, [&](QFileDialog *dialog) {
            startedIn << dialog->directory().absolutePath();
            auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            if (chosen.isEmpty())
                return QTest::keyClick(name, Qt::Key_Escape);
            name->setText(chosen);
            QTest::keyClick(name, Qt::Key_Return);
        });
        w.findChild<QAction *>(QLatin1String(action))->trigger();
    };
    // Saved where nothing can be: the failure goes to the status bar.
    use("act_excel", QStringLiteral("/proc/ravelo-readings.xlsx"));
    QTRY_VERIFY(w.statusBar()->currentMessage().startsWith(QStringLiteral("Could not save")));
    use("act_pdf", QString());
    use("act_openRecording", QString());
    QCOMPARE(startedIn, QStringList({dir.filePath("rec"), "/proc", "/proc"}));
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
