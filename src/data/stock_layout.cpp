#include "data/stock_layout.h"

#include "data/record_store.h"

#include <QFileInfo>

namespace Stock {

const Layout &layout()
{
    static const Layout fields = {
        {QStringLiteral("品名"), FieldKind::Text},
        {QStringLiteral("规格型号"), FieldKind::Text},
        {QStringLiteral("单位"), FieldKind::Text},
        {QStringLiteral("数量"), FieldKind::Number},
        {QStringLiteral("单价"), FieldKind::Number},
        {QStringLiteral("金额"), FieldKind::Number},
        {QStringLiteral("出库数量"), FieldKind::Number},
        {QStringLiteral("出库金额"), FieldKind::Number},
        {QStringLiteral("出库日期"), FieldKind::DateTime},
        {QStringLiteral("出库记录"), FieldKind::Memo},
        {QStringLiteral("进库数量"), FieldKind::Number},
        {QStringLiteral("进库金额"), FieldKind::Number},
        {QStringLiteral("进库日期"), FieldKind::DateTime},
        {QStringLiteral("进库记录"), FieldKind::Memo},
        {QStringLiteral("报警数量"), FieldKind::Number},
        {QStringLiteral("本月出库数量"), FieldKind::Number},
        {QStringLiteral("本月出库金额"), FieldKind::Number},
        {QStringLiteral("本年出库数量"), FieldKind::Number},
        {QStringLiteral("本年出库金额"), FieldKind::Number},
        {QStringLiteral("本月进库数量"), FieldKind::Number},
        {QStringLiteral("本月进库金额"), FieldKind::Number},
        {QStringLiteral("本年进库数量"), FieldKind::Number},
        {QStringLiteral("本年进库金额"), FieldKind::Number},
    };
    return fields;
}

const QStringList &displayFields()
{
    static const QStringList names = {
        QStringLiteral("品名"),
        QStringLiteral("规格型号"),
        QStringLiteral("单位"),
        QStringLiteral("数量"),
        QStringLiteral("单价"),
        QStringLiteral("金额"),
        QStringLiteral("报警数量"),
    };
    return names;
}

bool isStockLayout(const Layout &candidate)
{
    return candidate == layout();
}

Status createEmptyFile(const QString &path)
{
    if (QFileInfo::exists(path))
        return Status::failure(QStringLiteral("文件 %1 已经存在").arg(path));
    return RecordStore::create(path, layout());
}

} // namespace Stock
