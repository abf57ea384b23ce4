#pragma once

#include <QString>

// Names travel between the messenger's FTP client and server as hex text: the name's ANSI
// (GB18030) bytes, two upper-case hex digits per byte, so that names in any script pass
// unchanged. "测试" is "B2E2CAD4"; the hex text of "" is "".
QString HexText(const QString& text);
// True when hex is well-formed hex text: an even number of characters, each a hex digit.
bool IsHexText(const QString& hex);
// The text that hex text names. Hex text that is not well-formed decodes digit by digit like
// HexToBytes does; callers that must not guess check IsHexText first.
QString TextFromHex(const QString& hex);

// Decodes the last segment of an FTP path: "/a/b/C4E3" gives "/a/b/你"; a path without "/" is
// decoded whole; "/a/" stays "/a/".
QString DecodeLastSegment(const QString& path);

// A single file or folder name that is safe to join to a folder: not "", "." or "..", and
// without "/", "\" or NUL.
bool IsPlainName(const QString& name);

// The folder part of a path, up to and including its last "/", "\" or ":" ("" when none), and
// the name after it. Paths from peers may use either separator.
QString FolderPart(const QString& path);
QString NamePart(const QString& path);

// A local path as it goes into an offer: every "/" becomes "\". A peer splits an offered path into
// its folder and name at the last "\" or ":", so a Linux path must carry its folders that way;
// the server maps what the peer then asks for back onto the item that was offered.
QString WirePath(const QString& localPath);

// The name a received item is saved under: the offered name without its leading dots, so that an
// offer can never land in a hidden file or folder ("." + "config" would be the settings folder).
// A name made only of dots becomes "_".
QString LocalName(const QString& offeredName);
