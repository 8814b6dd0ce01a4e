#include "support/test_child.h"

#include <QApplication>

#include <gtest/gtest.h>

// The main of test programs that need widgets: a QApplication on the
// offscreen platform unless another one is asked for; or the child the
// arguments ask for.
int main(int argc, char **argv)
{
    if (const int child = runRegisteredChild(argc, argv); child >= 0)
        return child;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
