#pragma once

#include "catalogue/sql_text.h"

#include <QString>
#include <Qt>

// How control values are written into statement texts.
namespace SqlValues {

inline QString quoted(const QString& text)
{
    return SqlStringLiteral(text);
}

// A check box: 1 checked, 0 unchecked, NULL in the third state.
inline QString checkState(Qt::CheckState state)
{
    switch (state) {
    case Qt::Checked:
        return QStringLiteral("1");
    case Qt::Unchecked:
        return QStringLiteral("0");
    default:
        return QStringLiteral("NULL");
    }
}

} // namespace SqlValues
