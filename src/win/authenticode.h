#pragma once

#include <windows.h>

#include <cstdint>
#include <expected>
#include <string>
#include <vector>

namespace velko::win {

// The certificates of a verified Authenticode signature, each DER-encoded, in the order of the
// chain the system built for its first signer: the signer first, then its issuers.
using CertificateChain = std::vector<std::vector<std::uint8_t>>;

// Verifies the Authenticode signature of a file (WinVerifyTrust, WINTRUST_ACTION_GENERIC_VERIFY_V2)
// reading it through `file` alone; `path` only names it. Revocation comes from the local cache
// only, so no network wait can happen; an expired certificate counts when a timestamp vouches
// for the signing time. The failure is WinVerifyTrust's result (TRUST_E_NOSIGNATURE,
// TRUST_E_BAD_DIGEST, CERT_E_UNTRUSTEDROOT, ...) or a Windows error code when wintrust.dll
// cannot be used.
std::expected<CertificateChain, std::uint32_t> verified_signature_chain(HANDLE file, const std::string& path);

}  // namespace velko::win
