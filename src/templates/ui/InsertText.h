#pragma once

#include "templates/ExprParser.h"

#include <QString>

// The text a template inserts: its value evaluated by a fresh parser, or, when it does not
// parse or evaluate (plain words, 1/0, an empty template) or its value is longer than a page
// takes at once (TPadMemo::MaxInsertLength), the template itself unchanged.
QString EvaluateTemplate(const QString& templateText, const TExprClock& clock = {});

// The text of a custom insert text's menu item before it is fitted to the menu: the stored
// form turned back into the text, trimmed, line breaks as blanks, at most 100 characters.
QString CustomItemText(const QString& stored);
