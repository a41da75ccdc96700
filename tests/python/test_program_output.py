"""Numbers as the program writes them: integral ones without a fraction, the
others in the shortest text that reads back, fixed or scientific, fixed on a tie."""

import tarvex  # noqa: F401  (loads the package from the build)
from tarvex._program_output import format_number, statistics_json, statistics_text


def test_numbers_are_written_in_the_shortest_form_that_reads_back():
    cases = {
        0.0: "0", -0.0: "0", 131072.0: "131072", 2.0**53 - 1: "9007199254740991",
        # From 2**53 on, a whole number is a float's digits, all of them.
        2.0**53: "9007199254740992", 1.2345678901234568e17: "123456789012345680",
        5.408580064171482e20: "540858006417148215296",
        1e22: "1e+22", 1.5e300: "1.5e+300",
        0.5: "0.5", -2.25: "-2.25", 0.00012: "0.00012", 0.0001: "1e-04", 1.2e-05: "1.2e-05",
        2.035e-05: "2.035e-05", 0.000414208: "0.000414208", 123456.789: "123456.789",
        5e-324: "5e-324",
    }
    for value, text in cases.items():
        assert format_number(value, True) == text, value
    infinity = float("inf")
    assert [format_number(value, False) for value in (infinity, -infinity, infinity - infinity)] == \
        ["inf", "-inf", "nan"]
    assert format_number(infinity, True) == "null"


def test_statistics_trees_as_lines_and_as_indented_json():
    tree = {"summary": {"call": 1.0, "costs": [3.0, 0.25]}, "empty": {}, "none": None, "list": []}
    assert statistics_text(tree) == "summary.call : 1\nsummary.costs.0 : 3\nsummary.costs.1 : 0.25\n"
    assert statistics_json(tree, 0) == (
        '{\n  "summary": {\n    "call": 1,\n    "costs": [\n      3,\n      0.25\n    ]\n  },\n'
        '  "empty": {},\n  "none": null,\n  "list": []\n}')
