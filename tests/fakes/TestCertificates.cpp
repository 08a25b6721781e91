#include "tests/fakes/TestCertificates.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>

namespace kestrel::test {
namespace {

EVP_PKEY* NewKey() {
    return EVP_EC_gen("P-256");
}

bool AddExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    if (!ext) return false;
    const bool added = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return added;
}

X509* MakeCert(EVP_PKEY* key, const std::string& commonName, X509* issuer, long serial, long from,
               long to) {
    X509* cert = X509_new();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), serial);
    X509_gmtime_adj(X509_getm_notBefore(cert), from);
    X509_gmtime_adj(X509_getm_notAfter(cert), to);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("Kestrel test"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1,
                               0);
    X509_set_issuer_name(cert, issuer ? X509_get_subject_name(issuer) : name);
    return cert;
}

bool WritePem(const std::string& path, X509* cert, EVP_PKEY* key) {
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    const bool ok = cert ? PEM_write_X509(f, cert) == 1
                         : PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    return std::fclose(f) == 0 && ok;
}

}  // namespace

struct TestCertificates::Keys {
    EVP_PKEY* caKey = nullptr;
    X509* ca = nullptr;
};

TestCertificates::TestCertificates(std::string dir) : m_dir(std::move(dir)), m_keys(new Keys) {
    m_caFile = m_dir + "/ca.pem";
    m_keys->caKey = NewKey();
    if (!m_keys->caKey) return;
    m_keys->ca =
        MakeCert(m_keys->caKey, "Kestrel test CA", nullptr, m_serial++, -3600, 10L * 365 * 86400);
    X509* ca = m_keys->ca;
    m_ok = AddExtension(ca, ca, NID_basic_constraints, "critical,CA:TRUE") &&
           AddExtension(ca, ca, NID_key_usage, "critical,keyCertSign,cRLSign") &&
           AddExtension(ca, ca, NID_subject_key_identifier, "hash") &&
           X509_sign(ca, m_keys->caKey, EVP_sha256()) > 0 && WritePem(m_caFile, ca, nullptr);
}

TestCertificates::~TestCertificates() {
    if (m_keys->ca) X509_free(m_keys->ca);
    if (m_keys->caKey) EVP_PKEY_free(m_keys->caKey);
    delete m_keys;
}

TestCertificates::Issued TestCertificates::Issue(const Request& request) {
    Issued out{m_dir + "/" + request.name + ".pem", m_dir + "/" + request.name + ".key"};
    EVP_PKEY* key = NewKey();
    if (!key) return {};
    X509* issuer = request.selfSigned ? nullptr : m_keys->ca;
    EVP_PKEY* signer = request.selfSigned ? key : m_keys->caKey;
    X509* cert =
        MakeCert(key, request.name, issuer, m_serial++, request.validFromSec, request.validToSec);
    X509* context = issuer ? issuer : cert;
    const bool ok = AddExtension(cert, context, NID_basic_constraints, "critical,CA:FALSE") &&
                    AddExtension(cert, context, NID_ext_key_usage, "serverAuth") &&
                    AddExtension(cert, context, NID_subject_alt_name, request.altNames) &&
                    X509_sign(cert, signer, EVP_sha256()) > 0 &&
                    WritePem(out.certFile, cert, nullptr) && WritePem(out.keyFile, nullptr, key);
    X509_free(cert);
    EVP_PKEY_free(key);
    return ok ? out : Issued{};
}

}  // namespace kestrel::test
