#include "win/authenticode.h"

#include <wintrust.h>
#include <softpub.h>

#include <type_traits>

#include "win/system_library.h"
#include "win/wide.h"

// Not in every SDK's wintrust.h; the value is Windows'.
#ifndef WTD_DISABLE_MD2_MD4
#define WTD_DISABLE_MD2_MD4 0x00002000
#endif

namespace velko::win {
namespace {

// wintrust.dll is no KnownDLL: loaded from System32 at first use, never imported.
struct WinTrust {
  decltype(&::WinVerifyTrust) verify = nullptr;
  decltype(&::WTHelperProvDataFromStateData) providerData = nullptr;
  decltype(&::WTHelperGetProvSignerFromChain) signer = nullptr;
};

const WinTrust& wintrust() {
  static const WinTrust loaded = [] {
    WinTrust w;
    w.verify = system_function<std::remove_pointer_t<decltype(w.verify)>>(L"wintrust.dll", "WinVerifyTrust");
    w.providerData = system_function<std::remove_pointer_t<decltype(w.providerData)>>(
        L"wintrust.dll", "WTHelperProvDataFromStateData");
    w.signer = system_function<std::remove_pointer_t<decltype(w.signer)>>(L"wintrust.dll",
                                                                          "WTHelperGetProvSignerFromChain");
    return w;
  }();
  return loaded;
}

}  // namespace

std::expected<CertificateChain, std::uint32_t> verified_signature_chain(HANDLE file, const std::string& path) {
  const WinTrust& trust = wintrust();
  if (!trust.verify || !trust.providerData || !trust.signer) return std::unexpected(ERROR_PROC_NOT_FOUND);

  const std::wstring widePath = wide(path);
  WINTRUST_FILE_INFO fileInfo{};
  fileInfo.cbStruct = sizeof(fileInfo);
  fileInfo.pcwszFilePath = widePath.c_str();
  fileInfo.hFile = file;
  WINTRUST_DATA data{};
  data.cbStruct = sizeof(data);
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &fileInfo;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  // Elevated and in the middle of an installation: what the system knows already, no fetching.
  data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL | WTD_DISABLE_MD2_MD4;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  HWND noWindow = static_cast<HWND>(INVALID_HANDLE_VALUE);

  const LONG result = trust.verify(noWindow, &action, &data);
  std::expected<CertificateChain, std::uint32_t> chain = std::unexpected(static_cast<std::uint32_t>(result));
  if (result == ERROR_SUCCESS) {
    CRYPT_PROVIDER_DATA* provider = trust.providerData(data.hWVTStateData);
    CRYPT_PROVIDER_SGNR* signer = provider ? trust.signer(provider, 0, FALSE, 0) : nullptr;
    if (signer == nullptr || signer->csCertChain == 0) {
      chain = std::unexpected(static_cast<std::uint32_t>(TRUST_E_NO_SIGNER_CERT));
    } else {
      chain = CertificateChain{};
      for (DWORD i = 0; i < signer->csCertChain; ++i) {
        const CERT_CONTEXT* certificate = signer->pasCertChain[i].pCert;
        if (certificate == nullptr) break;
        chain->emplace_back(certificate->pbCertEncoded, certificate->pbCertEncoded + certificate->cbCertEncoded);
      }
    }
  }
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  trust.verify(noWindow, &action, &data);
  return chain;
}

}  // namespace velko::win
