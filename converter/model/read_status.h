// How reading a picture ended. Every reader answers with one of these; the open command
// turns them into the messages the user sees.
#pragma once

namespace vz {

enum class ReadStatus {
  kOk,             // the document holds the picture
  kPartial,        // the data broke off or went bad part-way: the document holds the
                   // picture, and what could not be decoded stays zero (black)
  kNotThisFormat,  // the signature or header is not this format's
  kUnsupported,    // a well-formed file in a form the reader does not take
  kDamaged,        // fields contradict each other or the data, or no picture is left
  kTooLarge,       // the picture exceeds the document limit
  kOutOfMemory,    // no memory for the picture
  kCannotOpen,     // the file could not be opened or read
};

// A picture arrived, whole or in part.
constexpr bool givesPicture(ReadStatus status) {
  return status == ReadStatus::kOk || status == ReadStatus::kPartial;
}

}  // namespace vz
