#pragma once

class QCoreApplication;

// Qt's own texts in Chinese: the standard dialogs (files, fonts, colours), their buttons and
// questions ("是否替换？"), the context menus of edit fields. Loaded from the Qt translations
// installed with the system; without them those texts stay English. Returns whether they were
// found.
bool InstallQtTranslations(QCoreApplication& app);
