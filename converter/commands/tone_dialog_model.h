// What the "Tónus" dialog does, without its window: four sliders with their numbers, the
// reset button, a live preview computed on a worker thread from the picture as it was
// when the dialog opened, OK and Mégse.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "converter/colour/tone.h"
#include "converter/model/document.h"

namespace vz {

inline const char* const kToneCaption = "Tónus";
// When the picture cannot be copied for the dialog (it then does not open).
inline const char* const kToneNoMemory = "A tónus beállításához nincs elég memória!";

enum class ToneSlider { kBrightness, kContrast, kGamma, kSaturation };

struct ToneSliderRange {
  int32_t minimum;
  int32_t maximum;
};

// Brightness and contrast -100..100, gamma 20..500 (hundredths), saturation 0..200 (%).
ToneSliderRange toneSliderRange(ToneSlider slider);

// The number shown beside a slider at `position`: "-12", "1.20", "130 %".
std::string toneValueText(ToneSlider slider, int32_t position);

class ToneDialogModel {
 public:
  // `picture` is the picture as the dialog opens (copied: std::bad_alloc when memory
  // cannot be had). `previewReady` is called on the worker thread whenever a new preview
  // waits for showPreview; it must only pass the word on (post a message).
  ToneDialogModel(const ImageDocument& picture, int threads, std::function<void()> previewReady);
  ~ToneDialogModel();
  ToneDialogModel(const ToneDialogModel&) = delete;
  ToneDialogModel& operator=(const ToneDialogModel&) = delete;

  const ToneSettings& settings() const { return settings_; }
  int32_t position(ToneSlider slider) const;

  // A slider moved (clamped to its range); the preview of the new settings is asked for.
  void move(ToneSlider slider, int32_t position);
  // "Alaphelyzet": every slider back to the neutral settings; the preview follows.
  void reset();

  // Puts the newest finished preview into `document` (the picture shown); false when
  // none has come since the last call. Moves that came while one was being made are
  // coalesced: only the latest settings are made next.
  bool showPreview(ImageDocument& document);

  // OK: `document` becomes the opening picture with the settings applied.
  void accept(ImageDocument& document);
  // Mégse: `document` becomes the opening picture again, byte for byte.
  void cancel(ImageDocument& document);

 private:
  void request();
  void work();
  void stopWorker();

  ImageDocument original_;  // the picture as the dialog opened
  const int threads_;
  const std::function<void()> previewReady_;
  ToneSettings settings_;
  ToneSettings shownSettings_;  // of the picture shown now

  // Shared with the worker, under mutex_.
  std::mutex mutex_;
  std::condition_variable wake_;
  bool requested_ = false;
  bool stopping_ = false;
  ToneSettings wanted_;
  bool resultWaiting_ = false;
  ImageDocument result_;
  ToneSettings resultSettings_;

  std::thread worker_;
};

}  // namespace vz
