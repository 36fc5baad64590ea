#pragma once

#include "report/ui/designer_model.h"
#include "report/ui/designer_view.h"

#include <QIcon>

// The designer's tool and command icons, drawn rather than shipped: they follow the program's
// colours and stay sharp at any size.
QIcon toolIcon(DesignerTool tool);
QIcon alignIcon(AlignEdge edge);
QIcon stackIcon(bool front);
