"""A packaged launcher signed afterwards still finds its record, and the signature verifies."""
import os
import subprocess
import unittest

from harness import LauncherTestCase


class Signing(LauncherTestCase):
    def make_certificate(self):
        key, cert = self.path("key.pem"), self.path("cert.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                        "-days", "2", "-subj", "/CN=zendra test signer"], check=True, capture_output=True)
        return key, cert

    def test_signed_launcher_reads_its_record_and_verifies(self):
        exe = self.package("app", {"strings": {"errorNoJvm": "signed {0}", "launcherType": 2},
                                   "files": [{"name": "data.txt", "text": "payload"}]})
        key, cert = self.make_certificate()
        signed = self.path("signed.exe")
        subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-n", "zendra test", "-in", exe,
                        "-out", signed], check=True, capture_output=True)
        self.assertGreater(os.path.getsize(signed), os.path.getsize(exe))
        verify = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", signed], capture_output=True,
                                text=True)
        self.assertEqual(verify.returncode, 0, verify.stdout + verify.stderr)
        result = self.run_exe(signed)
        self.assertEqual(result.code, 83)
        self.assertEqual(result.stderr, "signed 64\n")


if __name__ == "__main__":
    unittest.main()
