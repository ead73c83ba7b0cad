#include "ui/AboutPreferencesView.h"

#include "app/ProjectLinks.h"
#include "ui/AboutDialog.h"
#include "ui/RandomString.h"

#include <QDesktopServices>
#include <QLabel>
#include <QVBoxLayout>

namespace trevalin {

AboutPreferencesView::AboutPreferencesView(QWidget* parent)
    : QWidget(parent)
    , m_opener([](const QUrl& url) { QDesktopServices::openUrl(url); }) {
    setObjectName(QStringLiteral("AboutPreferencesView"));
    auto* notice = new QLabel(QString::fromUtf8(AboutDialog::kNotice), this);
    notice->setObjectName(QStringLiteral("notice"));
    m_review = link(ProjectLinks::review(), QStringLiteral("Write a review"));
    m_review->setObjectName(QStringLiteral("review"));

    const std::shared_ptr<RandomString>& taglines = RandomString::shared();
    m_tagline = new QLabel(taglines->randomString(), this);
    m_tagline->setObjectName(QStringLiteral("tagline"));
    QFont italic = m_tagline->font();
    italic.setItalic(true);
    m_tagline->setFont(italic);
    connect(taglines.get(), &RandomString::randomStringChanged, m_tagline, &QLabel::setText,
            Qt::QueuedConnection);

    m_support = link(ProjectLinks::support(), QStringLiteral("Access our help and support online"));
    m_support->setObjectName(QStringLiteral("support"));

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(6);
    for (QLabel* label : {notice, m_review, m_tagline, m_support}) {
        label->setAlignment(Qt::AlignHCenter);
        stack->addWidget(label);
    }
    stack->addStretch();
}

QLabel* AboutPreferencesView::link(const QUrl& url, const QString& text) {
    auto* label =
        new QLabel(QStringLiteral("<a href=\"%1\">%2</a>").arg(url.toString(), text.toHtmlEscaped()), this);
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    label->setToolTip(url.toString());
    connect(label, &QLabel::linkActivated, this, [this](const QString& address) { m_opener(QUrl(address)); });
    return label;
}

} // namespace trevalin
