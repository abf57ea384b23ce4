#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The file side of Open, Save as and Backup, without windows.

// The filter of the open and save dialogs, in its stored form: pairs of name and pattern.
inline constexpr char16_t kTextFileFilter[] = u"Text Files(*.txt)|*.txt|All Files(*.*)|*.*";
// "Text Files(*.txt);;All Files(*)": name|pattern pairs as a Qt file dialog filter; a name
// without its pattern in parentheses gets it appended, and "*.*" becomes "*", which also
// matches names without a dot.
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

// An entry of a backup that was not copied or written, and why ("没有权限").
struct TBackupFailure
{
    QString name;
    QString reason;

    bool operator==(const TBackupFailure&) const = default;
};

// Copies every entry, overwriting files of the same name; a file that cannot be copied is
// skipped and the rest still copied. A target file is replaced only once its copy is complete.
// Returns the entries that were not copied.
QList<TBackupFailure> RunBackup(const QList<TBackupEntry>& plan);

// A page whose text could not be written to its own file before a backup.
struct TUnsavedPage
{
    QString fileName; // the page file's name in Data, "{GUID}.txt"
    int position = 0;
    QString title;
    QString text;
};

// Writes each page into the backup's Data folder as its page file would have been, so that the
// backup holds the text the user sees and a restore needs nothing but copying Data back.
// Returns the pages that could not be written either, by their names in the backup.
QList<TBackupFailure> BackupUnsavedPages(const QString& target, const QList<TUnsavedPage>& pages);

// What went wrong around a backup, for one message.
struct TBackupOutcome
{
    // Why the pages could not be saved before the backup; empty when they were.
    QString pagesNotSaved;
    // How many of those pages went into the backup with their current text.
    int pagesKeptInBackup = 0;
    // Why the chat log could not be written before the backup; empty when it was.
    QString chatNotSaved;
    QList<TBackupFailure> failures;
};

// The message about a backup: what could not be saved or copied, a count and the reason of
// each kind of failure, short enough for any screen; every entry that failed goes into the
// details, one line each. An empty message when everything went well.
struct TBackupReport
{
    QString message;
    QString details;
};
TBackupReport BackupReport(const TBackupOutcome& outcome);
