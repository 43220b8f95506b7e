#!/usr/bin/env python3
"""Checks that a 32-bit Windows program runs on an Intel 486:
    check_instructions.py EXE OBJDUMP
Disassembles every code section of EXE with OBJDUMP (binutils for i686) and
fails on each instruction that later processors added: the Pentium's (cpuid,
rdtsc, cmpxchg8b, the model-specific registers), MMX, the Pentium Pro's
(cmov, fcmov, fcomi and fucomi, rdpmc), the Pentium II's (sysenter, fxsave),
SSE and its successors (any xmm, ymm or zmm register, the fences, prefetches,
the MXCSR), 3DNow! and the later integer extensions (popcnt, lzcnt, movbe...).
ud2 is allowed: it is meant to fault, and does on a 486 too; so is pause,
which a 486 runs as the "rep nop" it is.
Prints one line per such instruction, with its function, and, last,
"failed: N instructions newer than the 486" or "no instruction newer than the 486"."""
import re
import subprocess
import sys

NEWER_MNEMONICS = re.compile(
    r"(cmov\w+|fcmov\w+|fu?comip?|cpuid|rdtscp?|rdpmc|rdmsr|wrmsr|cmpxchg(8|16)b|rsm"
    r"|sysenter|sysexit|syscall|sysret|fxsave\w*|fxrstor\w*|xsave\w*|xrstor\w*|xgetbv|xsetbv"
    r"|emms|femms|pf\w+|pi2f\w|pmulhrw|pavgusb|pswapd|ldmxcsr|stmxcsr|[slm]fence|clflush\w*|prefetch\w*"
    r"|movnti|maskmovq|popcnt|lzcnt|tzcnt|movbe|crc32\w?|rdrand|rdseed|fisttp\w*|monitor|mwait"
    r"|andn|bextr|blsi|blsmsk|blsr|bzhi|mulx|pdep|pext|rorx|sarx|shlx|shrx|adcx|adox)")
NEWER_REGISTERS = re.compile(r"%([xyz]?mm\d+|k[0-7])\b")
# "  401291:\t0f 44 cb             \tcmove  %ebx,%ecx"; prefixes such as lock
# or rep come before the mnemonic.
INSTRUCTION = re.compile(r"^\s*([0-9a-f]+):\t(?:[0-9a-f]{2} )+\s*\t(.*)$")
PREFIXES = {"lock", "rep", "repz", "repnz", "repe", "repne", "data16", "addr16", "cs", "ds", "es", "fs", "gs", "ss",
            "notrack", "bnd"}
FUNCTION = re.compile(r"^[0-9a-f]+ <(.+)>:$")


def newer_instructions(disassembly):
    """(function, address, instruction) for every instruction newer than the 486."""
    function = "?"
    for line in disassembly.splitlines():
        header = FUNCTION.match(line)
        if header:
            function = header.group(1)
            continue
        found = INSTRUCTION.match(line)
        if not found:
            continue
        address, text = found.groups()
        words = text.split()
        while words and words[0] in PREFIXES:
            words = words[1:]
        if not words:
            continue
        if NEWER_MNEMONICS.fullmatch(words[0]) or NEWER_REGISTERS.search(text):
            yield function, address, " ".join(words)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    exe, objdump = sys.argv[1:]
    disassembly = subprocess.run([objdump, "--disassemble", "--wide", exe], check=True, capture_output=True,
                                 text=True).stdout
    if "file format pei-i386" not in disassembly:
        sys.exit(f"{exe}: not a 32-bit Windows program, or {objdump} is not for i686")
    found = list(newer_instructions(disassembly))
    for function, address, instruction in found:
        print(f"{exe}: <{function}> {address}: {instruction}")
    if found:
        print(f"failed: {len(found)} instruction{'s' if len(found) > 1 else ''} newer than the 486")
        sys.exit(1)
    print("no instruction newer than the 486")


if __name__ == "__main__":
    main()
