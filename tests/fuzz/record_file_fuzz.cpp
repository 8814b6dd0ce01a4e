// libFuzzer target for opening a record file (.zrb) that came from anywhere
// (a restore, a backup folder): open must refuse a foreign or damaged file
// with a reason or open it, and reading every field of its records must not
// crash, nor does a sorted copy of it.

#include "data/record_store.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fuzz.zrb"));
    for (const QString &name : {path, RecordStore::companionPath(path), path + "-journal"})
        QFile::remove(name);
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)
            || file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
            std::abort();
    }
    RecordStore store;
    if (!store.open(path, QStringLiteral("fuzz"))) {
        if (store.lastError().isEmpty())
            std::abort(); // a refusal always says why
        return 0;
    }
    // A few records are enough to reach every kind of field.
    for (store.first(); !store.atEnd() && store.recordNumber() <= 20; store.skip()) {
        for (int field = 1; field <= store.fieldCount(); ++field)
            (void)store.readText(field);
        (void)store.isDeleted();
    }
    // A sorted copy maps every id of the file to its new place; it may fail
    // with a reason, never crash.
    const QString sorted = dir.filePath(QStringLiteral("sorted.zrb"));
    for (const QString &name : {sorted, RecordStore::companionPath(sorted)})
        QFile::remove(name);
    if (!store.sortTo(sorted, 1, true) && store.lastError().isEmpty())
        std::abort();
    store.closeAll();
    return 0;
}
