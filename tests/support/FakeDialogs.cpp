#include "FakeDialogs.h"

namespace garrison::test {

BoxAnswer FakeDialogs::message(const QString& text, const QString& caption, BoxIcon icon,
                               BoxButtons buttons)
{
    calls.append({Call::Message, text, caption, icon, buttons, {}, {}});
    if (whileOpen) {
        whileOpen(calls.constLast());
    }
    if (!answers.isEmpty()) {
        return answers.dequeue();
    }
    return buttons == BoxButtons::YesNo ? BoxAnswer::No : BoxAnswer::Ok;
}

QString FakeDialogs::input(const QString& prompt, const QString& title, const QString& preset)
{
    calls.append({Call::Input, prompt, title, BoxIcon::None, BoxButtons::OkCancel, preset, {}});
    if (whileOpen) {
        whileOpen(calls.constLast());
    }
    if (!texts.isEmpty()) {
        return texts.dequeue().value_or(QString());
    }
    return preset;
}

QString FakeDialogs::openFile(const QString& title, const QString& folder, const QString& filter)
{
    calls.append({Call::OpenFile, title, {}, BoxIcon::None, BoxButtons::Ok, filter, folder});
    return files.isEmpty() ? QString() : files.dequeue();
}

} // namespace garrison::test
