#include "update/SignedList.h"

#include "platform/LoadedLibrary.h"

#include <QFile>
#include <QLoggingCategory>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <memory>
#include <optional>

Q_LOGGING_CATEGORY(lcSignedList, "quillory.update.signature")

namespace update {

namespace {

constexpr qsizetype kSignatureBytes = 64;
// A key file is a few hundred bytes; anything far larger is not one.
constexpr qint64 kMaxKeyFileBytes = 64 * 1024;

// libcrypto's calls the check makes. The library is loaded at the first
// check, not at start: its few megabytes are needed once a day at most.
struct Crypto
{
    decltype(&::BIO_new_mem_buf) newMemBuf = nullptr;
    decltype(&::BIO_free) bioFree = nullptr;
    decltype(&::PEM_read_bio_PUBKEY) readPublicKey = nullptr;
    decltype(&::EVP_PKEY_get_id) keyType = nullptr;
    decltype(&::EVP_PKEY_free) keyFree = nullptr;
    decltype(&::EVP_MD_CTX_new) contextNew = nullptr;
    decltype(&::EVP_MD_CTX_free) contextFree = nullptr;
    decltype(&::EVP_DigestVerifyInit) verifyInit = nullptr;
    decltype(&::EVP_DigestVerify) verify = nullptr;
    decltype(&::ERR_clear_error) clearError = nullptr;
};

// Null when libcrypto 3 cannot be loaded; then no list is accepted.
const Crypto *crypto()
{
    return openOnce<Crypto>([]() -> std::optional<Crypto> {
        LoadedLibrary library(QStringLiteral("crypto"), 3);
        Crypto c;
        const bool all = library.load() && library.resolve("BIO_new_mem_buf", c.newMemBuf)
            && library.resolve("BIO_free", c.bioFree)
            && library.resolve("PEM_read_bio_PUBKEY", c.readPublicKey)
            && library.resolve("EVP_PKEY_get_id", c.keyType)
            && library.resolve("EVP_PKEY_free", c.keyFree)
            && library.resolve("EVP_MD_CTX_new", c.contextNew)
            && library.resolve("EVP_MD_CTX_free", c.contextFree)
            && library.resolve("EVP_DigestVerifyInit", c.verifyInit)
            && library.resolve("EVP_DigestVerify", c.verify)
            && library.resolve("ERR_clear_error", c.clearError);
        if (!all) {
            qCWarning(lcSignedList).noquote() << library.why();
            return std::nullopt;
        }
        return c;
    });
}

struct BioFree
{
    void operator()(BIO *bio) const { crypto()->bioFree(bio); }
};
struct KeyFree
{
    void operator()(EVP_PKEY *key) const { crypto()->keyFree(key); }
};
struct ContextFree
{
    void operator()(EVP_MD_CTX *context) const { crypto()->contextFree(context); }
};

VerifiedList refused(const QString &why)
{
    // Leave nothing on this thread's error queue for the TLS code to find.
    if (const Crypto *c = crypto())
        c->clearError();
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
    const Crypto *c = crypto();
    if (!c)
        return refused(QStringLiteral("the signature cannot be checked: libcrypto 3 is missing"));
    std::unique_ptr<BIO, BioFree> bio(
        c->newMemBuf(publicKeyPem.constData(), int(publicKeyPem.size())));
    std::unique_ptr<EVP_PKEY, KeyFree> key(
        bio ? c->readPublicKey(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!key || c->keyType(key.get()) != EVP_PKEY_ED25519)
        return refused(QStringLiteral("the key to check the version list with is not an "
                                      "Ed25519 public key"));
    std::unique_ptr<EVP_MD_CTX, ContextFree> context(c->contextNew());
    // Ed25519 hashes the message itself: no digest is named, and the whole
    // text goes in one call.
    const bool good = context
        && c->verifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) == 1
        && c->verify(context.get(),
               reinterpret_cast<const unsigned char *>(decoded.decoded.constData()),
               size_t(decoded.decoded.size()),
               reinterpret_cast<const unsigned char *>(text.constData()), size_t(text.size()))
            == 1;
    if (!good)
        return refused(QStringLiteral("the version list's signature is not the maker's"));
    c->clearError();
    return { text, {} };
}

} // namespace update
