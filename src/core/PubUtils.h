#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// Where the program keeps its files. A copy in a folder of the user's own (writable, and not
// part of an installed tree) keeps everything beside itself. An installed copy - its folder not
// writable, or the marker share/jotvane/installed beside the binary's folder - keeps the same
// files and folders in $XDG_DATA_HOME/Jotvane/ and finds its read-only companions (Readme.txt,
// Images/) in the installed share/jotvane/ folder.
struct TAppLocations
{
    bool installed = false;
    QString dataDir;      // the writable root, with its trailing "/"
    QString exeDir;       // the executable's folder, with its trailing "/"
    QString companionDir; // share/jotvane/ of an installed tree; empty for a portable copy
};
// The marker an installed tree carries in its share/jotvane/ folder.
inline constexpr char16_t kInstalledMarker[] = u"installed";
// Decides the layout for an executable in exeDir; userDataHome is $XDG_DATA_HOME. The data folder
// of an installed copy is created here.
TAppLocations ResolveAppLocations(const QString& exeDir, const QString& userDataHome, bool exeDirWritable);
// The layout of the running program, decided once.
const TAppLocations& AppLocations();
// The same layout found before the application object exists, from the executable the system
// started; nothing when that cannot be told.
std::optional<TAppLocations> AppLocationsBeforeStart();

// The root of the program's own files (Data/, Config.ini, MSGConfig.ini, chat.txt...), with its
// trailing "/": the executable's folder for a portable copy, $XDG_DATA_HOME/Jotvane/ installed.
QString AppDir();
// NormalizeDir(AppDir() + name): AppSubDir("Data") is the page folder.
QString AppSubDir(const QString& name);
// A read-only companion of the program (Readme.txt, Images/, a helper program): the one beside
// the executable, else the one in the installed share folder; the path beside the executable
// when neither exists.
QString CompanionPath(const QString& name);
QString CompanionPath(const TAppLocations& locations, const QString& name);
// Trims blanks and control characters at both ends and, unless the result is empty or already
// ends in a folder separator, appends "/".
QString NormalizeDir(const QString& path);
// True when the path (or, for a pattern with wildcards, its first match) is a folder.
bool IsFolder(const QString& path);

// Whole text a 32-bit signed integer: leading blanks, a sign, then decimal digits, or hex digits
// after "$", "x" or "0x". Nothing may follow.
bool IsInteger(const QString& text);
// The value of a text for which IsInteger holds; fallback otherwise.
int StrToIntDef(const QString& text, int fallback);
// 1-based position of the last ch in text, 0 when absent.
int LastCharPos(QChar ch, const QString& text);
QString ReplaceChar(const QString& text, QChar from, QChar to);

// Removes blanks and control characters (every unit up to U+0020) from both ends.
QString TrimBlanksAndControls(const QString& text);
// Only the ASCII letters A-Z are lowered; every other unit stays as it is.
QString LowerAsciiLetters(const QString& text);
// 0-9, A-F or a-f.
bool IsHexDigit(QChar c);

// Two upper-case hex digits per byte, high nibble first.
QByteArray BytesToHex(const QByteArray& bytes);
// Two characters per byte, letters in either case; an odd last character counts as the high
// nibble of a last byte. Characters other than hex digits give the value the digit rule gives.
QByteArray HexToBytes(const QByteArray& hex);

// The comma text of a text's lines: JoinDelimited (core/DelimitedText.h) with ",".
QString TextToCommaText(const QString& text);
// The items of a comma text (SplitDelimited with ",") as lines joined by CR LF, without line breaks at the
// end.
QString CommaTextToText(const QString& text);

// Copies every entry of source into target (created with its parents); with recursive on,
// sub-folders are copied the same way. Single failures are skipped.
void CopyFolder(const QString& source, const QString& target, bool recursive);
