# Sourced: chooses the Wine of one architecture. Debian's wine32 and wine64
# packages put both loaders and servers in Wine's library folder; the wine
# and wineserver commands on the PATH prefer the 32-bit ones, which a kernel
# without 32-bit support cannot run, so the scripts name them directly.
#   use_wine win32|win64   exports WINEARCH, WINELOADER and WINESERVER
#   windows_path PATH      prints a Unix path as Wine's Z: drive names it
WINE_LIBRARY=${WINE_LIBRARY:-/usr/lib/wine}

use_wine() {
  case $1 in
    win32) WINELOADER=$WINE_LIBRARY/wine WINESERVER=$WINE_LIBRARY/wineserver32 ;;
    win64) WINELOADER=$WINE_LIBRARY/wine64 WINESERVER=$WINE_LIBRARY/wineserver64 ;;
    *) echo "use_wine: expected win32 or win64, got '$1'" >&2; return 1 ;;
  esac
  export WINEARCH=$1 WINELOADER WINESERVER
}

windows_path() {
  printf 'Z:%s' "${1//\//\\}"
}

# Whether the 32-bit build can run here: the kernel must run 32-bit x86
# programs, and 32-bit Wine must be installed (the set-up installs it when
# the package registry lets it; without it the 32-bit tests are skipped).
# The kernel is probed with a static i386 program of two instructions, made
# with the native binutils, which exits 0 where it runs. Some kernels boot
# with 32-bit emulation disabled; there every i386 program fails with "Exec
# format error". Prints the reason when the build cannot run.
can_run_32bit() {
  local probe status=0
  probe=$(mktemp -d)
  printf '.globl _start\n_start:\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' >"$probe/exit.S"
  if ! as --32 "$probe/exit.S" -o "$probe/exit.o" 2>/dev/null ||
    ! ld -m elf_i386 "$probe/exit.o" -o "$probe/exit" 2>/dev/null; then
    echo "no i386 assembler or linker to probe with"
    status=1
  elif ! "$probe/exit" 2>/dev/null; then
    echo "this kernel refuses 32-bit programs (Exec format error)"
    status=1
  elif [ ! -x "$WINE_LIBRARY/wine" ]; then
    echo "32-bit Wine is not installed (the set-up could not install wine32:i386)"
    status=1
  fi
  rm -rf "$probe"
  return "$status"
}

# Ends the wineserver of a prefix, and with it every program in it.
stop_wine() {
  local arch=$1 prefix=$2
  (use_wine "$arch" && WINEPREFIX=$prefix "$WINESERVER" -k 2>/dev/null) || true
}
