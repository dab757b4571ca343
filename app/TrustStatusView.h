#pragma once

// How a trust outcome looks: its level, the icon for that level, and a line
// with the icon beside a sentence.

#include "cryptomsg/store/CertificateTrust.h"

#include <QIcon>
#include <QString>

class QWidget;

namespace ordalis {

enum class TrustLevel { Good, Doubtful, Bad };

// Good when trusted; doubtful when the root is not trusted or a revocation is
// unknown; bad when something is revoked, out of date or damaged.
TrustLevel LevelOf(const TrustOutcome& outcome);
TrustLevel LevelOf(const LinkTrust& link);

QIcon TrustIcon(TrustLevel level);

// "ok", "warning" or "error": kept on the widgets that show a level, where
// accessibility tools and tests can read it.
const char* TrustLevelName(TrustLevel level);

// The level's icon (object name "trustIcon") beside the sentence ("trustStatus").
QWidget* TrustStatusLine(const QString& sentence, TrustLevel level, QWidget* parent);

} // namespace ordalis
