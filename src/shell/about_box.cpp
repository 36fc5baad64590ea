#include "shell/about_box.h"

#include "platform/desktop_services.h"
#include "platform/guard.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

TfrmVarnelAbout::TfrmVarnelAbout(QWidget* parent) : TForm(parent)
{
    setObjectName(QStringLiteral("frmVarnelAbout"));
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setSizeable(false);
    setClientSize(591, 408);

    Image1 = new QLabel(client());
    Image1->setGeometry(8, 8, 169, 350);
    LinkLabel1 = new QLabel(client());
    LinkLabel1->setGeometry(196, 24, 380, 24);
    LinkLabel1->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(webAddress()));
    LinkLabel1->setTextFormat(Qt::RichText);
    Label2 = new QLabel(QStringLiteral("Varnel: a run-time engine for form-based database applications."),
                        client());
    Label2->setGeometry(196, 56, 380, 40);
    Label2->setWordWrap(true);
    Bevel1 = new QFrame(client());
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(8, 364, 575, 2);
    Button1 = new QPushButton(QStringLiteral("OK"), client());
    Button1->setGeometry(496, 374, 87, 27);

    addComponent(Image1, QStringLiteral("Image1"));
    addComponent(LinkLabel1, QStringLiteral("LinkLabel1"));
    addComponent(Label2, QStringLiteral("Label2"));
    addComponent(Bevel1, QStringLiteral("Bevel1"));
    addComponent(Button1, QStringLiteral("Button1"));

    connect(Button1, &QPushButton::clicked, this, [this] { guarded([this] { Button1Click(); }); });
    connect(LinkLabel1, &QLabel::linkActivated, this,
            [this] { guarded([this] { LinkLabel1LinkClick(); }); });
    setDefaultButton(Button1);
    setCancelButton(Button1);
}

QString TfrmVarnelAbout::webAddress()
{
    return QStringLiteral("https://varnel.org");
}

void TfrmVarnelAbout::Button1Click()
{
    closeForm();
}

void TfrmVarnelAbout::LinkLabel1LinkClick()
{
    desktop().shellOpen(webAddress(), QString(), DesktopServices::ShowMode::Maximized);
}
