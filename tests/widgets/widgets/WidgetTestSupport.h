#pragma once

#include "FakeDialogService.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QString>
#include <QWidget>

#include <functional>

// Base fixture of the widget tests: the base fonts installed and no top-level window leaked by a
// test. Its dialog service shows the real dialogs unless a test answers them.
class WidgetTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    FakeDialogService dialogs;
};

// Runs action on the modal dialog that the next nested loop shows, as soon as it is up. The
// action gets the dialog; keys go to its focus widget, as a user's would.
void WhenModal(std::function<void(QWidget* dialog)> action);
// The dialog's focus widget, or the dialog.
QWidget* KeyTarget(QWidget* dialog);
// Types text into widget one key event per character; unlike QTest::keyClicks it takes
// characters outside ASCII.
void TypeText(QWidget* widget, const QString& text);
// The events of a real double-click: press, release, double-click, release.
void DoubleClick(QWidget* widget, const QPoint& pos);
