#include "ui/ChecksumMenuItem.h"

#include "ui/TintedMenu.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionMenuItem>
#include <QWidget>

namespace trevalin {

namespace {

// The painted body of the item: the style's menu item panel (highlighted while the
// item is active) with the two texts on it.
class ChecksumView : public QWidget {
public:
    ChecksumView(QAction* action, QMenu* menu, QString name, QString value)
        : QWidget(menu)
        , m_action(action)
        , m_menu(menu)
        , m_name(std::move(name))
        , m_value(std::move(value))
        , m_valueFont(QFontDatabase::systemFont(QFontDatabase::FixedFont)) {
        // The menu keeps the keyboard: its arrow keys reach this item, and Return or
        // Enter triggers it while it is the active item (and closes the menu).
        setFocusPolicy(Qt::NoFocus);
        setMouseTracking(true);
    }

    QSize sizeHint() const override {
        const QFontMetrics nameMetrics(font());
        const QFontMetrics valueMetrics(m_valueFont);
        const int width = padding() * 2 + nameMetrics.horizontalAdvance(m_name + QLatin1Char(' ')) +
                          valueMetrics.horizontalAdvance(m_value);
        const int height = std::max(nameMetrics.height(), valueMetrics.height()) + verticalPadding() * 2;
        return {width, height};
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const bool active = m_menu->activeAction() == m_action && m_action->isEnabled();
        QStyleOptionMenuItem option;
        option.initFrom(this);
        option.rect = rect();
        option.menuRect = m_menu->rect();
        option.menuItemType = QStyleOptionMenuItem::Normal;
        option.checkType = QStyleOptionMenuItem::NotCheckable;
        option.font = font();
        if (active)
            option.state |= QStyle::State_Selected;
        style()->drawControl(QStyle::CE_MenuItem, &option, &painter, m_menu);

        // On the highlight both texts take the highlighted text colour, so they stay readable.
        const QColor nameColor = active ? palette().color(QPalette::HighlightedText) : tints::green();
        const QColor valueColor = palette().color(active ? QPalette::HighlightedText : QPalette::Text);
        QRect area = rect().adjusted(padding(), 0, -padding(), 0);
        const QString name = m_name + QLatin1Char(' ');
        painter.setFont(font());
        painter.setPen(nameColor);
        painter.drawText(area, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, name);
        area.setLeft(area.left() + QFontMetrics(font()).horizontalAdvance(name));
        painter.setFont(m_valueFont);
        painter.setPen(valueColor);
        painter.drawText(area, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, m_value);
    }

    // The pointer over the item makes it the menu's active item, as it does a plain
    // item; the menu may drop its active item when the pointer leaves.
    void enterEvent(QEnterEvent*) override { activate(); }
    void mouseMoveEvent(QMouseEvent*) override { activate(); }
    void leaveEvent(QEvent*) override { update(); }

    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint()))
            return QWidget::mouseReleaseEvent(event);
        event->accept();
        choose();
    }

private:
    int padding() const {
        return style()->pixelMetric(QStyle::PM_MenuHMargin, nullptr, m_menu) +
               style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, m_menu) / 2 + 6;
    }
    int verticalPadding() const { return 4; }

    void activate() {
        if (m_menu->activeAction() != m_action && m_action->isEnabled())
            m_menu->setActiveAction(m_action);
    }

    // The menu closes itself when one of its widget actions is triggered.
    void choose() {
        if (m_action->isEnabled())
            m_action->trigger();
    }

    QAction* m_action;
    QMenu* m_menu;
    QString m_name;
    QString m_value;
    QFont m_valueFont;
};

} // namespace

ChecksumMenuItem::ChecksumMenuItem(const Checksum& checksum, QMenu* menu)
    : QWidgetAction(menu)
    , m_value(checksum.value) {
    const QString name = toString(checksum.algorithm);
    setText(name + QLatin1Char(' ') + m_value);
    auto* view = new ChecksumView(this, menu, name, m_value);
    setDefaultWidget(view);
    connect(this, &QAction::triggered, this,
            [value = m_value] { QGuiApplication::clipboard()->setText(value, QClipboard::Clipboard); });
    // The highlight follows the menu's active item, also when the keyboard moves it.
    connect(menu, &QMenu::hovered, view, [view] { view->update(); });
}

} // namespace trevalin
