#include "data/movement_note.h"

#include <QStringList>

#include <cmath>

namespace {

const QString timeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

} // namespace

QString MovementNote::key()
{
    return QStringLiteral("movement");
}

QString MovementNote::toText() const
{
    return QStringLiteral("record=%1\nquantity=%2\namount=%3\ntime=%4")
        .arg(recordId)
        .arg(QString::number(quantity, 'g', 17), QString::number(amount, 'g', 17),
            time.toString(timeFormat));
}

std::optional<MovementNote> MovementNote::fromText(const QString &text)
{
    MovementNote note;
    unsigned found = 0; // one bit per field read
    for (const QString &line : text.split(u'\n', Qt::SkipEmptyParts)) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            return std::nullopt;
        const QString name = line.left(eq);
        const QString value = line.mid(eq + 1);
        bool ok = true;
        if (name == QLatin1String("record")) {
            note.recordId = value.toLongLong(&ok);
            found |= 1;
        } else if (name == QLatin1String("quantity")) {
            note.quantity = value.toDouble(&ok);
            found |= 2;
        } else if (name == QLatin1String("amount")) {
            note.amount = value.toDouble(&ok);
            found |= 4;
        } else if (name == QLatin1String("time")) {
            note.time = QDateTime::fromString(value, timeFormat);
            ok = note.time.isValid();
            found |= 8;
        } // anything else: a later version's addition
        if (!ok)
            return std::nullopt;
    }
    if (found != 15 || note.recordId <= 0 || !std::isfinite(note.quantity)
        || !std::isfinite(note.amount))
        return std::nullopt;
    return note;
}
