#include "stock_fixture.h"

#include "common/value_text.h"
#include "data/record_store.h"
#include "data/stock_layout.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

#include <map>

namespace {

// WAREHOUSE_BENCH_DIR keeps the files for profiling one case by hand
// (bench --child CASE DIR/program100000); else they go with the run.
QDir workDir()
{
    static QTemporaryDir temporary;
    const QString kept = qEnvironmentVariable("WAREHOUSE_BENCH_DIR");
    if (!kept.isEmpty() && QDir().mkpath(kept))
        return QDir(kept);
    return QDir(temporary.path());
}

} // namespace

QString workPath(const QString &name)
{
    return workDir().filePath(name);
}

const QString &stockFile(int items)
{
    static std::map<int, QString> made;
    auto it = made.find(items);
    if (it != made.end())
        return it->second;
    const QString path = workPath(QStringLiteral("stock%1.zrb").arg(items));
    if (!Stock::createEmptyFile(path))
        std::abort();
    RecordStore store;
    if (!store.open(path, Stock::alias()))
        std::abort();
    RecordStore::Transaction transaction(store);
    for (int i = 1; i <= items; ++i) {
        const QDateTime issued(today.addDays(-(i % 400)), QTime(9, 5));
        const double quantity = i % 50;
        const bool added
            = store.add({QStringLiteral("材料%1").arg(i), QStringLiteral("型号-%1").arg(i % 97),
                QStringLiteral("个"), quantity, 12.5, 12.5 * quantity, 1.0, 12.5, issued,
                QStringLiteral("数量 1 金额 12.5 部门 供电所 经手 张三  时间 %1\r\n")
                    .arg(dateTimeText(issued)),
                2.0, 25.0, issued.addDays(-3),
                QStringLiteral("数量 2 单价 12.5 金额 25 入库后均价 12.5 数量 %1 时间 %2\r\n")
                    .arg(quantity)
                    .arg(dateTimeText(issued.addDays(-3))),
                i % 12 == 0 ? quantity + 1 : 0.0, 3.0, 37.5, 9.0, 112.5, 4.0, 50.0, 8.0, 100.0});
        if (!added)
            std::abort();
    }
    if (!transaction.commit())
        std::abort();
    return made.emplace(items, path).first->second;
}

QString programDirWith(int items)
{
    const QString dir = workPath(QStringLiteral("program%1").arg(items));
    if (QDir(dir).exists())
        return dir;
    QDir().mkpath(dir);
    const QString source = stockFile(items);
    QFile::copy(source, dir + QStringLiteral("/data.zrb"));
    QFile::copy(RecordStore::companionPath(source), dir + QStringLiteral("/data.edt"));
    return dir;
}
