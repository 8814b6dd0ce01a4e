#pragma once

#include "common/reader_threads.h"

#include <gtest/gtest.h>

#include <string>

// A test over both ways a long read goes: with one reader thread and with two,
// whatever the machine has. The fixture derives from this as well; the count
// holds for the test's whole run.
class ReaderThreadsParam : public testing::WithParamInterface<int>
{
protected:
    ReaderThreadsParam() { setReaderThreads(GetParam()); }
    ~ReaderThreadsParam() { setReaderThreads(0); }
};

inline std::string readerThreadsName(const testing::TestParamInfo<int> &info)
{
    return info.param == 1 ? "OneThread" : "TwoThreads";
}

#define INSTANTIATE_READER_THREADS(suite)                                                          \
    INSTANTIATE_TEST_SUITE_P(ReaderThreads, suite, testing::Values(1, 2), readerThreadsName)
