// Set up > Limits… used with the mouse and the keyboard: OK and Enter apply
// what was typed once it checks out, Cancel and Esc leave the limits as they
// were, a wrong value keeps the dialog open saying what is wrong, and the
// limits can be switched off and cleared.
#include "mainwindow/mainwindow.h"

#include "config/appconfig.h"
#include "dialogs/limitsdialog.h"
#include "support/modaldialog.h"
#include "support/testfiles.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

QString configPath()
{
    return AppConfig::configPath(QCoreApplication::applicationDirPath());
}

} // namespace

class tst_LimitsDialog : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QFile::remove(configPath()); }

    void mouseAndKeyboard_data();
    void mouseAndKeyboard();
};

void tst_LimitsDialog::mouseAndKeyboard_data()
{
    QTest::addColumn<QByteArray>("before"); // config.ini's [Limits]
    // Steps, each a word: "tick" clicks the check box, "low:X"/"high:X" types
    // into that field, "clear", "ok", "cancel" click those buttons, "enter",
    // "esc" press the keys; "open?" checks the dialog is still open with its
    // problem shown.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("problem");
    QTest::addColumn<QString>("after"); // enabled low high, as config.ini keeps them

    const QByteArray none;
    const QByteArray set = "[Limits]\nenabled=true\nlow=1\nhigh=2.5\nunit=V\n";
    QTest::newRow("OK clicked applies") << none << QStringList{"tick", "high:2.5", "ok"} << QString()
                                        << "true - 2.5";
    QTest::newRow("Enter applies") << none << QStringList{"tick", "low:-1.5", "high:2.5", "enter"}
                                   << QString() << "true -1.5 2.5";
    QTest::newRow("typing a limit switches the limits on") << none << QStringList{"high:3", "enter"}
                                                           << QString() << "true - 3";
    QTest::newRow("Cancel discards") << set << QStringList{"tick", "high:9", "cancel"} << QString()
                                     << "true 1 2.5";
    QTest::newRow("Esc discards") << set << QStringList{"high:9", "esc"} << QString() << "true 1 2.5";
    QTest::newRow("a value that is no number stays to be mended")
        << none << QStringList{"tick", "high:2,5V", "enter", "open?", "high:2.5", "ok"}
        << "The high limit is not a number." << "true - 2.5";
    QTest::newRow("low above high, then Esc") << set << QStringList{"low:5", "ok", "open?", "esc"}
                                              << "The low limit is above the high limit." << "true 1 2.5";
    QTest::newRow("switched off") << set << QStringList{"tick", "ok"} << QString() << "false 1 2.5";
    QTest::newRow("cleared") << set << QStringList{"clear", "ok"} << QString() << "true - -";
}

void tst_LimitsDialog::mouseAndKeyboard()
{
    QFETCH(QByteArray, before);
    QFETCH(QStringList, steps);
    QFETCH(QString, problem);
    QFETCH(QString, after);
    QVERIFY(writeFile(configPath(), before));

    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    bool closed = false;
    auto use = [&](LimitsDialog *dialog) {
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        auto *buttons = dialog->findChild<QDialogButtonBox *>();
        auto *problemLabel = dialog->findChild<QLabel *>(QStringLiteral("problemLabel"));
        for (const QString &step : qAsConst(steps)) {
            const QString field = step.section(':', 0, 0);
            if (field == "low" || field == "high") {
                auto *edit = dialog->findChild<QLineEdit *>(field + "Edit");
                QTest::mouseClick(edit, Qt::LeftButton);
                edit->selectAll();
                QTest::keyClicks(edit, step.section(':', 1));
            } else if (step == "tick") {
                QTest::mouseClick(dialog->findChild<QCheckBox *>(QStringLiteral("enabledBox")), Qt::LeftButton);
            } else if (step == "clear") {
                QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("clearButton")), Qt::LeftButton);
            } else if (step == "ok" || step == "cancel") {
                QTest::mouseClick(buttons->button(step == "ok" ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel),
                                  Qt::LeftButton);
            } else if (step == "enter" || step == "esc") {
                QTest::keyClick(QApplication::focusWidget(), step == "enter" ? Qt::Key_Return : Qt::Key_Escape);
            } else if (step == "open?") {
                QVERIFY(dialog->isVisible());
                QVERIFY(problemLabel->isVisible());
                QCOMPARE(problemLabel->text(), problem);
            }
        }
    };
    whenModal<LimitsDialog>(&window, [&](LimitsDialog *dialog) {
        use(dialog);
        closed = !dialog->isVisible();
        if (!closed)
            dialog->reject(); // not to wait for ever
    });
    window.findChild<QAction *>(QStringLiteral("act_limits"))->trigger();
    QVERIFY(closed);

    const AppConfig::LimitSettings limits = AppConfig::readLimitSettings(configPath());
    auto text = [](const std::optional<double> &value) { return value ? QString::number(*value) : QString("-"); };
    QCOMPARE(QStringLiteral("%1 %2 %3").arg(limits.enabled ? "true" : "false", text(limits.low), text(limits.high)),
             after);
}

QTEST_MAIN(tst_LimitsDialog)
#include "tst_limitsdialog.moc"
