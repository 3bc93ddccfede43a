#include "CredentialVault.h"

#include <windows.h>
// After windows.h, which it needs.
#include <wincred.h>

namespace garrison {

namespace {

// Shown as the credential's user name in the Credential Manager.
const QString kUserName = QStringLiteral("GARRISON");

QString systemError(DWORD code)
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString message = length > 0 ? QString::fromWCharArray(text, length).trimmed()
                                 : QStringLiteral("error %1").arg(code);
    LocalFree(text);
    return QStringLiteral("the Credential Manager: %1").arg(message);
}

CredentialVault::Result failed()
{
    const DWORD code = GetLastError();
    if (code == ERROR_NOT_FOUND) {
        return {CredentialVault::Outcome::NotFound, {}, {}};
    }
    return {CredentialVault::Outcome::Failed, {}, systemError(code)};
}

std::wstring wide(const QString& text)
{
    return text.toStdWString();
}

} // namespace

CredentialVault::Result CredentialVault::read(const QString& target)
{
    PCREDENTIALW credential = nullptr;
    if (!CredReadW(wide(target).c_str(), CRED_TYPE_GENERIC, 0, &credential)) {
        return failed();
    }
    // The secret is UTF-16 without a terminator, as the Credential Manager shows it.
    const QString secret =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(credential->CredentialBlob),
                           qsizetype(credential->CredentialBlobSize / sizeof(char16_t)));
    CredFree(credential);
    return {Outcome::Done, secret, {}};
}

CredentialVault::Result CredentialVault::write(const QString& target, const QString& secret)
{
    if (secret.isEmpty()) {
        const Result removed = remove(target);
        return removed.outcome == Outcome::NotFound ? Result{Outcome::Done, {}, {}} : removed;
    }
    const qsizetype bytes = secret.size() * qsizetype(sizeof(char16_t));
    if (bytes > CRED_MAX_CREDENTIAL_BLOB_SIZE) {
        return {Outcome::Failed,
                {},
                QStringLiteral("the Credential Manager keeps at most %1 characters")
                    .arg(CRED_MAX_CREDENTIAL_BLOB_SIZE / sizeof(char16_t))};
    }
    std::wstring targetName = wide(target);
    std::wstring userName = wide(kUserName);
    std::wstring blob = wide(secret);
    CREDENTIALW credential{};
    credential.Type = CRED_TYPE_GENERIC;
    credential.TargetName = targetName.data();
    credential.UserName = userName.data();
    credential.CredentialBlobSize = DWORD(bytes);
    credential.CredentialBlob = reinterpret_cast<LPBYTE>(blob.data());
    credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
    const bool written = CredWriteW(&credential, 0);
    const DWORD code = GetLastError();
    SecureZeroMemory(blob.data(), blob.size() * sizeof(wchar_t));
    if (!written) {
        return {Outcome::Failed, {}, systemError(code)};
    }
    return {Outcome::Done, {}, {}};
}

CredentialVault::Result CredentialVault::remove(const QString& target)
{
    if (!CredDeleteW(wide(target).c_str(), CRED_TYPE_GENERIC, 0)) {
        return failed();
    }
    return {Outcome::Done, {}, {}};
}

} // namespace garrison
