#include "converter/formats/jpeg/jpeg_frame.h"

#include <algorithm>

namespace vz {

namespace {

int ceilDiv(int a, int b) {
  return (a + b - 1) / b;
}

// The layouts with fast paths: YCbCr with chroma 1x1 and luma 1x1, 2x1, 1x2 or 2x2.
JpegLayout fastLayoutOf(const JpegFrame& frame) {
  const JpegComponent* components = frame.components;
  if (frame.colourSpace != JpegColourSpace::kYCbCr || frame.componentCount != 3)
    return JpegLayout::kGeneral;
  for (int i = 1; i < 3; ++i)
    if (components[i].h != 1 || components[i].v != 1) return JpegLayout::kGeneral;
  switch (components[0].h * 10 + components[0].v) {
    case 11:
      return JpegLayout::kYCbCr444;
    case 21:
      return JpegLayout::kYCbCr422;
    case 12:
      return JpegLayout::kYCbCr440;
    case 22:
      return JpegLayout::kYCbCr420;
    default:
      return JpegLayout::kGeneral;
  }
}

}  // namespace

void JpegMcuGeometry::setUp(JpegFrame& frame) {
  JpegComponent* components = frame.components;
  const int32_t count = frame.componentCount;
  if (count == 1) {
    // Any factors will do for one component, but 0 would divide by zero.
    if (components[0].h == 0 || components[0].v == 0) failJpeg(JpegError::kUnsupportedSampling);
    layout = JpegLayout::kGrey;
    blocksPerMcu = 1;
    hMax = vMax = 1;
  } else if (count == 3 || count == 4) {
    hMax = vMax = 1;
    blocksPerMcu = 0;
    for (int i = 0; i < count; ++i) {
      JpegComponent& component = components[i];
      if (component.h < 1 || component.h > 4 || component.v < 1 || component.v > 4)
        failJpeg(JpegError::kUnsupportedSampling);
      hMax = std::max(hMax, component.h);
      vMax = std::max(vMax, component.v);
      component.firstBlockInMcu = blocksPerMcu;
      blocksPerMcu += component.h * component.v;
    }
    layout = JpegLayout::kGeneral;
  } else {
    failJpeg(JpegError::kUnsupportedComponentCount);
  }
  mcuWidth = 8 * hMax;
  mcuHeight = 8 * vMax;
  mcusPerRow = ceilDiv(frame.width, mcuWidth);
  mcuRows = ceilDiv(frame.height, mcuHeight);

  int32_t hLargest = 1;
  int32_t vLargest = 1;
  for (int i = 0; i < count; ++i) {
    hLargest = std::max(hLargest, components[i].h);
    vLargest = std::max(vLargest, components[i].v);
  }
  for (int i = 0; i < count; ++i) {
    JpegComponent& component = components[i];
    component.blocksWide = ceilDiv(ceilDiv(frame.width * component.h, hLargest), 8);
    component.blocksHigh = ceilDiv(ceilDiv(frame.height * component.v, vLargest), 8);
  }
}

void JpegMcuGeometry::chooseLayout(const JpegFrame& frame) {
  if (frame.componentCount > 1) layout = fastLayoutOf(frame);
}

void JpegScanLayout::setUp(const JpegFrame& frame, const JpegMcuGeometry& geometry,
                           const JpegScan& scan) {
  if (scan.count == 1) {
    const JpegComponent& component = frame.components[scan.components[0]];
    mcusPerRow = component.blocksWide;
    mcuRows = component.blocksHigh;
    blocksPerMcu = 1;
    blocks[0] = JpegMcuBlock{
        scan.components[0], 0, 0, component.firstBlockInMcu, nullptr, nullptr, nullptr};
    return;
  }
  interleave(frame, geometry, scan, kMaxBlocksPerMcu);
}

void JpegScanLayout::setUpFrame(const JpegFrame& frame, const JpegMcuGeometry& geometry) {
  JpegScan all;
  all.count = frame.componentCount;
  for (int i = 0; i < frame.componentCount; ++i) all.components[i] = i;
  if (all.count == 1) {
    setUp(frame, geometry, all);
  } else {
    interleave(frame, geometry, all, kMaxBlocksPerFrameMcu);
  }
}

void JpegScanLayout::interleave(const JpegFrame& frame, const JpegMcuGeometry& geometry,
                                const JpegScan& scan, int32_t maxBlocks) {
  mcusPerRow = ceilDiv(ceilDiv(frame.width, 8), geometry.hMax);
  mcuRows = ceilDiv(ceilDiv(frame.height, 8), geometry.vMax);
  int32_t count = 0;
  for (int i = 0; i < scan.count; ++i)
    count += frame.components[scan.components[i]].h * frame.components[scan.components[i]].v;
  if (count > maxBlocks) failJpeg(JpegError::kBadScanHeader);
  blocksPerMcu = 0;
  for (int i = 0; i < scan.count; ++i) {
    const JpegComponent& component = frame.components[scan.components[i]];
    for (int v = 0; v < component.v; ++v)
      for (int h = 0; h < component.h; ++h)
        blocks[blocksPerMcu++] = JpegMcuBlock{scan.components[i],
                                              h,
                                              v,
                                              component.firstBlockInMcu + v * component.h + h,
                                              nullptr,
                                              nullptr,
                                              nullptr};
  }
}

void JpegScanLayout::attachTables(const JpegFrame& frame, const JpegScan& scan, JpegTables& tables,
                                  JpegBlockPool& pool) {
  for (int i = 0; i < scan.count; ++i) {
    const JpegComponent& component = frame.components[scan.components[i]];
    if (component.dcSlot > 3 || component.acSlot > 7) failJpeg(JpegError::kMissingHuffmanTable);
    if (scan.ss == 0 && tables.codes[component.dcSlot] == nullptr)
      failJpeg(JpegError::kMissingHuffmanTable);
    if (scan.se > 0 && tables.codes[component.acSlot] == nullptr)
      failJpeg(JpegError::kMissingHuffmanTable);
  }
  for (int slot = 0; slot < 8; ++slot) {
    if (tables.codes[slot] == nullptr || !tables.changed[slot]) continue;
    if (tables.huffman[slot] == nullptr) tables.huffman[slot] = pool.take<JpegHuffmanTable>();
    tables.huffman[slot]->build(*tables.codes[slot]);
    tables.changed[slot] = false;
  }
  for (int i = 0; i < blocksPerMcu; ++i) {
    const JpegComponent& component = frame.components[blocks[i].component];
    blocks[i].dcTable = tables.huffman[component.dcSlot];
    blocks[i].acTable = tables.huffman[component.acSlot];
  }
}

void JpegScanLayout::attachQuantisation(const JpegFrame& frame, const JpegScan& scan,
                                        const JpegTables& tables) {
  for (int i = 0; i < scan.count; ++i) {
    const JpegComponent& component = frame.components[scan.components[i]];
    if (component.tq > 3 || tables.quantisation[component.tq] == nullptr)
      failJpeg(JpegError::kMissingQuantisationTable);
  }
  for (int i = 0; i < blocksPerMcu; ++i)
    blocks[i].quantisation = tables.quantisation[frame.components[blocks[i].component].tq];
}

}  // namespace vz
