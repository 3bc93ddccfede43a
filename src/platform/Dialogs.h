#pragma once

#include <QString>

namespace garrison {

enum class BoxIcon { None, Information, Critical, Question, Warning };
enum class BoxButtons { Ok, OkCancel, YesNo };
enum class BoxAnswer { Ok, Cancel, Yes, No };

// Modal message and input boxes. Windows receive one of these; the program passes the real
// boxes, unit tests a fake that records and answers.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    virtual BoxAnswer message(const QString& text, const QString& caption, BoxIcon icon,
                              BoxButtons buttons = BoxButtons::Ok) = 0;
    // Cancelling yields an empty text.
    virtual QString input(const QString& prompt, const QString& title,
                          const QString& preset = QString()) = 0;
    // The system's open-file dialog; cancelling yields an empty path.
    virtual QString openFile(const QString& title, const QString& folder,
                             const QString& filter) = 0;
};

// The caption of refusals and confirmations that name no other.
inline const QString kProgramCaption = QStringLiteral("GARRISON");

} // namespace garrison
