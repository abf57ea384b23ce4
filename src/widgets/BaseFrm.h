#pragma once

#include <QDialog>

class QWidget;

// Maps the design's font names onto installed faces: "宋体" (and the other Chinese faces of
// Windows: "黑体", "微软雅黑", ...) to the installed CJK face and "Tahoma" to the default
// sans-serif face. Called once at start, before any window exists.
void InstallFontSubstitutions();

// The common look of the note window and of every dialog: "宋体" 12 pixels high.
QFont BaseFormFont();
void ApplyBaseFormLook(QWidget* form);
// Centres a top-level window on the screen it is on (the primary screen when it has none).
void CenterOnScreen(QWidget* form);
// Centres a top-level window over owner's window; on the screen when there is no owner, or
// when the owner is hidden or minimised.
void CenterOnOwner(QWidget* form, QWidget* owner);

// The window flags of a fixed-size dialog: a title, the window menu and a close button, and no
// minimise or maximise button asked of the window manager (_MOTIF_WM_HINTS without either).
void SetFixedSizeDialogFlags(QWidget* form);

// The skin bitmaps and icons of this library live in Qt resources of a static library; the
// library's windows call this themselves, other users call it once before loading ":/skin/...".
void InitWidgetResources();

// The common base of the dialogs: the base font, centred when first shown, no scaling of its own.
// Shown modally through the dialog service (IDialogService::RunModal), which tests replace.
class TBaseForm : public QDialog
{
    Q_OBJECT
public:
    enum class TPlacement
    {
        Screen, // centred on the screen
        Owner,  // centred over the owner window (the screen without one)
        Manual  // the caller has placed the window
    };

    explicit TBaseForm(QWidget* parent = nullptr);

    void SetPlacement(TPlacement placement) { m_placement = placement; }
    TPlacement Placement() const { return m_placement; }

protected:
    void showEvent(QShowEvent* event) override;
    // Some window managers (openbox) keep a minimise button on every dialog. A modal dialog that
    // gets minimised comes straight back: hidden, it would leave the program waiting on a box
    // nobody can see.
    void changeEvent(QEvent* event) override;

private:
    TPlacement m_placement = TPlacement::Screen;
    bool m_centred = false;
};
