// trust-ca CERT.der: adds one DER certificate to the machine's trusted root store.
// The test harness uses it to make the Wine prefix trust the throw-away CA of the loopback
// download service; nothing else in the system trusts that CA.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <vector>

namespace {

struct StoreCloser {
  HCERTSTORE store;
  ~StoreCloser() {
    if (store) ::CertCloseStore(store, 0);
  }
};

bool read_whole_file(const wchar_t* path, std::vector<BYTE>& bytes) {
  HANDLE file = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool ok = ::GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < (1 << 20);
  if (ok) {
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    ok = ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size();
  }
  ::CloseHandle(file);
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: trust-ca CERT.der\n");
    return 2;
  }
  std::vector<BYTE> der;
  if (!read_whole_file(argv[1], der)) {
    std::fprintf(stderr, "trust-ca: cannot read the certificate (error %lu)\n", ::GetLastError());
    return 1;
  }
  StoreCloser root{::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root")};
  if (root.store == nullptr) {
    std::fprintf(stderr, "trust-ca: cannot open the LocalMachine Root store (error %lu)\n", ::GetLastError());
    return 1;
  }
  if (!::CertAddEncodedCertificateToStore(root.store, X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
                                          CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
    std::fprintf(stderr, "trust-ca: cannot add the certificate (error %lu)\n", ::GetLastError());
    return 1;
  }
  return 0;
}
