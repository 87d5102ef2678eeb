#ifndef XLSXPACKAGECHECK_H
#define XLSXPACKAGECHECK_H

#include <QByteArray>

// Checks a freshly written .xlsx package before it replaces the user's file.
//
// libxlsxwriter assembles the parts of a workbook in temporary files and
// does not notice when writing them fails (a full temporary folder): the
// package then holds truncated parts and still looks written. This reads
// the package back: every XML part must end with the closing tag of its
// root element, and the first worksheet must hold the given number of rows.
namespace XlsxPackageCheck {

bool isComplete(const QByteArray &package, int sheetRows);

} // namespace XlsxPackageCheck

#endif // XLSXPACKAGECHECK_H
