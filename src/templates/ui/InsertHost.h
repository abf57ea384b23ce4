#pragma once

class TPadMemo;

// What the insert commands need of the window.
class IInsertHost
{
public:
    virtual ~IInsertHost() = default;
    // The page being edited; nullptr without one.
    virtual TPadMemo* currentEditor() = 0;
    // The settings dialog opened on a page; true when the user confirmed it.
    virtual bool showSettingsDialog(int page) = 0;
};
