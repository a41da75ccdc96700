"""Finds the build: the package with its libraries and the tarvex program.

ctest sets PYTHONPATH, TARVEX_PROGRAM and TARVEX_EXAMPLES; run by hand,
the tests use the build in build/ of the repository.
"""

import hashlib
import json
import os
import subprocess
import sys

import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PYTHON_DIR = os.path.join(ROOT, "build", "python")
if "PYTHONPATH" not in os.environ and os.path.isdir(PYTHON_DIR):
    sys.path.insert(0, PYTHON_DIR)
    os.environ["PYTHONPATH"] = PYTHON_DIR

PROGRAM = os.environ.get("TARVEX_PROGRAM", os.path.join(ROOT, "build", "bin", "tarvex"))
EXAMPLES = os.environ.get("TARVEX_EXAMPLES", os.path.join(ROOT, "examples"))


class Run:
    def __init__(self, completed):
        self.code = completed.returncode
        self.out = completed.stdout
        self.err = completed.stderr

    @property
    def document(self):
        return json.loads(self.out)


def run(command, program_text=None, tmp_path=None):
    """Runs a command line; program_text, if given, becomes its last argument."""
    command = list(command)
    if program_text is not None:
        # One file per text, so that both programs name the same file in messages.
        path = tmp_path / f"program-{hashlib.sha1(program_text.encode()).hexdigest()[:12]}.lp"
        path.write_text(program_text)
        command.append(str(path))
    return Run(subprocess.run(command, capture_output=True, text=True, timeout=300))


@pytest.fixture
def tarvex_program(tmp_path):
    """Runs the tarvex program: tarvex_program(args, program_text=None)."""
    return lambda args, text=None: run([PROGRAM, *args], text, tmp_path)


@pytest.fixture
def python_program(tmp_path):
    """Runs python -m tarvex the same way."""
    return lambda args, text=None: run([sys.executable, "-m", "tarvex", *args], text, tmp_path)
