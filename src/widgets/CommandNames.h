#pragma once

#include <QStringView>

// The name of one command of the note window (its QAction's object name). Commands are named
// only through the constants below, so that a misspelt name does not compile.
struct TCommandName
{
    const char16_t* name;
    constexpr QStringView view() const { return QStringView(name); }
};

// The commands, in the order of the command table.
namespace Command {
inline constexpr TCommandName LoadFromFile{u"LoadFromFileAction"};
inline constexpr TCommandName SaveToFile{u"SaveToFileAction"};
inline constexpr TCommandName Print{u"PrintAction"};
inline constexpr TCommandName BackUp{u"BackUpAction"};
inline constexpr TCommandName Hide{u"HideAction"};
inline constexpr TCommandName Exit{u"ExitAction"};
inline constexpr TCommandName Undo{u"UndoAction"};
inline constexpr TCommandName Cut{u"CutAction"};
inline constexpr TCommandName Copy{u"CopyAction"};
inline constexpr TCommandName Paste{u"PasteAction"};
inline constexpr TCommandName Find{u"FindAction"};
inline constexpr TCommandName FindNext{u"FindNextAction"};
inline constexpr TCommandName Replace{u"ReplaceAction"};
inline constexpr TCommandName SearchAllPages{u"SearchAllPagesAction"};
inline constexpr TCommandName SelectAll{u"SelectAllAction"};
inline constexpr TCommandName NewPage{u"NewPageAction"};
inline constexpr TCommandName DeletePage{u"DeletePageAction"};
inline constexpr TCommandName ChgPageTitle{u"ChgPageTitleAction"};
inline constexpr TCommandName NextPage{u"NextPageAction"};
inline constexpr TCommandName PrevPage{u"PrevPageAction"};
inline constexpr TCommandName Font{u"FontAction"};
inline constexpr TCommandName BgColor{u"BgColorAction"};
inline constexpr TCommandName WordWrap{u"WordWrapAction"};
inline constexpr TCommandName InsertLine{u"InsertLineAction"};
inline constexpr TCommandName InsertDate{u"InsertDateAction"};
inline constexpr TCommandName InsertLineDate{u"InsertLineDateAction"};
inline constexpr TCommandName InsertConfig{u"InsertConfigAction"};
inline constexpr TCommandName AlarmTime{u"AlarmTimeAction"};
inline constexpr TCommandName SignComplete{u"SignCompleteAction"};
inline constexpr TCommandName Alarm{u"AlarmAction"};
inline constexpr TCommandName Beep{u"BeepAction"};
inline constexpr TCommandName ShutDown{u"ShutDownAction"};
inline constexpr TCommandName OnDesktop{u"OnDesktopAction"};
inline constexpr TCommandName ShowWallPaper{u"ShowWallPaperAction"};
inline constexpr TCommandName DesktoFont{u"DesktoFontAction"};
inline constexpr TCommandName SeperatorColor{u"SeperatorColorAction"};
inline constexpr TCommandName DesktopAligmentLeft{u"DesktopAligmentLeftAction"};
inline constexpr TCommandName DesktopAligmentMiddle{u"DesktopAligmentMiddleAction"};
inline constexpr TCommandName DesktopAligmentRight{u"DesktopAligmentRightAction"};
inline constexpr TCommandName AligmentSpace{u"AligmentSpaceAction"};
inline constexpr TCommandName SignSeperator{u"SignSeperatorAction"};
inline constexpr TCommandName SignOnDesk{u"SignOnDeskAction"};
inline constexpr TCommandName OnDeskAll{u"OnDeskAllAction"};
inline constexpr TCommandName ShowMessager{u"ShowMessagerAction"};
inline constexpr TCommandName Messager{u"MessagerAction"};
inline constexpr TCommandName HideOnStart{u"HideOnStartAction"};
inline constexpr TCommandName StayOnTop{u"StayOnTopAction"};
inline constexpr TCommandName Config{u"ConfigAction"};
inline constexpr TCommandName Notepad{u"NotepadAction"};
inline constexpr TCommandName Calc{u"CalcAction"};
inline constexpr TCommandName InfoCard{u"InfoCardAction"};
inline constexpr TCommandName Calendar{u"CalendarAction"};
inline constexpr TCommandName Game{u"GameAction"};
inline constexpr TCommandName Readme{u"ReadmeAction"};
inline constexpr TCommandName HotKeyList{u"HotKeyListAction"};
inline constexpr TCommandName About{u"AboutAction"};
} // namespace Command
