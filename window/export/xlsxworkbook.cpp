#include "export/xlsxworkbook.h"

#include "journal/wholefile.h"
#include "export/xlsxpackagecheck.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <xlsxwriter.h>

#include <cerrno>
#include <cstring>

namespace {

// What a worksheet can hold.
const int MaxRows = 1048576;
const int MaxColumns = 16384;
const int MaxCellChars = 32767;

// "B7" -> row 7, column 2; false for anything that is not letters then digits.
bool parseCellReference(const QString &reference, int *row, int *column)
{
    int i = 0;
    int col = 0;
    while (i < reference.size() && reference.at(i).isLetter() && reference.at(i).unicode() < 128) {
        col = col * 26 + (reference.at(i).toUpper().unicode() - 'A' + 1);
        if (col > MaxColumns)
            return false;
        ++i;
    }
    if (i == 0 || i == reference.size())
        return false;
    int r = 0;
    for (; i < reference.size(); ++i) {
        const QChar c = reference.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        r = r * 10 + (c.unicode() - '0');
        if (r > MaxRows)
            return false;
    }
    if (r < 1)
        return false;
    *row = r;
    *column = col;
    return true;
}

// A file name as the library opens it: UTF-8 on Windows, where it converts
// names for the wide-character calls; the file system's encoding elsewhere.
QByteArray libraryFileName(const QString &name)
{
#ifdef Q_OS_WIN
    return QDir::toNativeSeparators(name).toUtf8();
#else
    return QFile::encodeName(name);
#endif
}

} // namespace

XlsxWorkbook::XlsxWorkbook()
{
    // The library wants a file name up front; it gets a private one in the
    // temporary folder, and saveAs() moves the finished package to its place.
    m_package.setFileTemplate(QDir::tempPath() + QStringLiteral("/ravelo-XXXXXX.xlsx"));
    if (!m_package.open()) {
        m_error = QStringLiteral("%1 (in the temporary folder %2)")
                      .arg(m_package.errorString(), QDir::toNativeSeparators(QDir::tempPath()));
        return;
    }
    m_package.close(); // keeps the name reserved; the library reopens it

    m_tmpDir = libraryFileName(QDir::tempPath());
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = m_tmpDir.data();
    const QByteArray packageName = libraryFileName(m_package.fileName());
    m_book = workbook_new_opt(packageName.constData(), &options);
    if (m_book)
        m_sheet = workbook_add_worksheet(m_book, nullptr);
    if (!m_sheet)
        m_error = QStringLiteral("the workbook could not be set up");
}

XlsxWorkbook::~XlsxWorkbook()
{
    if (m_book)
        lxw_workbook_free(m_book);
}

bool XlsxWorkbook::write(const QString &cellReference, const QString &text)
{
    int row = 0;
    int column = 0;
    if (!parseCellReference(cellReference, &row, &column))
        return false;
    return write(row, column, text);
}

bool XlsxWorkbook::write(int row, int column, const QString &text)
{
    if (!m_sheet || row < 1 || row > MaxRows || column < 1 || column > MaxColumns)
        return false;
    const QByteArray utf8 = text.left(MaxCellChars).toUtf8();
    const lxw_error error = worksheet_write_string(
        m_sheet, lxw_row_t(row - 1), lxw_col_t(column - 1), utf8.constData(), nullptr);
    if (error != LXW_NO_ERROR)
        return false;
    if (!utf8.isEmpty() && row != m_lastRowWithText) {
        m_lastRowWithText = row;
        ++m_rowsWithText;
    }
    return true;
}

bool XlsxWorkbook::saveAs(const QString &filePath)
{
    if (!m_book || filePath.isEmpty())
        return false;
    lxw_workbook *book = m_book;
    m_book = nullptr;
    m_sheet = nullptr;
    // The package is put together in the temporary folder first.
    const QString inTempFolder =
        QStringLiteral(" (in the temporary folder %1)").arg(QDir::toNativeSeparators(QDir::tempPath()));
    errno = 0;
    const lxw_error closed = workbook_close(book); // frees the workbook in any case
    if (closed != LXW_NO_ERROR) {
        // The library's words for a failed file operation name none of the
        // system's reasons; errno holds it then.
        const int systemError = errno;
        const bool fileOperation = closed == LXW_ERROR_CREATING_XLSX_FILE
            || closed == LXW_ERROR_CREATING_TMPFILE || closed == LXW_ERROR_READING_TMPFILE
            || closed == LXW_ERROR_ZIP_FILE_OPERATION || closed == LXW_ERROR_ZIP_FILE_ADD
            || closed == LXW_ERROR_ZIP_CLOSE;
        m_error = (fileOperation && systemError != 0
                       ? QString::fromLocal8Bit(std::strerror(systemError))
                       : QString::fromUtf8(lxw_strerror(closed)))
            + inTempFolder;
        return false;
    }

    QFile packageFile(m_package.fileName());
    if (!packageFile.open(QIODevice::ReadOnly)) {
        m_error = packageFile.errorString() + inTempFolder;
        return false;
    }
    const QByteArray package = packageFile.readAll();
    if (packageFile.error() != QFileDevice::NoError) {
        m_error = packageFile.errorString() + inTempFolder;
        return false;
    }
    // The library does not notice failed writes to its own temporary files:
    // a full disk or a file size limit leaves a short package.
    if (!XlsxPackageCheck::isComplete(package, m_rowsWithText)) {
        m_error = QStringLiteral("the workbook came out incomplete, the disk may be full") + inTempFolder;
        return false;
    }

    // QSaveFile writes beside the target and renames over it on commit.
    QSaveFile target(filePath);
    return WholeFile::open(&target, &m_error) && WholeFile::writeAndCommit(&target, package, &m_error);
}
