#include "data/item_backup.h"

#include "data/pair_replacement.h"

#include <QCryptographicHash>
#include <QStringList>

#include <limits>

namespace ItemBackup {
namespace {

// File systems take 255 bytes (Windows 255 UTF-16 units, never more than the
// UTF-8 bytes); the suffix .zrb or .edt comes on top.
constexpr qsizetype maxStemBytes = 255 - 4;

const QString encodedPrefix = QStringLiteral("~编码~");
const QString longMark = QStringLiteral("%~");

bool isRefused(QChar c)
{
    return c.unicode() < 0x20 || QStringView(u"\\/:*?\"<>|").contains(c);
}

// A surrogate without its partner has no UTF-8 form: the name on disk would
// be another one.
bool hasLoneSurrogate(const QString &name)
{
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name.at(i).isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate())
            ++i;
        else if (name.at(i).isSurrogate())
            return true;
    }
    return false;
}

bool isReservedDevice(const QString &name)
{
    static const QStringList reserved = [] {
        QStringList names = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
        for (const QString &digit : QStringList {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9",
                 QStringLiteral("¹"), QStringLiteral("²"), QStringLiteral("³")})
            names << QStringLiteral("COM") + digit << QStringLiteral("LPT") + digit;
        return names;
    }();
    const QString stem = name.section(u'.', 0, 0).trimmed();
    return reserved.contains(stem, Qt::CaseInsensitive);
}

QString percent(char16_t unit)
{
    const int width = unit > 0xFF ? 4 : 2;
    return QStringLiteral("%") + (width == 4 ? QStringLiteral("u") : QString())
        + QString::number(int(unit), 16).toUpper().rightJustified(width, u'0');
}

// The escaped form of one code point at `i` of the key (one or two units).
QString escapedAt(const QString &key, qsizetype i, qsizetype *units)
{
    const QChar c = key.at(i);
    *units = 1;
    if (c.isHighSurrogate() && i + 1 < key.size() && key.at(i + 1).isLowSurrogate()) {
        *units = 2;
        return key.mid(i, 2);
    }
    const bool last = i + 1 == key.size();
    if (c == u'%' || isRefused(c) || c.isSurrogate() || (last && (c == u'.' || c == u' ')))
        return percent(c.unicode());
    return QString(c);
}

QString escaped(const QString &key, qsizetype maxBytes, bool *whole)
{
    QString out;
    qsizetype bytes = 0;
    qsizetype units = 1;
    for (qsizetype i = 0; i < key.size(); i += units) {
        const QString part = escapedAt(key, i, &units);
        bytes += part.toUtf8().size();
        if (bytes > maxBytes) {
            *whole = false;
            return out;
        }
        out += part;
    }
    *whole = true;
    return out;
}

QString encoded(const QString &key)
{
    const qsizetype room = maxStemBytes - encodedPrefix.toUtf8().size();
    bool whole = false;
    const QString all = escaped(key, room, &whole);
    if (whole)
        return encodedPrefix + all;
    // The escaped key stands for the key one to one and, unlike the key, has
    // a UTF-8 form: its hash tells keys with the same beginning apart.
    const QString full = escaped(key, std::numeric_limits<qsizetype>::max(), &whole);
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(full.toUtf8(), QCryptographicHash::Sha256).toHex().left(32));
    const qsizetype cutRoom = room - longMark.size() - hash.size();
    return encodedPrefix + escaped(key, cutRoom, &whole) + longMark + hash;
}

} // namespace

QString receiptFolder(const QString &programDir)
{
    return programDir + QStringLiteral("/进库备份");
}

QString issueFolder(const QString &programDir)
{
    return programDir + QStringLiteral("/出库备份");
}

bool fitsEveryPlatform(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")
        || name.endsWith(u'.') || name.endsWith(u' ') || name.size() > maxStemBytes
        || name.toUtf8().size() > maxStemBytes)
        return false;
    // Our temporaries are removed at every start; Windows matches names
    // without regard to case.
    if (PairReplacement::isTemporaryName(name.toLower()))
        return false;
    for (const QChar c : name)
        if (isRefused(c))
            return false;
    return !hasLoneSurrogate(name) && !isReservedDevice(name);
}

bool isSafeFileName(const QString &name)
{
    return fitsEveryPlatform(name) && !name.startsWith(encodedPrefix);
}

QString fileStem(const QString &name, const QString &spec)
{
    const QString key = name + spec;
    return isSafeFileName(key) ? key : encoded(key);
}

QString path(const QString &folder, const QString &name, const QString &spec)
{
    return folder + u'/' + fileStem(name, spec) + QStringLiteral(".zrb");
}

} // namespace ItemBackup
