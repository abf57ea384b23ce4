#pragma once

#include "messenger/ProtocolHooks.h"

#include <memory>

class IDatagramSocket;
class IDialogService;
class IHotKeyGrabber;
class TMessagerForm;

// The parts the messenger window makes for itself when it is created; tests make their own.
class IMessengerParts
{
public:
    virtual ~IMessengerParts() = default;
    // The datagram socket of the protocol.
    virtual std::unique_ptr<IDatagramSocket> socket() = 0;
    // The grabber of the messenger's own hotkey.
    virtual std::unique_ptr<IHotKeyGrabber> hotKeyGrabber() = 0;
    // The list that takes in the peers' offers, from the window's offer row (the controls
    // ComboBoxAttachment, btnSendInfo, btnAddFile, btnAddDir, btnDelFileDir, btnSaveFileDir,
    // btnClearFileDir); nullptr: the window's own list, which only shows what was offered.
    virtual std::unique_ptr<IOfferList> offerList(TMessagerForm& form) = 0;
};

// The program's own parts: a UDP socket, the desktop's hotkey and, with a dialog service, the
// download controller on the window's offer row.
class TRealMessengerParts final : public IMessengerParts
{
public:
    explicit TRealMessengerParts(IDialogService* dialogs = nullptr) : m_dialogs(dialogs) {}
    std::unique_ptr<IDatagramSocket> socket() override;
    std::unique_ptr<IHotKeyGrabber> hotKeyGrabber() override;
    std::unique_ptr<IOfferList> offerList(TMessagerForm& form) override;

private:
    IDialogService* m_dialogs;
};
