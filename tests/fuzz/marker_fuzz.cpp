// libFuzzer target for the start-up roll-forward of an interrupted pair
// replacement: the input is the intent marker. Whatever it says, start-up
// must not crash, must touch nothing outside the program's folder, and must
// leave none of its temporaries behind once it reports success.

#include "data/pair_replacement.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void put(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("program"));
    QDir(folder).removeRecursively();
    if (!QDir(root.path()).mkpath(QStringLiteral("program")))
        std::abort();
    put(root.filePath(QStringLiteral("outside.zrb")), "outside");
    put(folder + QStringLiteral("/data.zrb"), "old");
    put(folder + QStringLiteral("/~wh-a.zrb"), "new");
    put(folder + QStringLiteral("/~wh-a.edt"), "new memo");
    put(folder + QStringLiteral("/~wh-fuzz.replace"),
        QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));

    const Status recovered = PairReplacement::recover(folder);

    const QStringList around = QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    if (around != QStringList({QStringLiteral("outside.zrb"), QStringLiteral("program")}))
        std::abort();
    QFile outside(root.filePath(QStringLiteral("outside.zrb")));
    if (!outside.open(QIODevice::ReadOnly) || outside.readAll() != "outside")
        std::abort();
    if (recovered
        && !QDir(folder)
                .entryList({QStringLiteral("~wh-*")}, QDir::AllEntries | QDir::Hidden)
                .isEmpty())
        std::abort();
    return 0;
}
