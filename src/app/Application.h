#pragma once

#include <QApplication>

class IDialogService;

// The application object. An error that escapes an event handler would end the program and
// lose every page not yet written: it is shown instead (through dialogs, once set), and the
// program carries on.
class TJotvaneApplication final : public QApplication
{
public:
    TJotvaneApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
    void SetDialogs(IDialogService* dialogs) { m_dialogs = dialogs; }

private:
    IDialogService* m_dialogs = nullptr;
};
