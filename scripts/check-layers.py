#!/usr/bin/env python3
"""Fails on an #include that runs the wrong way between the source folders.

Each folder is one library and may include only itself and the folders listed
for it below: arrows run downwards, from the program through the windows and
telemetry to the engine, and inside the engine from the vessel's process to
the devices, the CAN stack (with the SocketCAN and serial-line back-ends
its adapters drive) and the platform, which knows nothing of CAN. Prints every offending line as
FILE:LINE: FOLDER may not include HEADER, and exits 1 if there was one.

The tests mirror the folders: tests/FOLDER/X.cpp links FOLDER's library and
is held to FOLDER's includes, test headers of the folders below
(tests/can/FakeAdapter.h) among them. The shared helpers at tests/ count for
what they include themselves, so a helper that needs the program may only be
used where the program is linked.
"""

import pathlib
import re
import sys

ENGINE = {
    "platform": set(),
    "can": {"platform"},
    "devices": {"can", "platform"},
    "journal": {"platform"},
    "process": {"devices", "can", "journal", "platform"},
    "charts": {"process", "devices", "can", "journal", "platform"},
    # The command layer: every change of a vessel goes through it, so only
    # the windows, telemetry, run plans and the program above may call it.
    "commands": {"process", "devices", "can", "journal", "platform"},
}
ALLOWED = dict(ENGINE)
ALLOWED["sim"] = {"can", "platform"}
ENGINE_ALL = set(ENGINE)
# Run plans sit on the engine and reach the vessel through the command layer.
ALLOWED["plans"] = set(ENGINE_ALL)
ALLOWED["telemetry"] = set(ENGINE_ALL) | {"plans"}

# The windows: shared helpers at the bottom, a folder per window above them,
# the panel (which opens every other window) and the main window on top.
WINDOWS_COMMON = ENGINE_ALL | {"windows/common", "commands", "plans"}
for name in ("alarms", "charts", "devices", "dialogs", "fill"):
    ALLOWED[f"windows/{name}"] = WINDOWS_COMMON
ALLOWED["windows/common"] = ENGINE_ALL | {"commands"}
ALLOWED["windows/panel"] = WINDOWS_COMMON | {
    f"windows/{n}" for n in ("alarms", "charts", "devices", "dialogs", "fill")
}
ALLOWED["windows/main"] = ALLOWED["windows/panel"] | {"windows/panel"}
# The program on top may use every library.
ALLOWED["app"] = set(ALLOWED) | {"sim", "telemetry"}
# The documents are checked against the whole program.
TEST_ALLOWED = dict(ALLOWED)
TEST_ALLOWED["docs"] = ALLOWED["app"] | {"app"}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def folder_of(path: pathlib.PurePosixPath) -> str:
    parts = path.parts
    if parts[0] == "windows" and len(parts) > 2:
        return "windows/" + parts[1]
    return parts[0]


def includes(path: pathlib.Path):
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        match = INCLUDE.match(line)
        if match:
            yield number, pathlib.PurePosixPath(match.group(1))


def check_sources(root: pathlib.Path, faults: list) -> None:
    for path in sorted(root.rglob("*")):
        if path.suffix not in (".h", ".cpp") or not path.is_file():
            continue
        rel = pathlib.PurePosixPath(path.relative_to(root).as_posix())
        own = folder_of(rel)
        if own not in ALLOWED:
            continue  # tests, benchmarks, fuzzers and build trees
        for number, header in includes(path):
            if len(header.parts) < 2:
                continue  # a header beside the file, or a generated one
            target = folder_of(header)
            if target != own and target not in ALLOWED[own]:
                faults.append(f"{rel}:{number}: {own} may not include {header}")


def check_tests(root: pathlib.Path, faults: list) -> None:
    tests = root / "tests"

    def check(path, own, shown, seen):
        for number, header in includes(path):
            if len(header.parts) < 2:
                if (path.parent / header).is_file() and path.parent != tests:
                    continue  # beside it in its folder, checked on its own
                helper = tests / header
                if helper.is_file() and helper not in seen:
                    seen.add(helper)
                    check(helper, own, f"{shown} through {header.name}", seen)
                continue
            if header.parts[0] == "tests":
                header = pathlib.PurePosixPath(*header.parts[1:])
                what = f"tests/{header}"
            else:
                what = str(header)
            target = folder_of(header)
            if target != own and target not in TEST_ALLOWED[own]:
                faults.append(f"{shown}:{number}: {own} may not include {what}")

    for path in sorted(tests.rglob("*")):
        if path.suffix not in (".h", ".cpp") or not path.is_file() or path.parent == tests:
            continue
        rel = pathlib.PurePosixPath(path.relative_to(tests).as_posix())
        own = folder_of(rel)
        if own not in TEST_ALLOWED:
            faults.append(f"tests/{rel}: tests/{own} mirrors no source folder")
            continue
        check(path, own, f"tests/{rel}", set())


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    faults = []
    check_sources(root, faults)
    if (root / "tests").is_dir():
        check_tests(root, faults)
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} include(s) run the wrong way between the folders")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
