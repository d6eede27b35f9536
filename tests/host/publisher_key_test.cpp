// The pure half of the publisher pin: reading the build option, finding the signer's key in a
// certificate made by openssl, and deciding whether that key is pinned.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/digest_text.h"
#include "download/publisher_key.h"

namespace velko {
namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<std::uint8_t>;

constexpr char kKeyA[] = "46960c434e434e361e84ff48874c753c29f04d7d5aec9ff66a29b4c7b6e89e97";
constexpr char kKeyB[] = "E5A14A8FFF3ADE6B4F2C9212B1966187855D47AEBE41F7B6B5D9CA26083850AA";

Bytes read_all(const fs::path& path) {
  std::ifstream input(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>());
}

TEST(PublisherKeys, TheOptionTextIsNoneOrKeysSeparatedBySemicolons) {
  struct Case {
    std::string text;
    std::vector<std::string> keys;  // as digest_text writes them; empty with `valid` false: refused
    bool valid;
  };
  const std::string a = kKeyA;
  const std::string b = kKeyB;
  const std::string upperA = "46960C434E434E361E84FF48874C753C29F04D7D5AEC9FF66A29B4C7B6E89E97";
  const std::vector<Case> cases = {
      {"", {}, true},
      {"none", {}, true},
      {a, {upperA}, true},
      {a + ";" + b, {upperA, b}, true},
      {b + ";" + a + ";" + b, {b, upperA, b}, true},
      {"None", {}, false},
      {"none;" + a, {}, false},
      {a + ";", {}, false},
      {";" + a, {}, false},
      {a + ";;" + b, {}, false},
      {a.substr(1), {}, false},
      {a + "0", {}, false},
      {" " + a, {}, false},
      {a + " ;" + b, {}, false},
      {"g" + a.substr(1), {}, false},
      {a.substr(0, 63) + "x", {}, false},
      {a + "," + b, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto keys = parse_publisher_keys(c.text);
    ASSERT_EQ(keys.has_value(), c.valid);
    if (!keys) {
      EXPECT_NE(keys.error().find("not a key of 64 hexadecimal digits"), std::string::npos) << keys.error();
      continue;
    }
    std::vector<std::string> texts;
    for (const PublisherKey& key : *keys) texts.push_back(digest_text(key));
    EXPECT_EQ(texts, c.keys);
  }
}

TEST(PublisherKeys, AKeyIsPinnedOnlyWhenItIsOneOfThePinned) {
  const auto a = parse_publisher_keys(kKeyA)->front();
  const auto b = parse_publisher_keys(kKeyB)->front();
  PublisherKey nearlyA = a;
  nearlyA.back() ^= 0x01;
  const auto both = *parse_publisher_keys(std::string(kKeyA) + ";" + kKeyB);
  EXPECT_TRUE(is_pinned_key(a, both));
  EXPECT_TRUE(is_pinned_key(b, both));
  EXPECT_FALSE(is_pinned_key(nearlyA, both));
  EXPECT_TRUE(is_pinned_key(b, std::span(&b, 1)));
  EXPECT_FALSE(is_pinned_key(a, std::span(&b, 1)));
  EXPECT_FALSE(is_pinned_key(a, {}));
}

// Certificates and their keys as openssl makes and reads them, in a folder of their own.
class CertificateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "publisher-key-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  void run(const std::string& command) const {
    const std::string line = "cd '" + dir_.string() + "' && { " + command + " ; } >/dev/null 2>&1";
    ASSERT_EQ(std::system(line.c_str()), 0) << command;
  }
  Bytes file(const std::string& name) const { return read_all(dir_ / name); }

  // A certificate NAME.der for a new key made with `keyOptions`, issued by the CA when `byCa`
  // (a version 3 certificate with extensions) or self-signed without extensions (version 1).
  void make_certificate(const std::string& name, const std::string& keyOptions, bool byCa) {
    run("openssl req -new -newkey " + keyOptions + " -nodes -keyout " + name + ".key -subj '/O=Velko Tarn/CN=" +
        name + "' -out " + name + ".csr");
    if (byCa) {
      run("printf 'basicConstraints=CA:FALSE\\nextendedKeyUsage=codeSigning\\n' >" + name + ".ext && " +
          "openssl x509 -req -in " + name + ".csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile " +
          name + ".ext -outform der -out " + name + ".der");
    } else {
      run("openssl x509 -req -in " + name + ".csr -signkey " + name + ".key -days 2 -outform der -out " + name +
          ".der");
    }
    // The key as openssl writes it on its own, and its digest, as scripts/publisher-key prints it.
    run("openssl x509 -inform der -in " + name + ".der -pubkey -noout | openssl pkey -pubin -outform der -out " +
        name + ".spki");
  }
  void make_ca() {
    run("openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj '/CN=Velko Test CA' "
        "-addext basicConstraints=critical,CA:TRUE && openssl x509 -in ca.pem -outform der -out ca.der");
  }
  // The SHA-256 of bytes, by openssl, read back as the build option reads a key.
  PublisherKey digest_of(const Bytes& bytes, const std::string& name) {
    std::ofstream(dir_ / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                       static_cast<std::streamsize>(bytes.size()));
    run("openssl dgst -sha256 -r " + name + " | cut -c1-64 | tr -d '\\n' >" + name + ".sha256");
    const Bytes text = file(name + ".sha256");
    const auto key = parse_publisher_keys(std::string(text.begin(), text.end()));
    EXPECT_TRUE(key && key->size() == 1);
    return key && key->size() == 1 ? key->front() : PublisherKey{};
  }

  fs::path dir_;
};

TEST_F(CertificateTest, TheKeyInsideACertificateIsTheKeyOpensslReads) {
  make_ca();
  struct Case {
    std::string name;
    std::string keyOptions;
    bool byCa;
  };
  for (const Case& c : {Case{"rsa", "rsa:2048", true}, Case{"rsa-self-signed", "rsa:3072", false},
                        Case{"ec", "ec -pkeyopt ec_paramgen_curve:P-256", true},
                        Case{"ed25519", "ed25519", false}}) {
    SCOPED_TRACE(c.name);
    make_certificate(c.name, c.keyOptions, c.byCa);
    const Bytes certificate = file(c.name + ".der");
    const auto keyInfo = certificate_public_key_info(certificate);
    ASSERT_TRUE(keyInfo) << keyInfo.error();
    EXPECT_EQ(Bytes(keyInfo->begin(), keyInfo->end()), file(c.name + ".spki"));
  }
  // The CA's own key is not its subject's.
  const Bytes ca = file("ca.der");
  const auto caKey = certificate_public_key_info(ca);
  ASSERT_TRUE(caKey);
  EXPECT_NE(Bytes(caKey->begin(), caKey->end()), file("rsa.spki"));
}

TEST_F(CertificateTest, TheSignerIsTheFirstCertificateOfTheChainAndOnlyItsKeyCounts) {
  make_ca();
  make_certificate("pinned", "rsa:2048", true);
  make_certificate("other", "rsa:2048", true);
  const Bytes pinnedCertificate = file("pinned.der");
  const Bytes otherCertificate = file("other.der");
  const Bytes ca = file("ca.der");
  const PublisherKey pinnedKey = digest_of(file("pinned.spki"), "pinned-key");
  const std::vector<PublisherKey> pins{pinnedKey};

  struct Case {
    std::vector<std::span<const std::uint8_t>> chain;
    bool accepted;
  };
  const std::vector<Case> cases = {
      {{pinnedCertificate, ca}, true},
      {{pinnedCertificate}, true},
      {{otherCertificate, ca}, false},
      // A pinned certificate further up does not make its issued signer the publisher.
      {{otherCertificate, pinnedCertificate, ca}, false},
      {{ca, pinnedCertificate}, false},
      {{}, false},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    const auto signer = signer_certificate(cases[i].chain);
    const auto keyInfo = certificate_public_key_info(signer);
    const bool accepted =
        keyInfo && is_pinned_key(digest_of(Bytes(keyInfo->begin(), keyInfo->end()), "signer-key"), pins);
    EXPECT_EQ(accepted, cases[i].accepted);
  }
}

TEST_F(CertificateTest, BytesThatAreNoCertificateHaveNoKey) {
  make_ca();
  const Bytes certificate = file("ca.der");
  ASSERT_TRUE(certificate_public_key_info(certificate));
  std::vector<Bytes> refused = {{}, {0x30}, {0x30, 0x00}, {0x30, 0x80, 0x00, 0x00}, {0x31, 0x00}};
  // Every shorter prefix: a length always runs past the end.
  for (std::size_t size = 0; size < certificate.size(); size += 7) {
    refused.emplace_back(certificate.begin(), certificate.begin() + static_cast<std::ptrdiff_t>(size));
  }
  Bytes wrongOuterTag = certificate;
  wrongOuterTag[0] = 0x31;
  refused.push_back(wrongOuterTag);
  Bytes highTag = certificate;
  highTag[0] = 0x3F;
  refused.push_back(highTag);
  Bytes longLength = {0x30, 0x85, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00};
  refused.push_back(longLength);
  // A certificate whose serial number is no INTEGER.
  Bytes noSerial = certificate;
  for (std::size_t i = 4; i + 2 < noSerial.size(); ++i) {
    if (noSerial[i] == 0xA0 && noSerial[i + 2] == 0x02) {
      noSerial[i + 5] = 0x04;  // after [0] {INTEGER 2}: the serial number's tag
      break;
    }
  }
  refused.push_back(noSerial);
  for (std::size_t i = 0; i < refused.size(); ++i) {
    SCOPED_TRACE(i);
    const auto keyInfo = certificate_public_key_info(refused[i]);
    EXPECT_FALSE(keyInfo);
    if (!keyInfo) {
      EXPECT_EQ(keyInfo.error(), "the signer's certificate cannot be read");
    }
  }
}

TEST(PublisherKeys, TheRefusalTextNamesTheFile) {
  EXPECT_EQ(not_publisher_signed_text("VelkoTarn工作台-Setup-v1.4.2.exe"),
            "VelkoTarn工作台-Setup-v1.4.2.exe 非制作方签名，文件不会执行。");
}

TEST(PublisherKeys, TheHostBuildPinsNothing) { EXPECT_TRUE(built_in_publisher_keys().empty()); }

}  // namespace
}  // namespace velko
