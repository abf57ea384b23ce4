#pragma once

#include "widgets/SearchDialog.h"

// The modeless replace dialog: find text, replacement, match case and the buttons Find Next,
// Replace and Replace All. It offers no direction and no whole-word choice.
class TReplaceDialog final : public TSearchDialog
{
    Q_OBJECT
public:
    explicit TReplaceDialog(QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(TReplaceDialog)

    QString ReplaceText() const;
    void SetReplaceText(const QString& text);

signals:
    void ReplaceClicked();
    void ReplaceAllClicked();

private:
    QLineEdit* m_replaceEdit = nullptr;
};
