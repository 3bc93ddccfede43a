#include "DigitsOnly.h"

#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace garrison {

void allowDigitsOnly(QLineEdit& field, int maxDigits)
{
    const QRegularExpression digits(QStringLiteral("[0-9]{0,%1}").arg(maxDigits));
    field.setValidator(new QRegularExpressionValidator(digits, &field));
}

} // namespace garrison
