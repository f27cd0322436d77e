#!/usr/bin/env bash
# Makes the test-only certificates in this folder: a test authority, a server certificate for
# 127.0.0.1 and localhost signed by it, one for another name, and one that expired in 2021. The
# keys are published here on purpose and protect nothing: never use them for a real server.
# Run again only to replace them:  tests/tls/make-test-certificates.sh
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 36500 \
    -subj "/CN=Kestaro test authority (test only)" -addext "basicConstraints=critical,CA:true" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl genrsa -out server.key 2048 2>/dev/null

sign() {  # NAME SUBJECT_ALT_NAMES START END
    openssl req -new -key server.key -subj "/CN=$1" -out "$work/$1.csr"
    printf 'subjectAltName=%s\nbasicConstraints=CA:false\nextendedKeyUsage=serverAuth\n' "$2" \
        >"$work/$1.ext"
    mkdir -p "$work/ca/new"
    : >"$work/ca/index.txt"
    cat >"$work/ca.cnf" <<CNF
[ca]
default_ca = test
[test]
database = $work/ca/index.txt
new_certs_dir = $work/ca/new
serial = $work/ca/serial
default_md = sha256
policy = any
unique_subject = no
[any]
commonName = supplied
CNF
    openssl rand -hex 8 >"$work/ca/serial"
    openssl ca -batch -config "$work/ca.cnf" -cert ca.pem -keyfile ca.key -in "$work/$1.csr" \
        -extfile "$work/$1.ext" -startdate "$3" -enddate "$4" -out "$work/$1.pem" 2>/dev/null
    openssl x509 -in "$work/$1.pem" -out "$5"
}
sign server "IP:127.0.0.1,DNS:localhost" 20260101000000Z 21251231000000Z server.pem
sign other "DNS:other.example" 20260101000000Z 21251231000000Z other-name.pem
sign expired "IP:127.0.0.1,DNS:localhost" 20200101000000Z 20210101000000Z expired.pem
rm -f ca.srl
echo "made: ca.pem server.pem other-name.pem expired.pem (keys: ca.key, server.key)"
