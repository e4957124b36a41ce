#include "converter/commands/tone_dialog_model.h"

#include <algorithm>
#include <new>
#include <system_error>
#include <utility>

namespace vz {

namespace {

int32_t ToneSettings::*fieldOf(ToneSlider slider) {
  switch (slider) {
    case ToneSlider::kBrightness:
      return &ToneSettings::brightness;
    case ToneSlider::kContrast:
      return &ToneSettings::contrast;
    case ToneSlider::kGamma:
      return &ToneSettings::gammaHundredths;
    case ToneSlider::kSaturation:
      break;
  }
  return &ToneSettings::saturation;
}

}  // namespace

ToneSliderRange toneSliderRange(ToneSlider slider) {
  switch (slider) {
    case ToneSlider::kBrightness:
    case ToneSlider::kContrast:
      return {-100, 100};
    case ToneSlider::kGamma:
      return {20, 500};
    case ToneSlider::kSaturation:
      break;
  }
  return {0, 200};
}

std::string toneValueText(ToneSlider slider, int32_t position) {
  if (slider == ToneSlider::kSaturation) return std::to_string(position) + " %";
  if (slider != ToneSlider::kGamma) return std::to_string(position);
  const std::string hundredths = std::to_string(position % 100);
  return std::to_string(position / 100) + "." + (hundredths.size() < 2 ? "0" : "") + hundredths;
}

ToneDialogModel::ToneDialogModel(const ImageDocument& picture, int threads,
                                 std::function<void()> previewReady)
    : original_(picture), threads_(threads), previewReady_(std::move(previewReady)) {
  try {
    worker_ = std::thread(&ToneDialogModel::work, this);
  } catch (const std::system_error&) {
    // No thread to be had: no live preview, but OK still applies the settings.
  }
}

ToneDialogModel::~ToneDialogModel() {
  stopWorker();
}

int32_t ToneDialogModel::position(ToneSlider slider) const {
  return settings_.*fieldOf(slider);
}

void ToneDialogModel::move(ToneSlider slider, int32_t position) {
  const ToneSliderRange range = toneSliderRange(slider);
  const int32_t clamped = std::clamp(position, range.minimum, range.maximum);
  if (settings_.*fieldOf(slider) == clamped) return;
  settings_.*fieldOf(slider) = clamped;
  request();
}

void ToneDialogModel::reset() {
  if (settings_ == ToneSettings{}) return;
  settings_ = ToneSettings{};
  request();
}

void ToneDialogModel::request() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    wanted_ = settings_;
    requested_ = true;
  }
  wake_.notify_one();
}

void ToneDialogModel::work() {
  // The worker's own picture. Its buffer trades places with the waiting result and the
  // picture shown, all of one size, so that memory is asked for only once.
  ImageDocument made;
  for (;;) {
    ToneSettings settings;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return requested_ || stopping_; });
      if (stopping_) return;
      settings = wanted_;
      requested_ = false;
    }
    try {
      made = original_;
    } catch (const std::bad_alloc&) {
      continue;  // no memory for a preview: the picture shown stays
    }
    applyTone(made, settings, threads_);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) return;
      std::swap(made, result_);
      resultSettings_ = settings;
      resultWaiting_ = true;
    }
    previewReady_();
  }
}

bool ToneDialogModel::showPreview(ImageDocument& document) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!resultWaiting_) return false;
  std::swap(document, result_);
  shownSettings_ = resultSettings_;
  resultWaiting_ = false;
  return true;
}

void ToneDialogModel::stopWorker() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  if (worker_.joinable()) worker_.join();
}

void ToneDialogModel::accept(ImageDocument& document) {
  stopWorker();
  if (resultWaiting_ && resultSettings_ == settings_) {
    std::swap(document, result_);
    shownSettings_ = settings_;
  }
  resultWaiting_ = false;  // nothing left for a late showPreview
  if (shownSettings_ == settings_) return;
  // The opening picture is of the document's own size: moving it in needs no memory.
  document = std::move(original_);
  applyTone(document, settings_, threads_);
  shownSettings_ = settings_;
}

void ToneDialogModel::cancel(ImageDocument& document) {
  stopWorker();
  resultWaiting_ = false;
  document = std::move(original_);
  shownSettings_ = ToneSettings{};
}

}  // namespace vz
