#ifndef XLSXWORKBOOK_H
#define XLSXWORKBOOK_H

#include <QString>
#include <QTemporaryFile>

struct lxw_workbook;
struct lxw_worksheet;

// A one-sheet .xlsx workbook of plain text cells, written with libxlsxwriter.
//
// The workbook streams its rows to a temporary file as they are written
// (libxlsxwriter's constant-memory mode), so memory stays flat however long
// the table is; in exchange rows must be written from top to bottom, and
// within a row from left to right. Rows and columns count from 1, as the
// workbook shows them ("A1" is row 1, column 1).
//
// saveAs() replaces the target only when the whole package is complete: a
// failure leaves any file already at that path as it was.
class XlsxWorkbook
{
public:
    XlsxWorkbook();
    ~XlsxWorkbook();

    XlsxWorkbook(const XlsxWorkbook &) = delete;
    XlsxWorkbook &operator=(const XlsxWorkbook &) = delete;

    // Writes text into the cell named like "A1" or "AB12". An empty text
    // leaves the cell empty. Returns false for a bad reference, a cell above
    // the rows already written, or after saveAs().
    bool write(const QString &cellReference, const QString &text);
    bool write(int row, int column, const QString &text);

    // Writes the package and puts it at filePath. Can be called once. False
    // with the reason in errorString() when the file was not written.
    bool saveAs(const QString &filePath);
    QString errorString() const { return m_error; }

    // False when the library could not set up the document.
    bool isValid() const { return m_sheet != nullptr; }

private:
    QTemporaryFile m_package;
    lxw_workbook *m_book = nullptr;
    lxw_worksheet *m_sheet = nullptr;
    QByteArray m_tmpDir;
    QString m_error;
    int m_lastRowWithText = 0; // rows are written in order: the last one seen
    int m_rowsWithText = 0;    // rows holding at least one non-empty cell
};

#endif // XLSXWORKBOOK_H
