#pragma once

#include "widgets/BaseFrm.h"

#include <QColor>
#include <QFont>

class IDialogService;
class QFontDialog;
class QLabel;
class QPushButton;

// The face a font really shows in: a stored name such as "宋体" or "SimSun" is no installed
// family, the face the font system substitutes for it is.
QString ShownFontFamily(const QFont& font);

// The font the picker returns, with what the user left as it was kept as it came: the stored
// face name when the shown face was not changed, a pixel size when the point size was not.
QFont KeepUnchangedFontParts(const QFont& original, const QFont& picked);

// The font dialog "字体": face, style, size and effects as the platform's font picker shows
// them, with the text colour chosen beside them ("颜色"), and a sample in both. It opens on
// the face the font really shows in.
//
//   TFontDlg dialog(owner, font, color);
//   if (dialogs.RunModal(dialog) == QDialog::Accepted) { font = dialog.SelectedFont(); ... }
class TFontDlg final : public TBaseForm
{
    Q_OBJECT
public:
    TFontDlg(QWidget* owner, const QFont& font, const QColor& color);

    QFont SelectedFont() const;
    QColor SelectedColor() const { return m_color; }
    void SetSelectedColor(const QColor& color);

    // Opens the colour dialog over this one; the colour changes on OK only.
    void ColorButtonClick();

    QFontDialog* FontPicker = nullptr;
    QPushButton* ColorButton = nullptr;
    QPushButton* OkButton = nullptr;
    QPushButton* CancelButton = nullptr;

private:
    void ShowColor();

    QFont m_original;
    QColor m_color;
};

// The colour dialog "颜色" preset with color; true with the choice on OK.
bool ChooseColorDialog(QWidget* owner, QColor& color);
// The font dialog over owner; on OK font and color take the choice and true is returned.
bool ChooseFontDialog(IDialogService& dialogs, QWidget* owner, QFont& font, QColor& color);
