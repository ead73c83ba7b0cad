#include "ui/PreferencesWindow.h"

#include "ui/AboutPreferencesView.h"
#include "ui/AdvancedPreferencesView.h"
#include "ui/AlgorithmSwitches.h"
#include "ui/CryptoPreferencesView.h"
#include "ui/GeneralPreferencesView.h"
#include "ui/ThemeIcon.h"

#include <QGridLayout>
#include <QTabWidget>
#include <QVBoxLayout>

namespace trevalin {

PreferencesWindow::PreferencesWindow(std::function<void()> quit, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_tabs(new QTabWidget(this))
    , m_general(new GeneralPreferencesView)
    , m_crypto(new CryptoPreferencesView)
    , m_advanced(new AdvancedPreferencesView(std::move(quit)))
    , m_about(new AboutPreferencesView) {
    setWindowTitle(QStringLiteral("Preferences"));
    setObjectName(QStringLiteral("PreferencesWindow"));
    m_tabs->setFixedSize(kTabsSize);
    addTab(m_general, themeIcon(QStringLiteral("preferences-system"), QStringLiteral(":/icons/gear.svg")),
           QStringLiteral("General"));
    addTab(m_crypto, themeIcon(QStringLiteral("dialog-password"), QStringLiteral(":/icons/key.svg")),
           QStringLiteral("Crypto"));
    addTab(m_advanced, themeIcon(QStringLiteral("preferences-other"), QStringLiteral(":/icons/wrench.svg")),
           QStringLiteral("Advanced"));
    addTab(m_about, themeIcon(QStringLiteral("help-about"), QStringLiteral(":/icons/bubble.svg")),
           QStringLiteral("About"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->addWidget(m_tabs);
    setFixedSize(kTabsSize.width() + 2 * kMargin, kTabsSize.height() + 2 * kMargin);

    connect(m_general, &GeneralPreferencesView::displayPathsChanged, this,
            &PreferencesWindow::displayPathsChanged);
}

void PreferencesWindow::addTab(QWidget* content, const QIcon& icon, const QString& title) {
    // Each tab's content has the same size, centred in its page.
    auto* page = new QWidget;
    content->setFixedSize(kContentSize);
    auto* grid = new QGridLayout(page);
    grid->addWidget(content, 0, 0, Qt::AlignCenter);
    m_tabs->addTab(page, icon, title);
}

void PreferencesWindow::bringForward() {
    show();
    raise();
    activateWindow();
}

void PreferencesWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    AlgorithmSwitches::reloadStored();
}

} // namespace trevalin
