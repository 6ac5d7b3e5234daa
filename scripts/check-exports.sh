#!/usr/bin/env bash
# Checks that a built plug-in exports VSTPluginMain alone and, for the DLL,
# imports nothing but Windows system DLLs (the C/C++ runtime is linked in).
set -euo pipefail
plugin=$1
case "$plugin" in
  *.dll)
    dump=$(x86_64-w64-mingw32-objdump -p "$plugin")
    exports=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -E '^\s+\[' | awk '{print $NF}')
    imports=$(printf '%s\n' "$dump" | awk '/DLL Name:/ {print tolower($3)}' | sort -u)
    system='^(kernel32|user32|gdi32|msvcrt|advapi32|shell32|ole32|comctl32|comdlg32|ntdll|ucrtbase|api-ms-win-.*)\.dll$'
    foreign=$(printf '%s\n' "$imports" | grep -v -E "$system" || true)
    ;;
  *)
    exports=$(nm -D --defined-only "$plugin" | awk '$2 ~ /^[TW]$/ {print $3}')
    foreign=""
    ;;
esac
status=0
if [ "$exports" != "VSTPluginMain" ]; then
  echo "exports other than VSTPluginMain:"; printf '  %s\n' $exports; status=1
fi
if [ -n "$foreign" ]; then
  echo "imports a non-system DLL:"; printf '  %s\n' $foreign; status=1
fi
[ $status -eq 0 ] && echo "$plugin exports VSTPluginMain alone${imports:+; imports: $(echo $imports)}"
exit $status
