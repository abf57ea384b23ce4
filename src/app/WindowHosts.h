#pragma once

#include <memory>

class IDesktopHost;
class IFileHost;
class IInsertHost;
class IReminderEditorsHost;
class ISettingsHost;
class TControllers;
class TMainForm;

// The note window's side of the subsystems' host interfaces: what only the window knows, or
// another subsystem reached through the controllers. The controllers make one of each and keep
// it as long as the subsystem that uses it.
std::unique_ptr<ISettingsHost> MakeWindowSettingsHost(TMainForm& window);
std::unique_ptr<IInsertHost> MakeWindowInsertHost(TMainForm& window, TControllers& controllers);
std::unique_ptr<IFileHost> MakeWindowFileHost(TMainForm& window, TControllers& controllers);
std::unique_ptr<IReminderEditorsHost> MakeWindowReminderEditors(TMainForm& window, TControllers& controllers);
std::unique_ptr<IDesktopHost> MakeWindowDesktopHost(TMainForm& window, TControllers& controllers);
