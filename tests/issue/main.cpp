#include "issue_crash_child.h"

#include <QCoreApplication>

#include <cstring>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // The crash test starts this same program as the child it kills.
    if (argc == 3 && std::strcmp(argv[1], issueCrashOption) == 0)
        return bookNoteAsChild(QString::fromLocal8Bit(argv[2]));
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
