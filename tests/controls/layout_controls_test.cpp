#include "controls/layout_controls.h"

#include <gtest/gtest.h>

#include <functional>

TEST(PageControl, PagesGoToTheirWantedPlacesAndTheFirstIsShown)
{
    TdbPageControl pages(nullptr);
    const int wanted[] = {2, 0, 1};
    for (int w : wanted) {
        auto* sheet = new TdbTabSheet(&pages);
        sheet->setObjectName(QStringLiteral("ts%1").arg(w));
        sheet->setCaption(QStringLiteral("Page %1").arg(w));
        sheet->setPageIndex(w);
        pages.arrangeByPageIndex();
    }
    ASSERT_EQ(pages.count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(pages.sheet(i)->pageIndex(), i);
        EXPECT_EQ(pages.tabText(i), QStringLiteral("Page %1").arg(i));
        EXPECT_EQ(pages.sheet(i)->pageControl(), &pages);
    }
    EXPECT_EQ(pages.currentIndex(), 0);
}

TEST(Label, SizesItselfToItsCaption)
{
    TdbLabel label(nullptr);
    label.resize(3, 3);
    label.setCaption(QStringLiteral("A rather long caption"));
    const QSize shortSize = label.size();
    EXPECT_EQ(shortSize, label.sizeHint());
    QFont big = label.font();
    big.setPointSize(big.pointSize() * 2);
    label.setFont(big);
    EXPECT_GT(label.width(), shortSize.width());
}

// The label measures a plain caption itself, once, instead of asking QLabel (which lays the
// text out three times); whatever the caption and the label's set-up, the size it takes must be
// the one QLabel gives as its size hint.
TEST(Label, TakesQLabelsSizeHintForEveryCaptionAndSetUp)
{
    const QString captions[] = {QString(),
                                QStringLiteral("Customer"),
                                QStringLiteral("A rather long caption, with words"),
                                QStringLiteral("&Quantity:"),
                                QStringLiteral("Two\nlines"),
                                QStringLiteral("Tab\there"),
                                QStringLiteral("Иванова, Анна"),
                                QStringLiteral("שלום עולם"),
                                QStringLiteral("<b>Bold</b> text"),
                                QStringLiteral("trailing   ")};
    using SetUp = std::function<void(TdbLabel&, QWidget& buddy)>;
    const std::pair<const char*, SetUp> setUps[] = {
        {"plain", [](TdbLabel&, QWidget&) {}},
        {"big bold italic font",
         [](TdbLabel& l, QWidget&) {
             QFont f = l.font();
             f.setPointSize(20);
             f.setBold(true);
             f.setItalic(true);
             l.setFont(f);
         }},
        {"margin", [](TdbLabel& l, QWidget&) { l.setMargin(4); }},
        {"indent", [](TdbLabel& l, QWidget&) { l.setIndent(6); }},
        {"frame", [](TdbLabel& l, QWidget&) { l.setFrameStyle(QFrame::Box | QFrame::Plain); }},
        {"contents margins", [](TdbLabel& l, QWidget&) { l.setContentsMargins(1, 2, 3, 4); }},
        {"buddy", [](TdbLabel& l, QWidget& buddy) { l.setBuddy(&buddy); }},
        {"word wrap", [](TdbLabel& l, QWidget&) { l.setWordWrap(true); }},
        {"right aligned", [](TdbLabel& l, QWidget&) { l.setAlignment(Qt::AlignRight | Qt::AlignBottom); }},
        {"right to left", [](TdbLabel& l, QWidget&) { l.setLayoutDirection(Qt::RightToLeft); }},
        {"minimum size", [](TdbLabel& l, QWidget&) { l.setMinimumSize(150, 40); }},
        {"plain text format", [](TdbLabel& l, QWidget&) { l.setTextFormat(Qt::PlainText); }},
    };
    for (const auto& [name, setUp] : setUps) {
        for (const QString& caption : captions) {
            QWidget parent;
            auto* buddy = new QWidget(&parent);
            auto* label = new TdbLabel(&parent);
            setUp(*label, *buddy);
            label->setCaption(caption);
            // (A widget is never made smaller than its minimum size.)
            const auto hint = [label] { return label->sizeHint().expandedTo(label->minimumSize()); };
            EXPECT_EQ(label->size(), hint()) << name << ": " << caption.toStdString();
            // A new font sizes it again.
            QFont f = label->font();
            f.setPointSize(f.pointSize() + 3);
            label->setFont(f);
            EXPECT_EQ(label->size(), hint()) << name << ", new font: " << caption.toStdString();
        }
    }
}

TEST(Panel, PaintsItsOwnColour)
{
    TdbPanel panel(nullptr);
    panel.resize(20, 20);
    panel.setColor(QColor(12, 34, 56));
    const QImage shot = panel.grab().toImage();
    EXPECT_EQ(shot.pixelColor(10, 10), QColor(12, 34, 56));
}
