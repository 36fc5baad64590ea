#include "shell/about_box.h"

#include "platform/desktop_services.h"
#include "platform/guard.h"
#include "platform/lang.h"
#include "shell/version.h"

#include <QFrame>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QLabel>
#include <QPushButton>

namespace {
// The picture at the left of the About box: a tall panel with the product's mark.
QPixmap drawAboutPicture(const QString& motto)
{
    QPixmap picture(169, 350);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 350);
    sky.setColorAt(0, QColor(0x1f, 0x4e, 0x79));
    sky.setColorAt(1, QColor(0x0b, 0x1d, 0x33));
    p.fillRect(picture.rect(), sky);
    // A stack of three database discs.
    for (int i = 2; i >= 0; --i) {
        const QRectF body(34, 90 + i * 38, 100, 44);
        p.setPen(QPen(QColor(0xd6, 0xe6, 0xf5), 2));
        p.setBrush(QColor(0x3c, 0x8d, 0xd0 - i * 20));
        QPainterPath side;
        side.moveTo(body.left(), body.top() + 10);
        side.lineTo(body.left(), body.bottom() - 10);
        side.arcTo(QRectF(body.left(), body.bottom() - 20, body.width(), 20), 180, 180);
        side.lineTo(body.right(), body.top() + 10);
        p.drawPath(side);
        p.drawEllipse(QRectF(body.left(), body.top(), body.width(), 20));
    }
    p.setPen(QColor(0xf2, 0xf6, 0xfa));
    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(30);
    title.setBold(true);
    p.setFont(title);
    p.drawText(QRect(0, 250, 169, 40), Qt::AlignCenter, QStringLiteral("Varnel"));
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(11);
    p.setFont(small);
    p.drawText(QRect(8, 292, 153, 40), Qt::AlignCenter | Qt::TextWordWrap,
               motto);
    return picture;
}

QString aboutText()
{
    return Lang.About_text + u'\n' + Lang.About_version.arg(VarnelVersion());
}
} // namespace

TfrmVarnelAbout::TfrmVarnelAbout(QWidget* parent) : TForm(parent)
{
    setObjectName(QStringLiteral("frmVarnelAbout"));
    setWindowTitle(Lang.About);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setSizeable(false);
    setClientSize(591, 408);

    Image1 = new QLabel(client());
    Image1->setGeometry(8, 8, 169, 350);
    Image1->setPixmap(drawAboutPicture(Lang.About_picture_text));
    LinkLabel1 = new QLabel(client());
    LinkLabel1->setGeometry(196, 24, 380, 24);
    LinkLabel1->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(webAddress()));
    LinkLabel1->setTextFormat(Qt::RichText);
    Label2 = new QLabel(aboutText(), client());
    Label2->setGeometry(196, 56, 380, 64);
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

void TfrmVarnelAbout::applyLanguage()
{
    setWindowTitle(Lang.About);
    Image1->setPixmap(drawAboutPicture(Lang.About_picture_text));
    Label2->setText(aboutText());
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
