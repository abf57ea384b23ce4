#pragma once

#include <QColor>
#include <QWidget>

class QVBoxLayout;
class TLayerList;

// One full-size panel of a TLayerList, filled with its colour. Controls placed with AddControl
// fill the layer inside its border.
class TLayer final : public QWidget
{
    Q_OBJECT
public:
    explicit TLayer(QWidget* parent = nullptr);
    ~TLayer() override;

    TLayerList* LayerList() const { return m_layerList; }
    // Leaves the old list (if any), then joins the new one (if any).
    void SetLayerList(TLayerList* list);

    // Position in its list, −1 without one.
    int LayerIndex() const;
    // Moves the layer to index; throws EListError "%d is an invalid LayerIndex value. LayerIndex
    // must be between 0 and %d" outside the list. Ignored without a list.
    void SetLayerIndex(int index);

    int BorderWidth() const { return m_borderWidth; }
    void SetBorderWidth(int width);

    QColor Color() const;
    void SetColor(const QColor& color);

    // Puts a control on the layer, filling its client area (the page's editor).
    void AddControl(QWidget* control);

    // Showing a layer of a list makes it the active layer first.
    void setVisible(bool visible) override;

private:
    friend class TLayerList;
    TLayerList* m_layerList = nullptr;
    int m_borderWidth = 0;
    QVBoxLayout* m_layout;
};
