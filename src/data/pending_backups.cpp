#include "data/pending_backups.h"

#include "common/file_system.h"
#include "data/item_backup.h"
#include "data/pair_replacement.h"
#include "data/record_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace PendingBackups {
namespace {

// A backup's content is a few pages of two small databases, mostly empty:
// compressed it costs the stock file a few kilobytes.
constexpr qsizetype maxContentBytes = 256 * 1024 * 1024;

QString folderName(const QString &folder)
{
    return QFileInfo(folder).fileName();
}

QString listKey(const QString &folder)
{
    return QStringLiteral("unflushed backups ") + folderName(folder);
}

QString contentKey(const QString &folder, const QString &target)
{
    return QStringLiteral("backup content ") + folderName(folder) + u'/' + target;
}

// A list comes from our own file, but its lines name files to write: only
// backup names inside the folder are taken.
bool isBackupName(const QString &target)
{
    return target.endsWith(QLatin1String(".zrb"))
        && ItemBackup::fitsEveryPlatform(target.chopped(4));
}

QString encode(const Content &content)
{
    const QByteArray raw = QByteArray::number(content.recordFile.size()) + '\n' + content.recordFile
        + content.companion;
    return QString::fromLatin1(qCompress(raw).toBase64());
}

bool decode(const QString &text, Content *content)
{
    const QByteArray raw = qUncompress(QByteArray::fromBase64(text.toLatin1()));
    const qsizetype newline = raw.indexOf('\n');
    bool ok = false;
    const qsizetype size = newline > 0 ? raw.left(newline).toLongLong(&ok) : -1;
    if (!ok || size <= 0 || size > raw.size() - newline - 1)
        return false;
    content->recordFile = raw.mid(newline + 1, size);
    content->companion = raw.mid(newline + 1 + size);
    return true;
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(maxContentBytes) : QByteArray();
}

Status writeFile(const QString &path, const QByteArray &bytes, bool durable)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || file.write(bytes) != bytes.size()
        || !file.flush()) {
        (void)FileSystem::removeIfExists(path);
        return Status::failure(QStringLiteral("无法写入 %1").arg(QDir::toNativeSeparators(path)));
    }
    file.close();
    return durable ? FileSystem::syncFile(path) : Status::success();
}

} // namespace

Status read(const QString &recordFile, const QString &companion, Content *content)
{
    content->recordFile = bytesOf(recordFile);
    content->companion = companion.isEmpty() ? QByteArray() : bytesOf(companion);
    if (content->recordFile.isEmpty() || (!companion.isEmpty() && content->companion.isEmpty()))
        return Status::failure(
            QStringLiteral("无法读取 %1").arg(QDir::toNativeSeparators(recordFile)));
    return Status::success();
}

QStringList targets(RecordFile &stock, const QString &folder, Status *status)
{
    QString text;
    *status = stock.readNote(listKey(folder), &text);
    QStringList result;
    for (const QString &line : text.split(u'\n', Qt::SkipEmptyParts))
        if (isBackupName(line) && !result.contains(line))
            result << line;
    return result;
}

Status setTargets(RecordFile &stock, const QString &folder, const QStringList &targets)
{
    const QString text = targets.isEmpty() ? QString() : targets.join(u'\n') + u'\n';
    return stock.writeNote(listKey(folder), text);
}

Status save(RecordFile &stock, const QString &folder, const QString &target, const Content &content,
    QString *stored)
{
    const QString text = encode(content);
    if (stored)
        *stored = text;
    return stock.writeNote(contentKey(folder, target), text);
}

Status stored(RecordFile &stock, const QString &folder, const QString &target, QString *text)
{
    return stock.readNote(contentKey(folder, target), text);
}

Status load(RecordFile &stock, const QString &folder, const QString &target, Content *content)
{
    QString text;
    if (Status s = stored(stock, folder, target, &text); !s)
        return s;
    if (!decode(text, content))
        return Status::failure(QStringLiteral("库存数据中 %1 的备份内容已损坏").arg(target));
    return Status::success();
}

Status forget(RecordFile &stock, const QString &folder, const QString &target)
{
    return stock.writeNote(contentKey(folder, target), QString());
}

Status putInPlace(
    const QString &folder, const QString &target, const Content &content, bool durable)
{
    const QString recordFile = folder + u'/' + target;
    const QString companion = RecordFile::companionPath(recordFile);
    Content now;
    now.recordFile = bytesOf(recordFile);
    now.companion = content.companion.isEmpty() ? QByteArray() : bytesOf(companion);
    if (now == content) {
        if (!durable)
            return Status::success();
        Status s = FileSystem::syncFile(recordFile);
        if (s && !content.companion.isEmpty())
            s = FileSystem::syncFile(companion);
        return s;
    }
    if (!QDir().mkpath(folder))
        return Status::failure(QStringLiteral("无法建立文件夹 %1").arg(folder));
    const QString stem = PairReplacement::newStem();
    const QString newRecordFile = PairReplacement::temporaryPath(folder, stem, ".zrb");
    const QString newCompanion = content.companion.isEmpty()
        ? QString()
        : PairReplacement::temporaryPath(folder, stem, ".edt");
    Status s = writeFile(newRecordFile, content.recordFile, durable);
    if (s && !newCompanion.isEmpty())
        s = writeFile(newCompanion, content.companion, durable);
    // The companion first, so that its record file, renamed last, finds it.
    QList<PairReplacement::Move> moves;
    if (!newCompanion.isEmpty())
        moves.append({QFileInfo(newCompanion).fileName(), QFileInfo(companion).fileName()});
    moves.append({QFileInfo(newRecordFile).fileName(), target});
    if (s)
        s = PairReplacement::applyMoves(folder, moves, false);
    if (!s)
        PairReplacement::discard(newRecordFile, newCompanion);
    return s;
}

Status settle(RecordFile &stock, const QString &folder, const QStringList &only)
{
    Status s;
    QStringList listed = targets(stock, folder, &s);
    if (!s || listed.isEmpty())
        return s;
    QStringList done;
    for (const QString &target : std::as_const(listed)) {
        if (!only.isEmpty() && !only.contains(target))
            continue;
        Content content;
        // A damaged note has nothing to write again: it leaves the list.
        if (load(stock, folder, target, &content)) {
            if (s = putInPlace(folder, target, content, true); !s)
                return s;
        }
        done << target;
    }
    if (done.isEmpty())
        return s;
    if (s = FileSystem::syncDirectory(folder); !s)
        return s;
    RecordFile::Transaction transaction(stock);
    if (s = transaction.begin(); !s)
        return s;
    for (const QString &target : std::as_const(done)) {
        listed.removeOne(target);
        if (s = forget(stock, folder, target); !s)
            return s;
    }
    if (s = setTargets(stock, folder, listed); !s)
        return s;
    return transaction.commit();
}

} // namespace PendingBackups
