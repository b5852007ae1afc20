#!/bin/sh
# The layers hold in the build. For every layer a probe source is compiled with the exact
# command line of one of the layer's own sources (from compile_commands.json): the layer's own
# header is found, and an include of a higher layer's header, or of a sibling's, is refused.
#
#     app -> module -> moduledebug, firmware -> visa -> runtime;  sim -> runtime
#     moduledebug's window, firmware -> dialogs (Qt Widgets alone)
#     app -> discovery -> visa;  runner -> results, discovery
#     moduledebug's window -> results -> scenarios of moduledebug
#     app, runner -> language
# ctest-timeout: 120
set -eu
build=$(cd "$1" && pwd)
source=$(cd "$(dirname "$0")/../.." && pwd)
exec /usr/bin/python3 - "$build" "$source" <<'PY'
import json
import os
import shlex
import subprocess
import sys
import tempfile

build, source = sys.argv[1], sys.argv[2]

# Folder, a header of its own, headers it must not reach.
LAYERS = [
    ("runtime", "timefacility.h", ["commandchain.h"]),
    ("visa", "modulesession.h", ["fwrewriter.h", "rvka5630debug.h", "modaldialog.h"]),
    ("dialogs", "modaldialog.h", ["modulesession.h", "timefacility.h", "fwrewriter.h",
                                  "rvka5630debug.h"]),
    ("firmware", "fwrewriter.h", ["rvka5630debug.h", "rvka5630panel.h"]),
    ("moduledebug", "rvka5630debug.h", ["rvka5630panel.h", "ui_rvka5630panel.h", "fwrewriter.h"]),
    ("module", "rvka5630panel.h", ["widget.h", "ui_widget.h"]),
    ("discovery", "instrumentprobe.h", ["widget.h", "rvka5630panel.h", "rvka5630debug.h"]),
    ("results", "resultsstore.h", ["commandlinerun.h", "ui_rvka5630debug.h",
                                   "rvka5630panel.h", "widget.h"]),
    ("runner", "commandlinerun.h", ["widget.h", "rvka5630panel.h", "ui_rvka5630debug.h"]),
    ("language", "language.h", ["widget.h", "commandlinerun.h", "timefacility.h"]),
    ("sim", "simbench.h", ["commandchain.h", "rvka5630debug.h", "modaldialog.h"]),
]

# Flags that would write dependency files over the build's own.
DEPENDENCY_FLAGS_WITH_VALUE = {"-MT", "-MF", "-MQ"}
DEPENDENCY_FLAGS = {"-MD", "-MMD"}

with open(os.path.join(build, "compile_commands.json")) as f:
    entries = json.load(f)


def layer_command(folder):
    """The compile command of a source file directly in the folder, ready for a probe."""
    directory = os.path.join(source, folder)
    for entry in entries:
        path = entry["file"]
        if os.path.dirname(path) != directory or not path.endswith(".cpp"):
            continue
        words = entry["arguments"] if "arguments" in entry else shlex.split(entry["command"])
        if "ccache" in os.path.basename(words[0]):
            words = words[1:]
        command, skip = [], False
        for word in words:
            if skip:
                skip = False
            elif word in ("-o", "-c") or word in DEPENDENCY_FLAGS_WITH_VALUE:
                skip = True
            elif word not in DEPENDENCY_FLAGS:
                command.append(word)
        return command, entry["directory"]
    sys.exit(f"FAIL: no compile command for a source in {folder}/ (is {build} built?)")


def compile_probe(command, directory, text):
    with tempfile.NamedTemporaryFile("w", suffix=".cpp", delete=False) as probe:
        probe.write(text)
    try:
        run = subprocess.run(command + ["-fsyntax-only", probe.name], cwd=directory,
                             capture_output=True, text=True)
    finally:
        os.unlink(probe.name)
    return run.returncode, run.stderr


failures = 0
for folder, own, above in LAYERS:
    command, directory = layer_command(folder)
    status, errors = compile_probe(
        command, directory, f'#if !__has_include("{own}")\n#error "{own}" not found\n#endif\n')
    if status != 0:
        print(f"FAIL: {folder}: its own {own} is not found:\n{errors}")
        failures += 1
        continue
    refused = []
    for header in above:
        status, errors = compile_probe(command, directory, f'#include "{header}"\n')
        if status != 0 and f"{header}: No such file or directory" in errors:
            refused.append(header)
        else:
            print(f"FAIL: {folder} reaches {header}" + (f":\n{errors}" if errors else ""))
            failures += 1
    print(f"{folder}: finds {own}; refuses {', '.join(refused) if refused else 'nothing'}")
sys.exit(1 if failures else 0)
PY
