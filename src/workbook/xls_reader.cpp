#include "workbook/xls_reader.h"

#include "common/value_text.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryFile>

#include <freexl.h>

#include <algorithm>

namespace {

// Closes the handle whatever happens; FreeXL wants it closed even after a
// failed open.
class FreeXlHandle
{
public:
    FreeXlHandle() = default;
    FreeXlHandle(const FreeXlHandle &) = delete;
    FreeXlHandle &operator=(const FreeXlHandle &) = delete;
    ~FreeXlHandle()
    {
        if (handle)
            freexl_close(handle);
    }

    const void *handle = nullptr;
};

QString cellText(const FreeXL_CellValue &value)
{
    switch (value.type) {
    case FREEXL_CELL_INT:
        return numberText(value.value.int_value);
    case FREEXL_CELL_DOUBLE:
        return numberText(value.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
        return QString::fromUtf8(value.value.text_value);
    case FREEXL_CELL_DATE: {
        const QString text = QString::fromUtf8(value.value.text_value);
        const QDate date = QDate::fromString(text, Qt::ISODate);
        return date.isValid() ? dateText(date) : text;
    }
    case FREEXL_CELL_DATETIME: {
        const QString text = QString::fromUtf8(value.value.text_value);
        const QDateTime moment = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        return moment.isValid() ? dateTimeText(moment) : text;
    }
    case FREEXL_CELL_TIME:
        return QString::fromUtf8(value.value.text_value);
    default:
        return {};
    }
}

// The cells of shared strings, each made once: every cell showing one shares
// its text, cut to a cell's length once.
class SharedTexts
{
public:
    WorkbookCell cell(const FreeXL_CellValue &value)
    {
        if (value.type != FREEXL_CELL_SST_TEXT)
            return {cellText(value), {}};
        auto known = cells_.constFind(value.value.text_value);
        if (known == cells_.cend()) {
            WorkbookCell made {cellText(value), {}};
            made.cut = Workbook::cutToCellLength(made.value);
            known = cells_.insert(value.value.text_value, made);
        }
        return *known;
    }

private:
    QHash<const char *, WorkbookCell> cells_;
};

WorkbookResult readOpened(const void *handle, int rowLimit)
{
    unsigned int info = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK
        && info == FREEXL_BIFF_OBFUSCATED)
        return WorkbookResult::failure(QStringLiteral("工作簿受密码保护"));
    unsigned int sheetCount = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheetCount) != FREEXL_OK
        || sheetCount == 0)
        return WorkbookResult::failure(QStringLiteral("工作簿已损坏：没有工作表"));
    if (sheetCount > unsigned(Workbook::maxSheets))
        return WorkbookResult::failure(QStringLiteral("工作簿已损坏：工作表过多"));

    WorkbookResult result;
    int cellBudget = Workbook::maxCells;
    SharedTexts shared;
    for (unsigned short index = 0; index < sheetCount; ++index) {
        const char *name = nullptr;
        freexl_get_worksheet_name(handle, index, &name);
        WorkbookSheet sheet(name ? QString::fromUtf8(name) : QString());
        unsigned int rows = 0;
        unsigned short columns = 0;
        if (freexl_select_active_worksheet(handle, index) != FREEXL_OK
            || freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK)
            return WorkbookResult::failure(QStringLiteral("工作簿已损坏：无法读取工作表"));
        rows = std::min(rows, unsigned(std::max(rowLimit, 0)));
        for (unsigned int row = 0; row < rows; ++row) {
            for (unsigned short column = 0; column < columns; ++column) {
                FreeXL_CellValue value;
                if (freexl_get_cell_value(handle, row, column, &value) != FREEXL_OK)
                    continue;
                const WorkbookCell cell = shared.cell(value);
                if (cell.isEmpty())
                    continue;
                if (--cellBudget < 0)
                    return WorkbookResult::failure(
                        QStringLiteral("工作簿中的单元格过多（超过 %1 个）")
                            .arg(Workbook::maxCells));
                sheet.setCell(int(row) + 1, int(column) + 1, cell);
            }
        }
        result.workbook.sheets.append(std::move(sheet));
    }
    return result;
}

} // namespace

WorkbookResult readXlsFile(const QString &path, int rowLimit)
{
    QByteArray localPath = QFile::encodeName(path);
    QTemporaryFile copy(QDir::tempPath() + QStringLiteral("/workbook-XXXXXX.xls"));
    if (QFile::decodeName(localPath) != path) {
        QFile source(path);
        if (!source.open(QIODevice::ReadOnly) || !copy.open()
            || copy.write(source.readAll()) != source.size() || !copy.flush())
            return WorkbookResult::failure(QStringLiteral("无法打开文件"));
        copy.close();
        localPath = QFile::encodeName(copy.fileName());
    }
    FreeXlHandle xls;
    const int opened = freexl_open(localPath.constData(), &xls.handle);
    if (opened != FREEXL_OK)
        return WorkbookResult::failure(
            QStringLiteral("不是有效的 .xls 工作簿或已损坏（错误代码 %1）").arg(opened));
    return readOpened(xls.handle, rowLimit);
}
