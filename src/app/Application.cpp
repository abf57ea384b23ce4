#include "app/Application.h"

#include "core/TextFile.h"
#include "widgets/DialogService.h"

#include <cstdio>
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
    std::fprintf(stderr, "jotvane: %s\n", message.toLocal8Bit().constData());
    if (m_dialogs)
        m_dialogs->MessageBox(activeWindow(), message, MsgBoxKind::Error, {MsgBoxButton::OK});
    return false;
}
