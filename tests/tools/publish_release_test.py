"""Tests of tools/release/publish_release.py, run as a program like release engineers run it."""

import hashlib
import json
import os
import re
import subprocess
import sys
import tempfile
import unittest
import urllib.parse

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
PROGRAM = os.path.join(SOURCE_DIR, "tools", "release", "publish_release.py")
WRAPPER = os.path.join(SOURCE_DIR, "scripts", "publish-release")
ESCAPED_PREFIX = "VelkoTarn%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v"
NAME_PREFIX = "VelkoTarn工作台-Setup-v"
MEMBERS = ["currentVersion", "minSupportedVersion", "latestVersion", "downloadUrl",
           "updateSha256", "installerBytes", "target", "arch"]


def run(*arguments, program=(sys.executable, PROGRAM)):
    return subprocess.run([*program, *arguments], capture_output=True, text=True, encoding="utf-8")


class PublishReleaseTest(unittest.TestCase):
    def setUp(self):
        self._temp = tempfile.TemporaryDirectory(prefix="发布-")
        self.temp = self._temp.name
        self.release = os.path.join(self.temp, "release")
        self.downloads = os.path.join(self.release, "v1", "downloads")
        self.policy_path = os.path.join(self.release, "v1", "bootstrap")

    def tearDown(self):
        self._temp.cleanup()

    def installer(self, content, name="setup.exe"):
        path = os.path.join(self.temp, name)
        with open(path, "wb") as output:
            output.write(content)
        return path

    def publish(self, installer, version, *extra, program=(sys.executable, PROGRAM)):
        return run(installer, version, self.release, *extra, program=program)

    def policy(self):
        with open(self.policy_path, "rb") as data:
            return json.loads(data.read().decode("utf-8"))

    def assert_refused(self, result, words, policy_written=False):
        self.assertEqual(result.returncode, 2, result.stderr)
        lines = result.stderr.strip().splitlines()
        self.assertEqual(len(lines), 1, result.stderr)
        self.assertIn(words, lines[0])
        self.assertEqual(os.path.exists(self.policy_path), policy_written)

    def test_policy_members_and_values(self):
        content = bytes(range(256)) * 1000 + b"tail"
        result = self.publish(self.installer(content), "1.4.2", "--host", "127.0.0.21")
        self.assertEqual(result.returncode, 0, result.stderr)
        policy = self.policy()
        self.assertEqual(list(policy), MEMBERS)
        self.assertEqual(policy["currentVersion"], "0.0.0")
        self.assertEqual(policy["latestVersion"], "1.4.2")
        self.assertEqual(policy["minSupportedVersion"], "1.4.2")
        self.assertEqual(policy["downloadUrl"], "https://127.0.0.21/v1/downloads/" + ESCAPED_PREFIX + "1.4.2.exe")
        self.assertEqual(policy["updateSha256"], hashlib.sha256(content).hexdigest().upper())
        self.assertRegex(policy["updateSha256"], r"\A[0-9A-F]{64}\Z")
        self.assertIs(type(policy["installerBytes"]), int)
        self.assertEqual(policy["installerBytes"], len(content))
        self.assertEqual(policy["target"], "windows")
        self.assertEqual(policy["arch"], "x86_64")
        self.assertIn(policy["downloadUrl"], result.stdout)

    def test_policy_is_plain_json_without_byte_order_mark(self):
        self.assertEqual(self.publish(self.installer(b"MZ"), "1.0.0").returncode, 0)
        with open(self.policy_path, "rb") as data:
            raw = data.read()
        self.assertTrue(raw.startswith(b"{"))
        self.assertLess(len(raw), 262_144)
        raw.decode("ascii")

    def test_installer_under_the_decoded_name_of_the_announced_address(self):
        content = b"MZ installer 2.0.1"
        self.assertEqual(self.publish(self.installer(content), "2.0.1").returncode, 0)
        address = urllib.parse.urlsplit(self.policy()["downloadUrl"])
        # What a static server does with the request path before it looks the file up.
        relative = urllib.parse.unquote(address.path, encoding="utf-8", errors="strict").lstrip("/")
        self.assertEqual(relative, "v1/downloads/" + NAME_PREFIX + "2.0.1.exe")
        with open(os.path.join(self.release, *relative.split("/")), "rb") as data:
            served = data.read()
        self.assertEqual(served, content)
        self.assertEqual(hashlib.sha256(served).hexdigest().upper(), self.policy()["updateSha256"])
        self.assertEqual(len(served), self.policy()["installerBytes"])
        # Only the two files: no temporary sibling is left behind.
        self.assertEqual(os.listdir(self.downloads), [NAME_PREFIX + "2.0.1.exe"])
        self.assertEqual(sorted(os.listdir(os.path.join(self.release, "v1"))), ["bootstrap", "downloads"])

    def test_default_host_is_the_products_release_host(self):
        with open(os.path.join(SOURCE_DIR, "CMakeLists.txt"), encoding="utf-8") as data:
            cmake = data.read()
        configured = re.search(r'set\(VELKO_DOWNLOAD_HOST "([^"]+)" CACHE', cmake).group(1)
        self.assertEqual(self.publish(self.installer(b"MZ"), "1.0.0").returncode, 0)
        self.assertEqual(urllib.parse.urlsplit(self.policy()["downloadUrl"]).netloc, configured)

    def test_wrapper_script(self):
        result = self.publish(self.installer(b"MZ"), "3.2.1", "--host", "downloads.example.test",
                              program=(WRAPPER,))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.policy()["downloadUrl"],
                         "https://downloads.example.test/v1/downloads/" + ESCAPED_PREFIX + "3.2.1.exe")
        other = os.path.join(self.temp, "other")
        self.assert_refused(run(self.installer(b"MZ"), "3.2", other, program=(WRAPPER,)), "3.2",
                            policy_written=True)
        self.assertFalse(os.path.exists(other))

    def test_refuses_invalid_versions(self):
        installer = self.installer(b"MZ")
        for version in ["1.2", "1.2.3.4", "01.2.3", "1.02.3", "1.2.65536", "65536.0.0", "1.2.3-beta",
                        "v1.2.3", " 1.2.3", "1.2.", ".1.2", "1..2", "1.2.+3", "1.2.٣", ""]:
            with self.subTest(version=version):
                self.assert_refused(self.publish(installer, version), "version")
        self.assertFalse(os.path.exists(self.downloads))

    def test_accepts_boundary_versions(self):
        installer = self.installer(b"MZ")
        for version in ["0.0.0", "65535.0.10", "10.0.65535"]:
            with self.subTest(version=version):
                self.assertEqual(self.publish(installer, version).returncode, 0)
                self.assertEqual(self.policy()["latestVersion"], version)

    def test_minimum_supported_version(self):
        installer = self.installer(b"MZ")
        result = self.publish(installer, "1.4.2", "--min-supported", "1.3.0")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.policy()["minSupportedVersion"], "1.3.0")
        os.unlink(self.policy_path)
        self.assert_refused(self.publish(installer, "1.2.9", "--min-supported", "1.2.10"), "1.2.10")
        self.assert_refused(self.publish(installer, "1.2.9", "--min-supported", "1.2"), "1.2")

    def test_refuses_missing_empty_and_oversized_installers(self):
        self.assert_refused(self.publish(os.path.join(self.temp, "missing.exe"), "1.0.0"), "not found")
        self.assert_refused(self.publish(self.installer(b""), "1.0.0"), "empty")
        self.assert_refused(self.publish(self.temp, "1.0.0"), "not a regular file")
        huge = self.installer(b"")
        try:
            os.truncate(huge, 4_294_967_296)
        except OSError:
            self.skipTest("no sparse files here")
        self.assert_refused(self.publish(huge, "1.0.0"), "4294967295")

    def test_refuses_hosts_that_are_not_plain(self):
        installer = self.installer(b"MZ")
        for host in ["", "https://download.velkotarn.com", "download.velkotarn.com:443", "host/path",
                     "bad_name.example", "-lead.example", "a..b", "256.1.1.1", "1.2.3", "010.0.0.1",
                     "example.123", "[::1]", "host name"]:
            with self.subTest(host=host):
                self.assert_refused(self.publish(installer, "1.0.0", "--host", host), "host")
        for host in ["127.0.0.21", "localhost", "CDN-1.Example.net"]:
            with self.subTest(host=host):
                self.assertEqual(self.publish(installer, "1.0.0", "--host", host).returncode, 0)

    def test_new_release_replaces_the_policy_and_keeps_older_installers(self):
        old = b"MZ old release"
        new = b"MZ new release, a little longer"
        self.assertEqual(self.publish(self.installer(old, "old.exe"), "1.4.2").returncode, 0)
        self.assertEqual(self.publish(self.installer(new, "new.exe"), "1.5.0").returncode, 0)
        policy = self.policy()
        self.assertEqual(policy["latestVersion"], "1.5.0")
        self.assertEqual(policy["updateSha256"], hashlib.sha256(new).hexdigest().upper())
        self.assertEqual(policy["installerBytes"], len(new))
        self.assertEqual(sorted(os.listdir(self.downloads)),
                         [NAME_PREFIX + "1.4.2.exe", NAME_PREFIX + "1.5.0.exe"])
        with open(os.path.join(self.downloads, NAME_PREFIX + "1.4.2.exe"), "rb") as data:
            self.assertEqual(data.read(), old)

    def test_republishing_a_version_replaces_its_installer(self):
        self.assertEqual(self.publish(self.installer(b"MZ first build, longer"), "1.4.2").returncode, 0)
        target = os.path.join(self.downloads, NAME_PREFIX + "1.4.2.exe")
        # A reader that opened the first build keeps reading it: the file is replaced, not rewritten.
        with open(target, "rb") as reader:
            second = b"MZ second"
            self.assertEqual(self.publish(self.installer(second), "1.4.2").returncode, 0)
            self.assertEqual(reader.read(), b"MZ first build, longer")
        with open(target, "rb") as data:
            self.assertEqual(data.read(), second)
        self.assertEqual(self.policy()["installerBytes"], len(second))
        self.assertEqual(self.policy()["updateSha256"], hashlib.sha256(second).hexdigest().upper())

    def test_failed_write_leaves_the_previous_release(self):
        self.assertEqual(self.publish(self.installer(b"MZ 1.4.2"), "1.4.2").returncode, 0)
        before = self.policy()
        # A folder where the installer should go: the installer cannot be put in place.
        os.makedirs(os.path.join(self.downloads, NAME_PREFIX + "1.5.0.exe"))
        result = self.publish(self.installer(b"MZ 1.5.0"), "1.5.0")
        self.assertEqual(result.returncode, 1)
        self.assertEqual(len(result.stderr.strip().splitlines()), 1, result.stderr)
        self.assertEqual(self.policy(), before)
        self.assertEqual(sorted(os.listdir(self.downloads)),
                         [NAME_PREFIX + "1.4.2.exe", NAME_PREFIX + "1.5.0.exe"])


class PublisherKeyTest(unittest.TestCase):
    """scripts/publisher-key and --publisher-key, on a small program signed by throw-away keys
    (tests/tools/make_test_publisher.sh, osslsigncode and the mingw-w64 compiler, as the build uses)."""

    @classmethod
    def setUpClass(cls):
        cls._temp = tempfile.TemporaryDirectory(prefix="签名-")
        temp = cls.temp = cls._temp.name
        publisher = os.path.join(temp, "publisher")
        made = subprocess.run([os.path.join(SOURCE_DIR, "tests", "tools", "make_test_publisher.sh"), publisher],
                              capture_output=True, text=True, check=True)
        cls.first_key, cls.second_key = made.stdout.strip().upper().split(";")
        source = os.path.join(temp, "program.c")
        with open(source, "w") as output:
            output.write("int main(void) { return 0; }\n")
        cls.unsigned = os.path.join(temp, "unsigned.exe")
        subprocess.run(["x86_64-w64-mingw32-gcc", source, "-o", cls.unsigned], check=True)
        cls.signed = {}
        for signer in ("first", "second", "foreign"):
            cls.signed[signer] = os.path.join(temp, signer + ".exe")
            subprocess.run([os.environ.get("OSSLSIGNCODE", "osslsigncode"), "sign", "-pkcs12",
                            os.path.join(publisher, signer, "signer.pfx"), "-readpass",
                            os.path.join(publisher, signer, "password.txt"), "-h", "sha256",
                            "-in", cls.unsigned, "-out", cls.signed[signer]], capture_output=True, check=True)
        cls.release = os.path.join(temp, "release")

    @classmethod
    def tearDownClass(cls):
        cls._temp.cleanup()

    def test_publisher_key_prints_the_signers_key_digest(self):
        script = os.path.join(SOURCE_DIR, "scripts", "publisher-key")
        for signer, key in (("first", self.first_key), ("second", self.second_key)):
            result = subprocess.run([script, self.signed[signer]], capture_output=True, text=True)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(result.stdout, key + "\n")
        foreign = subprocess.run([script, self.signed["foreign"]], capture_output=True, text=True)
        self.assertNotIn(foreign.stdout.strip(), (self.first_key, self.second_key))
        self.assertRegex(foreign.stdout, r"\A[0-9A-F]{64}\n\Z")
        unsigned = subprocess.run([script, self.unsigned], capture_output=True, text=True)
        self.assertEqual(unsigned.returncode, 1)
        self.assertIn("carries no Authenticode signature", unsigned.stderr)

    def test_publish_release_refuses_an_installer_no_given_key_signed(self):
        keys = ["--publisher-key", self.first_key.lower(), "--publisher-key", self.second_key]
        policy = os.path.join(self.release, "v1", "bootstrap")
        for signer, version, published in (("foreign", "1.0.0", False), ("first", "1.0.1", True),
                                           ("second", "1.0.2", True)):
            result = run(self.signed[signer], version, self.release, *keys)
            self.assertEqual(result.returncode, 0 if published else 2, result.stderr)
            if published:
                with open(policy, "rb") as data:
                    self.assertEqual(json.loads(data.read())["latestVersion"], version)
            else:
                self.assertIn("not by a given publisher key", result.stderr)
                self.assertFalse(os.path.exists(policy))
        unsigned = run(self.unsigned, "1.0.3", self.release, *keys)
        self.assertEqual(unsigned.returncode, 2)
        self.assertIn("not signed by a publisher key", unsigned.stderr)
        malformed = run(self.signed["first"], "1.0.4", self.release, "--publisher-key", self.first_key[:63])
        self.assertEqual(malformed.returncode, 2)
        self.assertIn("invalid publisher key", malformed.stderr)
        # Without the option, any installer is published as before.
        self.assertEqual(run(self.unsigned, "1.0.5", self.release).returncode, 0)
        with open(policy, "rb") as data:
            self.assertEqual(json.loads(data.read())["latestVersion"], "1.0.5")


if __name__ == "__main__":
    unittest.main()
