#include "web/ServerCertificate.h"

#include <QDir>
#include <QFile>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QSaveFile>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

namespace vigilux::web {

namespace {

template <auto Free>
struct FreeWith {
    template <typename T>
    void operator()(T* p) const {
        Free(p);
    }
};
template <typename T, auto Free>
using Owned = std::unique_ptr<T, FreeWith<Free>>;

QByteArray bioBytes(BIO* bio) {
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return QByteArray(data, static_cast<qsizetype>(size));
}

// The names a phone may use to reach this machine: its host name, localhost
// and every address of its interfaces.
QByteArray subjectAltNames() {
    QStringList names{QStringLiteral("DNS:localhost")};
    const QString host = QHostInfo::localHostName();
    if (!host.isEmpty())
        names << QStringLiteral("DNS:") + host;
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        QHostAddress plain = address;
        plain.setScopeId(QString());
        names << QStringLiteral("IP:") + plain.toString();
    }
    return names.join(QLatin1Char(',')).toLatin1();
}

bool writePrivate(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // Owner only before the bytes go in: the key is never readable by others.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return file.write(bytes) == bytes.size() && file.commit();
}

} // namespace

bool ServerCertificate::makeSelfSigned(QByteArray& certificatePem, QByteArray& keyPem) {
    Owned<EVP_PKEY, EVP_PKEY_free> key(EVP_EC_gen("P-256"));
    Owned<X509, X509_free> cert(X509_new());
    if (!key || !cert)
        return false;
    unsigned char serial[16];
    if (RAND_bytes(serial, sizeof serial) != 1)
        return false;
    serial[0] &= 0x7F; // a positive serial
    Owned<BIGNUM, BN_free> serialNumber(BN_bin2bn(serial, sizeof serial, nullptr));
    X509_set_version(cert.get(), 2);
    BN_to_ASN1_INTEGER(serialNumber.get(), X509_get_serialNumber(cert.get()));
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -24 * 3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 10L * 365 * 24 * 3600);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME* name = X509_get_subject_name(cert.get());
    const QByteArray host = QHostInfo::localHostName().toUtf8().left(60);
    X509_NAME_add_entry_by_txt(
        name, "CN", MBSTRING_UTF8,
        reinterpret_cast<const unsigned char*>(host.isEmpty() ? "Vigilux" : host.constData()), -1,
        -1, 0);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>("Vigilux"), -1, -1, 0);
    X509_set_issuer_name(cert.get(), name);
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert.get(), cert.get(), nullptr, nullptr, 0);
    const QByteArray altNames = subjectAltNames();
    const std::pair<int, const char*> extensions[] = {
        {NID_subject_alt_name, altNames.constData()},
        {NID_basic_constraints, "critical,CA:FALSE"},
        {NID_ext_key_usage, "serverAuth"},
    };
    for (const auto& [nid, value] : extensions) {
        Owned<X509_EXTENSION, X509_EXTENSION_free> ext(
            X509V3_EXT_conf_nid(nullptr, &ctx, nid, value));
        if (!ext || X509_add_ext(cert.get(), ext.get(), -1) != 1)
            return false;
    }
    if (X509_sign(cert.get(), key.get(), EVP_sha256()) == 0)
        return false;
    Owned<BIO, BIO_free_all> certBio(BIO_new(BIO_s_mem()));
    Owned<BIO, BIO_free_all> keyBio(BIO_new(BIO_s_mem()));
    if (PEM_write_bio_X509(certBio.get(), cert.get()) != 1 ||
        PEM_write_bio_PrivateKey(keyBio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) !=
            1)
        return false;
    certificatePem = bioBytes(certBio.get());
    keyPem = bioBytes(keyBio.get());
    return true;
}

bool ServerCertificate::loadFiles(const QString& certificatePath, const QString& keyPath) {
    QFile certFile(certificatePath);
    QFile keyFile(keyPath);
    if (!certFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("Не удалось прочитать сертификат или ключ: ") +
                  QDir::toNativeSeparators(certFile.isOpen() ? keyPath : certificatePath);
        return false;
    }
    const QByteArray keyPem = keyFile.readAll();
    m_certificate = QSslCertificate(certFile.readAll(), QSsl::Pem);
    m_key = QSslKey(keyPem, QSsl::Ec, QSsl::Pem);
    if (m_key.isNull())
        m_key = QSslKey(keyPem, QSsl::Rsa, QSsl::Pem);
    if (m_certificate.isNull() || m_key.isNull()) {
        m_error = QStringLiteral("Сертификат или ключ повреждён");
        return false;
    }
    return true;
}

bool ServerCertificate::load(const QString& settingsFolder, const QString& certificatePath,
                             const QString& keyPath) {
    m_error.clear();
    if (!certificatePath.isEmpty() || !keyPath.isEmpty())
        return loadFiles(certificatePath, keyPath);
    const QDir dir(settingsFolder);
    const QString certPath = dir.filePath(QStringLiteral("remote-view.crt"));
    const QString ownKeyPath = dir.filePath(QStringLiteral("remote-view.key"));
    if (QFile::exists(certPath) && QFile::exists(ownKeyPath) && loadFiles(certPath, ownKeyPath))
        return true;
    QByteArray certPem;
    QByteArray keyPem;
    if (!makeSelfSigned(certPem, keyPem)) {
        m_error = QStringLiteral("Не удалось создать сертификат");
        return false;
    }
    if (!writePrivate(ownKeyPath, keyPem) || !writePrivate(certPath, certPem)) {
        m_error = QStringLiteral("Не удалось записать сертификат в ") +
                  QDir::toNativeSeparators(settingsFolder);
        return false;
    }
    m_error.clear();
    return loadFiles(certPath, ownKeyPath);
}

QString ServerCertificate::fingerprint() const {
    return QString::fromLatin1(
        m_certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

} // namespace vigilux::web
