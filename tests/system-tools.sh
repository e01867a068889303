# Sourced by the tests that need tools beyond the compiler (QEMU and the
# network, the dpkg tools, valgrind). require_tools TOOL... returns when all
# are on PATH; otherwise the test skips with a one-line reason (CTest's
# SKIP_RETURN_CODE 77), or fails when CORVANE_REQUIRE_SYSTEM_TESTS is set,
# as scripts/test sets it, so a missing tool cannot pass for a pass there.

require_tools() {
  local tool missing=()
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "SKIP: needs ${missing[*]} (scripts/test installs them)"
  if [ -n "${CORVANE_REQUIRE_SYSTEM_TESTS:-}" ]; then
    exit 1
  fi
  exit 77
}
