#include "shell/version.h"

QString VarnelVersion()
{
    return QStringLiteral(VARNEL_VERSION);
}
