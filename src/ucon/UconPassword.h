#pragma once

#include <QString>

namespace garrison {

// The password with which this machine registers as a UCON user on the game servers and the
// relay logs in. It is made once at random and kept with the program's other passwords (the
// keyring, else the settings file readable by its owner only), so that nobody can work it out
// from what the machine shows of itself.
class UconPassword {
public:
    static inline const QString kSection = QStringLiteral("[UCON]");
    static inline const QString kKey = QStringLiteral("Password");
    static constexpr int kLength = 20;

    // The password kept for application; one is made and kept now when there is none.
    static QString obtain(const QString& application);
    // kLength letters and digits from the system's random source: one word in the registration
    // command, and nothing that an ini value would have to quote.
    static QString generate();
};

} // namespace garrison
