#pragma once

#include <QString>

// The engine's version, set in one place: the project() line of the top CMakeLists.txt.
QString VarnelVersion();
