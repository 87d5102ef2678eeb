#ifndef TEXTFIT_H
#define TEXTFIT_H

#include <QFont>
#include <QStringList>

QT_BEGIN_NAMESPACE
class QComboBox;
class QLabel;
class QTableWidget;
QT_END_NAMESPACE

// The program's font, and the few widgets whose texts need a smaller one to
// show whole in the room the fixed layout gives them. Each shrinks only as
// far as its texts need, never below MinPointSize.
namespace TextFit {

// The family the fixed layout was drawn for: Liberation Sans, which has
// Arial's metrics. Where it is not installed the platform's default stays.
extern const char PreferredFamily[];
// The families that draw, in this order, what the program's font lacks:
// DejaVu Sans the symbols ℃ and ℉, WenQuanYi Micro Hei the full-width
// punctuation of the texts ("：", "？", "！", "（", "）").
QStringList fallbackFamilies();
const int MinPointSize = 8;

// Makes the preferred family the application's font, keeping its size, and
// declares the fallback families for it. Call once, before any window is
// built.
void chooseApplicationFont();

// `font`, a point size smaller at a time where needed (never below
// minPointSize) until every text is at most `room` pixels wide.
QFont fitted(QFont font, const QStringList &texts, int room, int minPointSize = MinPointSize);

// A label of fixed width: its font fits the given texts (its own text when
// none are given) within its contents.
void fitLabel(QLabel *label, QStringList texts = QStringList(), int minPointSize = MinPointSize);

// A sample table at its widest (its maximum width, with a vertical scroll
// bar), whose last column fits its contents and whose other columns share
// the rest: the header's font fits the column titles, the table's font
// fits `cellTexts`, the widest texts the cells other than the last will hold.
void fitTable(QTableWidget *table, const QStringList &cellTexts, const QString &lastColumnText);

// A combo box of fixed size: its font fits every entry in the box. Where an
// entry is too wide even for the smallest font, the box's tool tip shows the
// entry chosen whole.
void fitComboBox(QComboBox *box);

} // namespace TextFit

#endif // TEXTFIT_H
