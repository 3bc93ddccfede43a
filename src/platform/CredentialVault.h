#pragma once

#include <QString>

namespace garrison {

// Generic credentials in the Windows Credential Manager of the user who runs the program: one
// secret under each target name, kept on this machine (they do not roam with the profile).
// Other programs of the same user can read them, as they can read the user's other files.
class CredentialVault {
public:
    enum class Outcome { Done, NotFound, Failed };
    struct Result {
        Outcome outcome = Outcome::Failed;
        QString secret; // read() only
        QString error;  // the system's words, with Failed
    };

    static Result read(const QString& target);
    // An empty secret removes the credential: nothing is kept for it. At most 256 characters
    // (the system's limit of 512 bytes).
    static Result write(const QString& target, const QString& secret);
    // NotFound when there was none.
    static Result remove(const QString& target);
};

} // namespace garrison
