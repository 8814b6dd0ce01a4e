#include "sweep_child.h"

#include <QCoreApplication>

#include <cstring>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // The sweep starts this same program as the child it kills or starves.
    if (argc == 6 && std::strcmp(argv[1], sweepChildOption) == 0)
        return runSweepChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
            std::atol(argv[4]), std::atoi(argv[5]));
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
