#include "WidgetTestSupport.h"

#include "widgets/Layer.h"
#include "widgets/LayerList.h"
#include "widgets/ListError.h"

#include <QLayout>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

class LayerListTest : public WidgetTest
{
protected:
    void SetUp() override
    {
        WidgetTest::SetUp();
        list = std::make_unique<TLayerList>();
        list->resize(300, 200);
        list->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(list.get()));
    }
    void TearDown() override
    {
        list.reset();
        WidgetTest::TearDown();
    }
    void AddThree()
    {
        for (int i = 0; i < 3; ++i) {
            TLayer* layer = list->AddLayer();
            auto* edit = new QLineEdit(layer);
            edit->setObjectName(u"edit%1"_s.arg(i));
            layer->AddControl(edit);
            edit->show();
        }
    }
    int VisibleLayers() const
    {
        int n = 0;
        for (int i = 0; i < list->LayerCount(); ++i)
            n += list->Layers(i)->isVisible() ? 1 : 0;
        return n;
    }
    std::unique_ptr<TLayerList> list;
};

TEST_F(LayerListTest, EachAddedLayerBecomesTheOneShown)
{
    QSignalSpy changed(list.get(), &TLayerList::OnLayerChanged);
    EXPECT_EQ(list->ActiveLayerIndex(), -1);
    AddThree();
    EXPECT_EQ(list->LayerCount(), 3);
    EXPECT_EQ(changed.count(), 3);
    EXPECT_EQ(list->ActiveLayerIndex(), 2);
    EXPECT_EQ(VisibleLayers(), 1);
    EXPECT_EQ(list->Layers(2)->geometry(), list->rect()) << "a layer fills the list";
    EXPECT_EQ(list->Layers(1)->LayerIndex(), 1);

    list->SetActiveLayerIndex(0);
    EXPECT_TRUE(list->Layers(0)->isVisible());
    EXPECT_EQ(VisibleLayers(), 1);
    EXPECT_EQ(list->window()->focusWidget(), list->findChild<QLineEdit*>(u"edit0"_s))
        << "the focus goes to the layer's first control";
    EXPECT_EQ(changed.count(), 4);
    list->SetActiveLayerIndex(0);
    EXPECT_EQ(changed.count(), 4) << "already active";

    EXPECT_TRUE(list->SelectNextLayer());
    EXPECT_TRUE(list->SelectNextLayer());
    EXPECT_FALSE(list->SelectNextLayer());
    EXPECT_EQ(list->ActiveLayerIndex(), 2);
    EXPECT_TRUE(list->SelectFirstLayer());
    EXPECT_EQ(list->ActiveLayerIndex(), 0);

    // Showing a layer makes it the active one.
    list->Layers(1)->show();
    EXPECT_EQ(list->ActiveLayerIndex(), 1);
    EXPECT_EQ(VisibleLayers(), 1);

    // Another list's layer is ignored.
    TLayerList other;
    TLayer* foreign = other.AddLayer();
    list->SetActiveLayer(foreign);
    EXPECT_EQ(list->ActiveLayerIndex(), 1);

    try {
        list->Layers(3);
        ADD_FAILURE() << "index 3 accepted";
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), u"List index out of bounds (3)"_s);
    }
}

TEST_F(LayerListTest, DestroyingTheActiveLayerActivatesLayerZeroOnce)
{
    AddThree();
    list->SetActiveLayerIndex(2);
    QSignalSpy changed(list.get(), &TLayerList::OnLayerChanged);
    delete list->Layers(2);
    EXPECT_EQ(list->LayerCount(), 2);
    EXPECT_EQ(list->ActiveLayerIndex(), 0);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(VisibleLayers(), 1);

    // Destroying an inactive layer changes nothing else.
    delete list->Layers(1);
    EXPECT_EQ(list->ActiveLayerIndex(), 0);
    EXPECT_EQ(changed.count(), 1);

    // Removing (not destroying) the last layer leaves none active.
    TLayer* last = list->Layers(0);
    list->RemoveLayer(last);
    EXPECT_EQ(list->ActiveLayer(), nullptr);
    EXPECT_EQ(last->LayerIndex(), -1);
    EXPECT_FALSE(last->isVisible());
    EXPECT_EQ(changed.count(), 1);
    last->SetLayerIndex(5); // without a list: ignored
    delete last;
}

TEST_F(LayerListTest, LayerIndexMovesKeepTheActiveLayer)
{
    AddThree();
    TLayer* a = list->Layers(0);
    TLayer* b = list->Layers(1);
    TLayer* c = list->Layers(2);
    list->SetActiveLayer(a);
    a->SetLayerIndex(2);
    EXPECT_EQ(list->ActiveLayer(), a);
    EXPECT_EQ(list->ActiveLayerIndex(), 2);
    EXPECT_EQ(list->Layers(0), b);
    EXPECT_EQ(list->Layers(1), c);
    c->SetLayerIndex(0);
    EXPECT_EQ(list->Layers(0), c);
    EXPECT_EQ(list->Layers(1), b);

    for (int bad : {3, -1}) {
        try {
            b->SetLayerIndex(bad);
            ADD_FAILURE() << bad << " accepted";
        } catch (const EListError& e) {
            EXPECT_EQ(e.Message(),
                      u"%1 is an invalid LayerIndex value. LayerIndex must be between 0 and 2"_s.arg(bad));
        }
        EXPECT_EQ(b->LayerIndex(), 1);
    }
}

TEST_F(LayerListTest, DeactivatingRaisesNothingAndClearingDestroysAll)
{
    AddThree();
    QSignalSpy changed(list.get(), &TLayerList::OnLayerChanged);
    list->SetActiveLayerIndex(-1);
    EXPECT_EQ(list->ActiveLayer(), nullptr);
    EXPECT_EQ(VisibleLayers(), 0);
    EXPECT_EQ(changed.count(), 0);
    list->SetActiveLayerIndex(7);
    EXPECT_EQ(list->ActiveLayer(), nullptr);

    list->SetActiveLayerIndex(1);
    changed.clear();
    QPointer<TLayer> first = list->Layers(0);
    list->ClearLayers();
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(list->LayerCount(), 0);
    EXPECT_EQ(list->ActiveLayer(), nullptr);
    EXPECT_EQ(changed.count(), 0) << "no layer is activated while they go";
}

TEST_F(LayerListTest, LayersJoinAndLeaveListsAndKeepTheirBorder)
{
    auto* loose = new TLayer;
    EXPECT_EQ(loose->LayerIndex(), -1);
    loose->SetLayerList(list.get());
    EXPECT_EQ(loose->parentWidget(), list.get());
    EXPECT_EQ(list->ActiveLayer(), loose);
    TLayerList other;
    loose->SetLayerList(&other);
    EXPECT_EQ(list->LayerCount(), 0);
    EXPECT_EQ(other.ActiveLayer(), loose);

    // A layer created on a list joins it.
    auto* child = new TLayer(list.get());
    EXPECT_EQ(child->LayerIndex(), 0);

    auto* edit = new QWidget;
    child->AddControl(edit);
    child->SetBorderWidth(5);
    child->SetColor(Qt::yellow);
    EXPECT_EQ(child->BorderWidth(), 5);
    QApplication::processEvents();
    child->layout()->activate();
    EXPECT_EQ(edit->geometry(), child->rect().adjusted(5, 5, -5, -5));
    EXPECT_EQ(child->grab().toImage().pixelColor(2, 2), QColor(Qt::yellow));
}

} // namespace

TEST_F(LayerListTest, LayersAddedAtOnceAreMadeWhenFirstReachedAndBehaveAsAnyOther)
{
    TLayer* first = list->AddLayer();
    QSignalSpy changed(list.get(), &TLayerList::OnLayerChanged);
    list->AddLayers(3);
    EXPECT_EQ(list->LayerCount(), 4);
    EXPECT_EQ(changed.count(), 1);
    // Only the active one exists yet.
    EXPECT_EQ(list->ExistingLayer(1), nullptr);
    EXPECT_EQ(list->ExistingLayer(2), nullptr);
    TLayer* last = list->ExistingLayer(3);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(list->ActiveLayer(), last);
    EXPECT_TRUE(last->isVisible());
    EXPECT_FALSE(first->isVisible());

    // Moving the active layer over layers not made yet keeps every place and the active one.
    last->SetLayerIndex(1);
    EXPECT_EQ(list->ActiveLayerIndex(), 1);
    EXPECT_EQ(list->ExistingLayer(2), nullptr);
    for (int i = 0; i < 4; ++i) {
        TLayer* layer = list->Layers(i);
        EXPECT_EQ(layer->LayerIndex(), i);
        EXPECT_EQ(layer->LayerList(), list.get());
        EXPECT_EQ(layer->parentWidget(), list.get());
        EXPECT_EQ(layer->geometry(), list->rect());
        EXPECT_EQ(list->ExistingLayer(i), layer);
    }
    EXPECT_EQ(VisibleLayers(), 1);
    EXPECT_EQ(list->ExistingLayer(4), nullptr);
    EXPECT_EQ(list->ExistingLayer(-1), nullptr);

    list->AddLayers(2);
    list->SetActiveLayerIndex(2);
    EXPECT_EQ(list->ActiveLayerIndex(), 2);
    list->resize(240, 150);
    EXPECT_EQ(list->Layers(5)->geometry(), list->rect()) << "a layer made after a resize fills the list";
    delete list->Layers(2);
    EXPECT_EQ(list->ActiveLayerIndex(), 0);
    EXPECT_EQ(list->LayerCount(), 5);
    list->AddLayers(0);
    EXPECT_EQ(list->LayerCount(), 5);
    list->ClearLayers();
    EXPECT_EQ(list->LayerCount(), 0);
}
