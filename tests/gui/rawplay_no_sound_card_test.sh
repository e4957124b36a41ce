# rawplay.exe under Wine with no sound server and no ALSA card: the pitch and rate lines,
# then the "A hangkártya nem érhető el!" message box (read and dismissed by a driver), and
# exit status 3 without playing.
source "$(dirname "$0")/lib.sh"
# The display must exist before the first Wine program starts the prefix's wineserver:
# a server started without one makes every later window fail to appear.
gui_start_display
gui_init_prefix
cd "$GUI_TMP"

# Nothing to connect to: a dead PulseAudio socket, no autospawn, an empty ALSA set-up.
printf 'autospawn = no\n' >client.conf
: >asound.conf
export PULSE_SERVER="unix:$GUI_TMP/no-such-socket" PULSE_CLIENTCONFIG="$GUI_TMP/client.conf"
export ALSA_CONFIG_PATH="$GUI_TMP/asound.conf"

printf 'RW4\0\377\377\0\0\0\0\0\0\0\0\0\0\074\074' >"hang_ű.raw"
gui_wine "$VIZORKA_WINDOWS_BUILD/rawplay_message_box.exe" "$VIZORKA_WINDOWS_BUILD/rawplay.exe" \
  "hang_ű.raw" >run.out 2>/dev/null
{
  printf 'hang_ű.raw\n\r\nPitch ertek: 4095\nMintaveteli frekvencia: 195312 Hz\n'
  printf 'box: Sound_Create|A hangkártya nem érhető el!\n'
  printf 'status: 3\n'
} >run.expected
cmp run.out run.expected || gui_fail "output differs: $(od -c run.out | head -12)"
echo "ok: message box, no playing, status 3"
