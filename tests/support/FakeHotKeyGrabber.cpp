#include "FakeHotKeyGrabber.h"

#include <QKeySequence>

using namespace Qt::StringLiterals;

namespace {

QString Describe(QKeyCombination key)
{
    return QKeySequence(key).toString(QKeySequence::PortableText);
}

} // namespace

bool FakeHotKeyGrabber::registerHotKey(int id, QKeyCombination key)
{
    unregisterHotKey(id);
    bool refused = taken.contains(key.toCombined());
    for (const QKeyCombination other : std::as_const(registered))
        refused = refused || other == key;
    calls.append((refused ? u"!"_s : u"+"_s) + QString::number(id) + u":"_s + Describe(key));
    if (refused)
        return false;
    registered.insert(id, key);
    return true;
}

void FakeHotKeyGrabber::unregisterHotKey(int id)
{
    if (registered.remove(id) > 0)
        calls.append(u"-"_s + QString::number(id));
}

bool FakeHotKeyGrabber::press(int id) const
{
    if (!registered.contains(id))
        return false;
    notifyActivated(id);
    return true;
}
