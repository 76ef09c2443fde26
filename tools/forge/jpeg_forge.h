// JPEG files for the decoder's tests, benchmarks and worst cases: ordinary ones from
// libjpeg's encoder, cut or spliced ones made from those, and hostile ones written byte by
// byte.
#pragma once

// jpeglib.h needs FILE declared first.
#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace forge {

using Bytes = std::vector<unsigned char>;

struct Encoding {
  unsigned width = 64;           // px
  unsigned height = 64;          // px
  int components = 3;            // 1 grey, 3 YCbCr, 4 CMYK
  bool subsampled = false;       // chroma at half width and height rather than full
  bool rgb = false;              // colour stored as RGB rather than YCbCr
  bool progressive = false;      // libjpeg's own progressive script
  bool arithmetic = false;       // arithmetic rather than Huffman coding
  int quality = 90;              // libjpeg's 1..100
  unsigned restartInterval = 0;  // MCUs between restart markers; 0: none
  std::uint32_t seed = 0;        // 0: smooth gradients; else noise from this seed
};

// The samples of an encoding's picture: smooth gradients or noise.
inline std::vector<JSAMPLE> picture(const Encoding& e) {
  std::vector<JSAMPLE> samples(static_cast<std::size_t>(e.width) * e.height * e.components);
  std::uint32_t state = e.seed;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    if (e.seed != 0) {
      state = state * 1664525u + 1013904223u;
      samples[i] = static_cast<JSAMPLE>(state >> 24);
    } else {
      const std::size_t pixel = i / e.components, x = pixel % e.width, y = pixel / e.width;
      const std::size_t c = i % e.components;
      samples[i] = static_cast<JSAMPLE>(((x * (c + 1) + y * (3 - c % 3)) / 4) & 0xFF);
    }
  }
  return samples;
}

// Encodes with libjpeg; settings it refuses are a mistake in the caller, which stops here.
inline Bytes encode(const Encoding& e) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  errors.error_exit = [](j_common_ptr c) {
    char text[JMSG_LENGTH_MAX];
    (*c->err->format_message)(c, text);
    std::fprintf(stderr, "forge::encode: %s\n", text);
    std::abort();
  };
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = e.width;
  cinfo.image_height = e.height;
  cinfo.input_components = e.components;
  cinfo.in_color_space = e.components == 1 ? JCS_GRAYSCALE : e.components == 4 ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, e.quality, TRUE);
  if (e.rgb) jpeg_set_colorspace(&cinfo, JCS_RGB);
  if (e.components == 3) {
    cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = e.subsampled ? 2 : 1;
  }
  if (e.progressive) jpeg_simple_progression(&cinfo);
  cinfo.arith_code = e.arithmetic ? TRUE : FALSE;
  cinfo.restart_interval = e.restartInterval;
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> samples = picture(e);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = samples.data() + static_cast<std::size_t>(cinfo.next_scanline) * e.width *
                                        static_cast<std::size_t>(e.components);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  Bytes bytes(buffer, buffer + size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return bytes;
}

// --- Splicing: a file as its marker segments, each scan with its entropy-coded data.

struct Segment {
  std::size_t begin, end;  // bytes: [begin, end) of the file, marker included
  unsigned char marker;    // the second byte of the marker: 0xDA for a scan
};

// Every segment from SOI to EOI; a scan runs to the next marker that is not a restart.
inline std::vector<Segment> segments(const Bytes& b) {
  std::vector<Segment> list;
  std::size_t at = 0;
  while (at + 1 < b.size()) {
    if (b[at] != 0xFF) throw std::runtime_error("not at a marker");
    const unsigned char marker = b[at + 1];
    std::size_t end = at + 2;
    if (marker != 0xD8 && marker != 0xD9)
      end += static_cast<std::size_t>(b[at + 2] << 8 | b[at + 3]);
    if (marker == 0xDA) {
      while (end + 1 < b.size() &&
             !(b[end] == 0xFF && b[end + 1] != 0 && (b[end + 1] < 0xD0 || b[end + 1] > 0xD7)))
        ++end;
    }
    list.push_back({at, end, marker});
    if (marker == 0xD9) break;
    at = end;
  }
  return list;
}

inline void append(Bytes& to, const Bytes& from, std::size_t begin, std::size_t end) {
  to.insert(to.end(), from.begin() + static_cast<long>(begin),
            from.begin() + static_cast<long>(end));
}

// The file with its last scan repeated until it has `scans` scans in all.
inline Bytes withLastScanRepeated(const Bytes& file, int scans) {
  const std::vector<Segment> list = segments(file);
  int have = 0;
  std::size_t last = 0;
  for (std::size_t i = 0; i < list.size(); ++i)
    if (list[i].marker == 0xDA) ++have, last = i;
  Bytes out;
  append(out, file, 0, list[last].end);
  for (int i = have; i < scans; ++i) append(out, file, list[last].begin, list[last].end);
  append(out, file, list[last].end, file.size());
  return out;
}

// The file with only its first `scans` scans, then its end.
inline Bytes withFirstScans(const Bytes& file, int scans) {
  Bytes out;
  int kept = 0;
  for (const Segment& s : segments(file)) {
    if (s.marker == 0xD9 || (s.marker == 0xDA && kept == scans)) break;
    kept += s.marker == 0xDA;
    append(out, file, s.begin, s.end);
  }
  out.insert(out.end(), {0xFF, 0xD9});
  return out;
}

// The file with comment segments after its start, `bytes` of them in all.
inline Bytes withComments(const Bytes& file, std::size_t bytes) {
  Bytes out(file.begin(), file.begin() + 2);
  while (bytes >= 4) {
    const std::size_t length = std::min<std::size_t>(bytes - 2, 0xFFFF);
    out.insert(out.end(), {0xFF, 0xFE, static_cast<unsigned char>(length >> 8),
                           static_cast<unsigned char>(length & 0xFF)});
    out.insert(out.end(), length - 2, 'x');
    bytes -= length + 2;
  }
  append(out, file, 2, file.size());
  return out;
}

// --- Hostile files written byte by byte: scans of no data at all, a restart marker after
// every MCU. libjpeg decodes each MCU in full from the zero bits it puts in place of missing
// data, and the Huffman tables make zero bits the costliest code: a coefficient of 1 at every
// position of every block.

struct Flood {
  unsigned width = 64, height = 64;  // px
  bool progressive = false;          // progressive: a DC scan, then AC scans; else full scans
  bool dcScan = true;                // progressive: the DC scan first (else AC scans only)
  bool interleaved = true;           // each scan holds all three components (else one each)
  int scans = 1;                     // scans in all, DC scan included
  enum Content {
    kRestarts,  // a restart interval of one MCU, a restart marker after each MCU, no data
    kData,      // every block's zero bits present, no restarts
    kNothing,   // the restart interval of one MCU, but no markers and no data
  } content = kRestarts;
  bool arithmetic = false;   // arithmetic coding declared (the scans are the same bytes)
  bool fullBlocks = true;    // zero bits code a coefficient, else the end of a block
  bool refinements = false;  // progressive AC scans after the first three refine
  bool longCodes = false;    // 16-bit codes and 15-bit magnitudes rather than 1 and 1
};

inline void put16(Bytes& b, unsigned v) {
  b.push_back(static_cast<unsigned char>(v >> 8));
  b.push_back(static_cast<unsigned char>(v & 0xFF));
}

inline void segment(Bytes& b, unsigned char marker, const Bytes& body) {
  b.push_back(0xFF);
  b.push_back(marker);
  put16(b, static_cast<unsigned>(body.size() + 2));
  b.insert(b.end(), body.begin(), body.end());
}

inline Bytes flood(const Flood& f) {
  Bytes b{0xFF, 0xD8};
  Bytes dqt{0x00};  // table 0, 8-bit, every step 1
  dqt.resize(65, 1);
  segment(b, 0xDB, dqt);
  Bytes sof{8};  // 8-bit samples, 4:4:4 YCbCr
  put16(sof, f.height);
  put16(sof, f.width);
  sof.push_back(3);
  for (unsigned char id = 1; id <= 3; ++id) sof.insert(sof.end(), {id, 0x11, 0});
  segment(b, static_cast<unsigned char>((f.progressive ? 0xC2 : 0xC1) + (f.arithmetic ? 8 : 0)),
          sof);
  // DC: one code, '0', for a difference of 0. AC: '0' for one coefficient of magnitude 1,
  // '10' for the end of the block (or the other way round, for blocks of nothing). With long
  // codes every code is 16 zero bits, libjpeg's slowest lookup, each coefficient followed by
  // 15 bits of magnitude.
  const unsigned char codeLength = f.longCodes ? 16 : 1;
  Bytes dht{0x00};
  dht.resize(17, 0);
  dht[codeLength] = 1;
  dht.push_back(f.longCodes ? 0x0B : 0x00);
  Bytes ac{0x10};
  ac.resize(17, 0);
  ac[codeLength] += 1;
  ac[f.longCodes ? 16 : 2] += 1;
  const unsigned char coefficient = f.longCodes ? 0x0F : 0x01;
  if (f.fullBlocks)
    ac.insert(ac.end(), {coefficient, 0x00});
  else
    ac.insert(ac.end(), {0x00, coefficient});
  dht.insert(dht.end(), ac.begin(), ac.end());
  segment(b, 0xC4, dht);
  if (f.content != Flood::kData) segment(b, 0xDD, {0, 1});
  const unsigned blocksAcross = (f.width + 7) / 8, blocksDown = (f.height + 7) / 8;
  const unsigned long mcus = static_cast<unsigned long>(blocksAcross) * blocksDown;
  for (int scan = 0; scan < f.scans; ++scan) {
    const bool dc = f.progressive && f.dcScan && scan == 0;
    const bool all = dc || (f.interleaved && !f.progressive);
    Bytes sos{static_cast<unsigned char>(all ? 3 : 1)};
    for (int c = 0; c < (all ? 3 : 1); ++c) {
      sos.push_back(static_cast<unsigned char>(all ? c + 1 : scan % 3 + 1));
      sos.push_back(0x00);
    }
    if (f.progressive)
      // After each component's first AC scan, refinements of its lowest bit.
      sos.insert(sos.end(),
                 {static_cast<unsigned char>(dc ? 0 : 1), static_cast<unsigned char>(dc ? 0 : 63),
                  static_cast<unsigned char>(f.refinements && scan > 3 ? 0x10 : 0)});
    else
      sos.insert(sos.end(), {0, 63, 0});
    segment(b, 0xDA, sos);
    if (f.content ==
        Flood::kData) {  // a first scan's DC and 63 coefficients of every block, as bits
      const bool acOnly = f.progressive && !dc, dcOnly = dc;
      const unsigned long dcBits = f.longCodes ? 16 + 11 : 1, acBits = f.longCodes ? 31 : 2;
      const unsigned long bits = (acOnly ? 0 : dcBits) + (dcOnly ? 0 : 63 * acBits);
      const unsigned long blocks = mcus * (all ? 3 : 1);
      b.insert(b.end(), (blocks * bits + 7) / 8, 0);
    } else if (f.content == Flood::kRestarts) {
      for (unsigned long m = 1; m < mcus; ++m) {
        b.push_back(0xFF);
        b.push_back(static_cast<unsigned char>(0xD0 + (m - 1) % 8));
      }
    }
  }
  b.insert(b.end(), {0xFF, 0xD9});
  return b;
}

// --- The costliest files within the decoder's bounds, and just past them, at the largest
// area: the decoder's benchmark and tools/jpegforge time them.

struct Case {
  std::string name;  // a file name
  Bytes bytes;
  bool accepted;  // within every bound
};

// The decoder's bounds (block decodes, the charge per restarted block, bytes) set how many
// scans fit.
inline std::vector<Case> worstCases(unsigned long budget, unsigned long restartCharge,
                                    std::size_t maxBytes) {
  std::vector<Case> cases;
  const unsigned long blocks = 128 * 128;  // one component at 1024 x 1024
  auto flood = [&](const std::string& name, Flood f, unsigned long perBlock) {
    const int fit = static_cast<int>(budget / (blocks * perBlock));
    f.width = f.height = 1024;
    f.interleaved = false;
    f.scans = fit;
    cases.push_back({name + ".jpg", forge::flood(f), true});
    f.scans = fit + 1;
    cases.push_back({name + "-over.jpg", forge::flood(f), false});
  };
  const unsigned long restarted = 1 + restartCharge;
  Flood f;
  f.longCodes = true;
  flood("restarts-long-codes", f, restarted);
  f.progressive = true;
  f.dcScan = false;
  flood("restarts-long-codes-progressive-ac", f, restarted);
  f = Flood();
  flood("restarts-short-codes", f, restarted);
  f.content = Flood::kData;
  flood("data-short-codes", f, 1);
  // Long codes with their bits present: as many AC scans as the byte limit allows.
  f.longCodes = f.progressive = true;
  f.dcScan = false;
  f.width = f.height = 1024;
  f.interleaved = false;
  f.scans = static_cast<int>(maxBytes / (blocks * 63 * 31 / 8));
  cases.push_back({"data-long-codes-progressive-ac.jpg", forge::flood(f), true});

  Encoding noise;
  noise.width = noise.height = 1024;
  noise.seed = 1;
  noise.quality = 100;
  cases.push_back({"noise-q100-baseline.jpg", encode(noise), true});
  noise.progressive = true;
  const Bytes progressive = encode(noise);
  cases.push_back({"noise-q100-progressive.jpg", progressive, true});
  // libjpeg's script at full chroma takes 2 DC scans of 3 blocks an MCU and 8 AC scans of
  // one component: its last scan repeated until the budget is spent.
  const int refinements = static_cast<int>((budget - 14 * blocks) / blocks);
  cases.push_back({"noise-q100-progressive-refined.jpg",
                   withLastScanRepeated(progressive, 10 + refinements), true});
  // Nothing but marker segments for libjpeg to parse, up to the byte limit.
  Bytes tables = encode(Encoding());
  Bytes dqt{0xFF, 0xD8};
  while (dqt.size() + 4 * 65 + 4 + tables.size() < maxBytes) {
    dqt.insert(dqt.end(), {0xFF, 0xDB, 0x01, 0x06});
    for (unsigned char t = 0; t < 4; ++t) {
      dqt.push_back(t);
      dqt.insert(dqt.end(), 64, 1);
    }
  }
  append(dqt, tables, 2, tables.size());
  cases.push_back({"quantisation-tables.jpg", dqt, true});
  return cases;
}

}  // namespace forge
