// The grid the PDF export and printing share: how many pages the rows take,
// and a job that is stopped part-way.

#include "export/pagegrid.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <QTest>

namespace {

const int Columns = 5;
const PageGridGeometry SmallRows{10, 40, 30, 50};

// The column titles, then `rows` table rows.
QStringList gridTexts(int rows)
{
    QStringList texts{"Serial number", "unconnected", "Numeric value", "Per unit", "time"};
    for (int r = 0; r < rows; ++r)
        texts << QString::number(r + 1) << "DCV" << "3.300" << "V" << "2026/12/07 09:47:28";
    return texts;
}

struct PaintedGrid
{
    bool finished = false;
    QList<int> pagesStarted;
    int pagesInFile = 0;
};

// Paints the grid into a PDF in memory; `stopAtPage` makes the page callback
// answer false there.
PaintedGrid paintGrid(int rows, int stopAtPage = 0)
{
    PaintedGrid result;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        QPainter painter(&writer);
        result.finished = PageGrid::paint(&painter, &writer, SmallRows, gridTexts(rows), Columns,
                                          [&result, stopAtPage](int page) {
                                              result.pagesStarted << page;
                                              return page != stopAtPage;
                                          });
    }
    result.pagesInFile = buffer.data().count("/Type /Page\n");
    return result;
}

} // namespace

class tst_PageGrid : public QObject
{
    Q_OBJECT

private slots:
    void pagesCountedAsPainted_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("pages");
        QTest::newRow("an empty table still prints its column titles") << 0 << 1;
        QTest::newRow("30 rows fit under the titles, no empty page after them") << 30 << 1;
        QTest::newRow("the 31st row opens page 2") << 31 << 2;
        QTest::newRow("60 rows fill page 2 exactly") << 60 << 2;
        QTest::newRow("the 61st row opens page 3") << 61 << 3;
    }

    // The count the progress dialog is sized by is the count painted.
    void pagesCountedAsPainted()
    {
        QFETCH(int, rows);
        QFETCH(int, pages);
        QCOMPARE(PageGrid::pageCount(rows + 1), pages);
        const PaintedGrid painted = paintGrid(rows);
        QVERIFY(painted.finished);
        QList<int> expectedStarts;
        for (int page = 2; page <= pages; ++page)
            expectedStarts << page;
        QCOMPARE(painted.pagesStarted, expectedStarts);
        QCOMPARE(painted.pagesInFile, pages);
    }

    void stopsWhereTheJobIsCancelled()
    {
        const PaintedGrid painted = paintGrid(100, 2);
        QVERIFY(!painted.finished);
        QCOMPARE(painted.pagesStarted, QList<int>{2});
        QCOMPARE(painted.pagesInFile, 2);
    }
};

QTEST_MAIN(tst_PageGrid)
#include "tst_pagegrid.moc"
