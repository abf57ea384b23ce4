#include "app/SessionEnd.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The one pair of descriptors a signal handler may write to; only async-signal-safe calls touch it.
int g_signalPipe[2] = {-1, -1};

void onSignal(int signalNumber)
{
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[0], &byte, 1);
}

} // namespace

TSessionEndWatcher::TSessionEndWatcher(QObject* parent) : QObject(parent)
{
    if (g_signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) == 0) {
        ::fcntl(g_signalPipe[0], F_SETFL, O_NONBLOCK);
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGTERM, &action, nullptr);
        ::sigaction(SIGHUP, &action, nullptr);
    }
    if (g_signalPipe[1] >= 0) {
        m_notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &TSessionEndWatcher::readSignal);
    }
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager&) { emit sessionEnding(); });
    }
}

TSessionEndWatcher::~TSessionEndWatcher()
{
    // Back to the default actions: a signal after the watcher is gone ends the process.
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGHUP, SIG_DFL);
}

void TSessionEndWatcher::readSignal()
{
    unsigned char byte = 0;
    if (::read(g_signalPipe[1], &byte, 1) == 1)
        emit terminateRequested(byte);
}
