"""Tools of the host that some end-to-end tests need (groff, mandoc, man,
dpkg-deb, cmake...). A developer's machine may lack them, and such a test is
then skipped; in CI (CI set), where .ci/run installs them, a missing tool is
a failure."""

import os
import shutil
import unittest


def need_tools(test, *tools):
    """Skips the test (fails it in CI) unless every tool is on PATH."""
    missing = [tool for tool in tools if shutil.which(tool) is None]
    if not missing:
        return
    message = "not installed: " + ", ".join(missing)
    if os.environ.get("CI"):
        test.fail(message)
    raise unittest.SkipTest(message)
