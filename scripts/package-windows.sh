#!/usr/bin/env bash
# Makes the Windows package from a cross build (build-win, or $1; built by
# scripts/test-windows.sh), in <build>/package:
#   VelmoraLabels-<version>-win64.zip        the programs and README.txt in a
#                                           folder of that name
#   VelmoraLabels-<version>-win64-setup.exe  the installer (NSIS, makensis)
# The version and the programs' places come from <build>/windows-package.txt,
# which CMake writes (cmake/WindowsPackage.cmake). The programs are packed
# without their debugging information. Prints the two files' paths and sizes.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-win}
manifest=$build/windows-package.txt
strip=x86_64-w64-mingw32-strip

if [ ! -f "$manifest" ]; then
  echo "package-windows: no $manifest; cross-build for Windows first (scripts/test-windows.sh)" >&2
  exit 1
fi
for tool in makensis "$strip"; do
  command -v "$tool" >/dev/null || {
    echo "package-windows: $tool is missing; run scripts/install-deps.sh" >&2
    exit 1
  }
done

version=""
declare -A programs # NAME.exe -> built file
while IFS='=' read -r key value; do
  case $key in
  version) version=$value ;;
  *.exe) programs[$key]=$value ;;
  esac
done <"$manifest"
if [ -z "$version" ]; then
  echo "package-windows: $manifest names no version" >&2
  exit 1
fi

name=VelmoraLabels-$version-win64
out=$build/package
stage=$out/$name
rm -rf "$stage" "$out/$name.zip" "$out/$name-setup.exe"
mkdir -p "$stage"

nsis_defines=()
for program in Ferrulin.exe Dovetack.exe FerrulinConsole.exe hostsim.exe; do
  built=${programs[$program]:-}
  if [ -z "$built" ]; then
    # Only while Dovetack's Win32 window is on its way into the build.
    case $program in
    Dovetack.exe)
      echo "package-windows: note: this build has no $program; the package leaves it out" >&2
      continue
      ;;
    esac
  fi
  if [ ! -f "$built" ]; then
    echo "package-windows: $program is not built ($built)" >&2
    exit 1
  fi
  "$strip" -o "$stage/$program" "$built"
  if [ "$program" = Dovetack.exe ]; then
    nsis_defines+=(-DHAVE_DOVETACK)
  fi
done
# The read-me with Windows line ends, for Notepad of any age.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' packaging/windows/README.txt >"$stage/README.txt"

(cd "$out" && cmake -E tar cf "$name.zip" --format=zip "$name")
makensis -V2 -NOCD "-DVERSION=$version" "-DFILES=$stage" "-DOUTFILE=$out/$name-setup.exe" \
  -DICON=src/spooler/win/ferrulin.ico \
  "${nsis_defines[@]}" packaging/windows/VelmoraLabels.nsi

for file in "$out/$name.zip" "$out/$name-setup.exe"; do
  echo "package-windows: $file ($(stat -c %s "$file") bytes)"
done
