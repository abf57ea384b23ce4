#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One row of the peer list as the send command sees it.
struct TChatPeer
{
    QString Name;
    QString Address; // IPv4 text, or "address:port" for a peer behind the relay server
    bool Extranet = false;
    bool Checked = false;
};

// One datagram the send command asks for: a text or a file offer to host:port.
struct TChatDatagram
{
    enum TKind
    {
        dkText,
        dkFileOffer
    };
    TKind Kind = dkText;
    QString Host;
    quint16 Port = 0;
    QString Text;      // Text
    QStringList Items; // FileOffer

    bool operator==(const TChatDatagram&) const = default;
};

// What one press of the send command does: the datagrams in their order, the lines for the
// user's own conversation view, and which inputs are used up.
struct TChatPlan
{
    bool NoTarget = false; // nobody checked: nothing is sent, nothing is cleared
    QString TargetText;    // "大家" or the checked names joined by "、"
    QList<TChatDatagram> Datagrams;
    QStringList OwnLines;
    int ExtranetCount = 0;
    bool ClearInput = false;
    bool ClearOffers = false;
};

// The message to send: the box's whole text and its lines as the box shows them (a wrapped
// line counts as several).
struct TChatInput
{
    QString Text;
    QStringList Lines;
};

// The file name part of an offer item's path ("File=/home/a/x.txt" gives "x.txt"); both
// "/" and "\" separate folders, as peers may send either.
QString OfferedName(const QString& item);

// Composes a send: to every checked peer the header and the lines of a non-blank message,
// and to every checked local peer the offer with its two announcing texts. Peers behind the
// relay server receive no offers; they are counted and named in the user's own note.
TChatPlan ComposeChat(const QList<TChatPeer>& peers, const QString& timestamp, const QString& userName,
                      const TChatInput& input, const QStringList& offers);
