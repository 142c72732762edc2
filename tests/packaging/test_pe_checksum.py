#!/usr/bin/env python3
"""The header checksum tool against osslsigncode's own computation, on variants of the built
program that move the sum through its carries: the check that guards every release relies on it.

    test_pe_checksum.py EXE
"""
import os
import re
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "pe_inspect"))
import pe_checksum  # noqa: E402

EXE = None


def reference_checksum(path):
    """osslsigncode prints one checksum when the stored one is right, both when it is not."""
    out = subprocess.run(["osslsigncode", "verify", "-in", path],
                         capture_output=True, text=True).stdout
    found = (re.search(r"Calculated PE checksum\s*: ([0-9A-F]{8})", out)
             or re.search(r"PE checksum\s*: ([0-9A-F]{8})", out))
    if not found:
        raise AssertionError(f"osslsigncode gave no checksum:\n{out}")
    return int(found.group(1), 16)


def with_field(data, value):
    offset = pe_checksum.checksum_offset(data)
    return data[:offset] + value.to_bytes(4, "little") + data[offset + 4:]


def signed(data, folder):
    """A copy signed with a throw-away certificate: osslsigncode rewrites the checksum."""
    key, cert, p12 = (os.path.join(folder, n) for n in ("key.pem", "cert.pem", "cert.p12"))
    source, target = os.path.join(folder, "in.exe"), os.path.join(folder, "signed.exe")
    with open(source, "wb") as f:
        f.write(data)
    quiet = {"check": True, "capture_output": True}
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                    "-out", cert, "-days", "1", "-subj", "/CN=Checksum test"], **quiet)
    subprocess.run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", cert, "-out", p12,
                    "-passout", "pass:x"], **quiet)
    subprocess.run(["osslsigncode", "sign", "-pkcs12", p12, "-pass", "x", "-h", "sha256",
                    "-in", source, "-out", target], **quiet)
    with open(target, "rb") as f:
        return f.read()


class ChecksumMatchesOsslsigncode(unittest.TestCase):
    VARIANTS = [
        ("as linked", lambda data, folder: data),
        ("field zeroed", lambda data, folder: with_field(data, 0)),
        ("field all ones", lambda data, folder: with_field(data, 0xFFFFFFFF)),
        ("trailing 0xFF bytes", lambda data, folder: data + b"\xff" * 64),
        ("signed", signed),
    ]

    def test_variants(self):
        with open(EXE, "rb") as f:
            program = f.read()
        for name, make in self.VARIANTS:
            with self.subTest(name), tempfile.TemporaryDirectory() as folder:
                data = make(program, folder)
                path = os.path.join(folder, "variant.exe")
                with open(path, "wb") as f:
                    f.write(data)
                self.assertEqual(f"{pe_checksum.compute_checksum(data):08X}",
                                 f"{reference_checksum(path):08X}")

    def test_linker_checksum_is_reproduced(self):
        with open(EXE, "rb") as f:
            data = f.read()
        stored = int.from_bytes(data[pe_checksum.checksum_offset(data):][:4], "little")
        self.assertNotEqual(stored, 0, "the linker wrote no checksum")
        self.assertEqual(pe_checksum.compute_checksum(data), stored)


if __name__ == "__main__":
    if len(sys.argv) != 2 or not os.path.isfile(sys.argv[1]):
        sys.exit(f"usage: {sys.argv[0]} EXE (build the win32 preset first)")
    EXE = sys.argv.pop(1)
    unittest.main(verbosity=2)
