#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace velko::test {

struct RecordedRequest {
  std::string method;     // "GET", "HEAD"
  std::string target;     // path and query as sent
  std::string range;      // the Range header, empty when none was sent
  std::string userAgent;
};

// Client for the loopback download service that the harness runs for the Windows tests
// (HTTPS on the compiled-in download host, port 443; plain HTTP on http_port()).
// Every call fails the current test when the service cannot be reached.
class TestService {
 public:
  static std::string host();
  static std::uint16_t http_port();
  // Windows path of the folder served under "/v1/downloads/".
  static std::string release_dir();

  // Forgets faults, the policy answer and recorded requests, empties the release folder and
  // gives the HTTPS port back to the Python service.
  static void reset();
  // Who answers on the HTTPS port: "python" (every fault below) or "nginx" (stock nginx with the
  // repository's site configuration on the same release folder; faults: "delayMs", and
  // "endAfter" for one request).
  static void use_backend(const std::string& name);
  // The maker's publishing command puts this installer and its policy into the release folder;
  // the policy file is served from then on.
  static void publish(const std::string& installer, const std::string& version);
  // The answer to the policy request: status and body as given.
  static void set_policy(const std::string& body, int status = 200);
  // Puts a file into the release folder, served at "/v1/downloads/" + percent-encoded name.
  static void put_file(const std::string& name, const std::string& bytes);
  // A fault for requests whose path (without query) equals `path` (compared after
  // percent-decoding, so the encoded and the plain form name the same file). A new fault for a
  // path replaces the old one; "{}" clears it. `faultJson` is an object with any of:
  // "status" (int), "body" (string), "bodyBytes" (int: answer exactly this many bytes: the
  // normal body cut, or padded with spaces, which keeps a JSON policy valid),
  // "cutAfter" (int: break the connection (RST) after this many body bytes), "endAfter" (int: close
  // it in order (FIN) after this many), "ignoreRange" (bool: 200
  // with the whole file), "unrequested206" (bool: 206 even without Range), "rangeStartsAt" (int:
  // a 206 whose Content-Range starts there), "headNoLength" (bool), "headLength" (int),
  // "extraBytes" (int: send this many bytes more than the file has), "delayMs" (int per chunk),
  // "redirectTo" (string: answer 302, or "status" when given, with this Location and no body),
  // "times" (int: applies to this many requests, then clears; absent = always).
  static void set_fault(const std::string& path, const std::string& faultJson);
  static std::vector<RecordedRequest> requests();
  // The recorded requests with this method (and this target, when one is given).
  static std::vector<RecordedRequest> requests(const std::string& method, const std::string& target = {});
};

// Test names for a suite instantiated once per backend: "TestService" and "Nginx".
inline std::string backend_test_name(const ::testing::TestParamInfo<const char*>& info) {
  return std::string(info.param) == "nginx" ? "Nginx" : "TestService";
}

}  // namespace velko::test
