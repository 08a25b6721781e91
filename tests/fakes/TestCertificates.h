#pragma once

#include <string>

namespace kestrel::test {

// A test CA and the server certificates the TLS tests need, made at run time with OpenSSL
// into a directory of their own (P-256 keys, PEM files).
class TestCertificates {
public:
    struct Issued {
        std::string certFile;
        std::string keyFile;
    };
    struct Request {
        std::string name;           // file stem
        std::string altNames;       // subjectAltName value, e.g. "DNS:localhost,IP:127.0.0.1"
        long validFromSec = -3600;  // relative to now
        long validToSec = 86400;
        bool selfSigned = false;  // signed by its own key instead of the CA's
    };

    // Makes the CA (ca.pem) in dir, which must exist.
    explicit TestCertificates(std::string dir);
    ~TestCertificates();
    TestCertificates(const TestCertificates&) = delete;
    TestCertificates& operator=(const TestCertificates&) = delete;

    bool Ok() const { return m_ok; }
    const std::string& CaFile() const { return m_caFile; }
    Issued Issue(const Request& request);

private:
    struct Keys;
    std::string m_dir;
    std::string m_caFile;
    Keys* m_keys = nullptr;
    bool m_ok = false;
    long m_serial = 1;
};

}  // namespace kestrel::test
