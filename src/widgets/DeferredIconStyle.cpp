#include "widgets/DeferredIconStyle.h"

#include <QApplication>
#include <QIconEngine>
#include <QPointer>
#include <QStyleFactory>
#include <QWidget>

#include <memory>

namespace {

// Stands for one standard icon of a style until something needs its pixels or its sizes.
// Copies of the icon share the loaded one.
class TDeferredIconEngine final : public QIconEngine
{
public:
    TDeferredIconEngine(QStyle* style, QStyle::StandardPixmap which, const QWidget* widget)
        : m_state(std::make_shared<TState>(TState{style, which, const_cast<QWidget*>(widget), {}, false}))
    {
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        return icon().pixmap(size, scale, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }
    bool isNull() override { return icon().isNull(); }
    QString key() const override { return QStringLiteral("TDeferredIconEngine"); }
    QIconEngine* clone() const override { return new TDeferredIconEngine(*this); }

private:
    struct TState
    {
        QPointer<QStyle> style;
        QStyle::StandardPixmap which;
        QPointer<QWidget> widget; // the style reads it only
        QIcon loaded;
        bool done;
    };
    const QIcon& icon()
    {
        TState& state = *m_state;
        if (!state.done && state.style) {
            state.loaded = state.style->standardIcon(state.which, nullptr, state.widget);
            state.done = true;
        }
        return state.loaded;
    }
    std::shared_ptr<TState> m_state;
};

} // namespace

TDeferredIconStyle::TDeferredIconStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name()))
{
}

QIcon TDeferredIconStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption* option,
                                       const QWidget* widget) const
{
    // An icon shaped by an option is loaded now: the option lives only for this call.
    if (option)
        return QProxyStyle::standardIcon(standardIcon, option, widget);
    return QIcon(new TDeferredIconEngine(baseStyle(), standardIcon, widget));
}
