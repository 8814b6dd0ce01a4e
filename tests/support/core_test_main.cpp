#include "support/test_child.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

// The main of test programs of logic without windows: a QCoreApplication, so
// that these programs link no Qt Gui; or the child the arguments ask for.
int main(int argc, char **argv)
{
    if (const int child = runRegisteredChild(argc, argv); child >= 0)
        return child;
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
