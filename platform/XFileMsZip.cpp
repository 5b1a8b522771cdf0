// MSZIP compression of .x file bodies.
//
// After the 16-byte header a compressed file holds a DWORD with the size of
// the uncompressed file (header included), then blocks: WORD uncompressed
// size (at most 32 KiB), WORD compressed size counting the "CK" signature,
// "CK", raw deflate data. Writers may let a block refer back into the
// previous block's output, so the reader presets that output as the
// dictionary of each block. Our writer compresses each block on its own,
// which every reader accepts.
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "platform/DxErrors.h"
#include "platform/Parallel.h"
#include "platform/XFileModel.h"

namespace xfile {

namespace {

void PutWord(std::string& out, uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}
}  // namespace

HRESULT MsZipCompressBlocks(const uint8_t* body, size_t size, std::string& out) {
  if (size > kMaxDecompressed) return DXFILEERR_BADVALUE;
  z_stream zs{};
  if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    return E_OUTOFMEMORY;
  std::vector<uint8_t> buf(deflateBound(&zs, kMsZipBlock));
  HRESULT hr = S_OK;
  for (size_t at = 0; at < size; at += kMsZipBlock) {
    const size_t n = std::min(kMsZipBlock, size - at);
    deflateReset(&zs);
    zs.next_in = const_cast<Bytef*>(body + at);
    zs.avail_in = static_cast<uInt>(n);
    zs.next_out = buf.data();
    zs.avail_out = static_cast<uInt>(buf.size());
    if (deflate(&zs, Z_FINISH) != Z_STREAM_END) {
      hr = E_FAIL;
      break;
    }
    const size_t packed = buf.size() - zs.avail_out;
    if (packed + 2 > 0xFFFF) {
      hr = E_FAIL;
      break;
    }
    PutWord(out, static_cast<uint16_t>(n));
    PutWord(out, static_cast<uint16_t>(packed + 2));
    out.append("CK", 2);
    out.append(reinterpret_cast<const char*>(buf.data()), packed);
  }
  deflateEnd(&zs);
  return hr;
}

HRESULT MsZipCompress(const uint8_t* body, size_t size, std::string& out) {
  if (size > kMaxDecompressed) return DXFILEERR_BADVALUE;
  const uint32_t total = static_cast<uint32_t>(size + 16);
  out.append(reinterpret_cast<const char*>(&total), 4);
  return MsZipCompressBlocks(body, size, out);
}

namespace {

struct Block {
  size_t in;    // offset of the deflate data in the input
  size_t size;  // deflate bytes
  size_t out;   // offset of the block's output in the body
  size_t raw;   // output bytes
};

// Inflates one block into its place; with a dictionary, the 32 KiB of output
// before it. False when the data is bad, or (without the dictionary) refers
// back beyond the block's start.
bool InflateBlock(z_stream& zs, const uint8_t* data, const Block& b, uint8_t* body, bool dictionary) {
  if (inflateReset(&zs) != Z_OK) return false;
  if (dictionary && b.out > 0) {
    const size_t dict = std::min(b.out, kMsZipBlock);
    if (inflateSetDictionary(&zs, body + b.out - dict, static_cast<uInt>(dict)) != Z_OK) return false;
  }
  zs.next_in = const_cast<Bytef*>(data + b.in);
  zs.avail_in = static_cast<uInt>(b.size);
  zs.next_out = body + b.out;
  zs.avail_out = static_cast<uInt>(b.raw);
  return inflate(&zs, Z_FINISH) == Z_STREAM_END && zs.avail_out == 0;
}

// Blocks are inflated a run at a time on every core, each on its own first;
// this run size keeps the threads worth starting.
constexpr long kBlocksPerSlice = 64;

}  // namespace

HRESULT MsZipDecompress(const uint8_t* data, size_t size, std::vector<uint8_t>* body) {
  body->clear();
  if (size < 4) return DXFILEERR_BADFILE;
  uint32_t total;
  std::memcpy(&total, data, 4);
  if (total < 16 || total > kMaxDecompressed) return DXFILEERR_BADFILE;
  const size_t expected = total - 16;
  // Memory goes by what the file holds, not by what it claims.
  if (expected > std::max(kInflateAlways, kMaxInflateRatio * size)) return DXFILEERR_BADFILE;
  // The block table first: every block's place in the input and the output.
  std::vector<Block> blocks;
  size_t at = 4;
  size_t produced = 0;
  while (at < size) {
    if (size - at < 6) return DXFILEERR_BADFILE;
    uint16_t raw, packed;
    std::memcpy(&raw, data + at, 2);
    std::memcpy(&packed, data + at + 2, 2);
    // Deflate expands at most about 1032:1, so no block (and no size field)
    // can make the body much larger than that times the input. No writer
    // emits an empty block.
    if (raw == 0 || raw > kMsZipBlock || packed < 2 || data[at + 4] != 'C' || data[at + 5] != 'K' ||
        size - at - 4 < packed || raw > (packed - 2u) * 1032u + 258u || produced + raw > expected)
      return DXFILEERR_BADFILE;
    // Nor may the table of tiny blocks outgrow the body it describes.
    if (blocks.size() * sizeof(Block) > expected + 4096) return DXFILEERR_BADFILE;
    blocks.push_back({at + 6, packed - 2u, produced, raw});
    produced += raw;
    at += 4 + packed;
  }
  if (produced != expected) return DXFILEERR_BADFILE;
  body->resize(expected);
  // Writers may let a block refer back into the previous block's output, but
  // most compress each block on its own. So every block is first inflated
  // alone, on all cores; those that turn out to need what came before are
  // done again in order with the previous output as their dictionary.
  std::vector<char> alone(blocks.size(), 0);
  bool failed = false;
  ParallelFor(static_cast<long>(blocks.size()), kBlocksPerSlice, [&](long from, long to) {
    z_stream zs{};
    if (inflateInit2(&zs, -15) != Z_OK) return;
    for (long k = from; k < to; ++k)
      alone[static_cast<size_t>(k)] = InflateBlock(zs, data, blocks[static_cast<size_t>(k)], body->data(), false);
    inflateEnd(&zs);
  });
  z_stream zs{};
  if (inflateInit2(&zs, -15) != Z_OK) {
    body->clear();
    return E_OUTOFMEMORY;
  }
  for (size_t k = 0; k < blocks.size() && !failed; ++k)
    if (!alone[k] && !InflateBlock(zs, data, blocks[k], body->data(), true)) failed = true;
  inflateEnd(&zs);
  if (failed) {
    body->clear();
    return DXFILEERR_BADFILE;
  }
  return S_OK;
}

}  // namespace xfile
