// AboutDialog: the program's About box — icon, name, version and the maker's notice.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QDialog>

namespace trevalin {

class AboutDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* kNotice = "Copyright © 2026 corvane. All rights reserved.";

    explicit AboutDialog(QWidget* parent = nullptr);
};

} // namespace trevalin
