#pragma once

#include <QString>
#include <QStringList>

// What the datagram handling changes outside itself: the peer list, the conversation and the
// list of received offers. The messenger window implements them; tests use recording fakes.
// Every text handed over comes from the network and is shown as plain text only.

// What one row of the peer list holds.
struct TPeerInfo
{
    QString Name;
    QString Address; // IPv4 text, or "address:port" for a peer behind the relay server
    QString Card;
    QString Type;

    bool operator==(const TPeerInfo&) const = default;
};

// How a row is shown besides its texts.
enum class TPeerState
{
    Normal,
    // Another row holds the same card from another address, and both answer.
    Conflict,
    // The peer has not answered the last queries: greyed until it answers or is removed.
    Offline,
};

// The list of online peers. A row is its position in display order; rows stay valid until
// the next call that adds or removes one.
class IPeerList
{
public:
    virtual ~IPeerList() = default;
    virtual int PeerCount() const = 0;
    virtual TPeerInfo PeerAt(int row) const = 0;
    // The first row whose address column equals the text, or -1.
    virtual int FindPeerByIP(const QString& address) const = 0;
    // The first row whose card column equals the text, or -1.
    virtual int FindPeerByCard(const QString& card) const = 0;
    virtual void AddPeer(const QString& name, const QString& address, const QString& card,
                         const QString& type) = 0;
    virtual void UpdatePeer(int row, const QString& name, const QString& address, const QString& card,
                            const QString& type) = 0;
    virtual void DeletePeer(int row) = 0;
    virtual void ClearPeers() = 0;
    virtual void ShowOnlineNotice(const QString& name) = 0;
    virtual void ShowOfflineNotice(const QString& name) = 0;
    virtual void SetPeerState(int row, TPeerState state)
    {
        (void)row;
        (void)state;
    }
};

// The conversation view.
class IConversation
{
public:
    virtual ~IConversation() = default;
    // Appends the text as one new line and moves the caret to the end.
    virtual void AppendToConversation(const QString& text) = 0;
    // Draws the user's attention to a message or offer from the named sender at the address
    // (empty when it comes from this computer's own user).
    virtual void AttendIncoming(const QString& name, const QString& senderAddress) = 0;
};

// The files and folders offered by a peer that wait for the user's decision.
class IOfferList
{
public:
    virtual ~IOfferList() = default;
    virtual int PendingOfferCount() const = 0;
    // Takes the offer of the peer at the address; called only while nothing is pending.
    virtual void AcceptOffer(const QString& senderAddress, const QStringList& items) = 0;
};
