# Reading a Windows DLL's export and import tables from `objdump -p`, shared by the Windows
# build's checks and the package check. Sourced, not run.

# The DLLs a binary of ours may import: Windows' own, nothing of the compiler's runtime.
allowed_imports='^(KERNEL32|USER32|GDI32|SHELL32|WINMM|ADVAPI32|msvcrt|ntdll)\.dll$'

# What the player's FFmpeg DLLs import beyond that: Windows' cryptographic random numbers
# (libavutil's seed), nothing of any runtime either.
player_allowed_imports='^(bcrypt)\.dll$'

# pe_exports: the names of the export table, one a line, from `objdump -p` output on stdin.
pe_exports() {
  awk '/^\[Ordinal\/Name Pointer\] Table/ { on = 1; next } on && NF == 0 { on = 0 }
       on && /^\t\[/ { print $NF }'
}

# pe_imports: the imported DLLs, one a line, from `objdump -p` output on stdin.
pe_imports() {
  awk '/DLL Name:/ { print $3 }'
}

# import_allowed NAME: whether a binary of ours may import NAME (letter case aside).
import_allowed() {
  grep -qiE "$allowed_imports" <<<"$1"
}

# player_import_allowed NAME: whether the player's DLLs may import NAME besides the above.
player_import_allowed() {
  grep -qiE "$player_allowed_imports" <<<"$1"
}
