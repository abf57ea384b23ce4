// The X11 grabber where there is no X server: registration fails cleanly and says so.
#include "app/SysHotKey.h"
#include "platform/linux/X11HotKeyGrabber.h"

#include <gtest/gtest.h>

#include <QObject>

TEST(X11GrabWithoutDisplay, RegistrationFailsCleanly)
{
    if (X11HotKeyGrabber::isAvailable())
        GTEST_SKIP() << "an X11 connection exists: this case runs on the offscreen platform only";
    X11HotKeyGrabber grabber;
    int calls = 0;
    grabber.setActivationHandler([&](int) { ++calls; });
    EXPECT_FALSE(grabber.registerHotKey(0, QKeyCombination(Qt::ControlModifier, Qt::Key_D)));
    grabber.unregisterHotKey(0);
    grabber.unregisterHotKey(7);
    // The component on top of it keeps the item unregistered, and says so.
    QObject form;
    TSysHotKey component(&form, grabber);
    THotKeyItem* item = component.HotKeys().Add();
    item->SetHotKey(vkD, moControl);
    EXPECT_TRUE(item->Enabled());
    EXPECT_FALSE(item->Registered());
    EXPECT_EQ(calls, 0);
}
