#include <QCoreApplication>

#include <gtest/gtest.h>

// The main of test programs of logic without windows: a QCoreApplication, so
// that these programs link no Qt Gui.
int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
