#pragma once

#include "platform/Dialogs.h"

namespace garrison {

// The real boxes: QMessageBox, QInputDialog and QFileDialog, parented to the active window.
class WidgetDialogs final : public Dialogs {
public:
    BoxAnswer message(const QString& text, const QString& caption, BoxIcon icon,
                      BoxButtons buttons) override;
    QString input(const QString& prompt, const QString& title, const QString& preset) override;
    QString openFile(const QString& title, const QString& folder, const QString& filter) override;
};

} // namespace garrison
