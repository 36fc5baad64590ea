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

    void Button1Click();
    void LinkLabel1LinkClick();

    static QString webAddress();
};
