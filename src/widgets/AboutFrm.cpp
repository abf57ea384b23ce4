#include "widgets/AboutFrm.h"

#include "widgets/DialogService.h"

#include "platform/AppUtils.h"
#include "widgets/HyperLabel.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

const QString ContactAddress = u"jotvane@example.org"_s;
const QString WebAddress = u"www.example.org/jotvane"_s;

QLabel* ImageLabel(QWidget* parent, const QString& name, const QString& resource, const QRect& bounds)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setPixmap(QPixmap(resource));
    label->setGeometry(bounds);
    return label;
}

QLabel* TextLabel(QWidget* parent, const QString& name, const QPoint& at)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->move(at);
    return label;
}

THyperLabel* LinkLabel(QWidget* parent, const QString& name, const QPoint& at)
{
    auto* label = new THyperLabel(parent);
    label->setObjectName(name);
    label->move(at);
    QFont font(u"宋体"_s);
    font.setPixelSize(12);
    label->setFont(font);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, QColor(0, 0, 255));
    label->setPalette(p);
    THoverStyle hover;
    hover.Color = QColor(255, 0, 0);
    label->SetHoverStyle(hover);
    return label;
}

} // namespace

TAboutForm::TAboutForm(const TPlatform& platform, QWidget* owner) : TBaseForm(owner), m_platform(platform)
{
    InitWidgetResources();
    SetPlacement(TPlacement::Owner);
    SetFixedSizeDialogFlags(this);
    setWindowTitle(u"关于"_s);
    setFixedSize(264, 192);

    m_image1 = ImageLabel(this, u"Image1"_s, u":/icons/Jotvane.png"_s, QRect(16, 15, 32, 32));
    QFont nameFont(u"宋体"_s);
    nameFont.setPixelSize(14);
    nameFont.setBold(true);
    m_softNameLabel = TextLabel(this, u"SoftNameLabel"_s, QPoint(70, 15));
    m_softNameLabel->setFont(nameFont);
    m_versionLabel = TextLabel(this, u"VersionLabel"_s, QPoint(70, 15));
    m_versionLabel->setFont(nameFont);
    m_label1 = TextLabel(this, u"Label1"_s, QPoint(70, 40));
    m_label1->setText(u"谢谢您使用这个小小的记事本。"_s);
    m_companyLabel = TextLabel(this, u"CompanyLabel"_s, QPoint(70, 62));
    m_companyLabel->setText(u"感谢所有提出意见的朋友，"_s);
    m_label2 = TextLabel(this, u"Label2"_s, QPoint(70, 80));
    m_label2->setText(u"以及帮助测试的同事们。"_s);
    m_image3 = ImageLabel(this, u"Image3"_s, u":/icons/Email.png"_s, QRect(74, 104, 16, 16));
    m_image4 = ImageLabel(this, u"Image4"_s, u":/icons/Web.png"_s, QRect(74, 122, 16, 16));
    m_emailHyperLabel = LinkLabel(this, u"EmailHyperLabel"_s, QPoint(94, 105));
    m_websiteHyperLabel = LinkLabel(this, u"WebsiteHyperLabel"_s, QPoint(94, 123));
    m_bevel1 = new QFrame(this);
    m_bevel1->setObjectName(u"Bevel1"_s);
    m_bevel1->setFrameShape(QFrame::HLine);
    m_bevel1->setFrameShadow(QFrame::Sunken);
    m_bevel1->setGeometry(8, 148, 248, 2);
    m_okButton = new QPushButton(u"确定"_s, this);
    m_okButton->setObjectName(u"OkButton"_s);
    m_okButton->setGeometry(94, 158, 75, 25);
    m_okButton->setDefault(true);

    connect(m_emailHyperLabel, &THyperLabel::OnClick, this, &TAboutForm::EmailHyperLabelClick);
    connect(m_websiteHyperLabel, &THyperLabel::OnClick, this, &TAboutForm::WebsiteHyperLabelClick);
    connect(m_okButton, &QPushButton::clicked, this, &TAboutForm::OkButtonClick);
    FormCreate();
    m_okButton->setFocus();
}

void TAboutForm::FormCreate()
{
    m_softNameLabel->setText(u"Jotvane"_s);
    m_softNameLabel->adjustSize();
    m_versionLabel->setText(u"4.0"_s);
    m_versionLabel->adjustSize();
    m_versionLabel->move(m_softNameLabel->geometry().right() + 1 + 8, m_softNameLabel->y());
    for (QLabel* label : {m_label1, m_companyLabel, m_label2})
        label->adjustSize();
    m_emailHyperLabel->SetCaption(ContactAddress);
    m_websiteHyperLabel->SetCaption(WebAddress);
}

void TAboutForm::EmailHyperLabelClick()
{
    // SendMailTo trims the caption and puts "mailto:" in front unless it is there already.
    SendMailTo(m_platform, m_emailHyperLabel->Caption());
}

void TAboutForm::WebsiteHyperLabelClick()
{
    ShellOpen(m_platform, m_websiteHyperLabel->Caption());
}

void TAboutForm::OkButtonClick()
{
    // OK is both the default and the cancel button: Enter and Esc end here too.
    accept();
}

void ShowAboutBox(IDialogService& dialogs, const TPlatform& platform, QWidget* owner)
{
    TAboutForm form(platform, owner);
    dialogs.RunModal(form);
}
