#include <QApplication>
#include <QLoggingCategory>

#include <gtest/gtest.h>

// Every suite runs with a QApplication, on the offscreen platform unless the
// environment says otherwise, so window tests need no display.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
