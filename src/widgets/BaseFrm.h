#pragma once

#include <QDialog>

class QWidget;

// Maps the design's font names onto installed faces: "宋体" to the installed CJK face and
// "Tahoma" to the default sans-serif face. Called once at start, before any window exists.
void InstallFontSubstitutions();

// The common look of the note window and of every dialog: "宋体" 12 pixels high.
QFont BaseFormFont();
void ApplyBaseFormLook(QWidget* form);
// Centres a top-level window on the screen it is on (the primary screen when it has none).
void CenterOnScreen(QWidget* form);

// The common base of the dialogs: the base font, centred on the screen when first shown, no
// scaling of its own.
class TBaseForm : public QDialog
{
    Q_OBJECT
public:
    explicit TBaseForm(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool m_centred = false;
};
