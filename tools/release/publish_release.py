#!/usr/bin/env python3
"""Writes a release of the workbench installer into a folder laid out by request path.

    publish_release.py INSTALLER VERSION RELEASE_DIR [--host HOST] [--min-supported VERSION]
                       [--publisher-key DIGEST]...

RELEASE_DIR/v1/downloads/VelkoTarn工作台-Setup-v{VERSION}.exe   the installer (the decoded request path)
RELEASE_DIR/v1/bootstrap                                        the policy the online installer asks for

Any static server that maps request paths to files (and ignores the query string) can serve
the folder. The installer is put in place before the policy that announces it, each through a
temporary sibling that is renamed over the final name, so a reader never sees a policy naming
a file that is missing or half written. Installers of earlier versions are left alone.

With --publisher-key (once per key, as the build option VELKO_PUBLISHER_KEYS lists them) only an
installer whose Authenticode signer has one of the given keys is published (scripts/publisher-key
reads the signer's key): a program built with those keys would refuse any other.

Exit codes: 0 written, 2 refused (bad arguments), 1 the files could not be written.
"""

import argparse
import hashlib
import json
import os
import re
import stat
import subprocess
import sys
import urllib.parse

# The product's release download host (VELKO_DOWNLOAD_HOST's default in CMakeLists.txt).
DEFAULT_HOST = "download.velkotarn.com"
INSTALLER_NAME_PREFIX = "VelkoTarn工作台-Setup-v"
DOWNLOADS_PATH = "/v1/downloads/"
POLICY_PATH = "/v1/bootstrap"
MAX_INSTALLER_BYTES = 4_294_967_295
COPY_CHUNK = 1 << 20
PUBLISHER_KEY_PROGRAM = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                                     "publisher-key")
_KEY_DIGEST = re.compile(r"[0-9A-Fa-f]{64}\Z")

EXIT_REFUSED = 2
EXIT_FAILED = 1


class Refused(Exception):
    """An argument the release cannot be made from (exit code 2)."""


class Failed(Exception):
    """The files could not be written (exit code 1)."""


def is_valid_version(text):
    """Three dot-separated decimal numbers 0..65535 without leading zeros, nothing else."""
    parts = text.split(".")
    if len(parts) != 3:
        return False
    for part in parts:
        # isdigit() would let other scripts' digits through.
        if not part or any(c not in "0123456789" for c in part):
            return False
        if len(part) > 1 and part[0] == "0":
            return False
        if int(part) > 65535:
            return False
    return True


def version_numbers(text):
    return tuple(int(part) for part in text.split("."))


_LABEL = re.compile(r"[A-Za-z0-9](?:[A-Za-z0-9-]{0,61}[A-Za-z0-9])?\Z")


def is_plain_host(text):
    """A DNS host name (letters, digits, hyphens) or a dotted-quad IPv4 literal."""
    if not text or len(text) > 253:
        return False
    labels = text.split(".")
    if all(label and all(c in "0123456789" for c in label) for label in labels):
        # Digits only: it must be a well-formed IPv4 literal.
        return len(labels) == 4 and all(
            int(label) <= 255 and (label == "0" or label[0] != "0") for label in labels)
    if not all(_LABEL.match(label) for label in labels):
        return False
    # A name whose last label is a number reads as a (malformed) address to URL parsers.
    return not all(c in "0123456789" for c in labels[-1])


def installer_file_name(version):
    return f"{INSTALLER_NAME_PREFIX}{version}.exe"


def download_url(host, version):
    # Upper-case percent escapes of the UTF-8 name: the only form the product accepts.
    segment = urllib.parse.quote(installer_file_name(version), safe="")
    return f"https://{host}{DOWNLOADS_PATH}{segment}"


def release_paths(release_dir, version):
    downloads = os.path.join(release_dir, *DOWNLOADS_PATH.strip("/").split("/"))
    installer = os.path.join(downloads, installer_file_name(version))
    policy = os.path.join(release_dir, *POLICY_PATH.strip("/").split("/"))
    return installer, policy


def policy_document(version, min_supported, host, sha256_upper, size):
    """The policy record, members in the order the array form of the record uses."""
    return {
        "currentVersion": "0.0.0",
        "minSupportedVersion": min_supported,
        "latestVersion": version,
        "downloadUrl": download_url(host, version),
        "updateSha256": sha256_upper,
        "installerBytes": size,
        "target": "windows",
        "arch": "x86_64",
    }


def check_installer(path):
    """The installer's size; refuses anything but a non-empty regular file within the limit."""
    try:
        info = os.stat(path)
    except FileNotFoundError:
        raise Refused(f"installer not found: {path}")
    except OSError as error:
        raise Refused(f"cannot read the installer {path}: {error.strerror}")
    if not stat.S_ISREG(info.st_mode):
        raise Refused(f"installer is not a regular file: {path}")
    if info.st_size == 0:
        raise Refused(f"installer is empty: {path}")
    if info.st_size > MAX_INSTALLER_BYTES:
        raise Refused(f"installer is larger than {MAX_INSTALLER_BYTES} bytes: {path} ({info.st_size} bytes)")
    return info.st_size


def check_publisher(installer, publisher_keys):
    """Refuses an installer whose signer's key is not among publisher_keys (64 hexadecimal digits each)."""
    for key in publisher_keys:
        if not _KEY_DIGEST.match(key):
            raise Refused(f"invalid publisher key {key!r}: expected 64 hexadecimal digits (scripts/publisher-key FILE)")
    result = subprocess.run([PUBLISHER_KEY_PROGRAM, installer], capture_output=True, text=True)
    if result.returncode != 0:
        reason = result.stderr.strip().splitlines()[-1] if result.stderr.strip() else "no signer key"
        raise Refused(f"installer is not signed by a publisher key: {reason}")
    signer = result.stdout.strip().upper()
    if signer not in (key.upper() for key in publisher_keys):
        raise Refused(f"installer is signed by key {signer}, not by a given publisher key")


def temporary_sibling(path):
    directory, name = os.path.split(path)
    return os.path.join(directory, f".{name}.{os.getpid()}.tmp")


def sync_directory(directory):
    descriptor = os.open(directory, os.O_RDONLY | getattr(os, "O_DIRECTORY", 0))
    try:
        os.fsync(descriptor)
    finally:
        os.close(descriptor)


def replace_with(path, write):
    """Writes through write(file) into a temporary sibling, flushes it and renames it over path."""
    temporary = temporary_sibling(path)
    try:
        with open(temporary, "xb") as output:
            result = write(output)
            output.flush()
            os.fsync(output.fileno())
        os.replace(temporary, path)
    except BaseException:
        try:
            os.unlink(temporary)
        except OSError:
            pass
        raise
    sync_directory(os.path.dirname(path) or ".")
    return result


def copy_installer(source, destination, expected_size):
    """Copies the installer into place; returns the SHA-256 (upper case) of the bytes written."""
    def write(output):
        digest = hashlib.sha256()
        copied = 0
        with open(source, "rb") as data:
            while chunk := data.read(COPY_CHUNK):
                digest.update(chunk)
                output.write(chunk)
                copied += len(chunk)
        if copied != expected_size:
            raise Failed(f"installer changed while it was copied: {source} "
                         f"({expected_size} bytes expected, {copied} read)")
        return digest.hexdigest().upper()
    return replace_with(destination, write)


def publish(installer, version, release_dir, host=DEFAULT_HOST, min_supported=None, publisher_keys=()):
    """Checks the arguments, writes the installer and then the policy; returns what was written."""
    if not is_valid_version(version):
        raise Refused(f"invalid version {version!r}: expected three numbers 0..65535 without leading zeros, like 1.4.2")
    if min_supported is None:
        min_supported = version
    if not is_valid_version(min_supported):
        raise Refused(f"invalid minimum supported version {min_supported!r}: "
                      "expected three numbers 0..65535 without leading zeros, like 1.4.2")
    if version_numbers(min_supported) > version_numbers(version):
        raise Refused(f"minimum supported version {min_supported} is above the released version {version}")
    if not is_plain_host(host):
        raise Refused(f"invalid host {host!r}: expected a plain host name or IPv4 address, without scheme, port or path")
    size = check_installer(installer)
    if publisher_keys:
        check_publisher(installer, publisher_keys)
    if os.path.exists(release_dir) and not os.path.isdir(release_dir):
        raise Refused(f"release folder is not a folder: {release_dir}")

    installer_path, policy_path = release_paths(release_dir, version)
    try:
        os.makedirs(os.path.dirname(installer_path), exist_ok=True)
        os.makedirs(os.path.dirname(policy_path), exist_ok=True)
        sha256 = copy_installer(installer, installer_path, size)
        document = policy_document(version, min_supported, host, sha256, size)
        text = (json.dumps(document, indent=2) + "\n").encode("utf-8")
        replace_with(policy_path, lambda output: output.write(text))
    except OSError as error:
        where = f": {error.filename}" if error.filename else ""
        raise Failed(f"cannot write the release: {error.strerror or error}{where}")
    return installer_path, policy_path, document


class _Parser(argparse.ArgumentParser):
    def error(self, message):
        # One line, like every other refusal.
        raise Refused(message)


def main(argv=None):
    parser = _Parser(prog="publish-release",
                     description="Write a workbench release (installer and policy) into a static release folder.")
    parser.add_argument("installer", help="the workbench installer (.exe)")
    parser.add_argument("version", help="release version, like 1.4.2")
    parser.add_argument("release_dir", help="folder served as the download service's root")
    parser.add_argument("--host", default=DEFAULT_HOST, help=f"download service host (default {DEFAULT_HOST})")
    parser.add_argument("--min-supported", metavar="VERSION",
                        help="minSupportedVersion of the policy (default: the released version)")
    parser.add_argument("--publisher-key", metavar="DIGEST", action="append", default=[],
                        help="publish only an installer signed by this key (SHA-256 of its SubjectPublicKeyInfo); "
                             "may be given more than once")
    try:
        arguments = parser.parse_args(argv)
        installer_path, policy_path, document = publish(
            arguments.installer, arguments.version, arguments.release_dir,
            host=arguments.host, min_supported=arguments.min_supported, publisher_keys=arguments.publisher_key)
    except Refused as refusal:
        print(f"publish-release: refused: {refusal}", file=sys.stderr)
        return EXIT_REFUSED
    except Failed as failure:
        print(f"publish-release: failed: {failure}", file=sys.stderr)
        return EXIT_FAILED
    print(f"installer: {installer_path} ({document['installerBytes']} bytes, SHA-256 {document['updateSha256']})")
    print(f"policy:    {policy_path} (latestVersion {document['latestVersion']}, "
          f"minSupportedVersion {document['minSupportedVersion']})")
    print(f"announces: {document['downloadUrl']}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
