"""The set-up's decisions: scripts/install-deps and scripts/run with stand-ins on PATH and a system folder of theirs."""

import os
import subprocess
import tempfile
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
STANDIN = Path(__file__).with_name("standin.py")
STANDINS = ["apt-get", "apt-cache", "dpkg", "dpkg-query", "readlink", "cmake", "qemu-i386"]
INDEX = "http://mirror.test/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz"
GAVE_UP = ["wine32:i386 could not be installed", f"download: {INDEX}", "again later", "failed: apt-get install"]
MOVED = "no i386 twin of their version: libgnutls30 libssl3"
FELL_BACK = ["running the 64-bit build of Dimlux instead", "cmake --build --preset win64"]

CASES = [  # name, script, packages missing, update, wine32 installs, exit status, what it says, apt-get commands
    ("all present", "install-deps", "", "ok", "ok", 0, ["wine32:i386 present"], ""),
    ("one index fails", "install-deps", "cmake", "one", "ok", 0, [f"with the others: {INDEX}"], "update install"),
    ("every index fails", "install-deps", "cmake", "all", "ok", 1, ["got no index at all"], "update"),
    ("wine32 as it stands", "install-deps", "wine32:i386", "ok", "ok", 0, ["installing wine32:i386"], "update install"),
    ("release preferred", "install-deps", "wine32:i386", "ok", "release", 0, [MOVED], "update install install"),
    ("run falls back", "run", "wine32:i386", "one", "never", 1, GAVE_UP + FELL_BACK, "update install install"),
]


def make_system(system):
    (system / "usr/lib/wine").mkdir(parents=True)
    (system / "proc/sys/fs/binfmt_misc").mkdir(parents=True)
    (system / "proc/sys/fs/binfmt_misc/register").touch()
    (system / "usr/bin").mkdir()
    for standin in STANDINS:
        (system / "usr/bin" / standin).symlink_to(STANDIN)
    (system / "usr/lib/wine/wineserver32").symlink_to(STANDIN)


class SetUpTest(unittest.TestCase):
    def test_each_decision(self):
        for name, script, missing, update, wine32, status, said, commands in CASES:
            with self.subTest(name), tempfile.TemporaryDirectory() as system:
                make_system(Path(system))
                standins = {"STANDIN_MISSING": missing, "STANDIN_UPDATE": update, "STANDIN_WINE32": wine32}
                env = os.environ | standins | {"DIMLUX_SYSTEM_ROOT": system, "STANDIN_LOG": f"{system}/calls"}
                env["PATH"] = f"{system}/usr/bin:{os.environ['PATH']}"
                result = subprocess.run([ROOT / "scripts" / script], env=env, capture_output=True, text=True)
                self.assertEqual(result.returncode, status, result.stdout + result.stderr)
                for fragment in said:
                    self.assertIn(fragment, result.stdout + result.stderr)
                calls = Path(system, "calls").read_text().splitlines()
                self.assertEqual([call.split()[1] for call in calls if call.startswith("apt-get ")], commands.split())
