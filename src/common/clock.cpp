#include "common/clock.h"

QDateTime SystemClock::now() const
{
    // Whole seconds: times are stored and compared to the second, and a stray
    // millisecond would make two bookings of the same second differ.
    const QDateTime moment = QDateTime::currentDateTime();
    return moment.addMSecs(-moment.time().msec());
}
