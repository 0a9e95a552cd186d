#!/usr/bin/env bash
# Whether this machine runs 32-bit (i386) programs, asked without Wine: a
# tiny static i386 program is assembled, linked and run. Exits 0 when it
# printed its word; otherwise prints why not and exits 1.
#   bash tools/probe_i386.sh
set -uo pipefail
for tool in as ld; do
  command -v "$tool" >/dev/null || { echo "no $tool to build the i386 probe with"; exit 1; }
done
dir=$(mktemp -d)
trap 'rm -rf -- "$dir"' EXIT
# write(1, "i386\n", 5); exit(0), through the 32-bit system call gate.
cat >"$dir/probe.s" <<'ASM'
  .globl _start
_start:
  movl $4, %eax
  movl $1, %ebx
  movl $word, %ecx
  movl $5, %edx
  int $0x80
  movl $1, %eax
  xorl %ebx, %ebx
  int $0x80
  .data
word: .ascii "i386\n"
ASM
if ! as --32 -o "$dir/probe.o" "$dir/probe.s" 2>"$dir/err" ||
  ! ld -m elf_i386 -o "$dir/probe" "$dir/probe.o" 2>>"$dir/err"; then
  echo "the i386 probe could not be built: $(head -n 1 "$dir/err")"
  exit 1
fi
out=$("$dir/probe" 2>&1)
if [[ $out != i386 ]]; then
  echo "the kernel does not run 32-bit programs (${out:-no output})"
  exit 1
fi
