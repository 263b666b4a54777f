#!/usr/bin/env python3
"""Stands in for the commands the set-up calls, by the name it runs as; STANDIN_* set how. Logs every call."""
import os
import sys
import time
from pathlib import Path

BAD_INDEX = "http://mirror.test/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz"
SAYS = {"apt-cache": "Candidate: 1.0", "dpkg": "i386", "qemu-i386": "qemu-i386 version 10.0.2"}
SYSTEM = os.environ["DIMLUX_SYSTEM_ROOT"]


name = Path(sys.argv[0]).name
args = sys.argv[1:]
options = dict(arg.split("=", 1) for arg in args if "=" in arg)
with open(os.environ["STANDIN_LOG"], "a") as log:
    print(name, *args, file=log)
if name == "apt-get" and args[0] == "update":
    assert "Acquire::Retries" in options, "an update without retries"
    mode = os.environ["STANDIN_UPDATE"]
    print("W: Failed to fetch http://mirror.test/debian/dists/bookworm/InRelease" if mode == "all" else "Hit:1 main")
    if mode == "one":
        print(f"E: Failed to fetch {BAD_INDEX}  File has unexpected size (374820 != 376004). Mirror sync in progress?")
        sys.exit(100)
elif name == "apt-get":  # an install: only a second try prefers the release, by a file of the script's own
    preferences = options.get("Dir::Etc::Preferences")
    assert ("--allow-downgrades" in args) == bool(preferences), "downgrades allowed in another try"
    assert not os.path.exists(SYSTEM + "/etc/apt"), "a file left under /etc/apt"
    if preferences:
        assert Path(preferences).read_text() == "Package: *\nPin: release n=bookworm\nPin-Priority: 1001\n"
        assert "/etc/apt" not in preferences and not os.listdir(options["Dir::Etc::PreferencesParts"])
    if "wine32:i386" in args and os.environ["STANDIN_WINE32"] != ("release" if preferences else "ok"):
        print("E: Unable to correct problems, you have held broken packages.")
        sys.exit(100)
    print("The following packages will be DOWNGRADED:\n  libgnutls30 libssl3" if preferences else "")
elif name == "dpkg-query" and args[-1] not in os.environ["STANDIN_MISSING"].split():
    print("install ok installed")
elif name == "readlink":  # Wine's server runs under the stand-in qemu
    ours = b"wineserver32" in Path(args[0]).with_name("cmdline").read_bytes()
    print(SYSTEM + "/usr/bin/qemu-i386" if ours else os.readlink(args[0]))
elif name == "wineserver32":
    time.sleep(60)
elif name == "cmake":  # the run ends at the build, before Wine
    print("cmake", *args)
    sys.exit(1 if "--build" in args else 0)
elif name in SAYS:
    print(SAYS[name])
