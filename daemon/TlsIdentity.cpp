#include "TlsIdentity.h"

#include "DaemonConfig.h"
#include "SecretFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <memory>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>

namespace garrisond {

namespace {

constexpr long kValidDays = 50L * 365;

template <typename T, void (*Free)(T*)> struct Deleter {
    void operator()(T* p) const { Free(p); }
};
template <typename T, void (*Free)(T*)> using Owned = std::unique_ptr<T, Deleter<T, Free>>;
using Key = Owned<EVP_PKEY, EVP_PKEY_free>;
using Certificate = Owned<X509, X509_free>;
using Bio = Owned<BIO, BIO_free_all>;
using Number = Owned<BIGNUM, BN_free>;
using Extension = Owned<X509_EXTENSION, X509_EXTENSION_free>;

QByteArray bioBytes(BIO* bio)
{
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return QByteArray(data, size);
}

bool addExtension(X509* certificate, int nid, const char* value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    const Extension extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
    return extension && X509_add_ext(certificate, extension.get(), -1) == 1;
}

// Own files go through SecretFile (no links, this user's); named ones may be links into an
// ACME client's folder and are read as they are.
bool readFile(const QString& path, bool own, QByteArray* content, bool* missing, QString* error)
{
    if (own) {
        return SecretFile::read(path, SecretFile::Use::Edit, content, missing, error);
    }
    QFile file(path);
    *missing = !file.exists();
    if (*missing) {
        return true;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    *content = file.readAll();
    return true;
}

// ECDSA and RSA keys as Qt reads them; anything else OpenSSL reads (Ed25519) as an opaque key.
QSslKey readKey(const QByteArray& pem)
{
    for (const QSsl::KeyAlgorithm algorithm : {QSsl::Ec, QSsl::Rsa}) {
        const QSslKey key(pem, algorithm, QSsl::Pem, QSsl::PrivateKey);
        if (!key.isNull()) {
            return key;
        }
    }
    const Bio bio(BIO_new_mem_buf(pem.constData(), static_cast<int>(pem.size())));
    EVP_PKEY* key = PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr);
    return key ? QSslKey(static_cast<Qt::HANDLE>(key), QSsl::PrivateKey) : QSslKey();
}

// Every handshake would fail with a key that is not the certificate's.
bool matches(const QByteArray& certificatePem, const QByteArray& keyPem)
{
    const Bio certificateBio(
        BIO_new_mem_buf(certificatePem.constData(), static_cast<int>(certificatePem.size())));
    const Bio keyBio(BIO_new_mem_buf(keyPem.constData(), static_cast<int>(keyPem.size())));
    const Certificate certificate(
        PEM_read_bio_X509(certificateBio.get(), nullptr, nullptr, nullptr));
    const Key key(PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr));
    return certificate && key && X509_check_private_key(certificate.get(), key.get()) == 1;
}

} // namespace

bool TlsIdentity::create(const QString& certificatePath, const QString& keyPath,
                         const QString& commonName, QString* error)
{
    const Key key(EVP_EC_gen("P-256"));
    const Certificate certificate(X509_new());
    const Number serial(BN_new());
    const QByteArray name = commonName.toUtf8();
    bool built = key && certificate && serial && X509_set_version(certificate.get(), 2) == 1 &&
                 BN_rand(serial.get(), 127, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) == 1 &&
                 BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(certificate.get())) &&
                 X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -3600) &&
                 X509_time_adj_ex(X509_getm_notAfter(certificate.get()), kValidDays, 0, nullptr) &&
                 X509_set_pubkey(certificate.get(), key.get()) == 1;
    if (built) {
        X509_NAME* subject = X509_get_subject_name(certificate.get());
        built = X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
                                           reinterpret_cast<const unsigned char*>(name.constData()),
                                           -1, -1, 0) == 1 &&
                X509_set_issuer_name(certificate.get(), subject) == 1 &&
                addExtension(certificate.get(), NID_basic_constraints, "critical,CA:FALSE") &&
                addExtension(certificate.get(), NID_key_usage, "critical,digitalSignature") &&
                addExtension(certificate.get(), NID_ext_key_usage, "serverAuth") &&
                X509_sign(certificate.get(), key.get(), EVP_sha256()) > 0;
    }
    const Bio keyPem(BIO_new(BIO_s_mem()));
    const Bio certificatePem(BIO_new(BIO_s_mem()));
    built = built && keyPem && certificatePem &&
            PEM_write_bio_PrivateKey(keyPem.get(), key.get(), nullptr, nullptr, 0, nullptr,
                                     nullptr) == 1 &&
            PEM_write_bio_X509(certificatePem.get(), certificate.get()) == 1;
    if (!built) {
        *error = QStringLiteral("cannot make a key and certificate with OpenSSL");
        return false;
    }
    // The key first: a certificate without its key is of no use, a key alone is made anew.
    return SecretFile::write(keyPath, bioBytes(keyPem.get()), error) &&
           SecretFile::write(certificatePath, bioBytes(certificatePem.get()), error);
}

std::optional<TlsIdentity> TlsIdentity::load(const DaemonConfig& config, bool* made, QString* error)
{
    const bool own = !config.tlsFilesNamed;
    QByteArray certificatePem;
    QByteArray keyPem;
    bool certificateMissing = false;
    bool keyMissing = false;
    if (!readFile(config.certificatePath, own, &certificatePem, &certificateMissing, error) ||
        !readFile(config.keyPath, own, &keyPem, &keyMissing, error)) {
        return std::nullopt;
    }
    *made = false;
    if (own && certificateMissing && keyMissing) {
        const QString host = QSysInfo::machineHostName();
        if (!create(config.certificatePath, config.keyPath,
                    host.isEmpty() ? QStringLiteral("garrisond") : host, error) ||
            !readFile(config.certificatePath, own, &certificatePem, &certificateMissing, error) ||
            !readFile(config.keyPath, own, &keyPem, &keyMissing, error)) {
            return std::nullopt;
        }
        *made = true;
    }
    if (certificateMissing || keyMissing) {
        const QString& missing = certificateMissing ? config.certificatePath : config.keyPath;
        *error =
            own ? QStringLiteral("%1 is missing while %2 is there: remove %2 too, and "
                                 "garrisond makes a new pair (clients are then asked to "
                                 "trust the new certificate)")
                      .arg(missing, certificateMissing ? config.keyPath : config.certificatePath)
                : QStringLiteral("%1 (named in the configuration) is missing").arg(missing);
        return std::nullopt;
    }
    TlsIdentity identity;
    identity.m_chain = QSslCertificate::fromData(certificatePem, QSsl::Pem);
    identity.m_key = readKey(keyPem);
    if (identity.m_chain.isEmpty() || identity.m_chain.first().isNull()) {
        *error = QStringLiteral("%1 holds no PEM certificate").arg(config.certificatePath);
        return std::nullopt;
    }
    if (identity.m_key.isNull()) {
        *error = QStringLiteral("%1 holds no PEM private key that garrisond can use")
                     .arg(config.keyPath);
        return std::nullopt;
    }
    if (!matches(certificatePem, keyPem)) {
        *error = QStringLiteral("%1 is not the key of the certificate in %2")
                     .arg(config.keyPath, config.certificatePath);
        return std::nullopt;
    }
    return identity;
}

QString TlsIdentity::fingerprint(const QSslCertificate& certificate)
{
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

bool TlsIdentity::isReadableByOthers(const QString& path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 &&
           (status.st_mode & S_IROTH) != 0;
}

QList<QSslCipher> TlsIdentity::acceptedCiphers()
{
    QList<QSslCipher> accepted;
    for (const QSslCipher& cipher : QSslConfiguration::supportedCiphers()) {
        const QString encryption = cipher.encryptionMethod();
        const bool aead = encryption.contains(QLatin1String("GCM")) ||
                          encryption.contains(QLatin1String("CHACHA20"));
        const bool ephemeral = cipher.keyExchangeMethod() == QLatin1String("ECDH") ||
                               cipher.protocol() == QSsl::TlsV1_3;
        if (aead && ephemeral &&
            (cipher.protocol() == QSsl::TlsV1_2 || cipher.protocol() == QSsl::TlsV1_3)) {
            accepted.append(cipher);
        }
    }
    return accepted;
}

QSslConfiguration TlsIdentity::serverConfiguration() const
{
    static const QList<QSslCipher> ciphers = acceptedCiphers();
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setProtocol(QSsl::TlsV1_2OrLater);
    configuration.setCiphers(ciphers);
    configuration.setLocalCertificateChain(m_chain);
    configuration.setPrivateKey(m_key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    return configuration;
}

} // namespace garrisond
