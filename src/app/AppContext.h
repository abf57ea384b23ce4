#pragma once

#include <QStringList>

struct TPlatform;
class TAppConfigMgr;
class TDataManager;
class TExprParser;

// What the composition root hands to the windows: the platform services and the three
// process-wide objects. A slot whose object does not exist is null.
struct TAppContext
{
    const TPlatform* platform = nullptr;
    TExprParser* parser = nullptr;
    TDataManager* dataManager = nullptr;
    TAppConfigMgr* config = nullptr;
    // The local server name the running copy's main window listens on.
    QString instanceName;
};
