#include "widgets/FontDlg.h"

#include "widgets/DialogService.h"

#include <QColorDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr QSize kSwatchSize(36, 14);

// The point size a font shows in, also for a font given in pixels.
int ShownPointSize(const QFont& font)
{
    return font.pointSize() > 0 ? font.pointSize() : QFontInfo(font).pointSize();
}

// The picker's sample line: the only line edit of a group box of its own.
QLineEdit* SampleEdit(QFontDialog* picker)
{
    for (QGroupBox* group : picker->findChildren<QGroupBox*>()) {
        const QList<QLineEdit*> edits = group->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly);
        if (edits.size() == 1)
            return edits.first();
    }
    return nullptr;
}

} // namespace

QString ShownFontFamily(const QFont& font)
{
    return QFontInfo(font).family();
}

QFont KeepUnchangedFontParts(const QFont& original, const QFont& picked)
{
    QFont result = picked;
    if (picked.family() == ShownFontFamily(original))
        result.setFamily(original.family());
    if (original.pixelSize() > 0 && picked.pointSize() == ShownPointSize(original))
        result.setPixelSize(original.pixelSize());
    return result;
}

TFontDlg::TFontDlg(QWidget* owner, const QFont& font, const QColor& color)
    : TBaseForm(owner), m_original(font), m_color(color)
{
    setObjectName(u"FontDlg"_s);
    setWindowTitle(u"字体"_s);
    SetPlacement(TPlacement::Owner);
    SetFixedSizeDialogFlags(this);

    // The platform's picker, as a part of this dialog rather than a window of its own.
    FontPicker = new QFontDialog(this);
    FontPicker->setObjectName(u"FontPicker"_s);
    FontPicker->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    FontPicker->setWindowFlags(Qt::Widget);
    FontPicker->show(); // changing the flags hid it
    QFont shown = font;
    shown.setFamily(ShownFontFamily(font));
    shown.setPointSize(ShownPointSize(font));
    FontPicker->setCurrentFont(shown);

    auto* colorLabel = new QLabel(u"颜色(&C):"_s, this);
    ColorButton = new QPushButton(this);
    ColorButton->setObjectName(u"ColorButton"_s);
    ColorButton->setIconSize(kSwatchSize);
    // Enter is OK wherever the focus is, also back from the colour dialog.
    ColorButton->setAutoDefault(false);
    colorLabel->setBuddy(ColorButton);
    OkButton = new QPushButton(u"确定"_s, this);
    OkButton->setObjectName(u"OkButton"_s);
    OkButton->setDefault(true);
    CancelButton = new QPushButton(u"取消"_s, this);
    CancelButton->setObjectName(u"CancelButton"_s);
    connect(ColorButton, &QPushButton::clicked, this, &TFontDlg::ColorButtonClick);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    // The sample shows the colour as well as the face.
    connect(FontPicker, &QFontDialog::currentFontChanged, this, &TFontDlg::ShowColor);

    auto* row = new QHBoxLayout;
    row->addWidget(colorLabel);
    row->addWidget(ColorButton);
    row->addStretch();
    row->addWidget(OkButton);
    row->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FontPicker);
    layout->addLayout(row);
    ShowColor();
}

QFont TFontDlg::SelectedFont() const
{
    return KeepUnchangedFontParts(m_original, FontPicker->currentFont());
}

void TFontDlg::SetSelectedColor(const QColor& color)
{
    m_color = color;
    ShowColor();
}

void TFontDlg::ColorButtonClick()
{
    QColor color = m_color;
    if (ChooseColorDialog(this, color))
        SetSelectedColor(color);
}

void TFontDlg::ShowColor()
{
    QPixmap swatch(kSwatchSize);
    swatch.fill(m_color);
    QPainter painter(&swatch);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawRect(swatch.rect().adjusted(0, 0, -1, -1));
    painter.end();
    ColorButton->setIcon(swatch);
    ColorButton->setToolTip(m_color.name().toUpper());

    if (QLineEdit* sample = SampleEdit(FontPicker)) {
        // Light text, such as white for the desktop, is shown on a dark ground to stay readable.
        QPalette colors = sample->palette();
        colors.setColor(QPalette::Text, m_color);
        colors.setColor(QPalette::Base, m_color.lightness() > 200 ? QColor(64, 64, 64) : QColor(Qt::white));
        sample->setPalette(colors);
    }
}

bool ChooseColorDialog(QWidget* owner, QColor& color)
{
    const QColor picked = QColorDialog::getColor(color, owner, u"颜色"_s);
    if (picked.isValid())
        color = picked;
    return picked.isValid();
}

bool ChooseFontDialog(IDialogService& dialogs, QWidget* owner, QFont& font, QColor& color)
{
    TFontDlg dialog(owner, font, color);
    if (dialogs.RunModal(dialog) != QDialog::Accepted)
        return false;
    font = dialog.SelectedFont();
    color = dialog.SelectedColor();
    return true;
}
