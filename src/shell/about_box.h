#pragma once

#include "platform/form.h"

class QLabel;
class QPushButton;
class QFrame;

// The About box, opened from the main menu.
class TfrmVarnelAbout : public TForm {
    Q_OBJECT
public:
    explicit TfrmVarnelAbout(QWidget* parent = nullptr);

    QLabel* Image1;
    QLabel* LinkLabel1;
    QLabel* Label2;
    QFrame* Bevel1;
    QPushButton* Button1;

    // Takes the texts of the language table, which start-up fills after the box is made.
    void applyLanguage();

    void Button1Click();
    void LinkLabel1LinkClick();

    static QString webAddress();
};
