#pragma once

#include "platform/Dialogs.h"

#include <QList>
#include <QQueue>
#include <functional>
#include <optional>

namespace garrison::test {

// Records the boxes a window asks for and answers them from a queue, without any widget.
class FakeDialogs final : public Dialogs {
public:
    struct Call {
        enum Kind { Message, Input, OpenFile } kind;
        QString text; // message text, input prompt, or file dialog title
        QString caption;
        BoxIcon icon = BoxIcon::None;
        BoxButtons buttons = BoxButtons::Ok;
        QString preset; // input preset, or the file dialog's filter
        QString folder;
    };

    BoxAnswer message(const QString& text, const QString& caption, BoxIcon icon,
                      BoxButtons buttons) override;
    QString input(const QString& prompt, const QString& title, const QString& preset) override;
    QString openFile(const QString& title, const QString& folder, const QString& filter) override;

    // Answers in order; without one: Ok (No for Yes/No), the input preset, an empty path.
    QQueue<BoxAnswer> answers;
    QQueue<std::optional<QString>> texts; // nullopt cancels an input box
    QQueue<QString> files;
    // Runs while a box is "open", before it returns.
    std::function<void(const Call&)> whileOpen;

    QList<Call> calls;
};

} // namespace garrison::test
