#include "ui/GeneralPreferencesView.h"

#include "app/AudioActor.h"
#include "engine/EnginePool.h"
#include "store/AppSettings.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>

namespace trevalin {

GeneralPreferencesView::GeneralPreferencesView(QWidget* parent)
    : QWidget(parent)
    , m_login(new QCheckBox(QStringLiteral("Launch Trevalin at Login"), this))
    , m_sounds(new QCheckBox(QStringLiteral("Play Audible Notifications for Events"), this))
    , m_files(new QCheckBox(QStringLiteral("Files"), this))
    , m_folders(new QCheckBox(QStringLiteral("Folders"), this)) {
    setObjectName(QStringLiteral("GeneralPreferencesView"));
    const AppSettings& settings = AppSettings::shared();
    m_login->setChecked(settings.autoLaunch());
    m_sounds->setChecked(settings.audioEnabled());
    m_files->setChecked(settings.fullFilePaths());
    m_folders->setChecked(settings.fullFolderPaths());

    auto* paths = new QHBoxLayout;
    paths->setSpacing(16);
    paths->addWidget(m_files);
    paths->addWidget(m_folders);
    paths->addStretch();

    auto* form = new QFormLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    form->setVerticalSpacing(8);
    form->setLabelAlignment(Qt::AlignLeft);
    form->addRow(m_login);
    form->addRow(m_sounds);
    form->addRow(QStringLiteral("Display Full Paths:"), paths);

    connect(m_login, &QCheckBox::toggled, this, [](bool on) { AppSettings::shared().setAutoLaunch(on); });
    connect(m_sounds, &QCheckBox::toggled, this, [](bool on) {
        AppSettings::shared().setAudioEnabled(on);
        // The player keeps its own flag, read once; every change turns it over once.
        EnginePool::runLow([] { AudioActor::shared()->toggle(); });
    });
    connect(m_files, &QCheckBox::toggled, this, [this](bool on) {
        AppSettings::shared().setFullFilePaths(on);
        emit displayPathsChanged();
    });
    connect(m_folders, &QCheckBox::toggled, this, [this](bool on) {
        AppSettings::shared().setFullFolderPaths(on);
        emit displayPathsChanged();
    });
}

} // namespace trevalin
