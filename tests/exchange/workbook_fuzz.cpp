// libFuzzer target for the readers of workbook files that are our own code
// (FreeXL, a library of its own, is left to its own fuzzing): the .xlsx
// reader, the text readers, the child's stream and A1 addresses. Every input
// must give a result or a failure; none may crash, hang or run out of memory.

#include "workbook/cell_address.h"
#include "workbook/csv_reader.h"
#include "workbook/html_table_reader.h"
#include "workbook/spreadsheet_xml_reader.h"
#include "workbook/workbook_stream.h"
#include "workbook/xlsx_reader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes
        = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    // Small limits reach the limit checks too.
    XlsxReader({1024 * 1024, 64}).read(bytes);
    readCsv(bytes);
    readHtmlTable(bytes);
    readSpreadsheetXml(bytes);
    WorkbookStream::decode(bytes);
    A1::parseRange(QString::fromUtf8(bytes.left(64)));
    return 0;
}
