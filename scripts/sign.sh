#!/usr/bin/env bash
# Signs a DLL in place with an Authenticode signature and verifies it.
#
#   scripts/sign.sh DLL KEY CERT
#
# KEY is the private key (PEM or DER, without a passphrase), CERT the
# code-signing certificate in PEM, followed in the same file by the
# certificates between it and its root when there are any. The signature uses SHA-256 and carries the certificates of CERT.
#
# The check afterwards proves that the signature covers the file as it now is
# and was made with CERT's key, with CERT and the CAs that Debian trusts as
# roots: a self-signed certificate verifies against itself. Whether Windows
# trusts the signature is Windows' own decision (see docs/shipping.md).
#
# ZK_SIGN_TIMESTAMP_URL, when set, names an RFC 3161 time-stamping server whose
# time stamp the signature then carries (docs/shipping.md says why). With
# SOURCE_DATE_EPOCH set (and no time-stamping server), the signing time is that
# moment, so that signing the same bytes with the same key gives the same file.
set -euo pipefail

usage() {
  echo "usage: $0 DLL KEY CERT" >&2
  exit 2
}

[ $# -eq 3 ] || usage
dll=$1
key=$2
cert=$3
for file in "$dll" "$key" "$cert"; do
  if [ ! -f "$file" ]; then
    echo "sign.sh: $file: no such file" >&2
    exit 2
  fi
done
if ! command -v osslsigncode >/dev/null; then
  echo "sign.sh: osslsigncode is not installed (bash scripts/bootstrap.sh installs it)" >&2
  exit 2
fi

work=$(mktemp -d)
# The signed copy is made beside the DLL, so that it takes the DLL's place in
# one rename.
signed=$(dirname "$dll")/.$(basename "$dll").signed.$$
trap 'rm -rf "$work" "$signed"' EXIT

options=(-h sha256 -n "$(basename "$dll")")
if [ -n "${ZK_SIGN_TIMESTAMP_URL:-}" ]; then
  options+=(-ts "$ZK_SIGN_TIMESTAMP_URL")
elif [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
  # osslsigncode 2.x takes the signing time as -time; older ones have none.
  sign_usage=$(osslsigncode -h 2>&1 | sed -n '/\[ sign \]/,/^ extract-data/p' || true)
  if [[ $sign_usage == *"-time <unix-time>"* ]]; then
    options+=(-time "$SOURCE_DATE_EPOCH")
  fi
fi

# A file that is signed already would get a second, nested signature or be
# refused; sign the bytes as built.
if osslsigncode extract-signature -in "$dll" -out "$work/old.sig" >/dev/null 2>&1; then
  echo "sign.sh: $dll is signed already" >&2
  exit 1
fi

if ! osslsigncode sign -certs "$cert" -key "$key" "${options[@]}" \
  -in "$dll" -out "$signed" >"$work/sign.log" 2>&1; then
  cat "$work/sign.log" >&2
  echo "sign.sh: signing $dll failed" >&2
  exit 1
fi

cat "$cert" >"$work/trusted.pem"
for bundle in /etc/ssl/certs/ca-certificates.crt; do
  if [ -f "$bundle" ]; then
    cat "$bundle" >>"$work/trusted.pem"
  fi
done
if ! osslsigncode verify -CAfile "$work/trusted.pem" -in "$signed" \
  >"$work/verify.log" 2>&1; then
  cat "$work/verify.log" >&2
  echo "sign.sh: the signature of $dll does not verify; $dll is left unsigned" >&2
  exit 1
fi

# The signed file takes the place of the original, keeping its mode.
chmod --reference="$dll" "$signed"
mv -f "$signed" "$dll"
echo "sign.sh: signed and verified $dll"
