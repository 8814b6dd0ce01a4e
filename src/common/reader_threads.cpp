#include "common/reader_threads.h"

#include <QThread>

#include <algorithm>
#include <atomic>

namespace {

std::atomic<int> chosen {0}; // 0: the machine's count

} // namespace

int readerThreads()
{
    const int threads = chosen.load(std::memory_order_relaxed);
    // Qt counts the cores this process may run on (taskset included).
    return threads > 0 ? threads : std::max(QThread::idealThreadCount(), 1);
}

void setReaderThreads(int threads)
{
    chosen.store(std::max(threads, 0), std::memory_order_relaxed);
}
