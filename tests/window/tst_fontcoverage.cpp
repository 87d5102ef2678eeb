// Every character the window and its dialogs show is drawn by the program's
// font or one of its declared fallbacks, never as an empty box.
#include "mainwindow/mainwindow.h"

#include "widgets/textfit.h"
#include "meter/meterprotocol.h"
#include "dialogs/serialsetdlg.h"
#include "dialogs/timeintervaldlg.h"
#include "dialogs/aboutdlg.h"

#include <QAbstractButton>
#include <QAction>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDirIterator>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QRawFont>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

// The texts a widget tree shows: titles, labels, buttons, entries, headers,
// actions and the chart's legend and axis titles.
QStringList shownTexts(const QWidget *top)
{
    QStringList texts{top->windowTitle()};
    for (const QWidget *widget : top->findChildren<QWidget *>()) {
        texts << widget->toolTip() << widget->windowTitle();
        if (const auto *label = qobject_cast<const QLabel *>(widget))
            texts << label->text();
        else if (const auto *button = qobject_cast<const QAbstractButton *>(widget))
            texts << button->text();
        else if (const auto *group = qobject_cast<const QGroupBox *>(widget))
            texts << group->title();
        else if (const auto *edit = qobject_cast<const QLineEdit *>(widget))
            texts << edit->text() << edit->placeholderText();
        else if (const auto *menu = qobject_cast<const QMenu *>(widget))
            texts << menu->title();
        if (const auto *box = qobject_cast<const QComboBox *>(widget))
            for (int i = 0; i < box->count(); ++i)
                texts << box->itemText(i);
        if (const auto *table = qobject_cast<const QTableWidget *>(widget))
            for (int c = 0; c < table->columnCount(); ++c)
                texts << table->horizontalHeaderItem(c)->text();
        if (const auto *view = qobject_cast<const QtCharts::QChartView *>(widget)) {
            for (const QtCharts::QAbstractSeries *series : view->chart()->series())
                texts << series->name();
            for (const QtCharts::QAbstractAxis *axis : view->chart()->axes())
                texts << axis->titleText();
        }
    }
    for (const QAction *action : top->findChildren<QAction *>())
        texts << action->text() << action->toolTip();
    return texts;
}

// Every word, unit and function name a reading puts on the panel and in the table.
QStringList readingTexts()
{
    using namespace MeterProtocol;
    QStringList texts{QString::fromUtf8(ModelName), QStringLiteral("NCV"), QStringLiteral("LIVE")};
    const auto addFlagTexts = [&texts](const auto &table) {
        for (const FlagBit &bit : table)
            for (const char *text : {bit.word, bit.unit, bit.function})
                texts << QString::fromUtf8(text);
    };
    addFlagTexts(MainUnitBits);
    addFlagTexts(SubUnitBits);
    addFlagTexts(StatusBits);
    addFlagTexts(ModeBits);
    for (const UnitRewrite &rewrite : FirstUnitRewrites)
        texts << QString::fromUtf8(rewrite.to) << QString::fromUtf8(rewrite.function);
    for (const UnitRewrite &rewrite : SecondUnitRewrites)
        texts << QString::fromUtf8(rewrite.to) << QString::fromUtf8(rewrite.function);
    for (const DigitCode &digit : DigitTable)
        texts << QString::fromLatin1(digit.text);
    return texts;
}

// The texts the program shows only when something happens (the message
// boxes, the status bar's messages): every translatable text of its sources.
QStringList translatableTexts()
{
    // tr("text") and tr("text %1").arg(...), a quote in the text escaped.
    static const QRegularExpression trCall(QStringLiteral("\\btr\\(\"((?:[^\"\\\\]|\\\\.)*)\"\\s*[,)]"));
    static const QRegularExpression formString(QStringLiteral("<string>([^<]*)</string>"));
    QStringList texts;
    for (const char *folder : {"window", "core"}) {
        QDirIterator it(QStringLiteral(RAVELO_SOURCE_DIR "/") + QLatin1String(folder),
                        {QStringLiteral("*.cpp"), QStringLiteral("*.ui")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QString source = QString::fromUtf8(file.readAll());
            const QRegularExpression &re = file.fileName().endsWith(QLatin1String(".ui")) ? formString : trCall;
            for (auto match = re.globalMatch(source); match.hasNext();)
                texts << match.next().captured(1);
        }
    }
    return texts;
}

} // namespace

class tst_FontCoverage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TextFit::chooseApplicationFont(); } // as the program starts
    void everyCharacterHasAGlyph();
};

void tst_FontCoverage::everyCharacterHasAGlyph()
{
    QStringList texts = readingTexts() + translatableTexts();
    QVERIFY(texts.contains(QStringLiteral("Save PDF file success！File path:")));

    auto window = std::make_unique<MainWindow>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    texts << shownTexts(window.get());
    for (auto *dialog : std::initializer_list<QDialog *>{new SerialSetDlg(window.get()),
                                                         new TimeIntervalDlg(window.get()),
                                                         new AboutDlg(window.get())})
        texts << shownTexts(dialog);

    // The exit question, as the window asks it.
    QTimer answerer;
    connect(&answerer, &QTimer::timeout, this, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            texts << shownTexts(box) << box->text();
            box->button(QMessageBox::No)->click();
        }
    });
    answerer.start(10);
    window->close();
    answerer.stop();
    QVERIFY(texts.contains(QStringLiteral("Are you sure to exit？")));

    // The program's font and the fallbacks it declares, where installed.
    QList<QRawFont> fonts;
    const QString family = QApplication::font().family();
    for (const QString &name : QStringList{family} + QFont::substitutes(family))
        if (QFontDatabase().hasFamily(name))
            fonts << QRawFont::fromFont(QFont(name));

    QStringList missing;
    for (const QString &text : qAsConst(texts)) {
        for (const uint ucs4 : text.toUcs4()) {
            if (QChar::isSpace(ucs4) || QChar::category(ucs4) == QChar::Other_Control)
                continue;
            if (std::none_of(fonts.cbegin(), fonts.cend(),
                             [ucs4](const QRawFont &font) { return font.supportsCharacter(ucs4); }))
                missing << QStringLiteral("%1 in \"%2\"").arg(QString::fromUcs4(&ucs4, 1), text);
        }
    }
    missing.removeDuplicates();
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("no glyph in %1 or its fallbacks %2:\n")
                                               .arg(family, QFont::substitutes(family).join(", "))
                                           + missing.join(QLatin1Char('\n'))));
}

QTEST_MAIN(tst_FontCoverage)
#include "tst_fontcoverage.moc"
