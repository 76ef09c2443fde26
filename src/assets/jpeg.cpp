#include "assets/jpeg.h"

// jpeglib.h needs FILE declared first.
#include <cstdio>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <csetjmp>
#include <new>

namespace assets {
namespace {

// Everything one decode needs, trivially destructible: libjpeg leaves by longjmp.
struct Decoder {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr errors;
  jpeg_source_mgr source;
  std::jmp_buf jump;
  unsigned long work;  // block decodes of the scans begun so far, restarts included
  char message[JMSG_LENGTH_MAX];
};

Decoder& decoderOf(j_common_ptr cinfo) { return *static_cast<Decoder*>(cinfo->client_data); }

[[noreturn]] void refuse(j_common_ptr cinfo, const char* why) {
  Decoder& decoder = decoderOf(cinfo);
  std::snprintf(decoder.message, sizeof decoder.message, "%s", why);
  std::longjmp(decoder.jump, 1);
}

[[noreturn]] void refuse(jpeg_decompress_struct& cinfo, const char* why) {
  refuse(reinterpret_cast<j_common_ptr>(&cinfo), why);
}

[[noreturn]] void libraryError(j_common_ptr cinfo) {
  // Past max_memory_to_use libjpeg would spill to a backing store, which it does not have.
  if (cinfo->err->msg_code == JERR_NO_BACKING_STORE)
    refuse(cinfo, "it needs more memory than a texture may take");
  Decoder& decoder = decoderOf(cinfo);
  (*cinfo->err->format_message)(cinfo, decoder.message);
  std::longjmp(decoder.jump, 1);
}

void ignoreMessage(j_common_ptr, int) {}  // warnings: decoding goes on, as the engine's does
void nothing(j_decompress_ptr) {}

// The whole file is in the buffer from the start: libjpeg asking for more, or skipping past
// the end, means the file is cut or lies about a length.
boolean noMoreBytes(j_decompress_ptr cinfo) {
  refuse(reinterpret_cast<j_common_ptr>(cinfo), "the data ends before the image does");
}

void skip(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr& source = *cinfo->src;
  if (static_cast<unsigned long>(count) > source.bytes_in_buffer)
    refuse(reinterpret_cast<j_common_ptr>(cinfo), "a marker runs past the end of the data");
  source.next_input_byte += count;
  source.bytes_in_buffer -= static_cast<std::size_t>(count);
}

unsigned long divideUp(unsigned long a, unsigned long b) { return (a + b - 1) / b; }

// The block decodes of the scan whose header libjpeg has just read: each of its blocks once,
// and the blocks of each MCU after a restart kJpegRestartCharge times more.
unsigned long scanWork(const jpeg_decompress_struct& cinfo) {
  unsigned long mcus = 0, perMcu = 1;  // MCUs in the scan, blocks in each
  if (cinfo.comps_in_scan == 1) {      // one block an MCU, over the component's own size
    const jpeg_component_info& component = *cinfo.cur_comp_info[0];
    mcus = static_cast<unsigned long>(component.width_in_blocks) * component.height_in_blocks;
  } else {  // MCUs over the whole image, each holding every component's blocks
    const unsigned long across = divideUp(cinfo.image_width, 8ul * cinfo.max_h_samp_factor);
    const unsigned long down = divideUp(cinfo.image_height, 8ul * cinfo.max_v_samp_factor);
    mcus = across * down;
    perMcu = 0;
    for (int i = 0; i < cinfo.comps_in_scan; ++i)
      perMcu += static_cast<unsigned long>(cinfo.cur_comp_info[i]->h_samp_factor) *
                cinfo.cur_comp_info[i]->v_samp_factor;
  }
  const unsigned long restarts = cinfo.restart_interval == 0 ? 0 : mcus / cinfo.restart_interval;
  return (mcus + restarts * kJpegRestartCharge) * perMcu;
}

// Counts the scan just begun; refuses it, before any of its data is decoded, past a bound.
void beginScan(Decoder& decoder) {
  jpeg_decompress_struct& cinfo = decoder.cinfo;
  if (cinfo.input_scan_number > static_cast<int>(kMaxJpegScans))
    refuse(cinfo, "more scans than a texture may have");
  decoder.work += scanWork(cinfo);
  if (decoder.work > kMaxJpegScanBlocks) refuse(cinfo, "its scans take more work than allowed");
}

// What a texture may be, from the header alone.
void checkHeader(jpeg_decompress_struct& cinfo) {
  if (cinfo.image_width > kMaxJpegSide || cinfo.image_height > kMaxJpegSide ||
      static_cast<unsigned long>(cinfo.image_width) * cinfo.image_height > kMaxJpegPixels)
    refuse(cinfo, "larger than the largest texture");
  // Arithmetic decoding is the slowest path libjpeg has: it resets its statistics at every
  // restart, and it has no fast path at all. Nothing we make or ship uses it.
  if (cinfo.arith_code) refuse(cinfo, "arithmetic coding; only Huffman coding is supported");
  const bool grey = cinfo.num_components == 1 && cinfo.jpeg_color_space == JCS_GRAYSCALE;
  const bool colour = cinfo.num_components == 3 &&
                      (cinfo.jpeg_color_space == JCS_YCbCr || cinfo.jpeg_color_space == JCS_RGB);
  if (!grey && !colour) refuse(cinfo, "not grey, RGB or YCbCr; CMYK is not supported");
}

// Decodes into `out` or leaves by longjmp: no object here needs a destructor.
bool decode(Decoder& decoder, const unsigned char* bytes, std::size_t size, Image& out) {
  jpeg_decompress_struct& cinfo = decoder.cinfo;
  cinfo.err = jpeg_std_error(&decoder.errors);
  decoder.errors.error_exit = libraryError;
  decoder.errors.emit_message = ignoreMessage;
  cinfo.client_data = &decoder;
  decoder.work = 0;
  if (setjmp(decoder.jump) != 0) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.client_data = &decoder;
  cinfo.mem->max_memory_to_use = kMaxJpegLibraryBytes;
  decoder.source.next_input_byte = bytes;
  decoder.source.bytes_in_buffer = size;
  decoder.source.init_source = nothing;
  decoder.source.fill_input_buffer = noMoreBytes;
  decoder.source.skip_input_data = skip;
  decoder.source.resync_to_restart = jpeg_resync_to_restart;
  decoder.source.term_source = nothing;
  cinfo.src = &decoder.source;

  jpeg_read_header(&cinfo, TRUE);  // up to the first scan's header
  checkHeader(cinfo);
  // The engine's loader's settings: the same path through libjpeg gives the same pixels.
  cinfo.out_color_space = JCS_RGB;
  cinfo.do_fancy_upsampling = FALSE;
  cinfo.output_gamma = 2.2;
  // Buffered: every scan's header comes back to us before its data is decoded.
  cinfo.buffered_image = TRUE;
  beginScan(decoder);
  jpeg_start_decompress(&cinfo);
  for (;;) {
    const int status = jpeg_consume_input(&cinfo);
    if (status == JPEG_REACHED_EOI) break;
    if (status == JPEG_SUSPENDED) refuse(cinfo, "the data ends before the image does");
    if (status == JPEG_REACHED_SOS) beginScan(decoder);
  }

  // One output pass, from every coefficient the scans gave.
  jpeg_start_output(&cinfo, cinfo.input_scan_number);
  const std::size_t rowBytes = static_cast<std::size_t>(cinfo.output_width) * 3;
  if (cinfo.output_components != 3) refuse(cinfo, "not decoded to RGB");
  bool allocated = true;
  try {
    out.pixels.resize(rowBytes * cinfo.output_height);
  } catch (const std::bad_alloc&) {
    allocated = false;
  }
  if (!allocated) refuse(cinfo, "no memory for the pixels");
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out.pixels.data() + rowBytes * cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_output(&cinfo);
  out.format = irr::video::ECF_R8G8B8;
  out.width = cinfo.output_width;
  out.height = cinfo.output_height;
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

}  // namespace

bool decodeJpeg(const unsigned char* bytes, std::size_t size, Image& out, std::string& why) {
  out = Image();
  if (size > kMaxJpegBytes) {
    why = "JPEG: larger than " + std::to_string(kMaxJpegBytes) + " bytes";
    return false;
  }
  Decoder decoder;
  if (decode(decoder, bytes, size, out)) return true;
  out = Image();
  why = std::string("JPEG: ") + decoder.message;
  return false;
}

}  // namespace assets
