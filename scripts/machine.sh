# Sourced: what this machine can run, for the test command, the demo, the
# benchmarks and the Wine wrappers.
#
# Some Linux kernels run no 32-bit (i386) program at all: Wine's 32-bit
# loader fails there with "Exec format error", and Debian's `wine` and
# `wineboot` start that loader first, even for 64-bit programs. On such a
# machine only 64-bit Windows programs run, through Wine's 64-bit loader
# started directly. BRISK_64BIT_ONLY=1 takes that path on any machine, so
# that both can be tried anywhere.

brisk_wine32_loader=/usr/lib/wine/wine
brisk_wine64_loader=/usr/lib/wine/wine64

# Succeeds when this machine runs 32-bit programs (Wine's 32-bit loader
# starts) and BRISK_64BIT_ONLY does not say otherwise.
brisk_runs_i386() {
  [ "${BRISK_64BIT_ONLY:-0}" = 1 ] && return 1
  "$brisk_wine32_loader" --version >/dev/null 2>&1
}

# One line saying why the 32-bit path is not taken.
brisk_no_i386_reason() {
  if [ "${BRISK_64BIT_ONLY:-0}" = 1 ]; then
    echo "BRISK_64BIT_ONLY=1 asks for the 64-bit-only path"
  else
    echo "this machine runs no 32-bit program (Wine's 32-bit loader $brisk_wine32_loader does not start)"
  fi
}

# The Wine loader for a prefix of ARCH (win32 or win64): Debian's `wine`
# where 32-bit programs run, Wine's 64-bit loader itself where they cannot.
# Fails, with the reason on stderr, for a win32 prefix on a machine without
# 32-bit programs.
brisk_wine_loader() {
  if brisk_runs_i386; then
    echo wine
  elif [ "$1" = win64 ]; then
    echo "$brisk_wine64_loader"
  else
    echo "cannot run 32-bit Windows programs: $(brisk_no_i386_reason)" >&2
    return 1
  fi
}
