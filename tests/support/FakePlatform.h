#pragma once

#include "FakePowerOff.h"
#include "FakeSoundOutput.h"

#include "platform/Platform.h"

#include <QStringList>

// Recording stand-ins for the platform services: nothing reaches the desktop.
class FakeTrash final : public ITrash
{
public:
    bool moveToTrash(const QString& path) override;
    bool removePermanently(const QString& path) override;
    QStringList trashed;
    // What each trashed file held when it went (empty for folders).
    QList<QByteArray> trashedBytes;
    QStringList removed;
    bool succeed = true;
};

class FakeShell final : public IShell
{
public:
    bool openDocument(const QString& target) override;
    bool startProgram(const QString& program, const QStringList& arguments,
                      const QString& workingFolder) override;
    QString mapProgram(const QString& name) const override { return name; }
    QStringList opened;
    QStringList started;
    bool succeed = true;
};

class FakeAutostart final : public IAutostart
{
public:
    bool setEntry(bool enable, const QString& name, const QString& program,
                  const QStringList& arguments) override;
    QStringList calls;
};

class FakeFolderPicker final : public IFolderPicker
{
public:
    bool pickFolder(QWidget* owner, const QString& title, const QString& root, QString& path) override;
    QString answer; // empty: the user cancels
    QString lastInitial;
};

class FakeSystemInfo final : public ISystemInfo
{
public:
    QString computerName() const override { return name; }
    QString hardwareAddress() const override { return address; }
    QString name = QStringLiteral("TESTHOST");
    QString address = QStringLiteral("0A1B2C3D4E5F");
};

class FakeWindowSystem final : public IWindowSystem
{
public:
    void setStayOnTop(QWidget* window, bool onTop) override;
    QPoint cursorPos() const override { return cursor; }
    void bringToFront(QWidget* window) override;
    bool isForeground(const QWidget* window) const override;
    QPoint cursor{0, 0};
    int raised = 0;
    bool onTop = false;
};

// All fakes, wired into one TPlatform.
class FakePlatform final
{
public:
    FakePlatform();
    const TPlatform& services() const { return m_services; }
    FakeTrash trash;
    FakeShell shell;
    FakeAutostart autostart;
    FakeFolderPicker folderPicker;
    FakeSystemInfo systemInfo;
    FakeWindowSystem windowSystem;
    FakeSoundOutput sound;
    FakePowerOff powerOff;

private:
    TPlatform m_services;
};
