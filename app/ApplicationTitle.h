#pragma once

#include <QString>

namespace ordalis {

// The caption of notices and error boxes, made from the executable's path: its
// file name without the folder, cut before the first ".", with every character
// after the first in lower case ("/opt/TOOL.EXE" gives "Tool").
QString ApplicationTitle(const QString& executablePath);

} // namespace ordalis
