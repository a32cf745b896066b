#!/usr/bin/env python3
"""Runs the GUI tests: run_gui_tests.py BUILD_DIR [NAME_FILTER]."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import Harness  # noqa: E402
import test_cleanup  # noqa: E402
import test_largefiles  # noqa: E402
import test_space  # noqa: E402
import test_system  # noqa: E402
import test_tray  # noqa: E402
import test_trust  # noqa: E402
import test_window  # noqa: E402


def main():
    build = os.path.abspath(sys.argv[1])
    only = sys.argv[2] if len(sys.argv) > 2 else None
    if "WINEPREFIX" not in os.environ:
        print("WINEPREFIX must name the test prefix", file=sys.stderr)
        return 2
    harness = Harness(build)
    return harness.run(test_window.TESTS + test_cleanup.TESTS + test_largefiles.TESTS + test_space.TESTS + test_system.TESTS + test_tray.TESTS + test_trust.TESTS, only)


if __name__ == "__main__":
    sys.exit(main())
