#pragma once

#include "widgets/BaseFrm.h"

class IDialogService;
class QFrame;
class QLabel;
class QPushButton;
class THyperLabel;
struct TPlatform;

// The About window: the program's name and version, a greeting and two lines of thanks, and
// the contact address and web page as link labels opened through the platform's shell.
class TAboutForm final : public TBaseForm
{
    Q_OBJECT
public:
    explicit TAboutForm(const TPlatform& platform, QWidget* owner = nullptr);

    QLabel* Image1() const { return m_image1; }
    QLabel* SoftNameLabel() const { return m_softNameLabel; }
    QLabel* VersionLabel() const { return m_versionLabel; }
    QLabel* Label1() const { return m_label1; }
    QLabel* CompanyLabel() const { return m_companyLabel; }
    QLabel* Label2() const { return m_label2; }
    QLabel* Image3() const { return m_image3; }
    QLabel* Image4() const { return m_image4; }
    THyperLabel* EmailHyperLabel() const { return m_emailHyperLabel; }
    THyperLabel* WebsiteHyperLabel() const { return m_websiteHyperLabel; }
    QFrame* Bevel1() const { return m_bevel1; }
    QPushButton* OkButton() const { return m_okButton; }

    void FormCreate();
    void EmailHyperLabelClick();
    void WebsiteHyperLabelClick();
    void OkButtonClick();

private:
    const TPlatform& m_platform;
    QLabel* m_image1;
    QLabel* m_softNameLabel;
    QLabel* m_versionLabel;
    QLabel* m_label1;
    QLabel* m_companyLabel;
    QLabel* m_label2;
    QLabel* m_image3;
    QLabel* m_image4;
    THyperLabel* m_emailHyperLabel;
    THyperLabel* m_websiteHyperLabel;
    QFrame* m_bevel1;
    QPushButton* m_okButton;
};

// Shows the About window modally over owner.
void ShowAboutBox(IDialogService& dialogs, const TPlatform& platform, QWidget* owner);
