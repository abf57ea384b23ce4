// One QApplication for a widget test binary; the platform is offscreen (set by CTest).
#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>

#include "TestSupport.h"

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    IsolateFromUserEnvironment();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Jotvane"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
