#include "widgets/LayerList.h"

#include "widgets/Layer.h"
#include "widgets/ListError.h"

#include <QResizeEvent>

using namespace Qt::StringLiterals;

TLayerList::TLayerList(QWidget* parent) : QWidget(parent)
{
    setObjectName(u"LayerList"_s);
    resize(80, 80);
}

TLayerList::~TLayerList()
{
    ClearLayers();
}

TLayer* TLayerList::Layers(int index) const
{
    if (index < 0 || index >= LayerCount())
        throw EListError(u"List index out of bounds (%1)"_s.arg(index));
    TLayer* layer = m_layers.at(index);
    return layer ? layer : MakeLayer(index);
}

TLayer* TLayerList::ExistingLayer(int index) const
{
    return index >= 0 && index < LayerCount() ? m_layers.at(index) : nullptr;
}

TLayer* TLayerList::MakeLayer(int index) const
{
    // Making a layer changes no layer's place or the active one: the getters stay const.
    auto* self = const_cast<TLayerList*>(this);
    auto* layer = new TLayer(nullptr);
    layer->m_layerList = self;
    layer->setParent(self);
    layer->setGeometry(rect());
    m_layers[index] = layer;
    return layer;
}

int TLayerList::ActiveLayerIndex() const
{
    return m_activeLayer ? IndexOf(m_activeLayer) : -1;
}

void TLayerList::SetActiveLayerIndex(int index)
{
    SetActiveLayer(index >= 0 && index < LayerCount() ? Layers(index) : nullptr);
}

void TLayerList::SetActiveLayer(TLayer* layer)
{
    if (layer && layer->m_layerList != this)
        return;
    if (layer == m_activeLayer)
        return;
    TLayer* previous = m_activeLayer;
    // Recorded before showing, so that showing the new layer does not re-enter here.
    m_activeLayer = layer;
    if (previous)
        previous->QWidget::setVisible(false);
    if (!layer)
        return;
    layer->setGeometry(rect());
    layer->QWidget::setVisible(true);
    layer->raise();
    // The focus goes to the layer's first control that takes it (a page's editor).
    // Only the layer's own controls are looked at: walking the window's whole focus chain for
    // every new page made loading many pages quadratic.
    const QList<QWidget*> controls = layer->findChildren<QWidget*>();
    for (QWidget* w : controls) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(layer)) {
            w->setFocus(Qt::OtherFocusReason);
            break;
        }
    }
    emit OnLayerChanged();
}

TLayer* TLayerList::AddLayer()
{
    auto* layer = new TLayer(this);
    InsertLayer(layer);
    layer->show();
    return layer;
}

void TLayerList::AddLayers(int count)
{
    if (count <= 0)
        return;
    m_layers.resize(m_layers.size() + count, nullptr);
    SetActiveLayer(Layers(LayerCount() - 1));
}

void TLayerList::InsertLayer(TLayer* layer)
{
    if (!layer || m_layers.contains(layer))
        return;
    if (layer->m_layerList && layer->m_layerList != this)
        layer->m_layerList->RemoveLayer(layer);
    m_layers.append(layer);
    layer->m_layerList = this;
    if (layer->parentWidget() != this)
        layer->setParent(this);
    layer->setGeometry(rect());
    SetActiveLayer(layer);
}

void TLayerList::RemoveLayer(TLayer* layer)
{
    if (!layer || !m_layers.contains(layer))
        return;
    layer->m_layerList = nullptr;
    m_layers.removeOne(layer);
    if (layer == m_activeLayer) {
        m_activeLayer = nullptr;
        // Out of the list it is no longer the one shown layer.
        layer->QWidget::setVisible(false);
        SelectFirstLayer();
    }
}

bool TLayerList::SelectFirstLayer()
{
    if (m_layers.isEmpty())
        return false;
    SetActiveLayer(Layers(0));
    return true;
}

bool TLayerList::SelectNextLayer()
{
    const int index = ActiveLayerIndex();
    if (index < 0 || index >= LayerCount() - 1)
        return false;
    SetActiveLayer(Layers(index + 1));
    return true;
}

void TLayerList::ClearLayers()
{
    // No layer is active while they go, so that none is activated on the way.
    if (m_activeLayer)
        m_activeLayer->QWidget::setVisible(false);
    m_activeLayer = nullptr;
    while (!m_layers.isEmpty()) {
        if (TLayer* layer = m_layers.last())
            delete layer; // removes itself from the list
        else
            m_layers.removeLast();
    }
}

void TLayerList::MoveLayer(TLayer* layer, int to)
{
    m_layers.move(IndexOf(layer), to);
}

void TLayerList::resizeEvent(QResizeEvent* event)
{
    for (TLayer* layer : std::as_const(m_layers))
        if (layer)
            layer->setGeometry(QRect(QPoint(0, 0), event->size()));
    QWidget::resizeEvent(event);
}
