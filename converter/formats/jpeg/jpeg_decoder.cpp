#include "converter/formats/jpeg/jpeg_decoder.h"

#include <algorithm>
#include <cstring>

namespace vz {

namespace {

// Failure codes, named by what went wrong.
constexpr int32_t kTooManyHuffmanCodes = -200;  // also codes that over-fill the code space
constexpr int32_t kBadHuffmanSlot = -201;
constexpr int32_t kShortHuffmanSegment = -202;
constexpr int32_t kShortQuantisationLength = -203;
constexpr int32_t kBadQuantisationNumber = -204;
constexpr int32_t kBadPrecision = -205;
constexpr int32_t kBadHeight = -206;
constexpr int32_t kBadWidth = -207;
constexpr int32_t kTooManyComponents = -208;
constexpr int32_t kBadFrameLength = -209;
constexpr int32_t kBadSegmentLength = -210;
constexpr int32_t kBadRestartLength = -211;
constexpr int32_t kBadScanHeader = -212;
constexpr int32_t kUnknownScanComponent = -213;
constexpr int32_t kArithmeticCoding = -215;
constexpr int32_t kMisplacedMarker = -216;
constexpr int32_t kNoStartOfImage = -217;
constexpr int32_t kUnsupportedFrame = -218;
constexpr int32_t kShortQuantisationSegment = -219;
constexpr int32_t kMissingQuantisationTable = -222;
constexpr int32_t kMissingHuffmanTable = -223;
constexpr int32_t kUnsupportedComponentCount = -225;
constexpr int32_t kUnsupportedSampling = -226;
constexpr int32_t kCorruptData = -227;
constexpr int32_t kBadRestart = -228;
constexpr int32_t kBlockOutOfRange = -229;
constexpr int32_t kBadProgression = -230;
constexpr int32_t kBadRefinement = -231;
constexpr int32_t kReadError = -232;

constexpr int kMarkerSof0 = 0xC0;
constexpr int kMarkerSof1 = 0xC1;
constexpr int kMarkerSof2 = 0xC2;
constexpr int kMarkerDht = 0xC4;
constexpr int kMarkerSof9 = 0xC9;
constexpr int kMarkerDac = 0xCC;
constexpr int kMarkerRst0 = 0xD0;
constexpr int kMarkerSoi = 0xD8;
constexpr int kMarkerEoi = 0xD9;
constexpr int kMarkerSos = 0xDA;
constexpr int kMarkerDqt = 0xDB;
constexpr int kMarkerDri = 0xDD;
constexpr int kMarkerTem = 0x01;
constexpr int kMarkerJpg = 0xC8;

constexpr int kSoiSearchLimit = 512;
constexpr int kRestartSearchBudget = 1536;
constexpr int kMaxImageSide = 8192;

int ceilDiv(int a, int b) {
  return (a + b - 1) / b;
}

int16_t truncate16(uint32_t value) {
  return static_cast<int16_t>(static_cast<uint16_t>(value));
}

// value << shift, truncated to 16 bits (the value may be negative).
int16_t shiftedLeft16(int32_t value, int shift) {
  return truncate16(static_cast<uint32_t>(value) << shift);
}

uint8_t clampByte(int32_t value) {
  return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

bool hasByteFF(uint64_t word) {
  const uint64_t inverted = ~word;
  return ((inverted - 0x0101010101010101ULL) & word & 0x8080808080808080ULL) != 0;
}

uint64_t loadBigEndian64(const uint8_t* bytes) {
  uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return __builtin_bswap64(word);
}

}  // namespace

JpegDecoder::JpegDecoder(JpegInputStream* stream, bool fastPath)
    : stream_(stream), fastPath_(fastPath) {
  try {
    if (stream_ == nullptr) fail(kReadError);
    stream_->begin();
    refillInput();
    primeHeaderReader();
    findStartOfImage();
    switch (markerLoop()) {
      case kMarkerSof2:
        progressive_ = true;
        parseFrameHeader();
        break;
      case kMarkerSof0:
      case kMarkerSof1:
        parseFrameHeader();
        break;
      case kMarkerSof9:
        fail(kArithmeticCoding);
      default:
        fail(kUnsupportedFrame);
    }
  } catch (const Failure& failure) {
    recordFailure(failure.code);
  }
}

JpegDecoder::~JpegDecoder() {
  if (stream_ != nullptr) stream_->end();
}

void JpegDecoder::recordFailure(int32_t code) {
  error_ = code;
  if (stream_ != nullptr) stream_->end();
  stream_ = nullptr;
  pool_.releaseAll();
  std::fill(std::begin(rawTables_), std::end(rawTables_), nullptr);
  std::fill(std::begin(decodeTables_), std::end(decodeTables_), nullptr);
  std::fill(std::begin(quantisation_), std::end(quantisation_), nullptr);
  coefficients_ = nullptr;
  samples_ = nullptr;
  lineBuffers_[0] = lineBuffers_[1] = nullptr;
  colourTables_ = nullptr;
  for (Component& component : components_) component.dcPlane = component.coefficientPlane = nullptr;
}

uint8_t* JpegDecoder::allocate(size_t size) {
  int32_t error = 0;
  uint8_t* block = pool_.allocate(size, error);
  if (block == nullptr) fail(error);
  return block;
}

// ---------------------------------------------------------------------------------
// Input bytes

void JpegDecoder::refillInput() {
  readPosition_ = kPushbackSize;
  unread_ = 0;
  while (!atEnd_ && unread_ < kInputSize) {
    const int room = kInputSize - unread_;
    const int got = stream_->read(input_.data() + kPushbackSize + unread_, room, &atEnd_);
    if (got < 0 || got > room) fail(kReadError);
    // A stream that delivers nothing without saying so has ended all the same.
    if (got == 0) atEnd_ = 1;
    unread_ += got;
  }
}

// Past the end of the data the input reads FF D9 FF D9 ...: an endless EOI.
uint8_t JpegDecoder::syntheticEoiByte() {
  const uint8_t byte = syntheticToggle_ ? 0xD9 : 0xFF;
  syntheticToggle_ = !syntheticToggle_;
  return byte;
}

uint8_t JpegDecoder::nextByte() {
  if (unread_ == 0) {
    refillInput();
    if (unread_ == 0) return syntheticEoiByte();
  }
  --unread_;
  return input_[readPosition_++];
}

void JpegDecoder::pushBack(uint8_t byte) {
  if (readPosition_ == 0) fail(kCorruptData);
  input_[--readPosition_] = byte;
  ++unread_;
}

// ---------------------------------------------------------------------------------
// Header reader

void JpegDecoder::primeHeaderReader() {
  headerBuffer_ = 0;
  for (int i = 0; i < 4; ++i) headerBuffer_ = headerBuffer_ << 8 | nextByte();
  headerBitCount_ = 32;
}

uint32_t JpegDecoder::headerBits(int count) {
  const uint32_t value = headerBuffer_ >> (32 - count);
  headerBuffer_ <<= count;
  headerBitCount_ -= count;
  if (headerBitCount_ <= 16) {
    const uint32_t high = nextByte();
    const uint32_t low = nextByte();
    headerBuffer_ |= (high << 8 | low) << (16 - headerBitCount_);
    headerBitCount_ += 16;
  }
  return value;
}

// The entropy data starts right after the scan header: give back what the header
// reader has loaded ahead, last byte first.
void JpegDecoder::returnHeaderBytes() {
  const int bytes = headerBitCount_ / 8;
  for (int i = bytes - 1; i >= 0; --i)
    pushBack(static_cast<uint8_t>(headerBuffer_ >> (24 - 8 * i)));
  headerBuffer_ = 0;
  headerBitCount_ = 0;
}

// ---------------------------------------------------------------------------------
// Markers and segments

void JpegDecoder::findStartOfImage() {
  uint32_t first = headerByte();
  uint32_t second = headerByte();
  if (first == 0xFF && second == kMarkerSoi) return;
  for (int i = 2; i < kSoiSearchLimit + 1; ++i) {
    first = second;
    second = headerByte();
    if (first == 0xFF && second == kMarkerSoi) {
      if ((headerBuffer_ >> 24) != 0xFF) fail(kNoStartOfImage);
      return;
    }
  }
  fail(kNoStartOfImage);
}

int JpegDecoder::markerLoop() {
  for (;;) {
    uint32_t byte = headerByte();
    while (byte != 0xFF) byte = headerByte();
    do byte = headerByte();
    while (byte == 0xFF);
    if (byte == 0) continue;

    switch (byte) {
      case kMarkerDht:
        parseHuffmanTables();
        break;
      case kMarkerDqt:
        parseQuantisationTables();
        break;
      case kMarkerDri:
        parseRestartInterval();
        break;
      case kMarkerDac:
        fail(kArithmeticCoding);
      case kMarkerTem:
      case kMarkerJpg:
        fail(kMisplacedMarker);
      default:
        if (byte >= kMarkerRst0 && byte <= kMarkerRst0 + 7) fail(kMisplacedMarker);
        if ((byte >= 0xC0 && byte <= 0xCF) || byte == kMarkerSoi || byte == kMarkerEoi ||
            byte == kMarkerSos)
          return static_cast<int>(byte);
        {
          const uint32_t length = headerWord();
          if (length < 2) fail(kBadSegmentLength);
          for (uint32_t i = 2; i < length; ++i) headerByte();
        }
    }
  }
}

void JpegDecoder::parseHuffmanTables() {
  const uint32_t length = headerWord();
  if (length < 2) fail(kShortHuffmanSegment);
  int32_t remaining = static_cast<int32_t>(length) - 2;
  while (remaining > 0) {
    const uint32_t classAndNumber = headerByte();
    uint8_t counts[17] = {};
    int total = 0;
    for (int i = 1; i <= 16; ++i) {
      counts[i] = static_cast<uint8_t>(headerByte());
      total += counts[i];
    }
    if (total > 255) fail(kTooManyHuffmanCodes);
    uint8_t symbols[256] = {};
    for (int i = 0; i < total; ++i) symbols[i] = static_cast<uint8_t>(headerByte());
    if (remaining < total + 17) fail(kShortHuffmanSegment);
    remaining -= total + 17;
    const uint32_t slot = (classAndNumber & 0x0F) + 4 * ((classAndNumber >> 4) & 1);
    if (slot >= 8) fail(kBadHuffmanSlot);
    // Codes that over-fill the code space would need more tree nodes than exist.
    uint32_t code = 0;
    for (int bits = 1; bits <= 16; ++bits) {
      code += counts[bits];
      if (code > (1u << bits)) fail(kTooManyHuffmanCodes);
      code <<= 1;
    }
    if (rawTables_[slot] == nullptr)
      rawTables_[slot] = reinterpret_cast<RawHuffmanTable*>(allocate(sizeof(RawHuffmanTable)));
    std::memcpy(rawTables_[slot]->counts, counts, sizeof counts);
    std::memcpy(rawTables_[slot]->symbols, symbols, sizeof symbols);
  }
}

void JpegDecoder::parseQuantisationTables() {
  const uint32_t length = headerWord();
  if (length < 2) fail(kShortQuantisationLength);
  int32_t remaining = static_cast<int32_t>(length) - 2;
  while (remaining > 0) {
    const uint32_t precisionAndNumber = headerByte();
    const uint32_t number = precisionAndNumber & 0x0F;
    const bool sixteenBit = (precisionAndNumber >> 4) != 0;
    if (number >= 4) fail(kBadQuantisationNumber);
    if (quantisation_[number] == nullptr)
      quantisation_[number] = reinterpret_cast<int16_t*>(allocate(64 * sizeof(int16_t)));
    int16_t* table = quantisation_[number];
    for (int k = 0; k < 64; ++k) {
      const uint32_t value = sixteenBit ? headerWord() : headerByte();
      if (fastPath_) {
        const int z = kJpegZigZag[k];
        const int64_t scaled = (static_cast<int64_t>(value) * kJpegAanScale[z] + 2048) >> 12;
        table[z] = truncate16(static_cast<uint32_t>(scaled));
      } else {
        table[k] = truncate16(value);
      }
    }
    const int32_t used = sixteenBit ? 129 : 65;
    if (remaining < used) fail(kShortQuantisationSegment);
    remaining -= used;
  }
}

void JpegDecoder::parseFrameHeader() {
  const uint32_t length = headerWord();
  if (headerByte() != 8) fail(kBadPrecision);
  const int32_t height = static_cast<int32_t>(headerWord());
  if (height < 1 || height > kMaxImageSide) fail(kBadHeight);
  const int32_t width = static_cast<int32_t>(headerWord());
  if (width < 1 || width > kMaxImageSide) fail(kBadWidth);
  const int32_t count = static_cast<int32_t>(headerByte());
  if (count > 4) fail(kTooManyComponents);
  if (length != static_cast<uint32_t>(3 * count + 8)) fail(kBadFrameLength);
  height_ = height;
  width_ = width;
  componentCount_ = count;
  for (int i = 0; i < count; ++i) {
    Component& component = components_[i];
    component.id = static_cast<int32_t>(headerByte());
    component.h = static_cast<int32_t>(headerBits(4));
    component.v = static_cast<int32_t>(headerBits(4));
    component.tq = static_cast<int32_t>(headerByte());
  }
}

void JpegDecoder::parseScanHeader() {
  const uint32_t length = headerWord();
  const int32_t count = static_cast<int32_t>(headerByte());
  if (count < 1 || count > 4 || length != static_cast<uint32_t>(2 * count + 6))
    fail(kBadScanHeader);
  scanCount_ = count;
  for (int i = 0; i < count; ++i) {
    const int32_t id = static_cast<int32_t>(headerByte());
    const uint32_t tables = headerByte();
    int index = 0;
    while (index < componentCount_ && components_[index].id != id) ++index;
    if (index == componentCount_) fail(kUnknownScanComponent);
    scanComponents_[i] = index;
    components_[index].dcSlot = static_cast<int32_t>(tables >> 4);
    components_[index].acSlot = static_cast<int32_t>(tables & 0x0F) + 4;
  }
  ss_ = static_cast<int32_t>(headerByte());
  se_ = static_cast<int32_t>(headerByte());
  ah_ = static_cast<int32_t>(headerBits(4));
  al_ = static_cast<int32_t>(headerBits(4));
  if (!progressive_) {
    ss_ = 0;
    se_ = 63;
  }
}

void JpegDecoder::parseRestartInterval() {
  if (headerWord() != 4) fail(kBadRestartLength);
  restartInterval_ = static_cast<int32_t>(headerWord());
}

// ---------------------------------------------------------------------------------
// Frame and scan set-up

void JpegDecoder::setupFrame() {
  if (componentCount_ == 1) {
    // Any factors will do for one component, but 0 would divide by zero.
    if (components_[0].h == 0 || components_[0].v == 0) fail(kUnsupportedSampling);
    layout_ = 0;
    blocksPerMcu_ = 1;
    mcuWidth_ = mcuHeight_ = 8;
  } else if (componentCount_ == 3) {
    for (int i = 1; i < 3; ++i)
      if (components_[i].h != 1 || components_[i].v != 1) fail(kUnsupportedSampling);
    const int32_t h = components_[0].h;
    const int32_t v = components_[0].v;
    if (h == 1 && v == 1) {
      layout_ = 1;
    } else if (h == 2 && v == 1) {
      layout_ = 2;
    } else if (h == 1 && v == 2) {
      layout_ = 3;
    } else if (h == 2 && v == 2) {
      layout_ = 4;
    } else {
      fail(kUnsupportedSampling);
    }
    mcuWidth_ = 8 * h;
    mcuHeight_ = 8 * v;
    blocksPerMcu_ = h * v + 2;
    components_[1].firstBlockInMcu = h * v;
    components_[2].firstBlockInMcu = h * v + 1;
  } else {
    fail(kUnsupportedComponentCount);
  }
  mcusPerRow_ = ceilDiv(width_, mcuWidth_);
  mcuRows_ = ceilDiv(height_, mcuHeight_);
  bytesPerPixel_ = layout_ == 0 ? 1 : 4;
  rowLength_ = width_ * bytesPerPixel_;
  const size_t lineBytes = static_cast<size_t>((width_ + 15) / 16 * 16) * bytesPerPixel_;
  lineBuffers_[0] = allocate(lineBytes);
  lineBuffers_[1] = allocate(lineBytes);
  blocksPerRow_ = blocksPerMcu_ * mcusPerRow_;
  if (blocksPerRow_ > kMaxBlocksPerRow) fail(kBlockOutOfRange);
  coefficients_ = reinterpret_cast<int16_t*>(allocate(static_cast<size_t>(blocksPerRow_) * 128));
  std::fill(lastIndex_, lastIndex_ + blocksPerRow_, 64);
  samples_ = allocate(static_cast<size_t>(blocksPerRow_) * 64);
  rowsRemaining_ = height_;
  rowsLeftInMcuRow_ = 0;
  colourTables_ = reinterpret_cast<JpegColourTables*>(allocate(sizeof(JpegColourTables)));
  buildColourTables(*colourTables_);
}

void JpegDecoder::computeScanGeometry() {
  int32_t hMax = 1;
  int32_t vMax = 1;
  for (int i = 0; i < componentCount_; ++i) {
    hMax = std::max(hMax, components_[i].h);
    vMax = std::max(vMax, components_[i].v);
  }
  for (int i = 0; i < componentCount_; ++i) {
    Component& component = components_[i];
    component.blocksWide = ceilDiv(ceilDiv(width_ * component.h, hMax), 8);
    component.blocksHigh = ceilDiv(ceilDiv(height_ * component.v, vMax), 8);
  }
  if (scanCount_ == 1) {
    const Component& component = components_[scanComponents_[0]];
    scanMcusPerRow_ = component.blocksWide;
    scanMcuRows_ = component.blocksHigh;
    scanBlocksPerMcu_ = 1;
    mcuBlocks_[0] =
        McuBlock{scanComponents_[0], 0, 0, component.firstBlockInMcu, nullptr, nullptr, nullptr};
    return;
  }
  scanMcusPerRow_ = ceilDiv(ceilDiv(width_, 8), hMax);
  scanMcuRows_ = ceilDiv(ceilDiv(height_, 8), vMax);
  int32_t blocks = 0;
  for (int i = 0; i < scanCount_; ++i)
    blocks += components_[scanComponents_[i]].h * components_[scanComponents_[i]].v;
  // A component named twice, or factors the layout has no room for.
  if (blocks > blocksPerMcu_ || blocks > kMaxBlocksPerMcu) fail(kBadScanHeader);
  scanBlocksPerMcu_ = 0;
  for (int i = 0; i < scanCount_; ++i) {
    const Component& component = components_[scanComponents_[i]];
    for (int v = 0; v < component.v; ++v)
      for (int h = 0; h < component.h; ++h)
        mcuBlocks_[scanBlocksPerMcu_++] = McuBlock{scanComponents_[i],
                                                   h,
                                                   v,
                                                   component.firstBlockInMcu + v * component.h + h,
                                                   nullptr,
                                                   nullptr,
                                                   nullptr};
  }
}

void JpegDecoder::buildDecodeTable(const RawHuffmanTable& raw, DecodeTable& table) {
  std::memset(&table, 0, sizeof table);
  int32_t nextNode = 0;
  const auto newNode = [&]() -> int32_t {
    if (nextNode >= 256) fail(kTooManyHuffmanCodes);
    return -(2 * nextNode++ + 1);
  };
  // Canonical codes: consecutive within a length, doubled at each longer length.
  uint32_t code = 0;
  int symbolIndex = 0;
  for (int length = 1; length <= 16; ++length, code <<= 1) {
    for (int n = 0; n < raw.counts[length]; ++n, ++code) {
      const uint8_t symbol = raw.symbols[symbolIndex++];
      table.codeLength[symbol] = static_cast<uint8_t>(length);
      if (length <= 8) {
        const int shift = 8 - length;
        for (uint32_t i = 0; i < (1u << shift); ++i) table.firstLevel[(code << shift) + i] = symbol;
        continue;
      }
      int32_t* entry = &table.firstLevel[(code >> (length - 8)) & 0xFF];
      for (int bit = length - 9; bit >= 0; --bit) {
        if (*entry == 0) *entry = newNode();
        if (*entry > 0) fail(kTooManyHuffmanCodes);  // a shorter code is a prefix
        const int32_t node = (-*entry - 1) / 2;
        entry = &table.tree[2 * node + (((code >> bit) & 1) ? 0 : 1)];
      }
      *entry = symbol;
    }
  }
  // The look-up for the next kFastBits bits replays the procedure above bit by bit.
  for (int pattern = 0; pattern < (1 << kFastBits); ++pattern) {
    int32_t entry = table.firstLevel[pattern >> (kFastBits - 8)];
    int consumed = 8;
    if (entry >= 0) {
      table.fast[pattern] = static_cast<int16_t>(table.codeLength[entry] << 8 | entry);
      continue;
    }
    table.fast[pattern] = -1;
    for (int bit = kFastBits - 9; bit >= 0 && entry < 0; --bit) {
      const int32_t node = (-entry - 1) / 2;
      entry = table.tree[2 * node + (((pattern >> bit) & 1) ? 0 : 1)];
      ++consumed;
    }
    if (entry >= 0) table.fast[pattern] = static_cast<int16_t>(consumed << 8 | entry);
  }
  for (int pattern = 0; pattern < (1 << kFastBits); ++pattern) {
    table.runAndValue[pattern] = 0;
    if (table.fast[pattern] < 0) continue;
    const int codeBits = table.fast[pattern] >> 8;
    const int symbol = table.fast[pattern] & 0xFF;
    const int size = symbol & 15;
    if (size == 0 || codeBits + size > kFastBits) continue;
    int32_t value = (pattern >> (kFastBits - codeBits - size)) & ((1 << size) - 1);
    if (value < (1 << (size - 1))) value += 1 - (1 << size);
    table.runAndValue[pattern] = static_cast<int32_t>(static_cast<uint32_t>(value) << 16) |
                                 (symbol >> 4) << 8 | (codeBits + size);
  }
}

void JpegDecoder::prepareScanTables() {
  for (int i = 0; i < scanCount_; ++i) {
    const Component& component = components_[scanComponents_[i]];
    if (component.dcSlot > 3 || component.acSlot > 7) fail(kMissingHuffmanTable);
    if (ss_ == 0 && rawTables_[component.dcSlot] == nullptr) fail(kMissingHuffmanTable);
    if (se_ > 0 && rawTables_[component.acSlot] == nullptr) fail(kMissingHuffmanTable);
  }
  for (int slot = 0; slot < 8; ++slot) {
    if (rawTables_[slot] == nullptr) continue;
    if (decodeTables_[slot] == nullptr)
      decodeTables_[slot] = reinterpret_cast<DecodeTable*>(allocate(sizeof(DecodeTable)));
    buildDecodeTable(*rawTables_[slot], *decodeTables_[slot]);
  }
  for (int i = 0; i < scanBlocksPerMcu_; ++i) {
    McuBlock& block = mcuBlocks_[i];
    const Component& component = components_[block.component];
    block.dcTable = decodeTables_[component.dcSlot];
    block.acTable = decodeTables_[component.acSlot];
  }
}

void JpegDecoder::requireQuantisationTable(const Component& component) const {
  if (component.tq > 3 || quantisation_[component.tq] == nullptr)
    throw Failure{kMissingQuantisationTable};
}

// After a scan header: tables, predictors, restart state, and the entropy reader
// positioned on the first byte after the header.
void JpegDecoder::beginScan() {
  computeScanGeometry();
  prepareScanTables();
  for (int i = 0; i < scanCount_; ++i) requireQuantisationTable(components_[scanComponents_[i]]);
  for (int i = 0; i < scanBlocksPerMcu_; ++i)
    mcuBlocks_[i].quantisation = quantisation_[components_[mcuBlocks_[i].component].tq];
  for (Component& component : components_) component.predictor = 0;
  eobRun_ = 0;
  mcusToRestart_ = restartInterval_;
  nextRestart_ = 0;
  returnHeaderBytes();
  bitBuffer_ = 0;
  bitCount_ = 0;
  atMarker_ = false;
  fillBits();
}

// ---------------------------------------------------------------------------------
// Public operations

int JpegDecoder::start() {
  if (error_ != 0) return -1;
  if (started_) return 0;
  try {
    setupFrame();
    if (progressive_) {
      decodeProgressiveScans();
    } else {
      if (markerLoop() != kMarkerSos) fail(kMisplacedMarker);
      parseScanHeader();
      // Rows are produced from interleaved MCUs holding every component once.
      if (scanCount_ != componentCount_) fail(kBadScanHeader);
      for (int i = 0; i < scanCount_; ++i)
        for (int j = 0; j < i; ++j)
          if (scanComponents_[i] == scanComponents_[j]) fail(kBadScanHeader);
      beginScan();
    }
    started_ = true;
    return 0;
  } catch (const Failure& failure) {
    recordFailure(failure.code);
    return -1;
  }
}

int JpegDecoder::readRow(const uint8_t*& row, int32_t& length) {
  if (error_ != 0 || !started_) return -1;
  if (rowsRemaining_ == 0) return 1;
  try {
    if (rowsLeftInMcuRow_ == 0) {
      if (progressive_) {
        gatherProgressiveRow();
      } else {
        decodeSequentialRow();
        if (rowsRemaining_ <= mcuHeight_) {
          primeHeaderReader();
          markerLoop();
        }
      }
      transformRow();
      rowsLeftInMcuRow_ = mcuHeight_;
    }
    row = produceRow(mcuHeight_ - rowsLeftInMcuRow_);
    length = rowLength_;
    --rowsLeftInMcuRow_;
    --rowsRemaining_;
    return 0;
  } catch (const Failure& failure) {
    recordFailure(failure.code);
    return kCorruptData;
  }
}

// ---------------------------------------------------------------------------------
// Entropy decoding

// A 0xFF byte is data only when 0x00 follows; anything else is a marker, which stays
// in the input while the reader keeps delivering 1-bits.
uint8_t JpegDecoder::entropyByte() {
  if (atMarker_) return 0xFF;
  if (unread_ == 0) {
    refillInput();
    if (unread_ == 0) return syntheticEoiByte();
  }
  --unread_;
  const uint8_t byte = input_[readPosition_++];
  if (byte != 0xFF) return byte;
  const uint8_t next = nextByte();
  if (next == 0) return 0xFF;
  pushBack(next);
  pushBack(0xFF);
  atMarker_ = true;
  return 0xFF;
}

// Takes whole bytes at once while no 0xFF is among the next eight; false when the
// byte rule has to be applied one byte at a time.
inline bool JpegDecoder::fillBitsQuickly(uint64_t& buffer, int32_t& count) {
  if (atMarker_ || unread_ < 8) return false;
  const uint64_t word = loadBigEndian64(input_.data() + readPosition_);
  if (hasByteFF(word)) return false;
  const int take = (64 - count) >> 3;
  if (take > 0) {
    const uint64_t chunk = take == 8 ? word : word >> (64 - 8 * take);
    buffer |= chunk << (64 - count - 8 * take);
    count += 8 * take;
    readPosition_ += take;
    unread_ -= take;
  }
  return true;
}

void JpegDecoder::fillBits() {
  if (fillBitsQuickly(bitBuffer_, bitCount_)) return;
  while (bitCount_ <= 56) {
    bitBuffer_ |= static_cast<uint64_t>(entropyByte()) << (56 - bitCount_);
    bitCount_ += 8;
  }
}

inline int JpegDecoder::decodeSymbol(const DecodeTable& table) {
  const int16_t entry = table.fast[bitBuffer_ >> (64 - kFastBits)];
  if (entry < 0) return decodeSymbolSlowly(table);
  const int consumed = entry >> 8;
  bitBuffer_ <<= consumed;
  bitCount_ -= consumed;
  return entry & 0xFF;
}

// Codes longer than the look-up: eight bits, then the tree one bit at a time.
int JpegDecoder::decodeSymbolSlowly(const DecodeTable& table) {
  int32_t entry = table.firstLevel[bitBuffer_ >> 56];
  bitBuffer_ <<= 8;
  bitCount_ -= 8;
  while (entry < 0) {
    const int32_t node = (-entry - 1) / 2;
    const bool one = (bitBuffer_ >> 63) != 0;
    bitBuffer_ <<= 1;
    bitCount_ -= 1;
    entry = table.tree[2 * node + (one ? 0 : 1)];
  }
  return entry;
}

inline uint32_t JpegDecoder::receiveBits(int count) {
  if (count == 0) return 0;
  const uint32_t value = static_cast<uint32_t>(bitBuffer_ >> (64 - count));
  bitBuffer_ <<= count;
  bitCount_ -= count;
  return value;
}

inline int32_t JpegDecoder::receiveExtend(int size) {
  if (size == 0) return 0;
  const int32_t value = static_cast<int32_t>(receiveBits(size));
  return value < (1 << (size - 1)) ? value - (1 << size) + 1 : value;
}

void JpegDecoder::processRestart() {
  bitBuffer_ = 0;
  bitCount_ = 0;
  atMarker_ = false;
  int counted = 0;
  uint8_t byte = nextByte();
  while (byte != 0xFF) {
    if (++counted >= kRestartSearchBudget) fail(kBadRestart);
    byte = nextByte();
  }
  byte = nextByte();
  while (byte == 0xFF) {
    if (++counted >= kRestartSearchBudget) fail(kBadRestart);
    byte = nextByte();
  }
  if (byte != kMarkerRst0 + nextRestart_) fail(kBadRestart);
  for (Component& component : components_) component.predictor = 0;
  mcusToRestart_ = restartInterval_;
  nextRestart_ = (nextRestart_ + 1) & 7;
  eobRun_ = 0;
  fillBits();
}

void JpegDecoder::decodeSequentialRow() {
  // The bit buffer lives in locals here, so that it can stay in registers; it goes
  // back to the members around anything that reads them.
  uint64_t buffer = bitBuffer_;
  int32_t count = bitCount_;
  const auto refill = [&] {
    if (count >= 32 || fillBitsQuickly(buffer, count)) return;
    bitBuffer_ = buffer;
    bitCount_ = count;
    fillBits();
    buffer = bitBuffer_;
    count = bitCount_;
  };
  const auto consume = [&](int bits) {
    buffer <<= bits;
    count -= bits;
  };
  const auto decode = [&](const DecodeTable& table) {
    const int16_t entry = table.fast[buffer >> (64 - kFastBits)];
    if (entry >= 0) {
      consume(entry >> 8);
      return entry & 0xFF;
    }
    bitBuffer_ = buffer;
    bitCount_ = count;
    const int symbol = decodeSymbolSlowly(table);
    buffer = bitBuffer_;
    count = bitCount_;
    return symbol;
  };
  const auto receiveExtended = [&](int size) -> int32_t {
    if (size == 0) return 0;
    const int32_t value = static_cast<int32_t>(buffer >> (64 - size));
    consume(size);
    return value < (1 << (size - 1)) ? value - (1 << size) + 1 : value;
  };

  for (int mcu = 0; mcu < scanMcusPerRow_; ++mcu) {
    if (restartInterval_ != 0 && mcusToRestart_ == 0) {
      processRestart();
      buffer = bitBuffer_;
      count = bitCount_;
    }
    for (int i = 0; i < scanBlocksPerMcu_; ++i) {
      const McuBlock& mcuBlock = mcuBlocks_[i];
      const int block = mcu * blocksPerMcu_ + mcuBlock.offset;
      int16_t* coefficients = coefficients_ + 64 * block;
      const int16_t* q = mcuBlock.quantisation;
      Component& component = components_[mcuBlock.component];

      refill();
      const int size = decode(*mcuBlock.dcTable);
      if (size > 16) fail(kCorruptData);
      component.predictor += static_cast<uint32_t>(receiveExtended(size));
      coefficients[0] = fastPath_ ? truncate16(component.predictor)
                                  : truncate16(component.predictor * static_cast<uint32_t>(q[0]));

      // Clear what the previous MCU row left; zero positions are not coded.
      const int previous = lastIndex_[block];
      if (previous == 64) {
        std::memset(coefficients + 1, 0, 63 * sizeof(int16_t));
      } else {
        for (int k = 1; k < previous; ++k) coefficients[kJpegZigZag[k]] = 0;
      }

      const DecodeTable& acTable = *mcuBlock.acTable;
      int k = 1;
      while (k <= 63) {
        refill();
        int32_t value;
        const int32_t combined = acTable.runAndValue[buffer >> (64 - kFastBits)];
        if (combined != 0) {
          const int run = (combined >> 8) & 15;
          if (k + run > 63) fail(kCorruptData);
          k += run;
          consume(combined & 31);
          value = combined >> 16;
        } else {
          const int rs = decode(acTable);
          const int run = rs >> 4;
          const int bits = rs & 15;
          if (bits == 0) {
            if (run != 15) break;
            if (k + 15 > 63) fail(kCorruptData);
            k += 16;
            continue;
          }
          if (k + run > 63) fail(kCorruptData);
          k += run;
          value = receiveExtended(bits);
        }
        coefficients[kJpegZigZag[k]] =
            fastPath_ ? static_cast<int16_t>(value)
                      : truncate16(static_cast<uint32_t>(value) * static_cast<uint32_t>(q[k]));
        ++k;
      }
      lastIndex_[block] = k;
    }
    --mcusToRestart_;
  }
  bitBuffer_ = buffer;
  bitCount_ = count;
}

void JpegDecoder::decodeProgressiveScans() {
  for (int i = 0; i < componentCount_; ++i) {
    Component& component = components_[i];
    if (componentCount_ == 1) {
      // One component: as many blocks as the picture needs, whatever its factors.
      component.planeWide = ceilDiv(width_, 8);
      component.planeHigh = ceilDiv(height_, 8);
    } else {
      component.planeWide = component.h * mcusPerRow_;
      component.planeHigh = component.v * mcuRows_;
    }
    const size_t blocks = static_cast<size_t>(component.planeWide) * component.planeHigh;
    component.dcPlane = reinterpret_cast<int16_t*>(allocate(blocks * sizeof(int16_t)));
    component.coefficientPlane = reinterpret_cast<int16_t*>(allocate(blocks * 128));
  }
  for (;;) {
    const int marker = markerLoop();
    if (marker == kMarkerEoi) break;
    if (marker != kMarkerSos) fail(kMisplacedMarker);
    parseScanHeader();
    beginScan();
    decodeProgressiveScan();
    primeHeaderReader();
  }
  // A component that no scan named may still lack its table.
  for (int i = 0; i < componentCount_; ++i) requireQuantisationTable(components_[i]);
  scanCount_ = componentCount_;
  for (int i = 0; i < componentCount_; ++i) scanComponents_[i] = i;
  computeScanGeometry();
  for (int i = 0; i < scanBlocksPerMcu_; ++i)
    mcuBlocks_[i].quantisation = quantisation_[components_[mcuBlocks_[i].component].tq];
}

void JpegDecoder::decodeProgressiveScan() {
  if (ss_ == 0 && se_ != 0) fail(kBadProgression);
  if (ss_ > 0 && scanCount_ != 1) fail(kBadProgression);
  if (ss_ > se_ || se_ > 63) fail(kBadProgression);
  if (ah_ != 0 && al_ != ah_ - 1) fail(kBadRefinement);

  for (int mcuRow = 0; mcuRow < scanMcuRows_; ++mcuRow) {
    for (int mcu = 0; mcu < scanMcusPerRow_; ++mcu) {
      if (restartInterval_ != 0 && mcusToRestart_ == 0) processRestart();
      for (int i = 0; i < scanBlocksPerMcu_; ++i) {
        const McuBlock& mcuBlock = mcuBlocks_[i];
        Component& component = components_[mcuBlock.component];
        const int column = scanCount_ == 1 ? mcu : mcu * component.h + mcuBlock.h;
        const int row = scanCount_ == 1 ? mcuRow : mcuRow * component.v + mcuBlock.v;
        if (column >= component.planeWide || row >= component.planeHigh) fail(kBlockOutOfRange);
        const size_t index = static_cast<size_t>(row) * component.planeWide + column;
        if (bitCount_ < 32) fillBits();
        if (ss_ == 0) {
          int16_t* dc = component.dcPlane + index;
          if (ah_ == 0) {
            decodeDcFirst(component, dc, *mcuBlock.dcTable);
          } else if (receiveBits(1) != 0) {
            *dc = static_cast<int16_t>(*dc | shiftedLeft16(1, al_));
          }
        } else if (ah_ == 0) {
          decodeAcFirst(component.coefficientPlane + 64 * index, *mcuBlock.acTable);
        } else {
          decodeAcRefine(component.coefficientPlane + 64 * index, *mcuBlock.acTable);
        }
      }
      --mcusToRestart_;
    }
  }
}

void JpegDecoder::decodeDcFirst(Component& component, int16_t* dc, const DecodeTable& table) {
  const int size = decodeSymbol(table);
  if (size > 16) fail(kCorruptData);
  component.predictor += static_cast<uint32_t>(receiveExtend(size));
  *dc = truncate16(component.predictor << al_);
}

void JpegDecoder::decodeAcFirst(int16_t* block, const DecodeTable& table) {
  if (eobRun_ > 0) {
    --eobRun_;
    return;
  }
  for (int k = ss_; k <= se_; ++k) {
    if (bitCount_ < 32) fillBits();
    const int rs = decodeSymbol(table);
    const int run = rs >> 4;
    const int bits = rs & 15;
    if (bits != 0) {
      k += run;
      if (k > 63) fail(kCorruptData);
      block[kJpegZigZag[k]] = shiftedLeft16(receiveExtend(bits), al_);
    } else if (run == 15) {
      k += 15;
      if (k > 63) fail(kCorruptData);
    } else {
      eobRun_ = (1 << run) + static_cast<int32_t>(receiveBits(run)) - 1;
      return;
    }
  }
}

void JpegDecoder::decodeAcRefine(int16_t* block, const DecodeTable& table) {
  const int16_t plusOne = shiftedLeft16(1, al_);
  const int16_t minusOne = shiftedLeft16(-1, al_);
  // A correction bit for a coefficient that is already non-zero.
  const auto refine = [&](int16_t& coefficient) {
    if (bitCount_ < 1) fillBits();
    if (receiveBits(1) != 0 && (coefficient & plusOne) == 0)
      coefficient = truncate16(static_cast<uint32_t>(coefficient) +
                               static_cast<uint32_t>(coefficient >= 0 ? plusOne : minusOne));
  };
  int k = ss_;
  if (eobRun_ == 0) {
    for (; k <= se_; ++k) {
      if (bitCount_ < 32) fillBits();
      const int rs = decodeSymbol(table);
      int run = rs >> 4;
      const int bits = rs & 15;
      int16_t newValue = 0;
      if (bits != 0) {
        if (bits != 1) fail(kCorruptData);
        newValue = receiveBits(1) != 0 ? plusOne : minusOne;
      } else if (run != 15) {
        eobRun_ = (1 << run) + static_cast<int32_t>(receiveBits(run));
        break;
      }
      // Skip 'run' zero coefficients, refining the non-zero ones passed on the way.
      while (k <= se_) {
        int16_t& coefficient = block[kJpegZigZag[k]];
        if (coefficient != 0) {
          refine(coefficient);
        } else {
          if (run == 0) break;
          --run;
        }
        ++k;
      }
      if (newValue != 0 && k <= 63) block[kJpegZigZag[k]] = newValue;
    }
  }
  if (eobRun_ > 0) {
    for (; k <= se_; ++k) {
      int16_t& coefficient = block[kJpegZigZag[k]];
      if (coefficient != 0) refine(coefficient);
    }
    --eobRun_;
  }
}

void JpegDecoder::gatherProgressiveRow() {
  for (int mcu = 0; mcu < mcusPerRow_; ++mcu) {
    for (int i = 0; i < scanBlocksPerMcu_; ++i) {
      const McuBlock& mcuBlock = mcuBlocks_[i];
      const Component& component = components_[mcuBlock.component];
      const int column = componentCount_ == 1 ? mcu : mcu * component.h + mcuBlock.h;
      const int row = component.planeBlockRow + (componentCount_ == 1 ? 0 : mcuBlock.v);
      if (column >= component.planeWide || row >= component.planeHigh) fail(kBlockOutOfRange);
      const size_t index = static_cast<size_t>(row) * component.planeWide + column;
      int16_t* coefficients = coefficients_ + 64 * (mcu * blocksPerMcu_ + mcuBlock.offset);
      std::memcpy(coefficients, component.coefficientPlane + 64 * index, 64 * sizeof(int16_t));
      coefficients[0] = component.dcPlane[index];
      if (fastPath_) continue;
      const int16_t* q = mcuBlock.quantisation;
      int last = 63;
      while (last >= 0 && coefficients[kJpegZigZag[last]] == 0) --last;
      for (int k = last; k >= 0; --k) {
        int16_t& coefficient = coefficients[kJpegZigZag[k]];
        if (coefficient != 0)
          coefficient =
              truncate16(static_cast<uint32_t>(coefficient) * static_cast<uint32_t>(q[k]));
      }
    }
  }
  for (int i = 0; i < componentCount_; ++i)
    components_[i].planeBlockRow += componentCount_ == 1 ? 1 : components_[i].v;
}

// ---------------------------------------------------------------------------------
// Samples and rows

void JpegDecoder::transformRow() {
  for (int mcu = 0; mcu < mcusPerRow_; ++mcu) {
    for (int i = 0; i < scanBlocksPerMcu_; ++i) {
      const int block = mcu * blocksPerMcu_ + mcuBlocks_[i].offset;
      const int16_t* coefficients = coefficients_ + 64 * block;
      uint8_t* samples = samples_ + 64 * block;
      if (!fastPath_) {
        std::memcpy(scratch_, coefficients, sizeof scratch_);
        integerInverseDct(scratch_, samples);
      } else if (!progressive_ && lastIndex_[block] == 1) {
        // Only a DC coefficient: every sample of the transform comes out the same.
        const int16_t dc = truncate16(static_cast<uint32_t>(coefficients[0]) *
                                      static_cast<uint32_t>(mcuBlocks_[i].quantisation[0]));
        std::memset(samples, clampByte((dc >> 5) + 128), 64);
      } else {
        fastInverseDct(coefficients, mcuBlocks_[i].quantisation, samples);
      }
    }
  }
}

const uint8_t* JpegDecoder::produceRow(int r) {
  uint8_t* first = lineBuffers_[0];
  uint8_t* second = lineBuffers_[1];
  switch (layout_) {
    case 0:
      for (int mcu = 0; mcu < mcusPerRow_; ++mcu)
        std::memcpy(first + 8 * mcu, samples_ + 64 * mcu + 8 * r, 8);
      return first;
    case 1:
      for (int mcu = 0; mcu < mcusPerRow_; ++mcu) {
        const uint8_t* mcuSamples = samples_ + 64 * 3 * mcu + 8 * r;
        convertEightPixels(mcuSamples, mcuSamples + 64, mcuSamples + 128, false, *colourTables_,
                           first + 32 * mcu);
      }
      return first;
    case 2:
      for (int mcu = 0; mcu < mcusPerRow_; ++mcu) {
        const uint8_t* mcuSamples = samples_ + 64 * 4 * mcu;
        const uint8_t* cb = mcuSamples + 128 + 8 * r;
        const uint8_t* cr = mcuSamples + 192 + 8 * r;
        convertEightPixels(mcuSamples + 8 * r, cb, cr, true, *colourTables_, first + 64 * mcu);
        convertEightPixels(mcuSamples + 64 + 8 * r, cb + 4, cr + 4, true, *colourTables_,
                           first + 64 * mcu + 32);
      }
      return first;
    case 3:
    case 4: {
      if (r % 2 == 1) return second;
      const int lumaBlocks = layout_ == 3 ? 2 : 4;
      const int blocksWide = layout_ == 3 ? 1 : 2;
      const bool halfChroma = layout_ == 4;
      const int mcuPixels = 8 * blocksWide;
      const int lumaRow = r % 8;
      const int lumaBlockRow = r / 8;
      for (int mcu = 0; mcu < mcusPerRow_; ++mcu) {
        const uint8_t* mcuSamples = samples_ + 64 * (lumaBlocks + 2) * mcu;
        const uint8_t* cb = mcuSamples + 64 * lumaBlocks + 8 * (r >> 1);
        const uint8_t* cr = cb + 64;
        for (int b = 0; b < blocksWide; ++b) {
          const uint8_t* y = mcuSamples + 64 * (lumaBlockRow * blocksWide + b) + 8 * lumaRow;
          const int offset = 4 * (mcuPixels * mcu + 8 * b);
          convertEightPixels(y, cb + 4 * b, cr + 4 * b, halfChroma, *colourTables_, first + offset);
          convertEightPixels(y + 8, cb + 4 * b, cr + 4 * b, halfChroma, *colourTables_,
                             second + offset);
        }
      }
      return first;
    }
    default:
      return first;
  }
}

}  // namespace vz
