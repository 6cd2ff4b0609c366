#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The version list is trusted only when the maker's Ed25519 key signed it.
// As served, the list is its text followed by one last line
//   ed25519 <base64 of the 64-byte signature>
// and the signature covers every byte before that line, its final line
// break included (docs/UPDATES.md, scripts/sign-update-list).
namespace update {

inline constexpr const char *kSignaturePrefix = "ed25519 ";
// Names a PEM file whose public key replaces the built-in one (tests, trials).
inline constexpr const char *kPublicKeyVariable = "QUILLORY_UPDATE_PUBLIC_KEY";

// The maker's public key, built into the program (PEM).
QByteArray builtInPublicKey();

struct TrustedKey
{
    QByteArray pem; // empty when the named file could not be read
    QString source; // "built in" or the file's path, for the log
    QString problem;
};
// The built-in key, or the file named by QUILLORY_UPDATE_PUBLIC_KEY when
// that is set. A variable naming a file that cannot be read gives no key at
// all rather than falling back: a trial must not pass on the wrong key.
TrustedKey trustedPublicKey();

struct VerifiedList
{
    std::optional<QByteArray> text; // the signed text, without its signature line
    QString problem; // why not, in words the user is shown
};
// The list's text when its last line is a good signature of the rest under
// `publicKeyPem`; otherwise nothing, with the reason.
VerifiedList verifySignedList(const QByteArray &served, const QByteArray &publicKeyPem);

} // namespace update
