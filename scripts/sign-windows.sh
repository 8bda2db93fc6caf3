#!/bin/sh
# Signs Windows files in place with osslsigncode: Authenticode, SHA-256, and
# an RFC 3161 timestamp where a server is named. Sign the DLLs first and the
# packages built from them after (scripts/windows-package.sh does).
#   scripts/sign-windows.sh FILE...
# The certificate and key come from the environment:
#   DUTYGATE_SIGN_CERT       the certificate chain (PEM or DER)
#   DUTYGATE_SIGN_KEY        the private key file, or a pkcs11: URI
#   DUTYGATE_SIGN_PKCS11_MODULE  the token's PKCS#11 module (with a pkcs11: key)
#   DUTYGATE_SIGN_PASSWORD   the key's password, if it has one
#   DUTYGATE_SIGN_TIMESTAMP  a timestamp server's URL (optional)
# Exits 3 without touching anything when no certificate is named, so that a
# caller can tell an unsigned release from a failed signing.
set -eu

cert=${DUTYGATE_SIGN_CERT:-}
key=${DUTYGATE_SIGN_KEY:-}
if [ -z "$cert" ] || [ -z "$key" ]; then
    echo "sign-windows: no certificate (DUTYGATE_SIGN_CERT and DUTYGATE_SIGN_KEY): left unsigned" >&2
    exit 3
fi
command -v osslsigncode >/dev/null || {
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y -qq --no-install-recommends osslsigncode
}

for file in "$@"; do
    # The key's options stay apart from the file's, which vary by kind.
    set -- -certs "$cert" -h sha256 -n Dutygate
    case $key in
        pkcs11:*) set -- "$@" -pkcs11module "${DUTYGATE_SIGN_PKCS11_MODULE:?a pkcs11: key needs DUTYGATE_SIGN_PKCS11_MODULE}" -key "$key" ;;
        *) set -- "$@" -key "$key" ;;
    esac
    [ -z "${DUTYGATE_SIGN_PASSWORD:-}" ] || set -- "$@" -pass "$DUTYGATE_SIGN_PASSWORD"
    [ -z "${DUTYGATE_SIGN_TIMESTAMP:-}" ] || set -- "$@" -ts "$DUTYGATE_SIGN_TIMESTAMP"
    # An MSI's signature also covers its extended properties.
    case $file in *.msi) set -- "$@" -add-msi-dse ;; esac
    rm -f "$file.signed"
    osslsigncode sign "$@" -in "$file" -out "$file.signed" >/dev/null
    mv "$file.signed" "$file"
    echo "signed: $file"
done
