#include "desktop/ui/DesktopCommands.h"

#include "core/Log.h"
#include "widgets/CommandTable.h"
#include "widgets/DialogService.h"
#include "widgets/InputFrm.h"

#include <QAction>
#include <QActionGroup>
#include <QGuiApplication>
#include <QWidget>

using namespace Qt::StringLiterals;

quintptr FindDesktopListView()
{
    if (QGuiApplication::platformName() == u"wayland"_s)
        return 1; // the library finds the compositor's output itself
    return X11RootWindow();
}

quintptr FindActiveDesktop()
{
    return 0;
}

TDesktopCommands::TDesktopCommands(TAppConfigMgr& config, IDeskHook& hook, IDesktopHost& host,
                                   IDialogService& dialogs, TDesktopWindows windows, QObject* parent)
    : QObject(parent), m_config(config), m_hook(hook), m_host(host), m_dialogs(dialogs),
      m_windows(std::move(windows))
{
}

void TDesktopCommands::BindCommands(TCommandTable& commands)
{
    m_actions = {commands.Claim(Command::OnDesktop),
                 commands.Claim(Command::ShowWallPaper),
                 commands.Claim(Command::DesktoFont),
                 commands.Claim(Command::SeperatorColor),
                 commands.Claim(Command::DesktopAligmentLeft),
                 commands.Claim(Command::DesktopAligmentMiddle),
                 commands.Claim(Command::DesktopAligmentRight),
                 commands.Claim(Command::AligmentSpace),
                 commands.Claim(Command::SignSeperator),
                 commands.Claim(Command::SignOnDesk),
                 commands.Claim(Command::OnDeskAll)};
    const TDesktopActions& a = m_actions;
    a.OnDesktopAction->setCheckable(true);
    a.ShowWallPaperAction->setCheckable(true);
    // The three alignment items form one radio group, whoever made them.
    QActionGroup* group = a.DesktopAligmentLeftAction->actionGroup();
    if (!group)
        group = new QActionGroup(this);
    int tag = 0;
    for (QAction* item :
         {a.DesktopAligmentLeftAction, a.DesktopAligmentMiddleAction, a.DesktopAligmentRightAction}) {
        item->setCheckable(true);
        if (item->actionGroup() != group)
            group->addAction(item);
        connect(item, &QAction::triggered, this, [this, tag] { DesktopAligmentActionExecute(tag); });
        ++tag;
    }
    connect(a.OnDesktopAction, &QAction::triggered, this, &TDesktopCommands::OnDesktopActionExecute);
    connect(a.ShowWallPaperAction, &QAction::triggered, this, &TDesktopCommands::ShowWallPaperActionExecute);
    connect(a.DesktoFontAction, &QAction::triggered, this, &TDesktopCommands::DesktoFontActionExecute);
    connect(a.SeperatorColorAction, &QAction::triggered, this,
            &TDesktopCommands::SeperatorColorActionExecute);
    connect(a.AligmentSpaceAction, &QAction::triggered, this, &TDesktopCommands::AligmentSpaceActionExecute);
    connect(a.SignSeperatorAction, &QAction::triggered, this, &TDesktopCommands::SignSeperatorActionExecute);
    connect(a.SignOnDeskAction, &QAction::triggered, this, &TDesktopCommands::SignOnDeskActionExecute);
    connect(a.OnDeskAllAction, &QAction::triggered, this, &TDesktopCommands::OnDeskAllActionExecute);
    connect(&m_config, &TAppConfigMgr::changed, this, [this](TSettingsAreas areas) {
        if (areas & TSettingsArea::Desktop)
            AfterSettingsConfirmed();
    });
}

void TDesktopCommands::showMessage(const QString& text, TDeskNoticeKind kind)
{
    if (kind == TDeskNoticeKind::Unsupported) {
        m_layerMissing = true;
        // A start says it only on standard error: the session goes on as if nothing was asked.
        if (m_starting)
            qCWarning(lcJotvane).noquote() << text;
        else
            tellUnsupported();
        return;
    }
    m_dialogs.MessageBox(m_host.OwnerWindow(), text,
                         kind == TDeskNoticeKind::Error ? MsgBoxKind::Error : MsgBoxKind::Information,
                         {MsgBoxButton::OK});
}

void TDesktopCommands::tellUnsupported()
{
    if (m_toldLayerMissing)
        return;
    m_toldLayerMissing = true;
    m_dialogs.ShowNotice(m_host.OwnerWindow(), kNoBackgroundLayerMessage);
}

bool TDesktopCommands::setDesktopDisplay(bool on)
{
    const QStringList lines = on ? m_host.FirstPageLines() : QStringList();
    const bool shown =
        SetDesktopDisplay(on, m_hook, m_config, lines, m_windows,
                          [this](const QString& text, TDeskNoticeKind kind) { showMessage(text, kind); });
    if (shown)
        m_sentLines = lines;
    return shown;
}

void TDesktopCommands::sendLines(const QStringList& pageLines)
{
    SendDesktopLines(m_hook, pageLines);
    m_sentLines = pageLines;
}

void TDesktopCommands::applySettings(const QStringList& pageLines)
{
    ApplyDesktopSettings(m_hook, m_config, pageLines);
    m_sentLines = pageLines;
}

void TDesktopCommands::RefreshMenu()
{
    const TDesktopActions& a = m_actions;
    a.ShowWallPaperAction->setChecked(m_config.ShowWallPaper);
    QAction* items[] = {a.DesktopAligmentLeftAction, a.DesktopAligmentMiddleAction,
                        a.DesktopAligmentRightAction};
    if (m_config.DesktopAligment < 3)
        items[m_config.DesktopAligment]->setChecked(true);
    a.AligmentSpaceAction->setText(kMarginCaptionPrefix + QString::number(m_config.AligmentSpace));
}

void TDesktopCommands::Startup()
{
    RefreshMenu();
    m_starting = true;
    const bool state = setDesktopDisplay(m_config.OnDesktop);
    m_starting = false;
    m_actions.OnDesktopAction->setChecked(state);
    m_config.OnDesktop = state;
}

void TDesktopCommands::AfterSettingsConfirmed()
{
    RefreshMenu();
    if (m_config.OnDesktop != m_actions.OnDesktopAction->isChecked())
        m_actions.OnDesktopAction->trigger(); // flips the mark to the new setting and runs the command
    else if (m_config.OnDesktop)
        applySettings(m_host.FirstPageLines());
}

void TDesktopCommands::MainWindowHiding(bool firstPageModified)
{
    const QStringList lines = m_host.FirstPageLines();
    if (firstPageModified || (m_sentLines && *m_sentLines != lines))
        sendLines(lines);
}

void TDesktopCommands::ReminderFired()
{
    sendLines(m_host.FirstPageLines());
}

void TDesktopCommands::Shutdown()
{
    if (m_config.OnDesktop)
        setDesktopDisplay(false);
}

void TDesktopCommands::OnDesktopActionExecute()
{
    // The item's mark has already flipped: it is the state asked for.
    const bool state = setDesktopDisplay(m_actions.OnDesktopAction->isChecked());
    m_actions.OnDesktopAction->setChecked(state);
    m_config.OnDesktop = state;
}

void TDesktopCommands::ShowWallPaperActionExecute()
{
    if (m_layerMissing)
        tellUnsupported();
    const bool show = m_actions.ShowWallPaperAction->isChecked();
    m_hook.SetShowDesktopWallPaper(show);
    m_config.ShowWallPaper = show;
}

void TDesktopCommands::DesktoFontActionExecute()
{
    if (m_layerMissing)
        tellUnsupported();
    TFontSetting font = m_config.DesktopFont();
    if (!m_host.PickFont(font))
        return;
    m_config.SetDesktopFont(font);
    ApplyDesktopFont(m_hook, m_config);
}

void TDesktopCommands::SeperatorColorActionExecute()
{
    if (m_layerMissing)
        tellUnsupported();
    TColor color = m_config.SeperatorColor;
    if (!m_host.PickColor(color))
        return;
    m_config.SeperatorColor = color;
    m_hook.SetEssayColor(m_config.SeperatorColor, m_config.DesktoFontColor);
}

void TDesktopCommands::DesktopAligmentActionExecute(int tag)
{
    if (m_layerMissing)
        tellUnsupported();
    m_config.DesktopAligment = static_cast<quint8>(tag);
    QAction* items[] = {m_actions.DesktopAligmentLeftAction, m_actions.DesktopAligmentMiddleAction,
                        m_actions.DesktopAligmentRightAction};
    items[tag]->setChecked(true);
    m_hook.SetEssayAligment(AlignmentCode(m_config.DesktopAligment), m_config.AligmentSpace);
}

void TDesktopCommands::AligmentSpaceActionExecute()
{
    if (m_layerMissing)
        tellUnsupported();
    QString answer = ProposedMargin(m_actions.AligmentSpaceAction->text());
    if (!InputTextDialog(m_dialogs, m_host.OwnerWindow(), u"Jotvane"_s, kMarginPrompt, true, false, answer))
        return;
    qint32 margin = 0;
    switch (ParseMargin(answer, margin)) {
    case TMarginAnswer::NotANumber:
        m_dialogs.MessageBox(m_host.OwnerWindow(), kMarginNotANumberMessage, MsgBoxKind::Error,
                             {MsgBoxButton::OK});
        return;
    case TMarginAnswer::Negative:
        m_dialogs.MessageBox(m_host.OwnerWindow(), kMarginNegativeMessage, MsgBoxKind::Information,
                             {MsgBoxButton::OK});
        return;
    case TMarginAnswer::Accepted:
        break;
    }
    // The caption keeps the answer as typed ("007"); the setting takes its value.
    m_actions.AligmentSpaceAction->setText(kMarginCaptionPrefix + answer);
    m_config.AligmentSpace = margin;
    m_hook.SetEssayAligment(AlignmentCode(m_config.DesktopAligment), m_config.AligmentSpace);
}

void TDesktopCommands::SignSeperatorActionExecute()
{
    m_host.PasteAtCaret(QString::fromUtf16(kDesktopSeparator));
}

void TDesktopCommands::SignOnDeskActionExecute()
{
    m_host.PasteAtCaret(QString::fromUtf16(kDesktopMarker));
}

void TDesktopCommands::OnDeskAllActionExecute()
{
    if (m_layerMissing)
        tellUnsupported();
    // The dialog applies what OK confirmed, this page's settings with AfterSettingsConfirmed.
    m_host.OpenSettings(kDesktopSettingsPage);
}
