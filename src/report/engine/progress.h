#pragma once

#include <functional>

// Told how far the making or the writing of pages has come; answering false cancels it.
using ReportProgress = std::function<bool(int done, int total)>;
