#!/usr/bin/env bash
# Installs what the tests need and is missing, then builds Trovix and runs
# every test (scripts/check.sh).  CI runs this.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
scripts/check.sh
