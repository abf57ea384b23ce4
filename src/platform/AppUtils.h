#pragma once

#include <QPoint>
#include <QString>

struct TPlatform;
class QWidget;

// The shell, window and file operations every part of the program shares. Each goes through a
// platform service, so tests pass their own TPlatform.

// The companion address-book and calendar programs started by the tools commands, and the page
// the relax command opens.
inline QString AddressBookProgram()
{
    return QStringLiteral("jotvane-addressbook");
}
inline QString CalendarProgram()
{
    return QStringLiteral("jotvane-calendar");
}
inline QString RelaxAddress()
{
    return QStringLiteral("https://www.example.org/jotvane/relax");
}

// Runs file (a program, or a document opened by its default application) with parameters in
// folder. Returns 33 when it started and 2 when it did not, as the callers only test > 32.
int ShellRun(const TPlatform& platform, const QString& file, const QString& parameters,
             const QString& folder);
// Opens a program on the search path, a folder, a document or an address; true when it opened.
bool ShellOpen(const TPlatform& platform, const QString& target);
// Opens the trimmed address, with "mailto:" put in front unless it starts with it already.
bool SendMailTo(const TPlatform& platform, const QString& address);
bool BrowseForFolder(const TPlatform& platform, QWidget* owner, const QString& title, const QString& root,
                     QString& path);
// Writes (enable) or removes the start-with-the-session entry valueName (the application name
// when empty) that starts this executable with parameters. False only when writing failed.
bool SetRunOnStartup(const TPlatform& platform, bool enable, bool currentUser, const QString& valueName,
                     const QString& parameters);
void SetWindowTopMost(const TPlatform& platform, QWidget* window, bool flag);
// Qt has no hidden application window that could show in the taskbar: nothing to do.
void HideApplicationButton();
QPoint GetCursorPosSafe(const TPlatform& platform);
QString GetLocalComputerName(const TPlatform& platform);
bool RecycleFile(const TPlatform& platform, const QString& path);
bool DeletePathSilently(const TPlatform& platform, const QString& path);
