#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The file side of Open, Save as and Backup, without windows.

// The filter of the open and save dialogs, in its stored form: pairs of name and pattern.
inline constexpr char16_t kTextFileFilter[] = u"Text Files(*.txt)|*.txt|All Files(*.*)|*.*";
// "Text Files(*.txt);;All Files(*.*)": name|pattern pairs as a Qt file dialog filter; a name
// without its pattern in parentheses gets it appended.
QString QtFileFilter(const QString& filter);

// The data file of the companion address-book program, copied by Backup when present.
inline constexpr char16_t kAddressBookDataFile[] = u"jotvane-addressbook.dat";

// Writes a page's text as a text file of its own: UTF-16 LE with FF FE and CR LF after every
// line, the last one included. Throws EFileError when it cannot be written; an existing file
// then stays as it was.
void SaveTextAs(const QString& path, const QString& pageText);

// Why a page's text cannot be saved as path: a file in the page folder is a page of its own
// (with its key and title lines), which the text alone would spoil. Empty when it can.
QString SaveAsTargetProblem(const QString& appDir, const QString& path);

// One entry a backup copies: a file, or a folder (so that empty folders are copied too).
struct TBackupEntry
{
    QString source;
    QString target;
    QString name; // the source relative to the program folder, "Data/x.txt", for messages
    bool folder = false;

    bool operator==(const TBackupEntry&) const = default;
};

// Why target cannot take a backup of appDir: the page folder (or a folder inside it) would be
// copied into itself, and the program folder would be copied onto itself. Empty when it can.
// Both folders end in "/"; links are followed, and a target that does not exist yet counts by
// the folder it would be made in.
QString BackupTargetProblem(const QString& appDir, const QString& target);

// What a backup of appDir into target copies, in order: the page folder Data with everything
// in it (hidden files and sub-folders included), then chat.txt, Config.ini, MSGConfig.ini and
// the address book's data file, each only when it exists.
QList<TBackupEntry> PlanBackup(const QString& appDir, const QString& target,
                               const QString& addressBookFile = QString::fromUtf16(kAddressBookDataFile));

// Copies every entry, overwriting files of the same name; a file that cannot be copied is
// skipped and the rest still copied. A target file is replaced only once its copy is complete.
// Returns the names of the entries that were not copied.
QStringList RunBackup(const QList<TBackupEntry>& plan);
