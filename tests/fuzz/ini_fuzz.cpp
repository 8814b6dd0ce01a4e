// libFuzzer target for the settings file reader and writer (config.ini,
// peizi.ini). Besides not crashing, a value written into any file must read
// back as written, and a new section must appear beside whatever is there.

#include "common/ini_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const IniFile::Contents contents = IniFile::parse(bytes);
    (void)contents.read(QStringLiteral("ck1z"), QStringLiteral("ck1z"));

    // Blanks and quotes around it make the writer quote the value.
    const QString value = QStringLiteral(" \"仓库\" 1 ");
    const QList<IniFile::Setting> settings {{QStringLiteral("CK1Z"), QStringLiteral("ck1z"), value},
        {QStringLiteral("新节"), QStringLiteral("键"), QStringLiteral("x")}};
    const IniFile::Contents written = IniFile::parse(IniFile::withSettings(bytes, settings));
    if (written.read(QStringLiteral("ck1z"), QStringLiteral("CK1Z")) != value
        || written.read(QStringLiteral("新节"), QStringLiteral("键")) != QStringLiteral("x"))
        std::abort();
    return 0;
}
