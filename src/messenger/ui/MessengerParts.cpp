#include "messenger/ui/MessengerParts.h"

#include "messenger/DatagramSocket.h"
#include "messenger/ui/MessagerFrm.h"
#include "platform/HotKeyGrabber.h"
#include "platform/linux/SystemHotKeyGrabber.h"

using namespace Qt::StringLiterals;

std::unique_ptr<IDatagramSocket> TRealMessengerParts::socket()
{
    return std::make_unique<TUdpDatagramSocket>();
}

std::unique_ptr<IHotKeyGrabber> TRealMessengerParts::hotKeyGrabber()
{
    return CreateSystemHotKeyGrabber(u"messenger"_s, u"显示/隐藏 Jotvane 消息窗口"_s);
}

std::unique_ptr<IOfferList> TRealMessengerParts::offerList(TMessagerForm& form)
{
    return m_dialogs ? MakeDownloadOffers(form, *m_dialogs) : nullptr;
}
