#pragma once

// Stand-ins for what the messenger protocol talks to: a socket that records what is sent, and
// a peer list, conversation and offer list in memory. The headless test peer uses the same
// in-memory lists.

#include "messenger/DatagramSocket.h"
#include "messenger/ProtocolHooks.h"
#include "messenger/codec/MessagerCodec.h"
#include "platform/SystemInfo.h"

#include <QList>
#include <QString>
#include <QStringList>

struct TSentDatagram
{
    QString Host;
    quint16 Port = 0;
    QByteArray Bytes;

    TMessageKind Kind() const { return TMessageKind(quint8(Bytes.at(0))); }
    TMessage Decoded() const { return DecodeMessage(Bytes).value_or(TMessage{}); }
};

class TRecordingSocket final : public IDatagramSocket
{
public:
    bool Open(quint16 port) override
    {
        OpenPort = port;
        m_open = CanOpen;
        return m_open;
    }
    void Close() override { m_open = false; }
    bool IsOpen() const override { return m_open; }
    bool Send(const QString& host, quint16 port, const QByteArray& bytes) override
    {
        Sent.append({host, port, bytes});
        return m_open;
    }
    QString LocalIPv4() const override { return LocalAddress; }

    QList<TSentDatagram> Sent;
    QString LocalAddress = QStringLiteral("10.0.0.2");
    quint16 OpenPort = 0;
    bool CanOpen = true;

private:
    bool m_open = false;
};

class TFixedSystemInfo final : public ISystemInfo
{
public:
    QString computerName() const override { return Name; }
    QString hardwareAddress() const override
    {
        ++CardQueries;
        return Card;
    }

    QString Name = QStringLiteral("HOST");
    QString Card = QStringLiteral("0A0B0C0D0E0F");
    mutable int CardQueries = 0;
};

using TPeerRow = TPeerInfo;

class TMemoryPeerList final : public IPeerList
{
public:
    int PeerCount() const override { return int(Rows.size()); }
    TPeerInfo PeerAt(int row) const override { return Rows.value(row); }
    int FindPeerByIP(const QString& address) const override
    {
        for (int i = 0; i < Rows.size(); ++i) {
            if (Rows.at(i).Address == address)
                return i;
        }
        return -1;
    }
    int FindPeerByCard(const QString& card) const override
    {
        for (int i = 0; i < Rows.size(); ++i) {
            if (Rows.at(i).Card == card)
                return i;
        }
        return -1;
    }
    void AddPeer(const QString& name, const QString& address, const QString& card,
                 const QString& type) override
    {
        Rows.append(TPeerRow{});
        States.append(TPeerState::Normal);
        UpdatePeer(int(Rows.size()) - 1, name, address, card, type);
    }
    void UpdatePeer(int row, const QString& name, const QString& address, const QString& card,
                    const QString& type) override
    {
        Rows[row] = {name, address, card, type};
    }
    void DeletePeer(int row) override
    {
        Rows.removeAt(row);
        States.removeAt(row);
    }
    void ClearPeers() override
    {
        Rows.clear();
        States.clear();
    }
    void SetPeerState(int row, TPeerState state) override { States[row] = state; }
    void ShowOnlineNotice(const QString& name) override { Notices.append(QStringLiteral("online ") + name); }
    void ShowOfflineNotice(const QString& name) override
    {
        Notices.append(QStringLiteral("offline ") + name);
    }

    QList<TPeerRow> Rows;
    QList<TPeerState> States;
    QStringList Notices;
};

class TMemoryConversation final : public IConversation
{
public:
    void AppendToConversation(const QString& text) override { Lines.append(text); }
    void AttendIncoming(const QString& name, const QString& senderAddress) override
    {
        Attended.append(name);
        AttendedFrom.append(senderAddress);
    }

    QStringList Lines;
    QStringList Attended;
    QStringList AttendedFrom;
};

class TMemoryOffers final : public IOfferList
{
public:
    int PendingOfferCount() const override { return int(Items.size()); }
    void AcceptOffer(const QString& senderAddress, const QStringList& items) override
    {
        Host = senderAddress;
        Items = items;
    }

    QString Host;
    QStringList Items;
};
