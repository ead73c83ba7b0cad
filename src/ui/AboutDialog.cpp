#include "ui/AboutDialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

namespace trevalin {

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Trevalin"));
    setObjectName(QStringLiteral("AboutDialog"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 24, 32, 16);
    layout->setSpacing(8);

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/Trevalin.svg")).pixmap(96, 96));
    icon->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);

    auto* name = new QLabel(QStringLiteral("Trevalin"), this);
    QFont bold = name->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.4);
    name->setFont(bold);
    name->setAlignment(Qt::AlignCenter);
    layout->addWidget(name);

    auto* version = new QLabel(QStringLiteral("Version ") + QCoreApplication::applicationVersion(), this);
    version->setObjectName(QStringLiteral("version"));
    version->setAlignment(Qt::AlignCenter);
    layout->addWidget(version);

    auto* notice = new QLabel(QString::fromUtf8(kNotice), this);
    notice->setObjectName(QStringLiteral("notice"));
    notice->setAlignment(Qt::AlignCenter);
    QFont small = notice->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    notice->setFont(small);
    layout->addSpacing(8);
    layout->addWidget(notice);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addSpacing(8);
    layout->addWidget(buttons);
    setFixedSize(sizeHint());
}

} // namespace trevalin
