#pragma once

#include <QByteArray>

#include <memory>

// A maker key pair made for one test: Ed25519 through OpenSSL's EVP, so no
// private key ever lives in the tree.
class SigningKey
{
public:
    SigningKey();
    ~SigningKey();

    // The public half, PEM.
    QByteArray publicPem() const;
    // `list` as the server offers it: the text (a final line break added
    // when missing) and its signature line.
    QByteArray signList(QByteArray list) const;
    // The raw 64-byte signature of `bytes`.
    QByteArray sign(const QByteArray &bytes) const;

private:
    struct Key;
    std::unique_ptr<Key> m_key;
};
