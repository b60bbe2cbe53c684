#!/usr/bin/env bash
# The maintainers' gatekeepers besides the compiler's -Werror: cppcheck over the
# product code, with a finding failing the run, and one code format.
#   scripts/check-code.sh
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
cppcheck --enable=warning,performance,portability --std=c++17 --language=c++ --platform=win32A -D_WIN32 \
  --suppressions-list=.cppcheck-suppressions --inline-suppr --quiet --error-exitcode=1 \
  afx app waitproc restart || { echo "check-code: cppcheck has findings" >&2; status=1; }
mapfile -t sources < <(git ls-files --cached --others --exclude-standard '*.cpp' '*.h')
clang-format --dry-run --Werror "${sources[@]}" || { echo "check-code: clang-format would change the files above" >&2; status=1; }
[ $status -eq 0 ] && echo "check-code: cppcheck clean; ${#sources[@]} C++ files formatted"
exit $status
