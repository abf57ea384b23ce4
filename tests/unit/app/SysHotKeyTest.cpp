#include "app/SysHotKey.h"

#include "FakeHotKeyGrabber.h"

#include <gtest/gtest.h>

#include <QObject>
#include <QStringList>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

QKeyCombination Combo(Qt::KeyboardModifiers modifiers, Qt::Key key)
{
    return QKeyCombination(modifiers, key);
}

class SysHotKeyTest : public ::testing::Test
{
protected:
    // Records the notifications of the component and of its items, in order.
    void Watch(TSysHotKey& component)
    {
        QObject::connect(&component, &TSysHotKey::OnHotKeys, &context,
                         [this, &component](TSysHotKey* sender, int index) {
                             events.append((sender == &component ? u"component:"_s : u"other:"_s) +
                                           QString::number(index));
                         });
        for (int i = 0; i < component.HotKeys().Count(); ++i) {
            THotKeyItem* item = component.HotKeys().Items(i);
            QObject::connect(
                item, &THotKeyItem::OnHotKey, &context, [this, &component, item](TSysHotKey* sender) {
                    events.append((sender == &component ? u"item:"_s : u"other:"_s) + item->DisplayName());
                });
        }
    }

    QObject owner;
    QObject context;
    FakeHotKeyGrabber grabber;
    QStringList events;
};

} // namespace

TEST_F(SysHotKeyTest, CreationNeedsAnOwnerWithoutAnotherComponent)
{
    try {
        TSysHotKey orphan(nullptr, grabber);
        FAIL() << "created without an owner";
    } catch (const ESysHotKeyError& error) {
        EXPECT_EQ(error.message(), u"The owner of TSysHotKey cannot be nil"_s);
    }
    auto first = std::make_unique<TSysHotKey>(&owner, grabber);
    EXPECT_EQ(first->parent(), &owner);
    FakeHotKeyGrabber second;
    try {
        TSysHotKey twin(&owner, second);
        FAIL() << "a second component on one owner";
    } catch (const ESysHotKeyError& error) {
        EXPECT_EQ(error.message(), u"No more than one TSysHotKey component on a form"_s);
    }
    // The refused component left nothing behind: the owner keeps one, and another owner may have one.
    EXPECT_EQ(owner.findChildren<TSysHotKey*>().size(), 1);
    QObject otherOwner;
    EXPECT_NO_THROW(TSysHotKey(&otherOwner, second));
    first.reset();
    EXPECT_NO_THROW(TSysHotKey(&owner, second));
}

TEST_F(SysHotKeyTest, NewItemIsEnabledWithoutKeyAndNotRegistered)
{
    TSysHotKey component(&owner, grabber);
    THotKeyItem* item = component.HotKeys().Add();
    EXPECT_TRUE(item->Enabled());
    EXPECT_EQ(item->Modifiers(), THotKeyModifiers());
    EXPECT_EQ(item->VirtualKey(), vkNone);
    EXPECT_FALSE(item->Registered());
    EXPECT_EQ(item->Index(), 0);
    EXPECT_EQ(item->DisplayName(), u"None"_s);
    // Modifiers alone register nothing.
    item->SetModifiers(moControl);
    EXPECT_FALSE(item->Registered());
    EXPECT_TRUE(grabber.calls.isEmpty());
}

TEST_F(SysHotKeyTest, SettingsKeyRegistersUnderTheItemIndex)
{
    TSysHotKey component(&owner, grabber);
    THotKeyItem* item = component.HotKeys().Add();
    // HotKeyBase 37 with HotKeyModifiers 2, the defaults: Ctrl+D.
    item->SetHotKey(VirtualKeyFromOrdinal(37), ModifiersFromMask(2));
    EXPECT_TRUE(item->Registered());
    EXPECT_EQ(grabber.calls, QStringList{u"+0:Ctrl+D"_s});
    EXPECT_EQ(grabber.registered.value(0), Combo(Qt::ControlModifier, Qt::Key_D));
    EXPECT_EQ(item->DisplayName(), u"Control_D"_s);
    // The same combination again changes nothing.
    item->SetHotKey(vkD, moControl);
    item->SetVirtualKey(vkD);
    item->SetModifiers(moControl);
    EXPECT_EQ(grabber.calls.size(), 1);
}

TEST_F(SysHotKeyTest, ChangingKeyOrModifiersRegistersTheNewCombination)
{
    TSysHotKey component(&owner, grabber);
    THotKeyItem* item = component.HotKeys().Add();
    item->SetHotKey(vkD, moControl);
    item->SetVirtualKey(vkF12);
    item->SetModifiers(moShift | moControl | moAlt | moWin);
    item->SetHotKey(vkNumpad1, moAlt);
    EXPECT_EQ(grabber.calls, (QStringList{u"+0:Ctrl+D"_s, u"-0"_s, u"+0:Ctrl+F12"_s, u"-0"_s,
                                          u"+0:Meta+Ctrl+Alt+Shift+F12"_s, u"-0"_s, u"+0:Alt+Num+1"_s}));
    EXPECT_EQ(grabber.registered.value(0), Combo(Qt::AltModifier | Qt::KeypadModifier, Qt::Key_1));
    EXPECT_EQ(item->DisplayName(), u"Alt_Numpad1"_s);
    item->SetHotKey(vkF1, moWin | moShift);
    EXPECT_EQ(item->DisplayName(), u"ShiftWin_F1"_s);
}

TEST_F(SysHotKeyTest, DisabledItemHoldsNoKeyUntilEnabled)
{
    TSysHotKey component(&owner, grabber);
    THotKeyItem* item = component.HotKeys().Add();
    item->SetHotKey(vkD, moControl);
    item->SetEnabled(false);
    EXPECT_FALSE(item->Registered());
    // While the settings dialog is open the new key is stored but not taken.
    item->SetHotKey(vkE, moAlt);
    EXPECT_FALSE(grabber.isRegistered(0));
    item->SetEnabled(false);
    item->SetEnabled(true);
    item->SetEnabled(true);
    EXPECT_TRUE(item->Registered());
    EXPECT_EQ(grabber.calls, (QStringList{u"+0:Ctrl+D"_s, u"-0"_s, u"+0:Alt+E"_s}));
}

TEST_F(SysHotKeyTest, NoKeySwitchesTheItemOff)
{
    TSysHotKey component(&owner, grabber);
    THotKeyItem* item = component.HotKeys().Add();
    item->SetHotKey(vkD, moControl);
    item->SetVirtualKey(vkNone);
    EXPECT_FALSE(item->Enabled());
    EXPECT_FALSE(item->Registered());
    EXPECT_TRUE(grabber.registered.isEmpty());
    // A key set later stays off until the item is enabled again.
    item->SetVirtualKey(vkD);
    EXPECT_FALSE(item->Registered());
    component.EnableAll();
    EXPECT_TRUE(item->Registered());
    // A hand-edited HotKeyBase beyond the table is no key either.
    item->SetHotKey(VirtualKeyFromOrdinal(200), moControl);
    EXPECT_FALSE(item->Enabled());
    EXPECT_FALSE(item->Registered());
    EXPECT_EQ(grabber.calls, (QStringList{u"+0:Ctrl+D"_s, u"-0"_s, u"+0:Ctrl+D"_s, u"-0"_s}));
}

TEST_F(SysHotKeyTest, TakenCombinationLeavesTheItemUnregistered)
{
    grabber.taken.insert(Combo(Qt::ControlModifier, Qt::Key_D).toCombined());
    TSysHotKey component(&owner, grabber);
    THotKeyItem* item = component.HotKeys().Add();
    Watch(component);
    item->SetHotKey(vkD, moControl);
    EXPECT_TRUE(item->Enabled());
    EXPECT_FALSE(item->Registered());
    EXPECT_FALSE(grabber.press(0));
    EXPECT_TRUE(events.isEmpty());
    // Disabling an item that holds nothing releases nothing; another key works.
    item->SetEnabled(false);
    item->SetEnabled(true);
    item->SetVirtualKey(vkE);
    EXPECT_TRUE(item->Registered());
    EXPECT_EQ(grabber.calls, (QStringList{u"!0:Ctrl+D"_s, u"!0:Ctrl+D"_s, u"+0:Ctrl+E"_s}));
}

TEST_F(SysHotKeyTest, PressNotifiesTheItemThenTheComponent)
{
    TSysHotKey component(&owner, grabber);
    component.HotKeys().Add()->SetHotKey(vkD, moControl);
    component.HotKeys().Add()->SetHotKey(vkD, moControl | moAlt);
    Watch(component);
    ASSERT_TRUE(grabber.press(1));
    ASSERT_TRUE(grabber.press(0));
    EXPECT_EQ(events,
              (QStringList{u"item:ControlAlt_D"_s, u"component:1"_s, u"item:Control_D"_s, u"component:0"_s}));
}

TEST_F(SysHotKeyTest, SameCombinationOnTwoItemsRegistersOnce)
{
    TSysHotKey component(&owner, grabber);
    THotKeyItem* first = component.HotKeys().Add();
    THotKeyItem* second = component.HotKeys().Add();
    first->SetHotKey(vkD, moControl);
    second->SetHotKey(vkD, moControl);
    EXPECT_TRUE(first->Registered());
    EXPECT_FALSE(second->Registered());
}

TEST_F(SysHotKeyTest, EnableAllAndDisableAllGoInIndexOrder)
{
    TSysHotKey component(&owner, grabber);
    component.HotKeys().Add()->SetHotKey(vkA, moControl);
    component.HotKeys().Add()->SetHotKey(vkB, moControl);
    component.HotKeys().Add(); // no key: never registered
    grabber.calls.clear();
    component.DisableAll();
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(component.HotKeys().Items(i)->Enabled());
    component.EnableAll();
    EXPECT_EQ(grabber.calls, (QStringList{u"-0"_s, u"-1"_s, u"+0:Ctrl+A"_s, u"+1:Ctrl+B"_s}));
    EXPECT_TRUE(component.HotKeys().Items(2)->Enabled());
    EXPECT_FALSE(component.HotKeys().Items(2)->Registered());
}

// The window system knows an item by its index: after a deletion the later items must answer to
// their new index, or a press would reach the wrong item and the old ids could never be released.
TEST_F(SysHotKeyTest, DeletingAnItemMovesTheLaterRegistrationsDown)
{
    TSysHotKey component(&owner, grabber);
    THotKeys& keys = component.HotKeys();
    keys.Add()->SetHotKey(vkA, moControl);
    keys.Add()->SetHotKey(vkB, moControl);
    keys.Add()->SetHotKey(vkC, moControl);
    keys.Delete(0);
    ASSERT_EQ(keys.Count(), 2);
    EXPECT_EQ(keys.Items(0)->DisplayName(), u"Control_B"_s);
    EXPECT_EQ(keys.Items(1)->Index(), 1);
    EXPECT_EQ(grabber.registered, (QMap<int, QKeyCombination>{{0, Combo(Qt::ControlModifier, Qt::Key_B)},
                                                              {1, Combo(Qt::ControlModifier, Qt::Key_C)}}));
    Watch(component);
    ASSERT_TRUE(grabber.press(1));
    EXPECT_EQ(events, (QStringList{u"item:Control_C"_s, u"component:1"_s}));
    keys.Delete(5); // outside: ignored
    keys.Delete(1);
    EXPECT_EQ(grabber.registered.keys(), QList<int>{0});
    EXPECT_EQ(keys.Items(1), nullptr);
    EXPECT_EQ(keys.Items(-1), nullptr);
}

TEST_F(SysHotKeyTest, DestroyingReleasesEveryHotKey)
{
    {
        TSysHotKey component(&owner, grabber);
        component.HotKeys().Add()->SetHotKey(vkA, moControl);
        component.HotKeys().Add()->SetHotKey(vkB, moAlt);
        component.HotKeys().Clear();
        EXPECT_TRUE(grabber.registered.isEmpty());
        EXPECT_EQ(component.HotKeys().Count(), 0);
        component.HotKeys().Add()->SetHotKey(vkC, moWin);
    }
    EXPECT_TRUE(grabber.registered.isEmpty());
    // The component's owner destroys it, and with it its registrations.
    auto form = std::make_unique<QObject>();
    auto* component = new TSysHotKey(form.get(), grabber);
    component->HotKeys().Add()->SetHotKey(vkD, moControl);
    EXPECT_TRUE(grabber.isRegistered(0));
    form.reset();
    EXPECT_TRUE(grabber.registered.isEmpty());
    // A press arriving for an id after the component is gone reaches nobody.
    grabber.registerHotKey(0, Combo(Qt::ControlModifier, Qt::Key_D));
    EXPECT_TRUE(grabber.press(0));
}

TEST_F(SysHotKeyTest, ComponentWithAGrabberOfItsOwn)
{
    auto own = std::make_unique<FakeHotKeyGrabber>();
    FakeHotKeyGrabber* fake = own.get();
    auto* component = new TSysHotKey(&owner, std::move(own));
    EXPECT_EQ(&component->grabber(), fake);
    component->HotKeys().Add()->SetHotKey(vkD, moControl);
    Watch(*component);
    ASSERT_TRUE(fake->press(0));
    EXPECT_EQ(events, (QStringList{u"item:Control_D"_s, u"component:0"_s}));
    delete component;
    EXPECT_THROW(TSysHotKey(&owner, std::unique_ptr<IHotKeyGrabber>()), std::invalid_argument);
    EXPECT_THROW(TSysHotKey(nullptr, std::make_unique<FakeHotKeyGrabber>()), ESysHotKeyError);
}
