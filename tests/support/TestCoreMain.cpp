// One QCoreApplication for a model test binary: model code runs without Qt Gui, and a suite that
// reaches for it (a font, a widget, a picture) fails here instead of passing by chance.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "TestSupport.h"

int main(int argc, char** argv)
{
    IsolateFromUserEnvironment();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Jotvane"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
