#pragma once

#include <QString>

#include <functional>
#include <memory>

struct TPlatform;
class IDialogService;
class IHotKeyGrabber;
class TAppConfigMgr;
class TDataManager;
class TExprParser;

// What the composition root hands to the windows: the platform services and the three
// process-wide objects.
struct TAppContext
{
    const TPlatform* platform = nullptr;
    TExprParser* parser = nullptr;
    TDataManager* dataManager = nullptr;
    TAppConfigMgr* config = nullptr;
    // The file, folder, font and colour dialogs and the message box.
    IDialogService* dialogs = nullptr;
    // The local server name the running copy's main window listens on; empty: none.
    QString instanceName;
    // Makes the grabber of the global hotkey; empty: the desktop's own.
    std::function<std::unique_ptr<IHotKeyGrabber>()> hotKeyGrabber;
    // Whether a notification area may be used; tests switch it off.
    bool useTray = true;
};
