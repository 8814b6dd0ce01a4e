#include "misbehaving_child.h"
#include "workbook/workbook_reader.h"

#include <QApplication>

#include <gtest/gtest.h>

// Like the other widget test programs, and also the reading child that the
// workbook reader starts from this same executable.
int main(int argc, char **argv)
{
    if (const int child = runMisbehavingChild(argc, argv); child >= 0)
        return child;
    if (const int child = runWorkbookReaderChild(argc, argv); child >= 0)
        return child;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
