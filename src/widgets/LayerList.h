#pragma once

#include <QList>
#include <QWidget>

class TLayer;

// A stack of full-size layers of which exactly one, the active layer, is shown. A layer's
// position in the list is its LayerIndex. OnLayerChanged (a Qt signal) follows every
// activation of a layer; deactivating (no layer) raises nothing.
class TLayerList final : public QWidget
{
    Q_OBJECT
public:
    explicit TLayerList(QWidget* parent = nullptr);
    ~TLayerList() override;

    int LayerCount() const { return static_cast<int>(m_layers.size()); }
    // Throws EListError "List index out of bounds (%d)" outside 0 .. count − 1. A layer added
    // by AddLayers is made here, when it is first reached.
    TLayer* Layers(int index) const;
    // The layer at index when it has been made, else none (also outside the list).
    TLayer* ExistingLayer(int index) const;
    int IndexOf(const TLayer* layer) const { return static_cast<int>(m_layers.indexOf(layer)); }

    TLayer* ActiveLayer() const { return m_activeLayer; }
    // Ignored for a layer of another list and for the active layer itself.
    void SetActiveLayer(TLayer* layer);
    int ActiveLayerIndex() const;
    // An index outside 0 .. count − 1 deactivates.
    void SetActiveLayerIndex(int index);

    // A new layer, parented and made active and visible.
    TLayer* AddLayer();
    // count new layers at the end, the last one active: the same as count calls of AddLayer,
    // with one activation instead of count. Each of the others is made when it is first
    // reached, so that a list of thousands of layers costs little until they are used.
    void AddLayers(int count);
    // Appends layer (taking it as a child) and makes it active.
    void InsertLayer(TLayer* layer);
    // Takes layer out of the list (it stays a child, hidden); the first layer becomes active
    // when layer was the active one.
    void RemoveLayer(TLayer* layer);
    bool SelectFirstLayer();
    bool SelectNextLayer();
    // Destroys every layer, the last first.
    void ClearLayers();

    QSize sizeHint() const override { return {80, 80}; }

signals:
    void OnLayerChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class TLayer;
    void MoveLayer(TLayer* layer, int to);
    TLayer* MakeLayer(int index) const;

    // None where a layer has not been made yet.
    mutable QList<TLayer*> m_layers;
    TLayer* m_activeLayer = nullptr;
};
