#!/usr/bin/env bash
# Which wine runs which build follows the kernel: the product under wine 10
# where the kernel runs 32-bit code, under the emulated wine 8 where it does
# not, and the x86_64 twin under the other of the two wines. The kernel's
# answer is faked both ways here; the real probe, a hand-written i386
# program, is checked against one the assembler makes.
set -uo pipefail
source "$(dirname "$0")/../../scripts/wine-env.sh"
unset QV_RUNTIME_i686 QV_RUNTIME_x86_64
failed=0
expect() {  # KERNEL_32BIT ARCH WANT [VAR=VALUE]
  local got why
  got="$(env QV_KERNEL_32BIT="$1" ${4:+"$4"} bash -c 'source "$0" && qv_runtime "$1"' \
    "$QV_SCRIPTS/wine-env.sh" "$2" 2>/dev/null)" || got="refused"
  why="$(env QV_KERNEL_32BIT="$1" ${4:+"$4"} bash -c 'source "$0" && qv_runtime_why "$1"' \
    "$QV_SCRIPTS/wine-env.sh" "$2" 2>/dev/null)"
  if [ "$got" != "$3" ]; then
    echo "FAIL: kernel runs 32-bit code: $1, $2 ${4:-by default}: $got, expected $3"
    failed=1
  elif [ "$got" != refused ] && [ -z "$why" ]; then
    echo "FAIL: kernel runs 32-bit code: $1, $2 ${4:-by default}: $got, but no reason given"
    failed=1
  fi
}
expect yes i686 wine10
expect yes x86_64 wine8
expect no i686 qemu
expect no x86_64 wine10
expect yes i686 qemu QV_RUNTIME_i686=qemu
expect no x86_64 wine8 QV_RUNTIME_x86_64=wine8
expect no i686 refused QV_RUNTIME_i686=wine10

# The probe must give the kernel's real answer: an i386 program from the
# assembler that exits 0 runs exactly where the probe's does.
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
printf '.globl _start\n_start: movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' > "$dir/exit.s"
if as --32 "$dir/exit.s" -o "$dir/exit.o" && ld -m elf_i386 "$dir/exit.o" -o "$dir/exit"; then
  if "$dir/exit" 2>/dev/null; then real=yes; else real=no; fi
  probe="$(unset QV_KERNEL_32BIT; qv_kernel_runs_32bit && echo yes || echo no)"
  if [ "$probe" != "$real" ]; then
    echo "FAIL: the probe says $probe to 32-bit code, an assembled i386 program says $real"
    failed=1
  fi
else
  echo "FAIL: could not assemble an i386 program (binutils)"
  failed=1
fi
[ "$failed" = 0 ] && echo "runtime choice: 8 checks passed (this kernel runs 32-bit code: $real)"
exit "$failed"
