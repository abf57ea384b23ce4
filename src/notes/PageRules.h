#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QKeyEvent;

// The rules of the page commands that need no window.
namespace PageRules {

// "新建页", or the first free "新建页(n)" counting from 1: a gap is filled first.
QString NewPageTitle(const QStringList& titles);
// The tab after current, from the last to the first; -1 without tabs.
int NextIndex(int current, int count);
// The tab before current, from the first to the last; -1 without tabs.
int PreviousIndex(int current, int count);

// What an Alt page key asks for.
struct TPageKey
{
    enum Kind
    {
        Select,   // select index
        PickList, // open the page list below the pick button
    };
    Kind kind = Select;
    int index = -1;
};
// The effect of a key press with Alt as the only modifier, for count tabs with current
// selected; nothing for other keys, for other modifiers and for a tab that does not exist.
std::optional<TPageKey> AltPageKey(int key, Qt::KeyboardModifiers modifiers, int current, int count);

} // namespace PageRules
