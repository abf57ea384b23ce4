#pragma once

#include "FakeDialogService.h"
#include "FakeHotKeyGrabber.h"
#include "FakePlatform.h"
#include "TestClock.h"
#include "app/MainFrm.h"
#include "config/AppConfigMgr.h"
#include "core/Clock.h"
#include "notes/DataManager.h"
#include "templates/ExprParser.h"
#include "widgets/CommandTable.h"
#include "widgets/MsgBox.h"
#include "widgets/UnattendedDialogs.h"

#include <gtest/gtest.h>

#include <QList>
#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <ostream>

class TPadMemo;

// Readable failure messages for texts and lists of texts.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

// A note window on its own temporary Data folder and Config.ini, with the fake platform, no
// tray and a recording hotkey grabber. Message boxes are answered from a queue and recorded.
class MainFormTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the page store, the settings and the window, in the order the program does;
    // beforeForm (when set) adjusts the settings before the window reads them.
    void Build();
    // Releases the window, then the settings (which write Config.ini), then the store.
    void Release();
    // Release, Build and Show again on the same folder and Config.ini.
    void Restart();
    // Shows the window, makes it active and puts the focus into the current editor.
    void Show();

    // The focused widget, which a user's keys reach.
    QWidget* Focused() const;
    // The tray menu's show/hide item.
    QAction* TrayItem() const;
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void Key(char key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // Types text into the focused editor.
    void Type(const QString& text);

    QStringList Tabs() const;
    // The lines of the page file at a position of the store.
    QStringList FileLines(int position) const;
    // Labels every editor with its current title, so that a later check can tell which page's
    // editor sits in which layer.
    void TagEditors();
    // Writes a page file into the Data folder, as a page of an earlier run; kept in seeded.
    void SeedPage(const QString& name, int position, const QString& title, const QString& text);
    // From now on the store keeps a page index, and its starts come four seconds after the files
    // were written (only files left alone for a few seconds go into the index); a first start,
    // shown and released, writes the index.
    void StartWritingPageIndex();

    // Tabs, layers (by their labels, where set), page files and the store all in this order,
    // with line 1 of every file its position and the current page's layer the active one.
    void ExpectOrders(const QStringList& titles);

    // Message boxes: answers are taken from the front of msgAnswers; without one, a question is
    // answered No and a notice OK.
    QList<TMsgBoxCall> msgCalls;
    QList<int> msgAnswers;

    QTemporaryDir root;
    QString dataFolder;
    QString configFile;
    QString indexFile;                  // the store's page index; none when empty
    const IClock* storeClock = nullptr; // when the store's scan begins; the system's clock when none
    QStringList seeded;                 // the page files SeedPage wrote
    FakePlatform platform;
    FakeDialogService dialogs;
    // What the window asks through, as the program's: the fake, unattended within a scope.
    TUnattendedDialogs unattendedDialogs{dialogs};
    FakeHotKeyGrabber* grabber = nullptr;
    std::function<void(TAppConfigMgr&)> beforeForm;
    std::unique_ptr<TExprParser> parser;
    std::unique_ptr<TDataManager> store;
    std::unique_ptr<TAppConfigMgr> config;
    std::unique_ptr<TMainForm> form;

private:
    QList<QPointer<QWidget>> m_windowsBefore;
    TTestClock m_later;
};
