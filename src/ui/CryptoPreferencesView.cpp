#include "ui/CryptoPreferencesView.h"

#include "model/DigestState.h"
#include "ui/AlgorithmSwitches.h"

#include <QLabel>
#include <QVBoxLayout>

namespace trevalin {

CryptoPreferencesView::CryptoPreferencesView(QWidget* parent)
    : QWidget(parent)
    , m_algorithms(new AlgorithmSwitches(DigestState::shared(), this, Qt::Horizontal)) {
    setObjectName(QStringLiteral("CryptoPreferencesView"));
    auto* heading = new QLabel(QStringLiteral("Enabled Algorithms"), this);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(12);
    stack->addWidget(heading);
    stack->addWidget(m_algorithms, 0, Qt::AlignLeft);
    stack->addStretch();
}

} // namespace trevalin
