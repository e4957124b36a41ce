#include "player/player.h"

namespace rawplay {

const char kMessageBoxCaption[] = "Sound_Create";
const char kNoSoundCardText[] = "A hangkártya nem érhető el!";
const char kCannotCloseText[] = "A hangkártyát nem lehet lezárni!";

namespace {

// All the memory playback needs, allocated (zeroed) before the device opens.
struct PlaybackBuffers {
  uint8_t input[kInputChunkSize];
  uint8_t samples[2][kSampleBufferSize];
};

struct Playback {
  WaveOut& device;
  Host& host;
  PlaybackBuffers& buffers;
  // A buffer counts as handed to the device once a write of it succeeded; closing waits
  // only for those, so a failed write cannot leave the close waiting forever.
  bool handedToDevice[2] = {false, false};
};

void closeDevice(Playback& playback, int preparedBuffers) {
  for (int buffer = 0; buffer < preparedBuffers; ++buffer) {
    if (playback.handedToDevice[buffer]) playback.device.waitUntilFinished(buffer);
    playback.device.unprepare(buffer);
  }
  if (!playback.device.close()) playback.host.showError(kCannotCloseText);
}

// Opens the device with both buffers prepared and the volume set. A device that opens but
// cannot take a buffer is closed again: playing through unprepared buffers is never tried.
bool openDevice(Playback& playback, int sampleRate) {
  if (!playback.device.open(waveFormatOfRate(sampleRate))) return false;
  for (int buffer = 0; buffer < 2; ++buffer) {
    if (!playback.device.prepare(buffer, playback.buffers.samples[buffer], kSampleBufferSize)) {
      closeDevice(playback, buffer);
      return false;
    }
  }
  playback.device.setVolume(volumeWordOfLevel(kVolumeLevel));
  return true;
}

// One buffer plays while the other is filled; from the second pass on, each pass waits
// for the older buffer to finish before it is refilled, so at most two are queued.
void play(Playback& playback, SoundFile& file) {
  WaveOut& device = playback.device;
  device.resetEvent();  // the device signals its opening too
  bool firstPass = true;
  int nextBuffer = 0;
  for (;;) {
    const size_t count = file.read(playback.buffers.input, kInputChunkSize);
    if (count == 0) return;
    expandSamples(playback.buffers.input, count, playback.buffers.samples[nextBuffer]);
    if (!device.write(nextBuffer, 2 * count)) {
      playback.host.print("Error writing to sound card!");
      return;
    }
    playback.handedToDevice[nextBuffer] = true;
    nextBuffer = 1 - nextBuffer;
    if (!firstPass) {
      if (!device.waitForEvent()) {
        playback.host.print("Error waiting for sound to finish");
        return;
      }
      device.resetEvent();
    }
    firstPass = false;
  }
}

}  // namespace

int runRawPlay(const std::vector<std::string>& arguments, Host& host, WaveOut& device) {
  if (arguments.size() < 2) {
    const std::string programName = arguments.empty() ? std::string() : arguments[0];
    host.print("Usage: " + programName + " <input.raw>\n");
    return kExitUsage;
  }
  const std::string& path = arguments[1];
  host.print(path + "\n\r\n");
  const std::unique_ptr<SoundFile> file = host.openForReading(path);
  if (!file) {
    host.print("Error opening the input file.\n");
    return kExitFileNotOpened;
  }

  const auto buffers = std::make_unique<PlaybackBuffers>();
  const size_t headerBytes = file->read(buffers->input, kHeaderSize);
  const int pitch = pitchOfHeader(buffers->input, headerBytes);
  const int sampleRate = sampleRateOfPitch(pitch);
  host.print("Pitch ertek: " + std::to_string(pitch) + "\n");
  host.print("Mintaveteli frekvencia: " + std::to_string(sampleRate) + " Hz\n");

  Playback playback{device, host, *buffers};
  if (!openDevice(playback, sampleRate)) {
    host.showError(kNoSoundCardText);
    return kExitNoSoundCard;
  }
  play(playback, *file);
  closeDevice(playback, 2);
  return kExitPlayed;
}

}  // namespace rawplay
