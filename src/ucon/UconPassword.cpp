#include "UconPassword.h"

#include "platform/SecretStore.h"

#include <QRandomGenerator>
#include <iterator>

namespace garrison {

QString UconPassword::obtain(const QString& application)
{
    SecretStore& secrets = SecretStore::instance();
    // Usually read ahead at start; otherwise the keyring is asked now, and waited for.
    QString password = secrets.known(application, kSection, kKey);
    if (password.isEmpty()) {
        password = secrets.readNow(application, kSection, kKey);
    }
    if (password.isEmpty()) {
        password = generate();
        secrets.write(application, kSection, kKey, password);
    }
    return password;
}

QString UconPassword::generate()
{
    static constexpr char16_t kAlphabet[] =
        u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    constexpr int kLetters = int(std::size(kAlphabet)) - 1;
    QString password;
    password.reserve(kLength);
    QRandomGenerator* random = QRandomGenerator::system();
    for (int i = 0; i < kLength; ++i) {
        password.append(QChar(kAlphabet[random->bounded(kLetters)]));
    }
    return password;
}

} // namespace garrison
