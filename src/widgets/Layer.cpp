#include "widgets/Layer.h"

#include "widgets/LayerList.h"
#include "widgets/ListError.h"

#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TLayer::TLayer(QWidget* parent) : QWidget(parent), m_layout(new QVBoxLayout(this))
{
    setObjectName(u"Layer"_s);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::NoFocus);
    QWidget::setVisible(false);
    if (auto* list = qobject_cast<TLayerList*>(parent))
        list->InsertLayer(this);
}

TLayer::~TLayer()
{
    if (m_layerList)
        m_layerList->RemoveLayer(this);
}

void TLayer::SetLayerList(TLayerList* list)
{
    if (list == m_layerList)
        return;
    if (m_layerList)
        m_layerList->RemoveLayer(this);
    if (list)
        list->InsertLayer(this);
}

int TLayer::LayerIndex() const
{
    return m_layerList ? m_layerList->IndexOf(this) : -1;
}

void TLayer::SetLayerIndex(int index)
{
    if (!m_layerList)
        return;
    const int last = m_layerList->LayerCount() - 1;
    if (index < 0 || index > last)
        throw EListError(
            u"%1 is an invalid LayerIndex value. LayerIndex must be between 0 and %2"_s.arg(index).arg(last));
    m_layerList->MoveLayer(this, index);
    update();
}

void TLayer::SetBorderWidth(int width)
{
    if (width == m_borderWidth)
        return;
    m_borderWidth = width;
    m_layout->setContentsMargins(width, width, width, width);
    update();
}

QColor TLayer::Color() const
{
    return palette().color(QPalette::Window);
}

void TLayer::SetColor(const QColor& color)
{
    QPalette p = palette();
    p.setColor(QPalette::Window, color);
    setPalette(p);
}

void TLayer::AddControl(QWidget* control)
{
    m_layout->addWidget(control);
}

void TLayer::setVisible(bool visible)
{
    if (visible && m_layerList && m_layerList->ActiveLayer() != this) {
        m_layerList->SetActiveLayer(this); // shows it
        return;
    }
    QWidget::setVisible(visible);
}
