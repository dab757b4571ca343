#include "app/TrustStatusView.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>

namespace ordalis {

TrustLevel LevelOf(const LinkTrust& link)
{
    switch (link.state) {
    case LinkState::Valid: return TrustLevel::Good;
    case LinkState::UntrustedRoot:
    case LinkState::IssuerMissing:
    case LinkState::RevocationUnknown:
    case LinkState::NotForSigning: return TrustLevel::Doubtful;
    case LinkState::Revoked:
    case LinkState::Expired:
    case LinkState::NotYetValid:
    case LinkState::BadSignature:
    case LinkState::OtherFault: return TrustLevel::Bad;
    }
    return TrustLevel::Bad;
}

TrustLevel LevelOf(const TrustOutcome& outcome)
{
    switch (outcome.verdict) {
    case TrustVerdict::Trusted: return TrustLevel::Good;
    case TrustVerdict::RevocationUnknown:
    case TrustVerdict::NotForSigning: return TrustLevel::Doubtful;
    case TrustVerdict::Revoked:
    case TrustVerdict::OutOfDate: return TrustLevel::Bad;
    case TrustVerdict::NoTrustedRoot: break;
    }
    // No trusted root covers a path that is merely unanchored and one whose
    // link is damaged: the link concerned tells which.
    const bool known = outcome.link >= 0 && static_cast<std::size_t>(outcome.link) < outcome.links.size();
    return known ? LevelOf(outcome.links[static_cast<std::size_t>(outcome.link)]) : TrustLevel::Bad;
}

QIcon TrustIcon(TrustLevel level)
{
    QStyle* style = QApplication::style();
    switch (level) {
    case TrustLevel::Good: return style->standardIcon(QStyle::SP_DialogApplyButton);
    case TrustLevel::Doubtful: return style->standardIcon(QStyle::SP_MessageBoxWarning);
    case TrustLevel::Bad: return style->standardIcon(QStyle::SP_MessageBoxCritical);
    }
    return {};
}

const char* TrustLevelName(TrustLevel level)
{
    switch (level) {
    case TrustLevel::Good: return "ok";
    case TrustLevel::Doubtful: return "warning";
    case TrustLevel::Bad: return "error";
    }
    return "error";
}

QWidget* TrustStatusLine(const QString& sentence, TrustLevel level, QWidget* parent)
{
    auto* line = new QWidget(parent);
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* icon = new QLabel(line);
    icon->setObjectName(QStringLiteral("trustIcon"));
    icon->setPixmap(TrustIcon(level).pixmap(32, 32));
    icon->setProperty("trustLevel", QString::fromLatin1(TrustLevelName(level)));
    icon->setAlignment(Qt::AlignTop);
    auto* text = new QLabel(sentence, line);
    text->setObjectName(QStringLiteral("trustStatus"));
    text->setTextFormat(Qt::PlainText); // names in a certificate are never markup
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(icon);
    layout->addWidget(text, 1);
    return line;
}

} // namespace ordalis
