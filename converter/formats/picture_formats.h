// Every picture format the program opens, one row each: its name, its file name
// extensions, the signature its content starts with (if it has one), and its reader.
// Open, drops, vizorka-cli and batches all choose readers here; adding a format is
// adding a row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/status.h"
#include "converter/model/document.h"
#include "converter/model/picture_claim.h"
#include "converter/model/read_options.h"

namespace vz {

// Every reader's shape: the file's bytes in, the picture in `doc` out. On a failure the
// document holds no picture; kPartial keeps the part decoded before the damage.
using PictureReader = Status (*)(size_t size, const uint8_t* data, ImageDocument& doc,
                                 const ReadOptions& options);

struct PictureFormat {
  const char* name;
  std::vector<std::string> extensions;  // upper case, without the dot
  // Whether bytes start as this format's files do; nullptr for the TVC's formats, which
  // carry no reliable signature and are known by their extension.
  bool (*hasSignature)(size_t size, const uint8_t* data);
  PictureReader read;
  bool tvcPicture;  // the TVC's own formats: the picture opens as a TVC picture
  // The window tells of a picture that broke off part-way (the others open silently).
  bool reportsBrokenOff;
  // The size the header claims, for a batch to reserve memory by before reading.
  ClaimReader claim;
};

const std::vector<PictureFormat>& pictureFormats();

// Reads with a format's reader as Open does: memory that runs out anywhere in the reader
// is kOutOfMemory ("out of memory"), the document left without a picture.
Status readPicture(const PictureFormat& format, size_t size, const uint8_t* data,
                   ImageDocument& doc, const ReadOptions& options);

// The format whose signature the bytes carry, or nullptr.
const PictureFormat* formatOfContent(size_t size, const uint8_t* data);

// The format of an upper-case extension, or nullptr.
const PictureFormat* formatOfExtension(const std::string& upperExtension);

// KEP, which also reads files of unknown formats as 4-colour pictures when asked to.
const PictureFormat& kepFormat();

// "*.bmp;*.pcx;..." for an open dialog's filter: every format's extensions.
std::string extensionPatterns();

}  // namespace vz
