#include "widgets/textfit.h"

#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTableWidget>

namespace TextFit {

const char PreferredFamily[] = "Liberation Sans";

namespace {

// A line edit keeps this many pixels free on either side of its text.
const int LineEditMarginPx = 2;

int widest(const QFontMetrics &metrics, const QStringList &texts)
{
    int result = 0;
    for (const QString &text : texts)
        result = qMax(result, metrics.horizontalAdvance(text));
    return result;
}

} // namespace

QStringList fallbackFamilies()
{
    return {QStringLiteral("DejaVu Sans"), QStringLiteral("WenQuanYi Micro Hei")};
}

void chooseApplicationFont()
{
    const QString family = QString::fromLatin1(PreferredFamily);
    QFont font = QApplication::font();
    if (QFontDatabase().hasFamily(family)) {
        font.setFamily(family);
        QApplication::setFont(font);
    }
    // Searched before the system's own fallbacks, which may lack the
    // full-width punctuation and draw boxes instead.
    QFont::insertSubstitutions(font.family(), fallbackFamilies());
}

QFont fitted(QFont font, const QStringList &texts, int room, int minPointSize)
{
    while (font.pointSize() > minPointSize && widest(QFontMetrics(font), texts) > room)
        font.setPointSize(font.pointSize() - 1);
    return font;
}

void fitLabel(QLabel *label, QStringList texts, int minPointSize)
{
    if (texts.isEmpty())
        texts << label->text();
    const int room = label->contentsRect().width() - 2 * label->margin();
    const QFont font = fitted(label->font(), texts, room, minPointSize);
    if (font != label->font())
        label->setFont(font);
}

void fitTable(QTableWidget *table, const QStringList &cellTexts, const QString &lastColumnText)
{
    const int columns = table->columnCount();
    if (columns < 2)
        return;
    QHeaderView *header = table->horizontalHeader();
    QStringList titles;
    for (int c = 0; c < columns; ++c)
        titles << (table->horizontalHeaderItem(c) ? table->horizontalHeaderItem(c)->text() : QString());

    QStyle *style = table->style();
    // A cell's text keeps the focus frame's margin on either side; a column
    // fitted to its contents also counts its grid line.
    const int cellMargin = 2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1);
    const int headerMargin = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    const int grid = table->showGrid() ? 1 : 0;
    const int inside = table->maximumWidth() - 2 * table->frameWidth()
        - style->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, table->verticalScrollBar());

    const QFont headerFont = header->font();
    auto sharedColumnWidth = [&](const QFont &cellFont) {
        const int last = qMax(QFontMetrics(headerFont).horizontalAdvance(titles.last()) + headerMargin,
                              QFontMetrics(cellFont).horizontalAdvance(lastColumnText) + cellMargin + grid);
        return (inside - last) / (columns - 1);
    };

    QFont cellFont = table->font();
    while (cellFont.pointSize() > MinPointSize
           && widest(QFontMetrics(cellFont), cellTexts) > sharedColumnWidth(cellFont) - cellMargin)
        cellFont.setPointSize(cellFont.pointSize() - 1);
    const int column = sharedColumnWidth(cellFont);
    const QFont titleFont = fitted(headerFont, titles.mid(0, columns - 1), column - headerMargin);

    if (cellFont != table->font())
        table->setFont(cellFont);
    header->setFont(titleFont); // its own from now on, whatever the table's
}

void fitComboBox(QComboBox *box)
{
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.editable = box->isEditable();
    const int room = box->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                  QStyle::SC_ComboBoxEditField, box).width()
        - (box->isEditable() ? 2 * LineEditMarginPx : 0);
    // An entry too wide even for the smallest font does not make the others small.
    QFont smallest = box->font();
    smallest.setPointSize(MinPointSize);
    const QFontMetrics smallestMetrics(smallest);
    QStringList entries;
    bool tooWide = false;
    for (int i = 0; i < box->count(); ++i) {
        if (smallestMetrics.horizontalAdvance(box->itemText(i)) <= room)
            entries << box->itemText(i);
        else
            tooWide = true;
    }
    const QFont font = fitted(box->font(), entries, room);
    if (font != box->font())
        box->setFont(font);
    if (tooWide) {
        // The entry chosen shows whole in the tool tip.
        box->setToolTip(box->currentText());
        QObject::connect(box, &QComboBox::currentTextChanged, box, &QWidget::setToolTip,
                         Qt::UniqueConnection);
    }
}

} // namespace TextFit
