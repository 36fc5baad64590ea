#pragma once

#include "platform/form.h"

class QLabel;

// Shows a picture from a picture-in-database control at full size.
class TfrmVarnelImageViewer : public TForm {
    Q_OBJECT
public:
    explicit TfrmVarnelImageViewer(QWidget* parent = nullptr);

    QLabel* imgView;
};
