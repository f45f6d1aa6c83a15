#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# check_licence_headers.sh SOURCE_DIR
# Every source and script we wrote names its licence in its first lines, so a file
# copied out of the tree still says under what terms.
set -euo pipefail
cd "$1"
git rev-parse --git-dir >/dev/null 2>&1 || { echo "not a git checkout"; exit 77; }
missing=$(git ls-files -- '*.cpp' '*.h' '*.sh' '*CMakeLists.txt' '*.cmake' run test .ci/run |
  while read -r f; do
    head -n 2 "$f" | grep -q 'SPDX-License-Identifier: GPL-3.0-or-later' || echo "$f"
  done)
if [ -n "$missing" ]; then
  echo "no SPDX-License-Identifier line in:"; echo "$missing"; exit 1
fi
