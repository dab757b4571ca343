#pragma once

#include <QStringList>

#include <string>

namespace ordalis {

// Turns an open-file dialog filter of "Text|*.ext|Text|*.a;*.b" pairs into Qt's
// name filters ("Text (*.ext)", "Text (*.a *.b)"); empty for an empty filter.
QStringList QtNameFilters(const std::string& filter);

} // namespace ordalis
