#include "widgets/ShortcutsFrm.h"

#include "widgets/DialogService.h"

#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QTextBlock>
#include <QTextCursor>

using namespace Qt::StringLiterals;

namespace {

struct TShortcutLine
{
    int group;
    const char16_t* key;
    const char16_t* description;
};

// The key texts are padded to 16 characters; the four Chinese characters of the arrow-key entry
// take as much room on screen as eight more, so that one has 12.
constexpr TShortcutLine ShortcutLines[] = {
    {1, u"Ctrl+F          ", u"查找字符串。"},       {1, u"Ctrl+H          ", u"替换字符串。"},
    {1, u"F3              ", u"继续查找。"},         {1, u"Ctrl+Shift+F    ", u"在所有页面中查找。"},
    {2, u"Ctrl+N          ", u"新建页面。"},         {2, u"Ctr+Del         ", u"删除页面。"},
    {2, u"F2              ", u"修改页面标题。"},     {3, u"Ctrl+-          ", u"插入分隔行。"},
    {3, u"F5              ", u"插入日期时间。"},     {3, u"Ctrl+Alt+-      ", u"插入分隔行和日期时间。"},
    {4, u"F6              ", u"窗口保持在最顶层"},   {4, u"F8              ", u"显示设置窗口"},
    {5, u"ESC             ", u"隐藏窗口。"},         {5, u"Ctrl+Alt+D      ", u"隐藏/显示信使窗体。"},
    {6, u"Alt+左/右 箭头  ", u"切换页面。"},         {6, u"Alt+0..9        ", u"切换页面。"},
    {6, u"Alt+Home        ", u"切换到第一页。"},     {6, u"Alt+End         ", u"切换到最后一页。"},
    {6, u"Alt+D           ", u"弹出页面切换菜单。"}, {6, u"Ctrl+Tab        ", u"显示下一页。"},
    {6, u"Shift+Ctrl+Tab  ", u"显示上一页。"},
};

} // namespace

QString ShortcutListText()
{
    QString text;
    int group = ShortcutLines[0].group;
    for (const TShortcutLine& line : ShortcutLines) {
        if (line.group != group) {
            text += u"\r\n"_s;
            group = line.group;
        }
        text += QString::fromUtf16(line.key) + u"  -  "_s + QString::fromUtf16(line.description) + u"\r\n"_s;
    }
    return text;
}

TShortcutsForm::TShortcutsForm(QWidget* owner) : TBaseForm(owner)
{
    SetPlacement(TPlacement::Owner);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowTitle(u"快捷键列表"_s);
    resize(352, 346);
    m_memo = new QPlainTextEdit(this);
    m_memo->setObjectName(u"Memo"_s);
    m_memo->setReadOnly(true);
    m_memo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The key texts are padded with blanks to one width, which lines up only in a face whose
    // Chinese characters are twice as wide as its Latin ones.
    QFont memoFont(u"WenQuanYi Micro Hei Mono"_s);
    memoFont.setPixelSize(12);
    memoFont.setStyleHint(QFont::TypeWriter);
    m_memo->setFont(memoFont);
    m_memo->setFrameShape(QFrame::StyledPanel);
    m_memo->setFrameShadow(QFrame::Sunken);
    QPalette p = m_memo->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Button));
    m_memo->setPalette(p);
    FillShortcutList();
}

void TShortcutsForm::FillShortcutList()
{
    // The editor keeps line breaks as "\n"; the text itself is the CR LF one.
    QString shown = ShortcutListText();
    shown.replace(u"\r\n"_s, u"\n"_s);
    m_memo->setPlainText(shown);
    // The padding assumes a Chinese character is as wide as two Latin ones, which few
    // monospaced faces honour (0.6 em against 1 em here): the key column's Chinese characters
    // get the difference as extra spacing, so that every "-" lines up.
    const QFontMetricsF metrics(m_memo->font());
    const qreal spacing = 2 * metrics.horizontalAdvance(u'M') - metrics.horizontalAdvance(QChar(0x5DE6));
    QTextCharFormat wide;
    wide.setFontLetterSpacingType(QFont::AbsoluteSpacing);
    wide.setFontLetterSpacing(spacing);
    for (QTextBlock block = m_memo->document()->begin(); block.isValid(); block = block.next()) {
        const QString line = block.text();
        const qsizetype keyEnd = line.indexOf(u"  -  "_s);
        for (qsizetype i = 0; i < keyEnd; ++i) {
            if (line.at(i).unicode() < 0x2E80)
                continue;
            QTextCursor cursor(block);
            cursor.setPosition(block.position() + static_cast<int>(i));
            cursor.setPosition(block.position() + static_cast<int>(i) + 1, QTextCursor::KeepAnchor);
            cursor.mergeCharFormat(wide);
        }
    }
}

void TShortcutsForm::SetMemoMargins()
{
    m_memo->document()->setDocumentMargin(4);
}

void TShortcutsForm::showEvent(QShowEvent* event)
{
    SetMemoMargins();
    TBaseForm::showEvent(event);
}

void TShortcutsForm::resizeEvent(QResizeEvent* event)
{
    // 2 pixels left, right and bottom, 3 at the top.
    m_memo->setGeometry(2, 3, event->size().width() - 4, event->size().height() - 5);
    SetMemoMargins();
    TBaseForm::resizeEvent(event);
}

void ShowShortcutHelp(IDialogService& dialogs, QWidget* owner)
{
    TShortcutsForm form(owner);
    dialogs.RunModal(form);
}
