#include "crash_child.h"

#include <QCoreApplication>

#include <cstring>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // The crash test starts this same program as the child it kills.
    if (argc == 4 && std::strcmp(argv[1], crashChildOption) == 0)
        return runCrashChild(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
