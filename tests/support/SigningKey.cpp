#include "tests/support/SigningKey.h"

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <stdexcept>

struct SigningKey::Key
{
    EVP_PKEY *pkey = nullptr;
    ~Key() { EVP_PKEY_free(pkey); }
};

SigningKey::SigningKey()
    : m_key(std::make_unique<Key>())
{
    m_key->pkey = EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519");
    if (!m_key->pkey)
        throw std::runtime_error("no Ed25519 key");
}

SigningKey::~SigningKey() = default;

QByteArray SigningKey::publicPem() const
{
    BIO *bio = BIO_new(BIO_s_mem());
    PEM_write_bio_PUBKEY(bio, m_key->pkey);
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    QByteArray pem(data, size);
    BIO_free(bio);
    return pem;
}

QByteArray SigningKey::sign(const QByteArray &bytes) const
{
    EVP_MD_CTX *context = EVP_MD_CTX_new();
    QByteArray signature(64, '\0');
    size_t size = size_t(signature.size());
    const bool ok = EVP_DigestSignInit(context, nullptr, nullptr, nullptr, m_key->pkey) == 1
        && EVP_DigestSign(context, reinterpret_cast<unsigned char *>(signature.data()), &size,
               reinterpret_cast<const unsigned char *>(bytes.constData()), size_t(bytes.size()))
            == 1;
    EVP_MD_CTX_free(context);
    if (!ok)
        throw std::runtime_error("signing failed");
    return signature.left(qsizetype(size));
}

QByteArray SigningKey::signList(QByteArray list) const
{
    if (!list.isEmpty() && !list.endsWith('\n'))
        list += '\n';
    return list + "ed25519 " + sign(list).toBase64() + "\n";
}
