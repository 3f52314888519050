# Shared settings of the build and test scripts; sourced, not run.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${BRISEL_BUILD:-$ROOT/build}
CACHE=${BRISEL_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/brisel}
# npm packages of the tests (the SMTP relay), outside the work tree.
NODE_DIR=${BRISEL_NODE_DIR:-$CACHE/node}
SMTP_SERVER_VERSION=3.21.7

# The product is a 32-bit Windows program. Where the kernel cannot run 32-bit
# Wine (no IA-32 emulation) it is built for x86_64 and run by the 64-bit loader.
brisel_arch() {
  if [ -n "${BRISEL_ARCH:-}" ]; then echo "$BRISEL_ARCH"
  elif can_run_32bit; then echo i686
  else echo x86_64; fi
}

brisel_wine_loader() {
  if [ "$(brisel_arch)" = i686 ]; then echo /usr/lib/wine/wine; else echo /usr/lib/wine/wine64; fi
}

die() { echo "$(basename "$0"): $*" >&2; exit 1; }

# True when the kernel runs 32-bit x86 programs: runs a minimal i386 ELF that exits 0.
can_run_32bit() {
  local f; f=$(mktemp)
  python3 - "$f" <<'PY'
import struct, sys
code = bytes([0x31, 0xdb, 0xb8, 1, 0, 0, 0, 0xcd, 0x80])  # xor ebx,ebx; mov eax,1; int 0x80
base = 0x08048000; hdr = 52 + 32
elf = b'\x7fELF\x01\x01\x01' + b'\0' * 9 + struct.pack('<HHIIIIIHHHHHH', 2, 3, 1, base + hdr, 52, 0, 0, 52, 32, 1, 0, 0, 0)
ph = struct.pack('<IIIIIIII', 1, 0, base, base, hdr + len(code), hdr + len(code), 5, 0x1000)
open(sys.argv[1], 'wb').write(elf + ph + code)
PY
  chmod +x "$f"; "$f" 2>/dev/null; local rc=$?; rm -f "$f"; return $rc
}
