#pragma once

#include "widgets/SearchDialog.h"

class QRadioButton;

// The modeless find dialog: the text, match case, the direction (downwards preset) and a
// Find Next button, whose presses arrive as FindClicked. It has no whole-word choice.
class TFindDialog final : public TSearchDialog
{
    Q_OBJECT
public:
    explicit TFindDialog(QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(TFindDialog)

    bool Down() const;
    void SetDown(bool down);

private:
    QRadioButton* m_up = nullptr;
    QRadioButton* m_down = nullptr;
};
