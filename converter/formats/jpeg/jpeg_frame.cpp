#include "converter/formats/jpeg/jpeg_frame.h"

#include <algorithm>

namespace vz {

namespace {

int ceilDiv(int a, int b) {
  return (a + b - 1) / b;
}

}  // namespace

void JpegMcuGeometry::setUp(JpegFrame& frame) {
  JpegComponent* components = frame.components;
  if (frame.componentCount == 1) {
    // Any factors will do for one component, but 0 would divide by zero.
    if (components[0].h == 0 || components[0].v == 0) failJpeg(JpegError::kUnsupportedSampling);
    layout = JpegLayout::kGrey;
    blocksPerMcu = 1;
    mcuWidth = mcuHeight = 8;
  } else if (frame.componentCount == 3) {
    for (int i = 1; i < 3; ++i)
      if (components[i].h != 1 || components[i].v != 1) failJpeg(JpegError::kUnsupportedSampling);
    const int32_t h = components[0].h;
    const int32_t v = components[0].v;
    if (h == 1 && v == 1) {
      layout = JpegLayout::kYCbCr444;
    } else if (h == 2 && v == 1) {
      layout = JpegLayout::kYCbCr422;
    } else if (h == 1 && v == 2) {
      layout = JpegLayout::kYCbCr440;
    } else if (h == 2 && v == 2) {
      layout = JpegLayout::kYCbCr420;
    } else {
      failJpeg(JpegError::kUnsupportedSampling);
    }
    mcuWidth = 8 * h;
    mcuHeight = 8 * v;
    blocksPerMcu = h * v + 2;
    components[1].firstBlockInMcu = h * v;
    components[2].firstBlockInMcu = h * v + 1;
  } else {
    failJpeg(JpegError::kUnsupportedComponentCount);
  }
  mcusPerRow = ceilDiv(frame.width, mcuWidth);
  mcuRows = ceilDiv(frame.height, mcuHeight);

  int32_t hMax = 1;
  int32_t vMax = 1;
  for (int i = 0; i < frame.componentCount; ++i) {
    hMax = std::max(hMax, components[i].h);
    vMax = std::max(vMax, components[i].v);
  }
  for (int i = 0; i < frame.componentCount; ++i) {
    JpegComponent& component = components[i];
    component.blocksWide = ceilDiv(ceilDiv(frame.width * component.h, hMax), 8);
    component.blocksHigh = ceilDiv(ceilDiv(frame.height * component.v, vMax), 8);
  }
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
  int32_t hMax = 1;
  int32_t vMax = 1;
  for (int i = 0; i < frame.componentCount; ++i) {
    hMax = std::max(hMax, frame.components[i].h);
    vMax = std::max(vMax, frame.components[i].v);
  }
  mcusPerRow = ceilDiv(ceilDiv(frame.width, 8), hMax);
  mcuRows = ceilDiv(ceilDiv(frame.height, 8), vMax);
  int32_t count = 0;
  for (int i = 0; i < scan.count; ++i)
    count += frame.components[scan.components[i]].h * frame.components[scan.components[i]].v;
  // A component named twice, or factors the layout has no room for.
  if (count > geometry.blocksPerMcu || count > kMaxBlocksPerMcu)
    failJpeg(JpegError::kBadScanHeader);
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
