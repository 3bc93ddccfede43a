#pragma once

#include <QString>
#include <optional>

namespace garrisond {

// The login message "user:password-level". The name ends at the first ":" (names cannot hold
// one) and the level starts after the last "-", so a password may hold both characters.
struct LoginRequest {
    QString user;
    QString password;
    QString level;

    static std::optional<LoginRequest> parse(const QString& message);
    // "mp", "admin" or "poweradmin", exactly.
    static bool isLevel(const QString& word);
};

} // namespace garrisond
