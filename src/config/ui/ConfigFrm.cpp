#include "config/ui/ConfigFrm.h"

#include "config/ui/SettingsLook.h"
#include "core/PubUtils.h"
#include "platform/VirtualKeys.h"
#include "widgets/DialogService.h"
#include "widgets/FontDlg.h"
#include "widgets/InputMemoFrm.h"
#include "widgets/MsgBox.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDateEdit>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTabBar>
#include <QTabWidget>
#include <QTimeEdit>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr int kClientWidth = 304;
constexpr int kClientHeight = 292;
// Inside a page: the group boxes span the page less a margin on each side.
constexpr int kGroupLeft = 8;
constexpr int kGroupWidth = 276;

// The check list's items and the modifier bit each stands for, in the list's order.
struct TModItem
{
    const char16_t* caption;
    int bit;
};
constexpr TModItem kModItems[] = {
    {u"Ctrl", moControl}, {u"Alt", moAlt}, {u"Shift", moShift}, {u"Win", moWin}};

// Page tabs as wide as their captions with a small margin, so that all five fit the dialog's
// width in the CJK font without scroll buttons.
class TCompactTabStyle final : public QProxyStyle
{
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (metric == PM_TabBarTabHSpace)
            return 12;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

// A control of the dialog, named and placed; args come before the parent in its constructor.
template <typename T, typename... Args>
T* makeControl(QWidget* parent, const QString& name, const QRect& bounds, Args&&... args)
{
    auto* control = new T(std::forward<Args>(args)..., parent);
    control->setObjectName(name);
    control->setGeometry(bounds);
    return control;
}

// A group box across the page, top pixels from its top.
QGroupBox* makeGroup(QWidget* page, const QString& caption, int top, int height)
{
    auto* group = new QGroupBox(caption, page);
    group->setGeometry(kGroupLeft, top, kGroupWidth, height);
    return group;
}

// A page of the dialog and the group box at its top.
QWidget* makePage(const QString& name, const QString& groupCaption, int groupHeight, QGroupBox*& group)
{
    auto* page = new QWidget;
    page->setObjectName(name);
    group = makeGroup(page, groupCaption, 8, groupHeight);
    return page;
}

QCheckBox* makeCheck(QWidget* parent, const QString& name, const QString& caption, int x, int y)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->move(x, y);
    box->adjustSize();
    return box;
}

// A group of radio buttons in columns, as one radio group; the buttons' ids are their indexes.
QGroupBox* makeRadioGroup(QWidget* parent, const QString& name, const QString& caption,
                          const QStringList& items, const QRect& bounds, QButtonGroup*& buttons)
{
    auto* group = new QGroupBox(caption, parent);
    group->setObjectName(name);
    group->setGeometry(bounds);
    buttons = new QButtonGroup(group);
    const int columnWidth = (bounds.width() - 16) / int(items.size());
    for (int i = 0; i < items.size(); ++i) {
        auto* radio = new QRadioButton(items[i], group);
        radio->setObjectName(name + QString::number(i));
        radio->move(8 + i * columnWidth, 20);
        radio->adjustSize();
        buttons->addButton(radio, i);
    }
    return group;
}

QLabel* makeLabel(QWidget* parent, const QString& caption, int x, int y)
{
    auto* label = new QLabel(caption, parent);
    label->move(x, y);
    label->adjustSize();
    return label;
}

void selectRadio(QButtonGroup* buttons, int index)
{
    if (QAbstractButton* button = buttons->button(index)) {
        button->setChecked(true);
        return;
    }
    // An index outside the group selects nothing.
    buttons->setExclusive(false);
    for (QAbstractButton* button : buttons->buttons())
        button->setChecked(false);
    buttons->setExclusive(true);
}

// The selected index; a group with nothing selected (a stored value outside it) keeps the value.
void storeRadio(const QButtonGroup* buttons, quint8& value)
{
    if (buttons->checkedId() >= 0)
        value = quint8(buttons->checkedId());
}

} // namespace

bool PickFontSetting(IDialogService& dialogs, QWidget* owner, TFontSetting& font)
{
    QFont chosen = FontFromSetting(font);
    QColor color = ColorFromSetting(font.Color);
    if (!dialogs.ChooseFont(owner, chosen, color))
        return false;
    font = SettingFromFont(chosen, color, font.Charset);
    return true;
}

bool PickColorSetting(IDialogService& dialogs, QWidget* owner, TColor& color)
{
    QColor chosen = ColorFromSetting(color);
    if (!dialogs.ChooseColor(owner, chosen))
        return false;
    color = SettingFromColor(chosen);
    return true;
}

// ---- THotKeyEdit ------------------------------------------------------------------------------

THotKeyEdit::THotKeyEdit(QWidget* parent) : QLineEdit(parent)
{
    setReadOnly(true);
    setContextMenuPolicy(Qt::NoContextMenu);
    SetKeyCode(0);
}

void THotKeyEdit::SetKeyCode(int code)
{
    const TVirtualKey key = VirtualKeyFromCode(code);
    m_code = key == vkNone ? 0 : code;
    setText(key == vkNone ? u"无"_s : VirtualKeyName(key));
}

bool THotKeyEdit::event(QEvent* event)
{
    // Keys that are shortcuts elsewhere (F5, Ctrl+O) are still keys for this field.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            break;
        default:
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void THotKeyEdit::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->ignore();
        return;
    default:
        break;
    }
    // The modifiers never count: Ctrl+J is J, and a modifier pressed alone is no key.
    const QKeyCombination bare(event->modifiers() & Qt::KeypadModifier, Qt::Key(event->key()));
    const TVirtualKey key = VirtualKeyFromQtKey(bare);
    if (key != vkNone)
        SetKeyCode(CodeFromVirtualKey(key));
    event->accept();
}

// ---- TConfigForm ------------------------------------------------------------------------------

TConfigForm::TConfigForm(QWidget* owner, TAppConfigMgr& config, IDialogService& dialogs)
    : TBaseForm(owner), m_config(config), m_dialogs(dialogs)
{
    setObjectName(u"ConfigForm"_s);
    SetPlacement(TPlacement::Owner);
    setWindowTitle(u"设置"_s);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);

    PageControl = makeControl<QTabWidget>(this, u"PageControl"_s,
                                          QRect(6, 6, kClientWidth - 12, kClientHeight - 6 - 40));
    auto* tabStyle = new TCompactTabStyle;
    tabStyle->setParent(PageControl->tabBar());
    PageControl->tabBar()->setStyle(tabStyle);
    PageControl->setUsesScrollButtons(false);
    PageControl->addTab(CreateGeneralPage(), u"常规"_s);
    PageControl->addTab(CreateHotKeyPage(), u"热键"_s);
    PageControl->addTab(CreateInsTextPage(), u"插入文本"_s);
    PageControl->addTab(CreateAlarmPage(), u"定时提醒"_s);
    PageControl->addTab(CreateDesktopPage(), u"桌面显示"_s);

    OkButton = makeControl<QPushButton>(this, u"OkButton"_s,
                                        QRect(kClientWidth - 6 - 75 - 8 - 75, kClientHeight - 8 - 25, 75, 25),
                                        u"确定"_s);
    OkButton->setDefault(true);
    CancelButton = makeControl<QPushButton>(
        this, u"CancelButton"_s, QRect(kClientWidth - 6 - 75, kClientHeight - 8 - 25, 75, 25), u"取消"_s);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    PageControl->setCurrentIndex(GeneralPage);
    RunOnStartupCheckBox->setFocus();
    m_workingFont = m_config.DesktopFont();
}

QWidget* TConfigForm::CreateGeneralPage()
{
    QGroupBox* group = nullptr;
    auto* page = makePage(u"GeneralTabSheet"_s, u"常规选项"_s, 74, group);
    RunOnStartupCheckBox = makeCheck(group, u"RunOnStartupCheckBox"_s, u"系统启动时自动运行"_s, 12, 22);
    MinOnCloseCheckBox = makeCheck(group, u"MinOnCloseCheckBox"_s, u"点击主窗口的关闭按钮时最小化"_s, 12, 46);
    DblClickTitleRadioGroup = makeRadioGroup(page, u"DblClickTitleRadioGroup"_s, u"双击页面标题时"_s,
                                             {u"无动作"_s, u"删除页面"_s, u"修改标题"_s},
                                             QRect(kGroupLeft, 90, kGroupWidth, 50), DblClickTitleButtons);
    return page;
}

QWidget* TConfigForm::CreateHotKeyPage()
{
    QGroupBox* group = nullptr;
    auto* page = makePage(u"HotKeyTabSheet"_s, u"显示/隐藏主窗口 热键"_s, 118, group);
    makeLabel(group, u"基本键:"_s, 12, 28);
    BaseHotKey = makeControl<THotKeyEdit>(group, u"BaseHotKey"_s, QRect(70, 24, 190, 22));
    makeLabel(group, u"组合键:"_s, 12, 60);
    HotKeyModCheckListBox =
        makeControl<QListWidget>(group, u"HotKeyModCheckListBox"_s, QRect(70, 56, 190, 48));
    // Two columns, filled top to bottom: Ctrl and Alt in the first, Shift and Win in the second.
    HotKeyModCheckListBox->setFlow(QListView::TopToBottom);
    HotKeyModCheckListBox->setWrapping(true);
    HotKeyModCheckListBox->setResizeMode(QListView::Adjust);
    HotKeyModCheckListBox->setGridSize(QSize(90, 21));
    HotKeyModCheckListBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    HotKeyModCheckListBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (const TModItem& mod : kModItems) {
        auto* item = new QListWidgetItem(QString::fromUtf16(mod.caption), HotKeyModCheckListBox);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(Qt::Unchecked);
    }
    GrantedHotKeyLabel = new QLabel(page);
    GrantedHotKeyLabel->setObjectName(u"GrantedHotKeyLabel"_s);
    GrantedHotKeyLabel->setGeometry(kGroupLeft + 4, 8 + 118 + 8, kGroupWidth - 8, 40);
    GrantedHotKeyLabel->setWordWrap(true);
    GrantedHotKeyLabel->hide();
    CompositorKeyLabel =
        new QLabel(u"Wayland 桌面中热键可能无效：可在桌面环境里把一个键绑定到命令 jotvane --toggle"
                   u"（sway：bindsym；GNOME：自定义快捷键；KDE：系统设置的快捷键）。"_s,
                   page);
    CompositorKeyLabel->setObjectName(u"CompositorKeyLabel"_s);
    CompositorKeyLabel->setWordWrap(true);
    CompositorKeyLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    CompositorKeyLabel->hide();
    placeHotKeyNotes();
    return page;
}

void TConfigForm::placeHotKeyNotes()
{
    // Below the hotkey's group, one after the other.
    int y = 8 + 118 + 6;
    for (QLabel* note : {GrantedHotKeyLabel, CompositorKeyLabel}) {
        const int height = note->heightForWidth(kGroupWidth - 8);
        note->setGeometry(kGroupLeft + 4, y, kGroupWidth - 8, std::max(height, 16));
        if (!note->isHidden())
            y += note->height() + 4;
    }
}

void TConfigForm::SetGrantedHotKey(const QString& trigger)
{
    GrantedHotKeyLabel->setText(u"桌面环境分配的热键：%1"_s.arg(trigger));
    GrantedHotKeyLabel->setVisible(!trigger.isEmpty());
    placeHotKeyNotes();
}

void TConfigForm::SetCompositorKeyHint(bool shown)
{
    CompositorKeyLabel->setVisible(shown);
    placeHotKeyNotes();
}

QWidget* TConfigForm::CreateInsTextPage()
{
    QGroupBox* group = nullptr;
    auto* page = makePage(u"InsTextTabSheet"_s, u"插入格式"_s, 138, group);
    auto labelled = [group](const QString& name, const QString& caption, int y) {
        makeLabel(group, caption, 12, y);
        return makeControl<QLineEdit>(group, name, QRect(12, y + 16, kGroupWidth - 24, 22));
    };
    InsLineEdit = labelled(u"InsLineEdit"_s, u"分隔行:"_s, 18);
    InsDateEdit = labelled(u"InsDateEdit"_s, u"日期时间:"_s, 56);
    InsLineDateEdit = labelled(u"InsLineDateEdit"_s, u"日期时间分隔行:"_s, 94);

    // The custom texts are edited elsewhere; the block stays, hidden, and carries the list
    // through the dialog unchanged.
    InsCustomLabel = makeLabel(page, u"自定义:"_s, kGroupLeft, 152);
    InsCustomLabel->setObjectName(u"InsCustomLabel"_s);
    auto* line =
        makeControl<QFrame>(page, u"InsCustomLine"_s, QRect(kGroupLeft + 50, 158, kGroupWidth - 50, 2));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    InsCustomLine = line;
    InsCustomListBox =
        makeControl<QListWidget>(page, u"InsCustomListBox"_s, QRect(kGroupLeft, 168, kGroupWidth - 70, 56));
    auto button = [page](const QString& name, const QString& caption, int y) {
        return makeControl<QPushButton>(page, name, QRect(kGroupLeft + kGroupWidth - 62, y, 62, 18), caption);
    };
    InsCustomAddButton = button(u"InsCustomAddButton"_s, u"添加"_s, 168);
    InsCustomModifyButton = button(u"InsCustomModifyButton"_s, u"修改"_s, 187);
    InsCustomDeleteButton = button(u"InsCustomDeleteButton"_s, u"删除"_s, 206);
    connect(InsCustomAddButton, &QPushButton::clicked, this, &TConfigForm::InsCustomAddButtonClick);
    connect(InsCustomModifyButton, &QPushButton::clicked, this, &TConfigForm::InsCustomModifyButtonClick);
    connect(InsCustomListBox, &QListWidget::itemDoubleClicked, this,
            &TConfigForm::InsCustomModifyButtonClick);
    connect(InsCustomDeleteButton, &QPushButton::clicked, this, &TConfigForm::InsCustomDeleteButtonClick);
    for (QWidget* w :
         std::initializer_list<QWidget*>{InsCustomLabel, InsCustomLine, InsCustomListBox, InsCustomAddButton,
                                         InsCustomModifyButton, InsCustomDeleteButton})
        w->hide();
    return page;
}

QWidget* TConfigForm::CreateAlarmPage()
{
    QGroupBox* group = nullptr;
    auto* page = makePage(u"AlarmSheet"_s, u"提醒选项"_s, 128, group);
    AlarmCheckBox = makeCheck(group, u"AlarmCheckBox"_s, u"定时提醒"_s, 12, 22);
    BeepCheckBox = makeCheck(group, u"BeepCheckBox"_s, u"声音提醒"_s, 30, 44);
    ShutDownCheckBox = makeCheck(group, u"ShutDownCheckBox"_s, u"定时关机"_s, 12, 66);
    ShutDownTimeDatePicker =
        makeControl<QDateEdit>(group, u"ShutDownTimeDatePicker"_s, QRect(30, 92, 112, 22));
    ShutDownTimeDatePicker->setDisplayFormat(u"yyyy-MM-dd"_s);
    ShutDownTimeDatePicker->setCalendarPopup(true);
    ShutDownTimeTimePicker =
        makeControl<QTimeEdit>(group, u"ShutDownTimeTimePicker"_s, QRect(150, 92, 96, 22));
    ShutDownTimeTimePicker->setDisplayFormat(u"HH:mm:ss"_s);
    return page;
}

QWidget* TConfigForm::CreateDesktopPage()
{
    QGroupBox* show = nullptr;
    auto* page = makePage(u"DesktopTabSheet"_s, u"显示选项"_s, 78, show);
    OnDesktopCheckBox = makeCheck(show, u"OnDesktopCheckBox"_s, u"桌面显示"_s, 12, 24);
    ShowWallPaperCheckBox = makeCheck(show, u"ShowWallPaperCheckBox"_s, u"显示墙纸"_s, 12, 50);
    DesktoFontButton = makeControl<QPushButton>(show, u"DesktoFontButton"_s,
                                                QRect(kGroupWidth - 12 - 100, 18, 100, 25), u"文字字体"_s);
    SeperatorColorButton = makeControl<QPushButton>(
        show, u"SeperatorColorButton"_s, QRect(kGroupWidth - 12 - 100, 46, 100, 25), u"分割线颜色"_s);
    connect(DesktoFontButton, &QPushButton::clicked, this, &TConfigForm::DesktoFontButtonClick);
    connect(SeperatorColorButton, &QPushButton::clicked, this, &TConfigForm::SeperatorColorButtonClick);

    auto* place = makeGroup(page, u"文字位置"_s, 94, 112);
    DesktopAligmentRadioGroup = makeRadioGroup(place, u"DesktopAligmentRadioGroup"_s, u"对齐方式"_s,
                                               {u"左对齐"_s, u"居中"_s, u"右对齐"_s},
                                               QRect(12, 20, kGroupWidth - 24, 50), DesktopAligmentButtons);
    makeLabel(place, u"边距"_s, 12, 82);
    AligmentSpaceLabeledEdit =
        makeControl<QLineEdit>(place, u"AligmentSpaceLabeledEdit"_s, QRect(48, 78, 80, 22));
    AligmentSpaceLabeledEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(u"[0-9]*"_s), AligmentSpaceLabeledEdit));
    return page;
}

void TConfigForm::LoadControls()
{
    const TAppConfigMgr& c = m_config;
    RunOnStartupCheckBox->setChecked(c.RunOnStartup);
    MinOnCloseCheckBox->setChecked(c.MinOnClose);
    selectRadio(DblClickTitleButtons, c.DblClickTitleActionType);

    BaseHotKey->SetKeyCode(CodeFromVirtualKey(c.HotKeyBase));
    for (int i = 0; i < HotKeyModCheckListBox->count(); ++i)
        HotKeyModCheckListBox->item(i)->setCheckState((c.HotKeyModifiers & kModItems[i].bit) ? Qt::Checked
                                                                                             : Qt::Unchecked);

    InsLineEdit->setText(c.InsertLineText);
    InsDateEdit->setText(c.InsertDateText);
    InsLineDateEdit->setText(c.InsertLineDateText);
    for (QLineEdit* edit : {InsLineEdit, InsDateEdit, InsLineDateEdit})
        edit->setCursorPosition(0); // long templates show their start
    InsCustomListBox->clear();
    InsCustomListBox->addItems(c.InsertCustomList);

    AlarmCheckBox->setChecked(c.Alarm);
    BeepCheckBox->setChecked(c.Beep);
    ShutDownCheckBox->setChecked(c.ShutDown);
    ShutDownTimeDatePicker->setDate(c.ShutDownTime.date());
    ShutDownTimeTimePicker->setTime(c.ShutDownTime.time());

    OnDesktopCheckBox->setChecked(c.OnDesktop);
    ShowWallPaperCheckBox->setChecked(c.ShowWallPaper);
    selectRadio(DesktopAligmentButtons, c.DesktopAligment);
    AligmentSpaceLabeledEdit->setText(QString::number(c.AligmentSpace));

    m_workingFont = c.DesktopFont();
    m_workingColor = c.SeperatorColor;
    m_loadedHotKey = ChosenHotKey();
    m_loadedHotKeyModifiers = ChosenHotKeyModifiers();
}

int TConfigForm::ChosenHotKey() const
{
    return VirtualKeyFromCode(BaseHotKey->KeyCode());
}

int TConfigForm::ChosenHotKeyModifiers() const
{
    int modifiers = 0;
    for (int i = 0; i < HotKeyModCheckListBox->count(); ++i)
        if (HotKeyModCheckListBox->item(i)->checkState() == Qt::Checked)
            modifiers |= kModItems[i].bit;
    return modifiers;
}

void TConfigForm::accept()
{
    const int key = ChosenHotKey();
    const int modifiers = ChosenHotKeyModifiers();
    const bool changed = key != m_loadedHotKey || modifiers != m_loadedHotKeyModifiers;
    if (changed && IsTypingHotKey(key, modifiers) &&
        !Confirm(u"热键“%1”不带 Ctrl、Alt 或 Win：在任何程序里按这个键都会显示或隐藏 "
                 u"Jotvane，这个键也就不能用来打字了。\n\n确实要用它作热键吗？"_s.arg(
                     HotKeyText(key, modifiers)))) {
        PageControl->setCurrentIndex(HotKeyPage);
        BaseHotKey->setFocus();
        return;
    }
    TBaseForm::accept();
}

void TConfigForm::StoreControls()
{
    TAppConfigMgr& c = m_config;
    c.RunOnStartup = RunOnStartupCheckBox->isChecked();
    c.MinOnClose = MinOnCloseCheckBox->isChecked();
    storeRadio(DblClickTitleButtons, c.DblClickTitleActionType);

    c.HotKeyBase = quint8(ChosenHotKey());
    c.HotKeyModifiers = quint8(ChosenHotKeyModifiers());

    c.InsertLineText = InsLineEdit->text();
    c.InsertDateText = InsDateEdit->text();
    c.InsertLineDateText = InsLineDateEdit->text();
    QStringList custom;
    for (int i = 0; i < InsCustomListBox->count(); ++i)
        custom.append(InsCustomListBox->item(i)->text());
    c.SetInsertCustomList(custom);

    c.Alarm = AlarmCheckBox->isChecked();
    c.Beep = BeepCheckBox->isChecked();
    c.ShutDown = ShutDownCheckBox->isChecked();
    c.ShutDownTime = QDateTime(ShutDownTimeDatePicker->date(), ShutDownTimeTimePicker->time());

    c.OnDesktop = OnDesktopCheckBox->isChecked();
    c.ShowWallPaper = ShowWallPaperCheckBox->isChecked();
    storeRadio(DesktopAligmentButtons, c.DesktopAligment);
    // The edit takes digits only, but it can be left empty or hold more digits than a margin
    // can; such a text keeps the margin the settings already had.
    bool ok = false;
    const int margin = AligmentSpaceLabeledEdit->text().toInt(&ok);
    if (ok)
        c.AligmentSpace = margin;

    c.SetDesktopFont(m_workingFont);
    c.SeperatorColor = m_workingColor;
}

void TConfigForm::InsCustomAddButtonClick()
{
    QString text;
    if (InputText(u"添加"_s, text))
        InsCustomListBox->addItem(TextToCommaText(text));
}

void TConfigForm::InsCustomModifyButtonClick()
{
    QListWidgetItem* item = InsCustomListBox->currentItem();
    if (!item || !item->isSelected())
        return;
    QString text = CommaTextToText(item->text());
    if (InputText(u"修改"_s, text))
        item->setText(TextToCommaText(text));
}

void TConfigForm::InsCustomDeleteButtonClick()
{
    QListWidgetItem* item = InsCustomListBox->currentItem();
    if (!item || !item->isSelected())
        return;
    if (Confirm(u"确实删除吗？"_s))
        delete InsCustomListBox->takeItem(InsCustomListBox->row(item));
}

void TConfigForm::DesktoFontButtonClick()
{
    TFontSetting font = m_workingFont;
    if (PickFontSetting(m_dialogs, this, font))
        m_workingFont = font;
}

void TConfigForm::SeperatorColorButtonClick()
{
    TColor color = m_workingColor;
    if (PickColorSetting(m_dialogs, this, color))
        m_workingColor = color;
}

bool TConfigForm::Confirm(const QString& question)
{
    return m_dialogs.MessageBox(this, question, MsgBoxKind::Confirmation,
                                {MsgBoxButton::Yes, MsgBoxButton::No}) == MsgResultYes;
}

bool TConfigForm::InputText(const QString& caption, QString& text)
{
    return InputMemoDialog(m_dialogs, this, caption, u"请输入自定义文本:"_s, 0, false, text);
}

bool ShowSettingsDialog(IDialogService& dialogs, QWidget* owner, TAppConfigMgr& config, int page,
                        const THotKeyDesktop& hotKeyDesktop)
{
    TConfigForm form(owner, config, dialogs);
    form.SetGrantedHotKey(hotKeyDesktop.grantedTrigger);
    form.SetCompositorKeyHint(hotKeyDesktop.compositorKeys);
    if (page >= 0 && page < form.PageControl->count())
        form.PageControl->setCurrentIndex(page);
    form.LoadControls();
    const bool confirmed = dialogs.RunModal(form) == QDialog::Accepted;
    if (confirmed)
        form.StoreControls();
    return confirmed;
}

QString HotKeyText(int virtualKey, int modifiers)
{
    QString text;
    for (const TModItem& mod : kModItems)
        if (modifiers & mod.bit)
            text += QString::fromUtf16(mod.caption) + u'+';
    return text + VirtualKeyName(VirtualKeyFromOrdinal(virtualKey));
}

bool IsTypingHotKey(int virtualKey, int modifiers)
{
    if ((modifiers & ~moShift) != 0)
        return false;
    switch (VirtualKeyFromOrdinal(virtualKey)) {
    case vkBack:
    case vkTab:
    case vkReturn:
    case vkSpace:
    case vkPrior:
    case vkNext:
    case vkEnd:
    case vkHome:
    case vkLeft:
    case vkUp:
    case vkRight:
    case vkDown:
    case vkDelete:
        return true;
    default:
        break;
    }
    // Digits and letters, and the numeric keypad's digits and operators.
    return (virtualKey >= vk0 && virtualKey <= vkZ) || (virtualKey >= vkNumpad0 && virtualKey <= vkDivide);
}
