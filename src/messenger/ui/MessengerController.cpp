#include "messenger/ui/MessengerController.h"

#include "config/AppConfigMgr.h"
#include "widgets/CommandTable.h"

#include <QAction>

#include <exception>

using namespace Qt::StringLiterals;

TMessengerController::TMessengerController(TCommandTable& commands, TAppConfigMgr& config,
                                           TMessengerEnvironment environment, QObject* parent)
    : QObject(parent), m_commands(commands), m_config(config), m_env(std::move(environment))
{
    m_commands.Bind(Command::ShowMessager, this, [this] { ActivateMessenger(); });
    m_commands.Bind(Command::Messager, this, [this](bool checked) { m_config.Messager = checked; });
    m_commands.Bind(Command::HideOnStart, this, [this](bool checked) { m_config.HideOnStart = checked; });
}

TMessengerController::~TMessengerController()
{
    CloseMessenger();
}

void TMessengerController::Start()
{
    // A messenger hidden at start is never shown, rather than flashing up for a moment.
    if (m_config.Messager)
        m_config.Messager = CreateMessenger(!m_config.HideOnStart);
    m_commands.action(Command::Messager)->setChecked(m_config.Messager);
    m_commands.action(Command::HideOnStart)->setChecked(m_config.HideOnStart);
    if (m_form && m_config.HideOnStart)
        m_form->HideMessenger();
}

bool TMessengerController::CreateMessenger(bool show)
{
    if (m_form)
        return true;
    try {
        m_form = std::make_unique<TMessagerForm>(m_env);
    } catch (const std::exception&) {
        return false;
    }
    if (QAction* exit = m_form->Action(u"ActionExit"_s))
        exit->setVisible(false);
    // The window's own Exit (hidden here) would end it; it is then forgotten.
    connect(m_form.get(), &TMessagerForm::messengerShutDown, this, [this] {
        if (m_form)
            QMetaObject::invokeMethod(this, &TMessengerController::Forget, Qt::QueuedConnection);
    });
    if (show)
        m_form->ShowMessenger();
    return true;
}

void TMessengerController::ActivateMessenger()
{
    if (m_form && !m_form->IsShutDown()) {
        m_form->ShowMessenger();
        return;
    }
    if (m_form && m_form->DownloadBusy())
        return; // still unwinding the cancelled download
    m_form.reset();
    m_config.Messager = CreateMessenger();
    m_commands.action(Command::Messager)->setChecked(m_config.Messager);
}

void TMessengerController::CloseMessenger()
{
    if (!m_form)
        return;
    m_form->ShutdownMessenger();
    if (m_form->DownloadBusy()) {
        // Closed from inside a running download (the tray's Exit while the progress shows): the
        // shutdown cancelled it, and the window goes once the download's loop has unwound.
        TMessagerForm* form = m_form.get();
        connect(form, &TMessagerForm::downloadEnded, this, [this, form] {
            if (m_form.get() == form)
                QMetaObject::invokeMethod(this, &TMessengerController::Forget, Qt::QueuedConnection);
        });
        return;
    }
    m_form.reset();
}

void TMessengerController::EndSession()
{
    CloseMessenger();
}

void TMessengerController::SaveState()
{
    if (!m_form || m_form->IsShutDown())
        return;
    m_form->SaveState();
}

void TMessengerController::Forget()
{
    if (m_form && m_form->IsShutDown() && !m_form->DownloadBusy())
        m_form.reset();
}
