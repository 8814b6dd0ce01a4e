#include <QGuiApplication>

#include <gtest/gtest.h>

// A QGuiApplication as the program has one: fonts and printers need it, and it
// sets the C library's locale from the environment just as the program does.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
