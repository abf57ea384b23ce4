#include "notes/PageRules.h"

using namespace Qt::StringLiterals;

namespace PageRules {

QString NewPageTitle(const QStringList& titles)
{
    const QString base = u"新建页"_s;
    QString name = base;
    int n = 1;
    while (titles.contains(name, Qt::CaseSensitive)) {
        name = u"%1(%2)"_s.arg(base).arg(n);
        ++n;
    }
    return name;
}

int NextIndex(int current, int count)
{
    if (count <= 0)
        return -1;
    return current + 1 >= count ? 0 : current + 1;
}

int PreviousIndex(int current, int count)
{
    if (count <= 0)
        return -1;
    return current - 1 < 0 ? count - 1 : current - 1;
}

std::optional<TPageKey> AltPageKey(int key, Qt::KeyboardModifiers modifiers, int current, int count)
{
    // Keypad digits carry the keypad modifier and are not page keys.
    if ((modifiers & ~Qt::KeypadModifier) != Qt::AltModifier || (modifiers & Qt::KeypadModifier) ||
        count <= 0)
        return std::nullopt;
    int index = -1;
    if (key >= Qt::Key_1 && key <= Qt::Key_9)
        index = key - Qt::Key_1;
    else if (key == Qt::Key_0)
        index = 9;
    else if (key == Qt::Key_Home)
        index = 0;
    else if (key == Qt::Key_End)
        index = count - 1;
    else if (key == Qt::Key_Left)
        index = PreviousIndex(current, count);
    else if (key == Qt::Key_Right)
        index = NextIndex(current, count);
    else if (key == Qt::Key_D)
        return TPageKey{TPageKey::PickList, -1};
    else
        return std::nullopt;
    if (index < 0 || index >= count)
        return std::nullopt;
    return TPageKey{TPageKey::Select, index};
}

} // namespace PageRules
