#include "MainFormFixture.h"
#include "TestSupport.h"

#include "core/TextFile.h"
#include "notes/ui/PadMemo.h"
#include "widgets/BaseFrm.h"
#include "widgets/Layer.h"
#include "widgets/LayerList.h"
#include "widgets/PadTabSet.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QMenu>
#include <QTest>

using namespace Qt::StringLiterals;

void MainFormTest::SetUp()
{
    static const bool fonts = (InstallFontSubstitutions(), true);
    Q_UNUSED(fonts);
    ASSERT_TRUE(root.isValid());
    dataFolder = root.filePath(u"Data"_s);
    configFile = root.filePath(u"Config.ini"_s);
    for (QWidget* w : QApplication::topLevelWidgets())
        m_windowsBefore.append(w);
    dialogs.messageBox = [this](const TMsgBoxCall& call) {
        msgCalls.append(call);
        if (!msgAnswers.isEmpty())
            return msgAnswers.takeFirst();
        return call.buttons.Contains(MsgBoxButton::No) ? MsgResultNo : MsgResultOK;
    };
    dialogs.modal = [](QDialog& dialog) {
        ADD_FAILURE() << "unexpected modal dialog " << dialog.windowTitle().toStdString();
        return int(QDialog::Rejected);
    };
    QGuiApplication::clipboard()->clear();
    parser = std::make_unique<TExprParser>();
}

void MainFormTest::TearDown()
{
    // Held buttons would silence the page keys of the next test.
    EXPECT_EQ(QGuiApplication::mouseButtons(), Qt::NoButton);
    QApplication::processEvents();
    QStringList leaked;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != form.get() && w->isVisible())
            leaked << QString::fromLatin1(w->metaObject()->className()) + u' ' + w->objectName();
    EXPECT_TRUE(leaked.isEmpty()) << "windows left open: " << leaked.join(u", "_s).toStdString();
    Release();
    parser.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
    leaked.clear();
    for (QWidget* w : QApplication::topLevelWidgets())
        if (!m_windowsBefore.contains(w))
            leaked << QString::fromLatin1(w->metaObject()->className()) + u' ' + w->objectName();
    EXPECT_TRUE(leaked.isEmpty()) << "windows outliving the form: " << leaked.join(u", "_s).toStdString();
}

void MainFormTest::Build()
{
    store = std::make_unique<TDataManager>(dataFolder, platform.trash, nullptr, indexFile, storeClock);
    config = std::make_unique<TAppConfigMgr>(configFile);
    if (beforeForm)
        beforeForm(*config);
    TAppContext context;
    context.platform = &platform.services();
    context.parser = parser.get();
    context.dataManager = store.get();
    context.config = config.get();
    context.dialogs = &unattendedDialogs;
    context.useTray = false;
    context.hotKeyGrabber = [this] {
        auto fake = std::make_unique<FakeHotKeyGrabber>();
        grabber = fake.get();
        return std::unique_ptr<IHotKeyGrabber>(std::move(fake));
    };
    form = std::make_unique<TMainForm>(context);
}

void MainFormTest::Release()
{
    form.reset();
    grabber = nullptr;
    config.reset();
    store.reset();
}

void MainFormTest::Restart()
{
    Release();
    Build();
    Show();
}

void MainFormTest::Show()
{
    form->show();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    TPadMemo* editor = form->CurrentEditor();
    ASSERT_NE(editor, nullptr);
    editor->setFocus();
    ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() == editor; }));
}

QAction* MainFormTest::TrayItem() const
{
    return form->TrayPopupMenu()->findChild<QAction*>(u"TrayPopShowMainFormItem"_s);
}

QWidget* MainFormTest::Focused() const
{
    QWidget* focused = QApplication::focusWidget();
    return focused ? focused : form.get();
}

void MainFormTest::Key(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(Focused(), key, modifiers);
}

void MainFormTest::Key(char key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(Focused(), key, modifiers);
}

void MainFormTest::Type(const QString& text)
{
    QTest::keyClicks(Focused(), text);
}

QStringList MainFormTest::Tabs() const
{
    return form->TabSet()->Tabs().Captions();
}

void MainFormTest::SeedPage(const QString& name, int position, const QString& title, const QString& text)
{
    QDir().mkpath(dataFolder);
    const QString path = dataFolder + u'/' + name;
    WriteTextFileLines(path, QStringList{QString::number(position), title, QString()} + SplitLines(text));
    seeded.append(path);
}

void MainFormTest::StartWritingPageIndex()
{
    m_later.Set(QDateTime::currentDateTime().addSecs(4));
    storeClock = &m_later;
    indexFile = root.filePath(u"cache/pages.idx"_s);
    Build();
    Show();
    Release();
}

QStringList MainFormTest::FileLines(int position) const
{
    return ReadTextFileLines(store->fileName(position));
}

void MainFormTest::TagEditors()
{
    for (int i = 0; i < form->PageCount(); ++i)
        form->EditorAt(i)->setProperty("page", form->PageTitle(i));
}

void MainFormTest::ExpectOrders(const QStringList& titles)
{
    EXPECT_EQ(Tabs(), titles);
    ASSERT_EQ(form->PageCount(), titles.size());
    ASSERT_EQ(store->count(), titles.size());
    for (int i = 0; i < titles.size(); ++i) {
        const QVariant tag = form->EditorAt(i)->property("page");
        if (tag.isValid()) {
            EXPECT_EQ(tag.toString(), titles[i]) << "layer " << i;
        }
        const QStringList lines = FileLines(i);
        ASSERT_GE(lines.size(), 3) << "file " << i;
        EXPECT_EQ(lines[0], QString::number(i)) << "file " << i;
        EXPECT_EQ(lines[1], titles[i]) << "file " << i;
    }
    EXPECT_EQ(form->LayerList()->ActiveLayerIndex(), form->PageIndex());
}
