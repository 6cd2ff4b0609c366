#include "update/SignedList.h"

#include <QFile>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <memory>

namespace update {

namespace {

constexpr qsizetype kSignatureBytes = 64;
// A key file is a few hundred bytes; anything far larger is not one.
constexpr qint64 kMaxKeyFileBytes = 64 * 1024;

struct BioFree
{
    void operator()(BIO *bio) const { BIO_free(bio); }
};
struct KeyFree
{
    void operator()(EVP_PKEY *key) const { EVP_PKEY_free(key); }
};
struct ContextFree
{
    void operator()(EVP_MD_CTX *context) const { EVP_MD_CTX_free(context); }
};

VerifiedList refused(const QString &why)
{
    // Leave nothing on this thread's error queue for the TLS code to find.
    ERR_clear_error();
    return { std::nullopt, why };
}

} // namespace

QByteArray builtInPublicKey()
{
    // The private half stays with the maker and is never in this tree.
    return QByteArrayLiteral("-----BEGIN PUBLIC KEY-----\n"
                             "MCowBQYDK2VwAyEAhv0g0+rX73NLEUNmJobDIe18mcXJp18JIXRNnYFJgF8=\n"
                             "-----END PUBLIC KEY-----\n");
}

TrustedKey trustedPublicKey()
{
    const QString path = qEnvironmentVariable(kPublicKeyVariable);
    if (path.isEmpty())
        return { builtInPublicKey(), QStringLiteral("built in"), {} };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return { {}, path, QStringLiteral("the key file %1 cannot be read").arg(path) };
    QByteArray pem = file.read(kMaxKeyFileBytes + 1);
    if (pem.size() > kMaxKeyFileBytes)
        return { {}, path, QStringLiteral("the key file %1 is too large").arg(path) };
    return { pem, path, {} };
}

VerifiedList verifySignedList(const QByteArray &served, const QByteArray &publicKeyPem)
{
    // Blanks and line breaks after the signature are not part of it.
    qsizetype end = served.size();
    while (end > 0 && QByteArrayView(" \t\r\n").contains(served.at(end - 1)))
        --end;
    if (end == 0)
        return refused(QStringLiteral("the version list is not signed"));
    const qsizetype lineStart = served.lastIndexOf('\n', end - 1) + 1;
    const QByteArray line = served.mid(lineStart, end - lineStart);
    if (!line.startsWith(kSignaturePrefix))
        return refused(QStringLiteral("the version list is not signed"));
    const QByteArray encoded = line.mid(qstrlen(kSignaturePrefix)).trimmed();
    const auto decoded
        = QByteArray::fromBase64Encoding(encoded, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != kSignatureBytes)
        return refused(QStringLiteral("the version list's signature is malformed"));
    const QByteArray text = served.left(lineStart);

    if (publicKeyPem.isEmpty())
        return refused(QStringLiteral("there is no key to check the version list with"));
    std::unique_ptr<BIO, BioFree> bio(
        BIO_new_mem_buf(publicKeyPem.constData(), int(publicKeyPem.size())));
    std::unique_ptr<EVP_PKEY, KeyFree> key(
        bio ? PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!key || EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519)
        return refused(QStringLiteral("the key to check the version list with is not an "
                                      "Ed25519 public key"));
    std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
    // Ed25519 hashes the message itself: no digest is named, and the whole
    // text goes in one call.
    const bool good = context
        && EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) == 1
        && EVP_DigestVerify(context.get(),
               reinterpret_cast<const unsigned char *>(decoded.decoded.constData()),
               size_t(decoded.decoded.size()),
               reinterpret_cast<const unsigned char *>(text.constData()), size_t(text.size()))
            == 1;
    if (!good)
        return refused(QStringLiteral("the version list's signature is not the maker's"));
    ERR_clear_error();
    return { text, {} };
}

} // namespace update
