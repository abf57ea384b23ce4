#include "config/AppConfigMgr.h"
#include "core/DelimitedText.h"
#include "core/PubUtils.h"
#include "core/TextFile.h"

#include <utility>

using namespace Qt::StringLiterals;

namespace {

const QString kConfig = u"Config"_s;
const QString kAlarm = u"Alarm"_s;
const QString kDesktop = u"Desktop"_s;
const QString kMessager = u"Messager"_s;

template <class... Ts> struct Overloaded : Ts...
{
    using Ts::operator()...;
};
template <class... Ts> Overloaded(Ts...) -> Overloaded<Ts...>;

// Every field with its section and key, in the order they are read and written.
template <class Visitor> void visitFields(TAppConfigMgr& c, Visitor&& v)
{
    v(kConfig, u"RunOnStartup"_s, c.RunOnStartup);
    v(kConfig, u"MinOnClose"_s, c.MinOnClose);
    v(kConfig, u"DblClickTitleActionType"_s, c.DblClickTitleActionType);
    v(kConfig, u"WordWrap"_s, c.WordWrap);
    v(kConfig, u"StayOnTop"_s, c.StayOnTop);
    v(kConfig, u"FontName"_s, c.FontName);
    v(kConfig, u"FontSize"_s, c.FontSize);
    v(kConfig, u"FontStyle"_s, c.FontStyle);
    v(kConfig, u"FontColor"_s, c.FontColor);
    v(kConfig, u"FontCharset"_s, c.FontCharset);
    v(kConfig, u"BgColor"_s, c.BgColor);
    v(kConfig, u"PromptMinToTray"_s, c.PromptMinToTray);
    v(kConfig, u"WinLeft"_s, c.WinLeft);
    v(kConfig, u"WinTop"_s, c.WinTop);
    v(kConfig, u"WinRight"_s, c.WinRight);
    v(kConfig, u"WinBottom"_s, c.WinBottom);
    v(kConfig, u"WinMaximized"_s, c.WinMaximized);
    v(kConfig, u"PageIndex"_s, c.PageIndex);
    v(kConfig, u"HotKeyBase"_s, c.HotKeyBase);
    v(kConfig, u"HotKeyModifiers"_s, c.HotKeyModifiers);
    v(kConfig, u"InsertLineText"_s, c.InsertLineText);
    v(kConfig, u"InsertDateText"_s, c.InsertDateText);
    v(kConfig, u"InsertLineDateText"_s, c.InsertLineDateText);
    v(kConfig, u"InsertCustomList"_s, c.InsertCustomList);
    v(kAlarm, u"Alarm"_s, c.Alarm);
    v(kAlarm, u"Beep"_s, c.Beep);
    v(kAlarm, u"ShutDown"_s, c.ShutDown);
    v(kAlarm, u"ShutDownTime"_s, c.ShutDownTime);
    v(kDesktop, u"OnDesktop"_s, c.OnDesktop);
    v(kDesktop, u"DesktoFontName"_s, c.DesktoFontName);
    v(kDesktop, u"DesktoFontSize"_s, c.DesktoFontSize);
    v(kDesktop, u"DesktoFontStyle"_s, c.DesktoFontStyle);
    v(kDesktop, u"DesktoFontColor"_s, c.DesktoFontColor);
    v(kDesktop, u"DesktoFontCharset"_s, c.DesktoFontCharset);
    v(kDesktop, u"SeperatorColor"_s, c.SeperatorColor);
    v(kDesktop, u"DesktopAligment"_s, c.DesktopAligment);
    v(kDesktop, u"AligmentSpace"_s, c.AligmentSpace);
    v(kDesktop, u"ShowWallPaper"_s, c.ShowWallPaper);
    v(kMessager, u"Messager"_s, c.Messager);
    v(kMessager, u"HideOnStart"_s, c.HideOnStart);
}

} // namespace

TAppConfigMgr::TAppConfigMgr(QString fileName, const QDateTime& now)
    : m_fileName(std::move(fileName)), m_created(now)
{
    SetDefaults();
    LoadSettings();
}

TAppConfigMgr::~TAppConfigMgr()
{
    if (m_saveOnRelease)
        SaveSettings();
}

void TAppConfigMgr::SetDefaults()
{
    RunOnStartup = true;
    MinOnClose = true;
    DblClickTitleActionType = 1;
    WordWrap = true;
    StayOnTop = false;
    FontName = u"宋体"_s;
    FontSize = 9;
    FontStyle = 0;
    FontColor = 0;
    FontCharset = 134;
    BgColor = -16777211;
    PromptMinToTray = true;
    WinLeft = WinTop = WinRight = WinBottom = 0;
    WinMaximized = false;
    PageIndex = 0;
    HotKeyBase = 37;
    HotKeyModifiers = 2;
    InsertLineText = u"crlf() + chars('-', 80) + crlf()"_s;
    InsertDateText = u"date() + ' ' + time()"_s;
    InsertLineDateText =
        u"crlf() + chars('-', 29) + ' ' + date() + ' ' + time() + ' ' + chars('-', 30) + crlf()"_s;
    InsertCustomList.clear();
    Alarm = true;
    Beep = true;
    ShutDown = false;
    ShutDownTime = m_created.addSecs(30);
    OnDesktop = true;
    DesktoFontName = u"宋体"_s;
    DesktoFontSize = 11;
    DesktoFontStyle = 0;
    DesktoFontColor = 16777215;
    DesktoFontCharset = 134;
    SeperatorColor = 65280;
    DesktopAligment = 2;
    AligmentSpace = 10;
    ShowWallPaper = true;
    Messager = true;
    HideOnStart = true;
}

bool TAppConfigMgr::LoadSettings()
{
    const bool loaded = TryLoadFromFile(m_fileName);
    readFields();
    return loaded;
}

bool TAppConfigMgr::SaveSettings()
{
    writeFields();
    return TrySaveToFile(m_fileName);
}

void TAppConfigMgr::readFields()
{
    visitFields(
        *this,
        Overloaded{
            [this](const QString& s, const QString& k, bool& field) { field = ReadBool(s, k, field); },
            [this](const QString& s, const QString& k, qint32& field) { field = ReadInteger(s, k, field); },
            // An 8-bit field keeps the low 8 bits of the number: 258 reads as 2.
            [this](const QString& s, const QString& k, quint8& field) {
                field = quint8(ReadInteger(s, k, field) & 0xFF);
            },
            [this](const QString& s, const QString& k, QString& field) { field = ReadString(s, k, field); },
            [this](const QString& s, const QString& k, QDateTime& field) {
                QDateTime value;
                if (TextToDateTime(ReadString(s, k, DateTimeToText(field)), value))
                    field = value;
            },
            [this](const QString& s, const QString& k, QStringList& field) {
                field = DecodeCustomList(ReadString(s, k, QString()));
            },
        });
}

void TAppConfigMgr::writeFields()
{
    visitFields(*this,
                Overloaded{
                    [this](const QString& s, const QString& k, bool& field) { WriteBool(s, k, field); },
                    [this](const QString& s, const QString& k, qint32& field) { WriteInteger(s, k, field); },
                    [this](const QString& s, const QString& k, quint8& field) { WriteInteger(s, k, field); },
                    [this](const QString& s, const QString& k, QString& field) { WriteString(s, k, field); },
                    [this](const QString& s, const QString& k, QDateTime& field) {
                        WriteString(s, k, DateTimeToText(field));
                    },
                    [this](const QString& s, const QString& k, QStringList& field) {
                        WriteString(s, k, EncodeCustomList(field));
                    },
                });
}

TFontSetting TAppConfigMgr::EditorFont() const
{
    return TFontSetting{FontName, FontSize, FontStyle, FontColor, FontCharset};
}

void TAppConfigMgr::SetEditorFont(const TFontSetting& font)
{
    FontName = font.Name;
    FontSize = font.Size;
    FontStyle = font.Style;
    FontColor = font.Color;
    FontCharset = font.Charset;
}

TFontSetting TAppConfigMgr::DesktopFont() const
{
    return TFontSetting{DesktoFontName, DesktoFontSize, DesktoFontStyle, DesktoFontColor, DesktoFontCharset};
}

void TAppConfigMgr::SetDesktopFont(const TFontSetting& font)
{
    DesktoFontName = font.Name;
    DesktoFontSize = font.Size;
    DesktoFontStyle = font.Style;
    DesktoFontColor = font.Color;
    DesktoFontCharset = font.Charset;
}

QString TAppConfigMgr::DateTimeToText(const QDateTime& value)
{
    const QTime time = value.time();
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0)
        return value.date().toString(u"yyyy-MM-dd"_s);
    return value.toString(u"yyyy-MM-dd hh:mm:ss"_s);
}

bool TAppConfigMgr::TextToDateTime(const QString& text, QDateTime& value)
{
    // Year, month and day joined by "-" or "/", then optionally hours, minutes and seconds,
    // with blanks around. Read by hand: a pattern compiled at every start costs more than the
    // rest of the settings together.
    qsizetype at = 0;
    const qsizetype end = text.size();
    const auto skipBlanks = [&] {
        const qsizetype from = at;
        while (at < end && (text[at] == u' ' || (text[at] >= u'\t' && text[at] <= u'\r')))
            ++at;
        return at > from;
    };
    // minDigits to maxDigits ASCII digits; -1 when there are fewer.
    const auto number = [&](int minDigits, int maxDigits) {
        int result = 0;
        int digits = 0;
        while (digits < maxDigits && at < end && text[at] >= u'0' && text[at] <= u'9') {
            result = result * 10 + (text[at].unicode() - u'0');
            ++at;
            ++digits;
        }
        return digits >= minDigits ? result : -1;
    };
    const auto take = [&](QChar c) {
        if (at < end && text[at] == c) {
            ++at;
            return true;
        }
        return false;
    };
    skipBlanks();
    const int year = number(4, 4);
    if (year < 0 || at >= end || (text[at] != u'-' && text[at] != u'/'))
        return false;
    const QChar separator = text[at++];
    const int month = number(1, 2);
    if (month < 0 || !take(separator))
        return false;
    const int day = number(1, 2);
    if (day < 0)
        return false;
    QTime time(0, 0);
    if (skipBlanks() && at < end) {
        const int hour = number(1, 2);
        if (hour < 0 || !take(u':'))
            return false;
        const int minute = number(1, 2);
        if (minute < 0)
            return false;
        int second = 0;
        if (take(u':') && (second = number(1, 2)) < 0)
            return false;
        time = QTime(hour, minute, second);
        skipBlanks();
    }
    if (at != end)
        return false;
    const QDate date(year, month, day);
    if (!date.isValid() || !time.isValid())
        return false;
    value = QDateTime(date, time);
    return true;
}

QString TAppConfigMgr::EncodeCustomList(const QStringList& list)
{
    if (list.isEmpty())
        return QString();
    return QString::fromLatin1(BytesToHex(AnsiFromText(JoinDelimited(list, u','))));
}

QStringList TAppConfigMgr::DecodeCustomList(const QString& hex)
{
    QByteArray digits;
    for (qsizetype i = 0; i + 1 < hex.size() && IsHexDigit(hex[i]) && IsHexDigit(hex[i + 1]); i += 2) {
        digits.append(char(hex[i].unicode()));
        digits.append(char(hex[i + 1].unicode()));
    }
    return SplitDelimited(TextFromAnsi(HexToBytes(digits)), u',');
}
