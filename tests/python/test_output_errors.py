"""Output that cannot be written: the program and python -m tarvex both say
so on standard error and exit with 1, and stop the search at the first model
that could not be written."""

import errno
import subprocess
import sys

import pytest

from conftest import PROGRAM
from tarvex.__main__ import run

MESSAGE = "tarvex: cannot write the output: No space left on device\n"


@pytest.mark.parametrize("options, text", [
    (["-n", "0"], "&dom{1..3} = x."),
    (["-n", "0", "--json", "--stats"], "&dom{1..3} = x."),
    ([], "&dom{1..3} = x. &sum{x} > 5."),
])
def test_a_full_device_fails_the_run_as_the_program_does(tmp_path, options, text):
    path = tmp_path / "program.lp"
    path.write_text(text)
    results = []
    for command in ([PROGRAM], [sys.executable, "-m", "tarvex"]):
        with open("/dev/full", "w") as full:
            done = subprocess.run([*command, *options, str(path)], stdout=full, stderr=subprocess.PIPE,
                                  text=True, timeout=300)
        results.append((done.returncode, done.stderr))
    assert results[0] == (1, MESSAGE)
    assert results[1] == results[0]


class FailingOutput:
    """Takes text until its second flush, which fails as a full device does."""

    def __init__(self):
        self.text = ""
        self.flushes = 0

    def write(self, text):
        self.text += text
        return len(text)

    def flush(self):
        self.flushes += 1
        if self.flushes >= 2:
            raise OSError(errno.ENOSPC, "No space left on device")


def test_the_search_stops_at_the_first_model_that_cannot_be_written(tmp_path, monkeypatch, capsys):
    path = tmp_path / "program.lp"
    path.write_text("&dom{1..1000} = x.")
    output = FailingOutput()
    monkeypatch.setattr(sys, "stdout", output)
    assert run(["-n", "0", str(path)]) == 1
    # "Solving..." went out; the first model's flush failed, nothing followed.
    assert output.text.count("Answer:") == 1
    assert "Models" not in output.text
    assert capsys.readouterr().err == MESSAGE
