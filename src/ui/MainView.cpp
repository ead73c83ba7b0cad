#include "ui/MainView.h"

#include "engine/Global.h"
#include "model/DigestState.h"
#include "store/AppSettings.h"
#include "ui/MainLayoutView.h"
#include "ui/SplashScreenView.h"

#include <QGridLayout>
#include <QStackedLayout>

namespace trevalin {

MainView::MainView(Database& database, CoreDataStack& folders, Progress& progress, QWidget* parent)
    : QWidget(parent)
    , m_stack(new QStackedLayout(this))
    , m_empty(new QWidget(this))
    , m_main(new MainLayoutView(database, folders, progress, this)) {
    setObjectName(QStringLiteral("MainView"));
    m_stack->addWidget(m_empty);
    m_stack->addWidget(m_main);
    connect(m_main, &MainLayoutView::preferencesRequested, this, &MainView::preferencesRequested);
    refresh();
}

void MainView::refresh() {
    const AppSettings& settings = AppSettings::shared();
    if (!settings.windowVisible())
        showBody(Body::Hidden);
    else if (settings.splashScreen())
        showBody(Body::Splash);
    else
        showBody(Body::Main);
}

void MainView::showBody(Body body) {
    if (body == Body::Splash && !m_splash) {
        // Centred in a window that may be larger than it.
        m_splash = new QWidget(this);
        auto* centre = new QGridLayout(m_splash);
        centre->setContentsMargins(0, 0, 0, 0);
        auto* splash = new SplashScreenView(DigestState::shared(), m_splash);
        centre->addWidget(splash, 0, 0, Qt::AlignCenter);
        connect(splash, &SplashScreenView::finished, this, [this] {
            // The splash screen is gone, so the application no longer is in its state.
            Global::shared().change(ApplicationState::SplashScreen, ApplicationState::Idle);
            refresh();
        });
        m_stack->addWidget(m_splash);
    }
    switch (body) {
    case Body::Hidden:
        m_stack->setCurrentWidget(m_empty);
        break;
    case Body::Splash:
        m_stack->setCurrentWidget(m_splash);
        break;
    case Body::Main:
        m_stack->setCurrentWidget(m_main);
        break;
    }
    if (body != Body::Splash && m_splash) {
        m_stack->removeWidget(m_splash);
        m_splash->deleteLater();
        m_splash = nullptr;
    }
    if (body != m_body) {
        m_body = body;
        emit bodyChanged(body);
    }
}

} // namespace trevalin
