#!/bin/sh
# Succeeds when this kernel runs 32-bit x86 programs, which Wine needs for
# the i686 build: some kernels are built or booted with that emulation off.
# A tiny i386 program that only exits with 0 tells.
set -eu
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
printf '.globl _start\n_start:\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' > "$dir/probe.s"
as --32 -o "$dir/probe.o" "$dir/probe.s"
ld -m elf_i386 -o "$dir/probe" "$dir/probe.o"
"$dir/probe" 2>/dev/null
