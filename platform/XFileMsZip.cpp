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
#include "platform/XFileModel.h"

namespace xfile {

namespace {
constexpr size_t kBlock = kMsZipBlock;

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
  std::vector<uint8_t> buf(deflateBound(&zs, kBlock));
  HRESULT hr = S_OK;
  for (size_t at = 0; at < size; at += kBlock) {
    const size_t n = std::min(kBlock, size - at);
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

HRESULT MsZipDecompress(const uint8_t* data, size_t size, std::vector<uint8_t>* body) {
  if (size < 4) return DXFILEERR_BADFILE;
  uint32_t total;
  std::memcpy(&total, data, 4);
  if (total < 16 || total > kMaxDecompressed) return DXFILEERR_BADFILE;
  const size_t expected = total - 16;
  body->clear();
  // Deflate expands at most about 1000:1; never trust the size field alone.
  body->reserve(std::min<size_t>(expected, size * 8 + kBlock));
  z_stream zs{};
  if (inflateInit2(&zs, -15) != Z_OK) return E_OUTOFMEMORY;
  HRESULT hr = S_OK;
  size_t at = 4;
  while (at < size) {
    if (size - at < 6) {
      hr = DXFILEERR_BADFILE;
      break;
    }
    uint16_t raw, packed;
    std::memcpy(&raw, data + at, 2);
    std::memcpy(&packed, data + at + 2, 2);
    if (raw > kBlock || packed < 2 || data[at + 4] != 'C' || data[at + 5] != 'K' ||
        size - at - 4 < packed || body->size() + raw > expected) {
      hr = DXFILEERR_BADFILE;
      break;
    }
    const size_t start = body->size();
    inflateReset(&zs);
    if (start > 0) {
      const size_t dict = std::min(start, kBlock);
      if (inflateSetDictionary(&zs, body->data() + start - dict, static_cast<uInt>(dict)) != Z_OK) {
        hr = DXFILEERR_BADFILE;
        break;
      }
    }
    body->resize(start + raw);
    zs.next_in = const_cast<Bytef*>(data + at + 6);
    zs.avail_in = packed - 2u;
    zs.next_out = body->data() + start;
    zs.avail_out = raw;
    const int rc = inflate(&zs, Z_FINISH);
    if (rc != Z_STREAM_END || zs.avail_out != 0) {
      hr = DXFILEERR_BADFILE;
      break;
    }
    at += 4 + packed;
  }
  inflateEnd(&zs);
  if (SUCCEEDED(hr) && body->size() != expected) hr = DXFILEERR_BADFILE;
  if (FAILED(hr)) body->clear();
  return hr;
}

}  // namespace xfile
