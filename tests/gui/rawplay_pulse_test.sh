# rawplay.exe under Wine plays a generated file for real into a PulseAudio null sink while
# parecord captures the sink's monitor; the capture must hold every plateau of the file at
# the right level and length. It then plays the same plateaus as rawconv.exe encodes them
# from an 8-bit WAV file at the player's rate (no dither: each plateau keeps its level, and
# the low-pass only rounds the edges), and rawconv.exe decodes that file back to a WAV file
# holding exactly its nibbles times 16.
#
# Tolerances. The sink runs in the file's own format (u8, mono, the file's rate), so the
# server does not resample: a 4-bit sample s arrives as Wine's software volume at level
# 0xF000 makes it, 15 * s + 8, and we allow +-2 for its rounding. Plateau level 8 would be
# indistinguishable from silence (0x80) and is not used. Every plateau must keep its length
# to 1%, and the sound as a whole its duration (2 samples per byte after the header) to 1%:
# no sample may be lost or repeated. Silence may split the sound: the first write of a
# stream reaches the sink a few milliseconds late, and on a busy machine Wine's feeding of
# the server falls behind (we measured the sound spread over up to 1.4 times its length
# with two builds running beside it). Such gaps carry no sample of the file; they depend on
# the machine's load, so the time the sound spans is reported, not checked. After the
# stream ends Wine pads a few milliseconds with 0x00, which is no level of the file and is
# ignored. When the player closes the device, Wine may drop the last few milliseconds the
# server had not played yet (we saw 91 samples go): the file therefore ends with a plateau
# of level 8, which arrives as silence and is not checked.
source "$(dirname "$0")/lib.sh"
gui_init_prefix
cd "$GUI_TMP"

# Prints a number as the four bytes of a little-endian 32-bit word.
le32() { printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24)))"; }

pitch=4088  # 195312.5 / 8 = 24414 Hz
rate=24414
plateau_bytes=2500
levels="1 14 3 12 5 10 7 0 15 2 13 4 11 6 9 1"

{
  printf 'RW4\0\370\017\0\0\0\0\0\0\0\0\0\0'
  for level in $levels; do
    byte=$(printf '\\%03o' $((level * 17)))
    for ((i = 0; i < plateau_bytes; i++)); do printf "$byte"; done
  done
  for ((i = 0; i < plateau_bytes; i++)); do printf '\210'; done
} >play.raw

# The same plateaus as an unsigned 8-bit WAV file: level L is the byte 16 * L.
{
  printf 'RIFF'; le32 $((36 + 34 * plateau_bytes)); printf 'WAVEfmt '
  le32 16; printf '\001\000\001\000'; le32 $rate; le32 $rate; printf '\001\000\010\000data'
  le32 $((34 * plateau_bytes))
  for level in $levels 8; do
    byte=$(printf '\\%03o' $((level * 16)))
    for ((i = 0; i < 2 * plateau_bytes; i++)); do printf "$byte"; done
  done
} >plateaus.wav
set +e
wine "$VIZORKA_WINDOWS_BUILD/rawconv.exe" plateaus.wav made.raw --pitch $pitch --dither none \
  </dev/null >encode.out 2>encode.err
status=$?
set -e
[ $status -eq 0 ] || gui_fail "rawconv.exe encoding gave status $status: $(cat encode.err)"
[ "$(tr -d '\r' <encode.out)" = "pitch $pitch, rate $rate Hz, $((34 * plateau_bytes)) samples" ] ||
  gui_fail "rawconv.exe encoding printed: $(cat encode.out)"
cmp -n 16 made.raw play.raw || gui_fail "rawconv.exe wrote another header: $(od -c made.raw | head -2)"

# A private server: its own runtime folder, no default modules, only the null sink and the
# native protocol.
mkdir -p pulse-home run
export XDG_RUNTIME_DIR="$GUI_TMP/run"
export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
HOME="$GUI_TMP/pulse-home" pulseaudio --daemonize=no --exit-idle-time=-1 -n --disable-shm=yes \
  --load="module-null-sink sink_name=cap format=u8 channels=1 rate=$rate norewinds=1" \
  --load="module-native-protocol-unix" >pulseaudio.log 2>&1 &
GUI_PIDS+=($!)
tries=0
until pactl info >/dev/null 2>&1; do
  tries=$((tries + 1))
  [ $tries -gt 100 ] && gui_fail "PulseAudio did not start: $(tail -3 pulseaudio.log)"
  sleep 0.1
done
pactl set-default-sink cap

# A stream of silence keeps the sink running, so that the capture starts at once and the
# player's stream is mixed into 0x80 rather than into an idle sink.
head -c $((rate * 90)) /dev/zero | tr '\0' '\200' >silence.raw
pacat --playback -d cap --format=u8 --channels=1 --rate=$rate --raw silence.raw &
GUI_PIDS+=($!)
# Waits until the capture holds the given number of bytes: time as the sink counts it.
wait_for_capture() {
  local tries=0
  until [ "$(stat -c %s "$capture" 2>/dev/null || echo 0)" -ge "$1" ]; do
    tries=$((tries + 1))
    [ $tries -gt 300 ] && gui_fail "the capture stopped growing"
    sleep 0.1
  done
}

# Plays the file while a new capture records it, and checks what arrived.
play_and_check() {
  local file=$1 status recorder
  capture="capture-$file"
  parecord -d cap.monitor --latency-msec=20 --rate=$rate --channels=1 --format=u8 --raw "$capture" &
  recorder=$!
  GUI_PIDS+=($recorder)
  wait_for_capture $((rate / 10))  # the recorder is running

  set +e
  timeout 60 wine "$VIZORKA_WINDOWS_BUILD/rawplay.exe" "$file" </dev/null >run.out 2>/dev/null
  status=$?
  set -e
  [ $status -eq 0 ] || gui_fail "playing $file gave status $status, not 0"
  printf '%s\n\r\nPitch ertek: %d\nMintaveteli frekvencia: %d Hz\n' "$file" $pitch $rate >run.expected
  cmp run.out run.expected || gui_fail "output differs: $(od -c run.out | head -8)"

  wait_for_capture $(($(stat -c %s "$capture") + rate / 2))  # the monitor's latency passes
  kill "$recorder"
  wait "$recorder" 2>/dev/null || true

  # Plateaus of the capture: silence (0x80 +- 3) and Wine's closing 0x00 padding are left out,
  # and runs of one level are joined across the silence that can split them.
  od -An -v -tu1 -w1 "$capture" | awk -v levels="$levels" -v plateau=$((2 * plateau_bytes)) '
    function flush() { if (length_ > 0) { runValue[runs] = value; runLength[runs++] = length_ } }
    BEGIN { first = -1; runs = 0; length_ = 0; sound = 0 }
    {
      v = $1 + 0
      if (v < 4 || (v >= 125 && v <= 131)) next
      if (first < 0) first = NR - 1
      last = NR - 1
      sound++
      if (length_ > 0 && v >= value - 2 && v <= value + 2) { length_++; next }
      flush(); value = v; length_ = 1
    }
    END {
      flush()
      count = split(levels, level, " ")
      if (first < 0) { print "nothing was played"; exit 1 }
      span = last - first + 1
      long = 0; failures = 0
      for (r = 0; r < runs; r++) {
        if (runLength[r] < plateau / 2) continue
        long++
        want = 15 * level[long] + 8
        if (runValue[r] < want - 2 || runValue[r] > want + 2 || runLength[r] < plateau * 0.99 ||
            runLength[r] > plateau * 1.01) {
          printf "plateau %d: level %d x %d, expected %d x %d\n", long, runValue[r], runLength[r],
                 want, plateau
          failures++
        }
      }
      total = count * plateau
      printf "captured %d plateaus, %d samples of sound spanning %d (%.3f s); the file holds %d\n",
             long, sound, span, span / '"$rate"', total
      if (long != count) { print "expected " count " plateaus"; failures++ }
      if (sound < total * 0.99 || sound > total * 1.01) { print "sound length out of tolerance"; failures++ }
      exit failures > 0
    }' || gui_fail "the captured sound of $file does not match the file"
  echo "ok: $file played and captured"
}

play_and_check play.raw
play_and_check made.raw

# rawconv.exe decodes the file it made: the 8-bit WAV header at the file's rate, then each
# nibble times 16.
wine "$VIZORKA_WINDOWS_BUILD/rawconv.exe" made.raw back.wav </dev/null >decode.out 2>&1 ||
  gui_fail "rawconv.exe decoding failed: $(cat decode.out)"
samples=$((2 * ($(stat -c %s made.raw) - 16)))
{
  printf 'RIFF'; le32 $((36 + samples)); printf 'WAVEfmt '
  le32 16; printf '\001\000\001\000'; le32 $rate; le32 $rate; printf '\001\000\010\000data'
  le32 $samples
} >back.expected
cmp -n 44 back.wav back.expected || gui_fail "decoded header: $(od -c back.wav | head -3)"
[ "$(stat -c %s back.wav)" -eq $((44 + samples)) ] || gui_fail "decoded size $(stat -c %s back.wav)"
tail -c +17 made.raw | od -An -v -tu1 -w1 | awk '{ print int($1 / 16) * 16; print $1 % 16 * 16 }' >nibbles.txt
tail -c +45 back.wav | od -An -v -tu1 -w1 | awk '{ print $1 + 0 }' >decoded.txt
cmp nibbles.txt decoded.txt || gui_fail "the decoded samples are not the file's nibbles"
echo "ok: rawconv.exe decoded its own file"
