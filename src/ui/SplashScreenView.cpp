#include "ui/SplashScreenView.h"

#include "store/AppSettings.h"
#include "ui/AlgorithmSwitches.h"
#include "ui/LogoView.h"
#include "ui/SvgPixmap.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace trevalin {

namespace {

constexpr int kMargin = 20;

QPalette lightPalette(QPalette palette) {
    const QColor text(0x12, 0x2b, 0x30);
    palette.setColor(QPalette::Window, QColor(0xee, 0xf7, 0xf6));
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Button, QColor(0xf6, 0xfa, 0xfa));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Highlight, QColor(0x15, 0x83, 0x85));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    return palette;
}

QLabel* label(const QString& text, int pixelSize, QFont::Weight weight, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    label->setFont(font);
    return label;
}

} // namespace

SplashScreenView::SplashScreenView(DigestState& state, QWidget* parent)
    : QWidget(parent)
    , m_algorithms(new AlgorithmSwitches(state, this))
    , m_login(new QCheckBox(QStringLiteral("Start automatically at login"), this))
    , m_finish(new QPushButton(QStringLiteral("Finish Setup"), this))
    , m_logo(new LogoView(this)) {
    setObjectName(QStringLiteral("SplashScreenView"));
    setFixedSize(kWidth, kHeight);
    setPalette(lightPalette(palette()));
    m_finish->setDefault(true);
    m_finish->setMinimumWidth(120);

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    stack->setSpacing(10);
    stack->addSpacing(20);
    stack->addWidget(label(QStringLiteral("Trevalin"), 30, QFont::Black, this), 0, Qt::AlignHCenter);
    stack->addWidget(label(QStringLiteral("The desktop checksum tool ™"), 16, QFont::Normal, this), 0,
                     Qt::AlignHCenter);
    stack->addSpacing(6);
    stack->addWidget(m_login, 0, Qt::AlignHCenter);
    stack->addStretch(1);

    auto* row = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->setSpacing(8);
    left->addWidget(label(QStringLiteral("Enabled Algorithms"), 14, QFont::DemiBold, this), 0, Qt::AlignLeft);
    left->addWidget(m_algorithms, 0, Qt::AlignLeft);
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->setSpacing(16);
    right->addWidget(m_logo, 0, Qt::AlignHCenter);
    right->addWidget(m_finish, 0, Qt::AlignHCenter);
    right->addStretch(1);
    row->addLayout(left, 1);
    row->addLayout(right, 1);
    stack->addLayout(row);
    stack->addStretch(1);

    m_login->setChecked(AppSettings::shared().autoLaunch());
    connect(m_login, &QCheckBox::toggled, this, [](bool on) { AppSettings::shared().setAutoLaunch(on); });
    connect(m_finish, &QPushButton::clicked, this, &SplashScreenView::finish);
}

void SplashScreenView::finish() {
    AppSettings::shared().setSplashScreen(false);
    emit finished();
}

void SplashScreenView::paintEvent(QPaintEvent*) {
    const qreal ratio = devicePixelRatioF();
    if (m_backgroundFor != size() * ratio) {
        m_background = svgPixmap(QStringLiteral(":/images/SplashScreenBackground.svg"), size(), ratio,
                                 Qt::IgnoreAspectRatio);
        m_backgroundFor = size() * ratio;
    }
    QPainter painter(this);
    if (m_background.isNull())
        painter.fillRect(rect(), palette().window());
    else
        painter.drawPixmap(rect(), m_background);
}

} // namespace trevalin
