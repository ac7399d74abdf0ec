#!/bin/sh
# Makes the folder $1 (emptied first) holding files whose names Windows
# cannot open as plain files, as a share served from Linux may hold them:
# devices' names, characters Windows does not allow, a trailing dot or
# blank. platform_tests.exe, run under Wine afterwards, reads the folder
# through Wine's drive Z: (OddNames.NamesOfAFolderServedFromLinux...).
set -eu
folder=$1
rm -rf "$folder"
mkdir -p "$folder"
cd "$folder"
for name in aux.spl NUL.spl COM1.spl CON.spl LPT1.spl 'Aux .spl' nul.tar.spl CONIN\$.spl \
  conout\$.spl 'COM¹.spl' prn job.spl. 'job.spl ' 'what?.spl' 'star*.spl' 'less<.spl' \
  'more>.spl' 'pipe|.spl' 'quote".spl' 'colon:.spl' "$(printf 'bell\a.spl')"; do
  printf job >"$name"
done
