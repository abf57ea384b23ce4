#include "app/Application.h"

#include "core/Log.h"
#include "core/TextFile.h"
#include "widgets/DialogService.h"

#include <exception>

TJotvaneApplication::TJotvaneApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TJotvaneApplication::notify(QObject* receiver, QEvent* event)
{
    QString message;
    try {
        return QApplication::notify(receiver, event);
    } catch (const EFileError& error) {
        message = error.message();
    } catch (const std::exception& error) {
        message = QString::fromUtf8(error.what());
    }
    qCWarning(lcJotvane).noquote() << message;
    if (m_dialogs)
        m_dialogs->MessageBox(activeWindow(), message, MsgBoxKind::Error, {MsgBoxButton::OK});
    return false;
}
