#pragma once

#include <QColor>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>
#include <QWidget>

// A caption that sizes itself to its text.
class TdbLabel : public QLabel {
    Q_OBJECT
public:
    explicit TdbLabel(QWidget* parent);

    bool autoSize() const { return m_autoSize; }
    void setAutoSize(bool on);
    void setCaption(const QString& caption);

protected:
    bool event(QEvent* e) override;

private:
    void fitToText();
    // What sizeHint() gives, found with one text measurement where the label shows plain text
    // in the simple set-up every built label has (QLabel lays the text out three times for it).
    QSize captionSize() const;

    bool m_autoSize = true;
};

// A panel that paints its own background colour.
class TdbPanel : public QFrame {
    Q_OBJECT
public:
    explicit TdbPanel(QWidget* parent);

    QColor color() const { return m_color; }
    void setColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
};

class TdbGroupBox : public QGroupBox {
    Q_OBJECT
public:
    explicit TdbGroupBox(QWidget* parent);
};

class TdbTabSheet;

// A page control: its pages are TdbTabSheet controls, ordered by their wanted PageIndex.
class TdbPageControl : public QTabWidget {
    Q_OBJECT
public:
    explicit TdbPageControl(QWidget* parent);

    // Appends a sheet as the last page (a sheet created with a page control as its parent
    // does this itself).
    void addSheet(TdbTabSheet* sheet);
    TdbTabSheet* sheet(int index) const;
    QList<TdbTabSheet*> sheets() const;
    // Moves the page at position from to position to.
    void moveSheet(int from, int to);
    // Puts every page at its wanted PageIndex (for each position i, every page wanting i is
    // moved there, scanning the pages in their current order) and shows the first page.
    void arrangeByPageIndex();
};

// One page of a page control; created with the page control as parent, it becomes its last
// page.
class TdbTabSheet : public QWidget {
    Q_OBJECT
public:
    explicit TdbTabSheet(QWidget* parent);

    QString caption() const { return m_caption; }
    void setCaption(const QString& caption);
    // The position the sheet wants among its page control's pages; -1 = at the end.
    int pageIndex() const { return m_pageIndex; }
    void setPageIndex(int index);
    TdbPageControl* pageControl() const;

private:
    QString m_caption;
    int m_pageIndex = -1;
};
