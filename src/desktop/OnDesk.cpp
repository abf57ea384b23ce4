#include "desktop/OnDesk.h"

#include "config/AppConfigMgr.h"

#include <cmath>

using namespace Qt::StringLiterals;

const QString kActiveDesktopMessage = u"当活动桌面存在时，文字不能在桌面上显示！"_s;
const QString kHookFailedMessage = u"钩子安装失败！"_s;
const QString kNoBackgroundLayerMessage =
    u"这个桌面没有提供背景层，文字不能显示在桌面上。\n在 sway、Hyprland、KDE Plasma 等提供 layer-shell 的桌面上可以显示。"_s;
const QString kMarginCaptionPrefix = u"边距(&S):"_s;
const QString kMarginPrompt = u"请输入新边距值:       "_s;
const QString kMarginNotANumberMessage = u"输入的不是数字!"_s;
const QString kMarginNegativeMessage = u"边距值必须大于等于0"_s;

QStringList EditorLines(const QString& text)
{
    QString normal = text;
    normal.replace(u"\r\n"_s, u"\n"_s);
    normal.replace(u'\r', u'\n');
    if (normal.isEmpty())
        return {};
    QStringList lines = normal.split(u'\n');
    if (normal.endsWith(u'\n'))
        lines.removeLast();
    return lines;
}

QStringList DesktopLines(const QStringList& pageLines)
{
    const qsizetype marker = pageLines.indexOf(QString::fromUtf16(kDesktopMarker));
    return marker < 0 ? pageLines : pageLines.mid(marker + 1);
}

qint8 AlignmentCode(quint8 desktopAligment)
{
    return static_cast<qint8>(static_cast<int>(desktopAligment) - 1);
}

TLogFontW LogFontFromSetting(const TFontSetting& font)
{
    TLogFontW lf{};
    lf.lfHeight = -static_cast<qint32>(std::lround(font.Size * 96.0 / 72.0));
    lf.lfWeight = (font.Style & 1) ? 700 : 400;
    lf.lfItalic = (font.Style & 2) ? 1 : 0;
    lf.lfUnderline = (font.Style & 4) ? 1 : 0;
    lf.lfStrikeOut = (font.Style & 8) ? 1 : 0;
    lf.lfCharSet = font.Charset;
    // The face name is cut to 31 code units, leaving room for the terminating NUL.
    const QString name = font.Name.left(31);
    for (qsizetype i = 0; i < name.size(); ++i)
        lf.lfFaceName[i] = name.at(i).unicode();
    return lf;
}

void SendDesktopLines(IDeskHook& hook, const QStringList& pageLines)
{
    const QStringList lines = DesktopLines(pageLines);
    qint32 k = 0;
    for (const QString& line : lines)
        hook.SetEssay(k++, line);
    hook.SetEssayCount(k);
}

void ApplyDesktopFont(IDeskHook& hook, const TAppConfigMgr& config)
{
    hook.SetEssayFont(LogFontFromSetting(config.DesktopFont()));
    hook.SetEssayColor(config.SeperatorColor, config.DesktoFontColor);
}

void ApplyDesktopSettings(IDeskHook& hook, const TAppConfigMgr& config, const QStringList& pageLines)
{
    hook.SetShowDesktopWallPaper(config.ShowWallPaper);
    hook.SetEssayColor(config.SeperatorColor, config.DesktoFontColor);
    ApplyDesktopFont(hook, config);
    SendDesktopLines(hook, pageLines);
    hook.SetEssayAligment(AlignmentCode(config.DesktopAligment), config.AligmentSpace);
}

bool SetDesktopDisplay(bool on, IDeskHook& hook, const TAppConfigMgr& config, const QStringList& pageLines,
                       const TDesktopWindows& windows, const TDeskNotify& notify)
{
    if (!on) {
        hook.SetDeskHook(0);
        return false;
    }
    if (windows.FindActiveDesktop && windows.FindActiveDesktop() != 0) {
        if (notify)
            notify(kActiveDesktopMessage, TDeskNoticeKind::Information);
        return false;
    }
    hook.SetShowClock(false);
    const quintptr desktop = windows.FindDesktopListView ? windows.FindDesktopListView() : 0;
    if (!hook.SetDeskHook(desktop) && notify) {
        if (windows.waylandSession)
            notify(kNoBackgroundLayerMessage, TDeskNoticeKind::Unsupported);
        else
            notify(kHookFailedMessage, TDeskNoticeKind::Error);
    }
    ApplyDesktopSettings(hook, config, pageLines);
    return true;
}

QString ProposedMargin(const QString& caption)
{
    const qsizetype colon = caption.indexOf(u':');
    return colon < 0 ? QString() : caption.mid(colon + 1);
}

TMarginAnswer ParseMargin(const QString& answer, qint32& margin)
{
    bool ok = false;
    const int value = answer.trimmed().toInt(&ok, 10);
    if (!ok)
        return TMarginAnswer::NotANumber;
    if (value < 0)
        return TMarginAnswer::Negative;
    margin = value;
    return TMarginAnswer::Accepted;
}
