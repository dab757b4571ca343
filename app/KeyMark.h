#pragma once

#include <QIcon>

namespace ordalis {

// The small key shown beside a certificate whose private key is at hand.
QIcon KeyMarkIcon();

} // namespace ordalis
