#include "BaseFrm.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QWidget>

using namespace Qt::StringLiterals;

void InstallFontSubstitutions()
{
    const QStringList families = QFontDatabase::families();
    QStringList cjk;
    for (const QString& candidate : {u"WenQuanYi Micro Hei"_s, u"Noto Sans CJK SC"_s, u"Noto Serif CJK SC"_s,
                                     u"WenQuanYi Zen Hei"_s, u"AR PL UMing CN"_s, u"Droid Sans Fallback"_s})
        if (families.contains(candidate))
            cjk.append(candidate);
    if (!cjk.isEmpty()) {
        QFont::insertSubstitutions(u"宋体"_s, cjk);
        QFont::insertSubstitutions(u"SimSun"_s, cjk);
    }
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
    form->move(area.left() + (area.width() - size.width()) / 2, area.top() + (area.height() - size.height()) / 2);
}

TBaseForm::TBaseForm(QWidget* parent) : QDialog(parent)
{
    ApplyBaseFormLook(this);
}

void TBaseForm::showEvent(QShowEvent* event)
{
    if (!m_centred) {
        m_centred = true;
        CenterOnScreen(this);
    }
    QDialog::showEvent(event);
}
