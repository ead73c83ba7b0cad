// AboutPreferencesView: the "About" tab of the preferences — the maker's notice, a link
// to write a review, the current tagline (in italics, following every new one) and a
// link to help and support. The links open in the desktop's browser.
//
// Thread-safety: GUI thread only; new taglines arrive queued from any thread.
#pragma once

#include <QUrl>
#include <QWidget>

#include <functional>

class QLabel;

namespace trevalin {

class AboutPreferencesView : public QWidget {
    Q_OBJECT

public:
    using UrlOpener = std::function<void(const QUrl&)>;

    explicit AboutPreferencesView(QWidget* parent = nullptr);

    QLabel* tagline() const { return m_tagline; }
    QLabel* reviewLink() const { return m_review; }
    QLabel* supportLink() const { return m_support; }

    // Test seam: what opens a link (default: QDesktopServices::openUrl).
    void setUrlOpenerForTesting(UrlOpener opener) { m_opener = std::move(opener); }

private:
    QLabel* link(const QUrl& url, const QString& text);

    QLabel* m_review;
    QLabel* m_tagline;
    QLabel* m_support;
    UrlOpener m_opener;
};

} // namespace trevalin
