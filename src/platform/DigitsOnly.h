#pragma once

class QLineEdit;

namespace garrison {

// Lets the field take nothing but up to maxDigits decimal digits while the user types; a value
// put in by the program (a saved profile) is left as it is.
void allowDigitsOnly(QLineEdit& field, int maxDigits);

} // namespace garrison
