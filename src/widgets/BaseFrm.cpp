#include "widgets/BaseFrm.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QWidget>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

void EnsureFontSubstitutions()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    if (QFont::substitutes(u"宋体"_s).isEmpty())
        InstallFontSubstitutions();
}

} // namespace

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitWidgetResourcesOnce()
{
    Q_INIT_RESOURCE(widgets);
}

void InitWidgetResources()
{
    static bool done = false;
    if (!done) {
        done = true;
        InitWidgetResourcesOnce();
    }
}

void InstallFontSubstitutions()
{
    const QStringList families = QFontDatabase::families();
    QStringList cjk;
    for (const QString& candidate : {u"WenQuanYi Micro Hei"_s, u"Noto Sans CJK SC"_s, u"Noto Serif CJK SC"_s,
                                     u"WenQuanYi Zen Hei"_s, u"AR PL UMing CN"_s, u"Droid Sans Fallback"_s})
        if (families.contains(candidate))
            cjk.append(candidate);
    // The Chinese faces of Windows that settings files name, by both of their names.
    if (!cjk.isEmpty())
        for (const QString& face :
             {u"宋体"_s, u"SimSun"_s, u"新宋体"_s, u"NSimSun"_s, u"黑体"_s, u"SimHei"_s, u"微软雅黑"_s,
              u"Microsoft YaHei"_s, u"楷体"_s, u"KaiTi"_s, u"仿宋"_s, u"FangSong"_s})
            QFont::insertSubstitutions(face, cjk);
    const QString sans = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    QStringList tahoma{sans};
    tahoma += cjk;
    QFont::insertSubstitutions(u"Tahoma"_s, tahoma);
}

QFont BaseFormFont()
{
    QFont font(u"宋体"_s);
    font.setPixelSize(12);
    return font;
}

void ApplyBaseFormLook(QWidget* form)
{
    form->setFont(BaseFormFont());
}

void CenterOnScreen(QWidget* form)
{
    QScreen* screen = form->screen() ? form->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize size = form->frameGeometry().size();
    form->move(area.left() + (area.width() - size.width()) / 2,
               area.top() + (area.height() - size.height()) / 2);
}

void CenterOnOwner(QWidget* form, QWidget* owner)
{
    QWidget* window = owner ? owner->window() : nullptr;
    if (!window || !window->isVisible() || window->isMinimized()) {
        CenterOnScreen(form);
        return;
    }
    const QRect frame = window->frameGeometry();
    const QSize size = form->frameGeometry().size();
    int left = frame.left() + (frame.width() - size.width()) / 2;
    int top = frame.top() + (frame.height() - size.height()) / 2;
    // An owner near the edge of the screen does not push the dialog off it.
    if (QScreen* screen = window->screen()) {
        const QRect area = screen->availableGeometry();
        left = std::max(area.left(), std::min(left, area.right() + 1 - size.width()));
        top = std::max(area.top(), std::min(top, area.bottom() + 1 - size.height()));
    }
    form->move(left, top);
}

void SetFixedSizeDialogFlags(QWidget* form)
{
    form->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
}

TBaseForm::TBaseForm(QWidget* parent) : QDialog(parent)
{
    EnsureFontSubstitutions();
    ApplyBaseFormLook(this);
}

void TBaseForm::showEvent(QShowEvent* event)
{
    if (!m_centred) {
        m_centred = true;
        if (m_placement == TPlacement::Screen)
            CenterOnScreen(this);
        else if (m_placement == TPlacement::Owner)
            CenterOnOwner(this, parentWidget());
    }
    QDialog::showEvent(event);
}

void TBaseForm::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isModal() && isMinimized()) {
        QTimer::singleShot(0, this, [this] {
            if (isVisible() && isMinimized()) {
                setWindowState(windowState() & ~Qt::WindowMinimized);
                activateWindow();
            }
        });
    }
}
