#include "ui/ToolbarView.h"

#include "ui/LinearProgressBar.h"
#include "ui/ThemeIcon.h"
#include "ui/Typography.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QToolButton>
#include <QVBoxLayout>

namespace trevalin {

namespace {

constexpr int kMargin = 15;

QToolButton* makeButton(QAction* action, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setDefaultAction(action);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setFont(smallFont());
    button->setIconSize(QSize(16, 16));
    return button;
}

} // namespace

ToolbarView::ToolbarView(QWidget* parent)
    : QWidget(parent)
    , m_add(new QAction(
          themeIcon(QStringLiteral("folder-new"), QStringLiteral(":/icons/folder-badge-plus.svg")),
          QStringLiteral("Add Files/Folders"), this))
    , m_preferences(
          new QAction(themeIcon(QStringLiteral("preferences-system"), QStringLiteral(":/icons/gear.svg")),
                      QStringLiteral("Preferences"), this)) {
    setObjectName(QStringLiteral("ToolbarView"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_add->setObjectName(QStringLiteral("addFilesFolders"));
    m_add->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    m_preferences->setObjectName(QStringLiteral("preferences"));
    m_preferences->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    for (QAction* action : {m_add, m_preferences}) {
        action->setShortcutContext(Qt::WindowShortcut);
        action->setToolTip(action->text() + QLatin1String(" (") +
                           action->shortcut().toString(QKeySequence::NativeText) + QLatin1Char(')'));
    }

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    QPalette line = divider->palette();
    line.setColor(QPalette::WindowText, LinearProgressBar::trackColor(palette()));
    divider->setPalette(line);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* dividerRow = new QHBoxLayout;
    dividerRow->setContentsMargins(kMargin, 0, kMargin, 0);
    dividerRow->addWidget(divider);
    column->addLayout(dividerRow);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(kMargin - 4, kMargin - 4, kMargin - 4, kMargin - 4);
    row->addWidget(makeButton(m_add, this));
    row->addStretch(1);
    row->addWidget(makeButton(m_preferences, this));
    column->addLayout(row);
}

} // namespace trevalin
