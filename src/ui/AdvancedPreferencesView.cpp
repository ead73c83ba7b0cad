#include "ui/AdvancedPreferencesView.h"

#include "engine/EnginePool.h"
#include "store/AppSettings.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace trevalin {

namespace {

QHBoxLayout* operationRow(const QString& text, QPushButton* button, QWidget* parent) {
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(text, parent));
    row->addStretch();
    row->addWidget(button);
    return row;
}

} // namespace

AdvancedPreferencesView::AdvancedPreferencesView(std::function<void()> quit, QWidget* parent)
    : QWidget(parent)
    , m_hide(new QCheckBox(QStringLiteral("Hide Main Application Window on Launch"), this))
    , m_purge(new QPushButton(QStringLiteral("Purge / Reset"), this))
    , m_clear(new QPushButton(QStringLiteral("Clear and Quit"), this))
    , m_quit(std::move(quit))
    , m_targets(DataReset::Targets::shared()) {
    setObjectName(QStringLiteral("AdvancedPreferencesView"));
    m_hide->setChecked(AppSettings::shared().hideFileBrowser());
    m_purge->setAutoDefault(false);
    m_clear->setAutoDefault(false);
    const int buttonWidth = qMax(m_purge->sizeHint().width(), m_clear->sizeHint().width());
    m_purge->setMinimumWidth(buttonWidth);
    m_clear->setMinimumWidth(buttonWidth);

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(4);
    stack->addWidget(m_hide);
    stack->addStretch();
    stack->addWidget(divider);
    stack->addLayout(operationRow(QStringLiteral("Database Operations"), m_purge, this));
    stack->addLayout(operationRow(QStringLiteral("Clear All Application Settings"), m_clear, this));

    connect(m_hide, &QCheckBox::toggled, this, [](bool on) { AppSettings::shared().setHideFileBrowser(on); });
    connect(m_purge, &QPushButton::clicked, this, [this] {
        confirm({m_purge->text(), QStringLiteral("Purge all folders, file records and bookmarks?"),
                 QStringLiteral("The content database, the security bookmarks and every folder are deleted, "
                                "and monitoring stops. Settings and the log file are kept.")},
                [this] { purge(); });
    });
    connect(m_clear, &QPushButton::clicked, this, [this] {
        confirm({m_clear->text(), QStringLiteral("Delete all of Trevalin's data and quit?"),
                 QStringLiteral("The content database, the security bookmarks, every folder, all settings "
                                "and the log file are deleted. Trevalin then quits and starts afresh "
                                "next time.")},
                [this] { clearAndQuit(); });
    });
}

void AdvancedPreferencesView::confirm(const Prompt& prompt, std::function<void()> accepted) {
    if (m_confirmation) {
        if (m_confirmation(prompt.action))
            accepted();
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Warning, prompt.action, prompt.text, QMessageBox::Cancel, this);
    box->setInformativeText(prompt.informative);
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton* go = box->addButton(prompt.action, QMessageBox::DestructiveRole);
    box->setDefaultButton(QMessageBox::Cancel);
    box->setEscapeButton(QMessageBox::Cancel);
    const QPointer<QMessageBox> guard(box);
    connect(box, &QMessageBox::finished, this, [guard, go, accepted = std::move(accepted)] {
        if (guard && guard->clickedButton() == go)
            accepted();
    });
    box->open();
}

void AdvancedPreferencesView::purge() {
    EnginePool::runMedium([targets = m_targets] { DataReset::purge(targets); });
}

void AdvancedPreferencesView::clearAndQuit() {
    m_purge->setEnabled(false);
    m_clear->setEnabled(false);
    EnginePool::runMedium([targets = m_targets, quit = m_quit] {
        DataReset::clearAll(targets);
        // Quitting comes whatever was removed: the program cannot go on without its data.
        if (quit)
            QMetaObject::invokeMethod(QCoreApplication::instance(), quit, Qt::QueuedConnection);
    });
}

} // namespace trevalin
