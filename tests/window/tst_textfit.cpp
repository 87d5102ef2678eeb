// Every text the window and the dialogs show is whole: each visible text is
// measured against the room its widget gives it, after start-up and after
// readings of every kind the meter sends.
#include "mainwindow/mainwindow.h"

#include "widgets/textfit.h"
#include "meter/frameencoder.h"
#include "link/framecut.h"
#include "dialogs/serialsetdlg.h"
#include "dialogs/timeintervaldlg.h"
#include "metersimulator.h"
#include "dialogs/aboutdlg.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>
#include <QTableWidget>
#include <QTest>
#include <QTextDocument>
#include <QToolBar>
#include <QToolButton>

#include <memory>

namespace {

// Notes a text that needs more room than its widget gives it, naming the widget (by its
// class when it has no name) and `what` part of it.
void noteIfClipped(QStringList *clipped, const QWidget *widget, const QString &what, const QString &text,
                   int need, int room)
{
    if (need <= room)
        return;
    const QString name = widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                                        : widget->objectName();
    *clipped << QStringLiteral("%1%2 \"%3\": %4 px in %5 px").arg(name, what, text).arg(need).arg(room);
}

// The room a label's text is laid out in: its contents less margin and indent.
void checkLabel(const QLabel *label, QStringList *clipped)
{
    const QString text = label->text();
    if (text.isEmpty() || label->wordWrap() || label->textFormat() == Qt::RichText
        || (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text)))
        return;
    const QFontMetrics metrics = label->fontMetrics();
    int indent = label->indent();
    if (indent < 0)
        indent = label->frameWidth() > 0 ? metrics.horizontalAdvance(QLatin1Char('x')) / 2 : 0;
    const int room = label->contentsRect().width() - 2 * label->margin()
        - ((label->alignment() & Qt::AlignHCenter) ? 0 : indent);
    int need = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        need = qMax(need, metrics.horizontalAdvance(line));
    noteIfClipped(clipped, label, QString(), text, need, room);
}

void checkPushButton(const QPushButton *button, QStringList *clipped)
{
    if (button->text().isEmpty())
        return;
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    if (button->autoDefault() || button->isDefault())
        option.features |= QStyleOptionButton::AutoDefaultButton;
    const int room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
    const int need = button->fontMetrics().horizontalAdvance(QString(button->text()).remove(QLatin1Char('&')));
    noteIfClipped(clipped, button, QString(), button->text(), need, room);
}

// A tool bar button shows its whole text when the bar gives it the width it asks for.
void checkToolButton(const QToolButton *button, QStringList *clipped)
{
    if (button->text().isEmpty() || button->toolButtonStyle() == Qt::ToolButtonIconOnly)
        return;
    noteIfClipped(clipped, button, QString(), button->text(), button->sizeHint().width(), button->width());
}

void checkHeader(const QHeaderView *header, QStringList *clipped)
{
    const QAbstractItemModel *model = header->model();
    for (int section = 0; section < header->count(); ++section) {
        if (header->isSectionHidden(section))
            continue;
        const QString text = model->headerData(section, header->orientation()).toString();
        QFont font = header->font();
        const QVariant sectionFont = model->headerData(section, header->orientation(), Qt::FontRole);
        if (sectionFont.canConvert<QFont>())
            font = sectionFont.value<QFont>().resolve(font);
        QStyleOptionHeader option;
        option.initFrom(header);
        option.rect = QRect(0, 0, header->sectionSize(section), header->height());
        option.text = text;
        const int room = header->style()->subElementRect(QStyle::SE_HeaderLabel, &option, header).width();
        noteIfClipped(clipped, header, QStringLiteral(" section %1").arg(section), text,
                      QFontMetrics(font).horizontalAdvance(text), room);
    }
}

// Cells are drawn inside the focus frame's margin on both sides.
void checkTable(const QTableWidget *table, QStringList *clipped)
{
    checkHeader(table->horizontalHeader(), clipped);
    const int margin = table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1;
    for (int row = 0; row < table->rowCount(); ++row) {
        for (int column = 0; column < table->columnCount(); ++column) {
            const QTableWidgetItem *item = table->item(row, column);
            if (!item || item->text().isEmpty())
                continue;
            const QFont font = item->font().resolve(table->font());
            const int room = table->columnWidth(column) - 2 * margin;
            noteIfClipped(clipped, table, QStringLiteral(" column %1").arg(column), item->text(),
                          QFontMetrics(font).horizontalAdvance(item->text()), room);
        }
    }
}

// The room of a line edit's text: its contents less the frame and the
// edit's own margin of 2 px on either side.
int lineEditRoom(const QLineEdit *edit)
{
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->rect();
    option.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
    const QMargins margins = edit->textMargins();
    return edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit).width()
        - margins.left() - margins.right() - 2 * 2;
}

// The entry a combo box shows; one too wide even for the smallest font must
// at least show whole in the box's tool tip.
void checkComboBox(const QComboBox *box, QStringList *clipped)
{
    int room = 0;
    if (box->lineEdit()) {
        room = lineEditRoom(box->lineEdit());
    } else {
        QStyleOptionComboBox option;
        option.initFrom(box);
        room = box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box).width();
    }
    const QString text = box->currentText();
    if (box->toolTip() != text)
        noteIfClipped(clipped, box, QString(), text, box->fontMetrics().horizontalAdvance(text), room);
}

void checkGroupBox(const QGroupBox *box, QStringList *clipped)
{
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    option.textAlignment = box->alignment();
    const QRect label = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
    // The title needs its label's room, and that room must end inside the box.
    const int need = qMax(box->fontMetrics().horizontalAdvance(box->title()), label.width());
    noteIfClipped(clipped, box, QStringLiteral(" title"), box->title(), need,
                  qMin(label.width(), box->width() - label.left()));
}

// What does not fit among the visible text-bearing widgets under `top`.
QStringList clippedTexts(const QWidget *top)
{
    QStringList clipped;
    const QList<QWidget *> widgets = top->findChildren<QWidget *>();
    for (const QWidget *widget : widgets) {
        if (!widget->isVisibleTo(top))
            continue;
        if (const auto *label = qobject_cast<const QLabel *>(widget)) {
            checkLabel(label, &clipped);
        } else if (const auto *button = qobject_cast<const QPushButton *>(widget)) {
            checkPushButton(button, &clipped);
        } else if (const auto *toolButton = qobject_cast<const QToolButton *>(widget)) {
            if (qobject_cast<const QToolBar *>(toolButton->parentWidget()))
                checkToolButton(toolButton, &clipped);
        } else if (const auto *table = qobject_cast<const QTableWidget *>(widget)) {
            checkTable(table, &clipped);
        } else if (const auto *box = qobject_cast<const QComboBox *>(widget)) {
            checkComboBox(box, &clipped);
        } else if (const auto *edit = qobject_cast<const QLineEdit *>(widget)) {
            if (!qobject_cast<const QComboBox *>(edit->parentWidget()))
                noteIfClipped(&clipped, edit, QString(), edit->text(),
                              edit->fontMetrics().horizontalAdvance(edit->text()), lineEditRoom(edit));
        } else if (const auto *group = qobject_cast<const QGroupBox *>(widget)) {
            checkGroupBox(group, &clipped);
        }
    }
    clipped.removeDuplicates();
    return clipped;
}

// The meter's widest displays, beyond what the simulator's scenarios show.
QList<MeterDisplay> widestDisplays()
{
    QList<MeterDisplay> displays;
    for (const char *digits : {"8.888", "88.88", "888.8", "8888", " 0.L "}) {
        for (const char *unit : {"MΩ", "kHz", "mF", "℉", "mV", "uA"}) {
            MeterDisplay display;
            display.digits = QString::fromUtf8(digits);
            display.unit = QString::fromUtf8(unit);
            display.dc = display.minus = display.unit.endsWith(QLatin1Char('V'))
                || display.unit.endsWith(QLatin1Char('A'));
            display.autoRange = display.hold = display.rel = true;
            displays << display;
        }
    }
    return displays;
}

} // namespace

class tst_TextFit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TextFit::chooseApplicationFont(); // as the program does before its window
    }

    void fontFamily()
    {
        if (!QFontDatabase().hasFamily(QString::fromLatin1(TextFit::PreferredFamily)))
            QSKIP("Liberation Sans is not installed: the platform's default font stays");
        QCOMPARE(QFontInfo(QApplication::font()).family(), QString::fromLatin1(TextFit::PreferredFamily));
        MainWindow window;
        const auto *button = window.findChild<QPushButton *>(QStringLiteral("btnSelect"));
        QVERIFY(button);
        QCOMPARE(QFontInfo(button->font()).family(), QString::fromLatin1(TextFit::PreferredFamily));
    }

    void windowTextsWhole_data()
    {
        QTest::addColumn<QString>("scenario"); // the simulator's scenario shown, empty for none
        QTest::addColumn<QSize>("size");       // the window's
        const QSize smallest(1024, 668);
        QTest::newRow("at start, unconnected") << QString() << smallest;
        QTest::newRow("at start, laptop size") << QString() << QSize(1366, 700);
        QTest::newRow("at start, full size") << QString() << QSize(1440, 900);
        for (const QString &name : MeterSimulator::scenarioNames())
            if (name != QLatin1String("tour"))
                QTest::newRow(qPrintable("after the " + name + " readings")) << name << smallest;
        QTest::newRow("after the widest readings, one by one") << QStringLiteral("widest") << smallest;
    }

    // Every reading is walked after it is shown; the table keeps them all.
    void windowTextsWhole()
    {
        QFETCH(QString, scenario);
        QFETCH(QSize, size);
        MainWindow window;
        window.resize(size);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QList<MeterDisplay> displays;
        MeterSimulator meter;
        if (scenario == QLatin1String("widest")) {
            displays = widestDisplays();
        } else if (!scenario.isEmpty()) {
            QVERIFY(meter.setScenario(scenario));
            for (int i = 0; i < 12; ++i)
                displays << meter.nextDisplay();
        }
        QLabel *cover = window.findChild<QLabel *>(QStringLiteral("lbLogo"));
        QVERIFY(cover);
        QStringList clipped = clippedTexts(&window);
        for (const MeterDisplay &display : qAsConst(displays)) {
            QByteArray frame;
            QVERIFY(encodeFrame(display, &frame));
            window.decodeFrame(toFrameText(frame));
            window.m_statusLabel->setText(QStringLiteral("Connected"));
            cover->hide();
            QCoreApplication::processEvents(); // the layouts follow the new texts
            clipped << clippedTexts(&window);
        }
        clipped.removeDuplicates();
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1Char('\n'))));
    }

    void dialogTextsWhole_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QByteArray>("extraPorts"); // for the port list
        const QByteArray ptys = "/dev/pts/12:ttyUSB0";
        QTest::newRow("serial port settings, each port chosen in turn") << "SerialSetDlg" << ptys;
        QTest::newRow("serial port settings, a path too long for any font: its tool tip")
            << "SerialSetDlg" << ptys + ":/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
        QTest::newRow("time interval") << "TimeIntervalDlg" << QByteArray();
        QTest::newRow("about") << "AboutDlg" << QByteArray();
    }

    void dialogTextsWhole()
    {
        QFETCH(QString, dialog);
        QFETCH(QByteArray, extraPorts);
        qputenv(SerialSetDlg::ExtraPortsVariable, extraPorts);
        std::unique_ptr<QDialog> shown;
        if (dialog == QLatin1String("SerialSetDlg")) {
            shown = std::make_unique<SerialSetDlg>(nullptr);
        } else if (dialog == QLatin1String("TimeIntervalDlg")) {
            shown = std::make_unique<TimeIntervalDlg>(nullptr, 60000);
        } else {
            auto about = std::make_unique<AboutDlg>(nullptr);
            about->getAppInfo(QStringLiteral("DMM"), QStringLiteral("V4.0"));
            shown = std::move(about);
        }
        shown->show();
        QVERIFY(QTest::qWaitForWindowExposed(shown.get()));
        QStringList clipped = clippedTexts(shown.get());
        if (auto *box = shown->findChild<QComboBox *>()) {
            for (int i = 0; i < box->count(); ++i) {
                box->setCurrentIndex(i);
                clipped << clippedTexts(shown.get());
            }
        }
        clipped.removeDuplicates();
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(tst_TextFit)
#include "tst_textfit.moc"
