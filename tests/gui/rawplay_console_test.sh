# rawplay.exe under Wine, the runs that never reach the sound card: the usage line with
# exit status 2, and a file that cannot be opened with exit status 1. The bytes on the pipe
# are compared exactly: the program writes "\n" and "\n\r\n" untranslated, in UTF-8.
source "$(dirname "$0")/lib.sh"
gui_init_prefix
rawplay="$VIZORKA_WINDOWS_BUILD/rawplay.exe"
cd "$GUI_TMP"

set +e
gui_wine "$rawplay" >usage.out 2>/dev/null
status=$?
set -e
[ $status -eq 2 ] || gui_fail "no argument gave status $status, not 2"
program_name=$(winepath -w "$rawplay" 2>/dev/null)
printf 'Usage: %s <input.raw>\n' "$program_name" >usage.expected
cmp usage.out usage.expected || gui_fail "usage line: $(od -c usage.out | head -5)"

set +e
gui_wine "$rawplay" "hiányzó_hangfájl_ő.raw" >missing.out 2>/dev/null
status=$?
set -e
[ $status -eq 1 ] || gui_fail "missing file gave status $status, not 1"
printf 'hiányzó_hangfájl_ő.raw\n\r\nError opening the input file.\n' >missing.expected
cmp missing.out missing.expected || gui_fail "missing-file lines: $(od -c missing.out | head -5)"
echo "ok: usage and missing-file lines and statuses"
