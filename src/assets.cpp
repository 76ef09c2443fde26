#include "assets.h"

// jpeglib.h needs FILE declared first.
#include <cstdio>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <filesystem>

#include "MediaDirs.h"

namespace {

// --- 3DS: a tree of chunks, each a 16-bit id and a 32-bit length, header included. Only the
// chunks that carry geometry and plain materials are accepted, each with its exact layout:
// the engine's reader trusts every count and every string in them, and it follows texture
// file names to files nobody checked, so anything else is refused rather than skipped.

constexpr std::size_t kChunkHeader = 6;        // bytes
constexpr int kMaxChunkDepth = 8;              // deeper than the accepted layout nests
constexpr std::size_t kMaxMeshFaces = 262144;  // per file: the engine makes 3 vertices of each
constexpr std::size_t kMaxMeshVertices = 3 * kMaxMeshFaces;  // per file
constexpr std::size_t kMaxMeshObjects = 4096;                // per file
constexpr std::size_t kMaxMeshMaterials = 1024;  // per file; groups look theirs up by name
constexpr std::size_t kMaxMeshGroups = 4096;     // per file, material groups of faces

constexpr unsigned kMain = 0x4D4D;
constexpr unsigned kVersion = 0x0002;
constexpr unsigned kScene = 0x3D3D;
constexpr unsigned kMeshVersion = 0x3D3E;
constexpr unsigned kMasterScale = 0x0100;
constexpr unsigned kMaterial = 0xAFFF;
constexpr unsigned kMaterialName = 0xA000;
constexpr unsigned kAmbient = 0xA010;
constexpr unsigned kDiffuse = 0xA020;
constexpr unsigned kSpecular = 0xA030;
constexpr unsigned kShininess = 0xA040;
constexpr unsigned kShininessStrength = 0xA041;
constexpr unsigned kTransparency = 0xA050;
constexpr unsigned kTransparencyFalloff = 0xA052;
constexpr unsigned kReflectionBlur = 0xA053;
constexpr unsigned kWireSize = 0xA087;
constexpr unsigned kShading = 0xA100;
constexpr unsigned kColourFloat = 0x0010;
constexpr unsigned kColourBytes = 0x0011;
constexpr unsigned kColourBytesGamma = 0x0012;
constexpr unsigned kColourFloatGamma = 0x0013;
constexpr unsigned kPercentInt = 0x0030;
constexpr unsigned kPercentFloat = 0x0031;
constexpr unsigned kObject = 0x4000;
constexpr unsigned kTriangles = 0x4100;
constexpr unsigned kVertices = 0x4110;
constexpr unsigned kFaces = 0x4120;
constexpr unsigned kFaceMaterial = 0x4130;
constexpr unsigned kTexCoords = 0x4140;
constexpr unsigned kSmoothing = 0x4150;
constexpr unsigned kLocalAxes = 0x4160;

constexpr std::size_t kVertexBytes = 12;     // 3 floats
constexpr std::size_t kTexCoordBytes = 8;    // 2 floats
constexpr std::size_t kFaceBytes = 8;        // 3 vertex indices and flags, 16 bits each
constexpr std::size_t kLocalAxesBytes = 48;  // 4 x 3 floats

unsigned u16At(const unsigned char* p) { return static_cast<unsigned>(p[0] | p[1] << 8); }

std::uint32_t u32At(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// What one mesh chunk (0x4100) declared, checked against each other when it ends.
struct TriangleMesh {
  bool vertices = false, texCoords = false, faces = false, axes = false;
  std::size_t vertexCount = 0, texCoordCount = 0, faceCount = 0;
  unsigned highestIndex = 0;
};

struct MeshCheck {
  explicit MeshCheck(const unsigned char* file) : bytes(file) {}

  const unsigned char* bytes;
  std::size_t materials = 0, groups = 0, objects = 0, allFaces = 0, allVertices = 0;  // in all
  std::string refusal;

  bool fail(const std::string& why, std::size_t at) {
    refusal = "3DS: " + why + " at byte " + std::to_string(at);
    return false;
  }

  // Whether a chunk `child` may sit inside a chunk `parent`.
  static bool allowed(unsigned parent, unsigned child) {
    switch (parent) {
      case kMain: return child == kVersion || child == kScene;
      case kScene:
        return child == kMeshVersion || child == kMasterScale || child == kMaterial ||
               child == kObject;
      case kMaterial:
        return child == kMaterialName || child == kAmbient || child == kDiffuse ||
               child == kSpecular || child == kShininess || child == kShininessStrength ||
               child == kTransparency || child == kTransparencyFalloff ||
               child == kReflectionBlur || child == kWireSize || child == kShading;
      case kAmbient:
      case kDiffuse:
      case kSpecular:
        return child == kColourFloat || child == kColourBytes || child == kColourBytesGamma ||
               child == kColourFloatGamma;
      case kShininess:
      case kShininessStrength:
      case kTransparency:
      case kTransparencyFalloff:
      case kReflectionBlur: return child == kPercentInt || child == kPercentFloat;
      case kObject: return child == kTriangles;
      case kTriangles:
        return child == kVertices || child == kTexCoords || child == kFaces || child == kLocalAxes;
      case kFaces: return child == kFaceMaterial || child == kSmoothing;
    }
    return false;
  }

  // The bytes of a fixed-size leaf chunk; 0 for chunks that are not such leaves.
  static std::size_t fixedBody(unsigned id) {
    switch (id) {
      case kVersion:
      case kMeshVersion:
      case kMasterScale:
      case kWireSize:
      case kPercentFloat: return 4;
      case kShading:
      case kPercentInt: return 2;
      case kColourFloat:
      case kColourFloatGamma: return 12;
      case kColourBytes:
      case kColourBytesGamma: return 3;
      case kLocalAxes: return kLocalAxesBytes;
    }
    return 0;
  }

  // The length of the NUL-terminated string at [at, end), terminator included; 0 if none.
  std::size_t stringAt(std::size_t at, std::size_t end) const {
    const void* nul = std::memchr(bytes + at, 0, end - at);
    return nul == nullptr ? 0 : static_cast<const unsigned char*>(nul) - (bytes + at) + 1;
  }

  // A 16-bit count at `at` followed by exactly count records of `size` bytes before `end`
  // (or, with `more`, at least those). The count, or -1 when they do not fit.
  long countedRecords(std::size_t at, std::size_t end, std::size_t size, bool more) const {
    if (end - at < 2) return -1;
    const std::size_t count = u16At(bytes + at);
    const std::size_t need = 2 + count * size;
    if (need > end - at || (!more && need != end - at)) return -1;
    return static_cast<long>(count);
  }

  // The chunks in [begin, end), children of `parent`: each one allowed there, laid end to
  // end, and each body in its exact layout.
  bool children(unsigned parent, std::size_t begin, std::size_t end, int depth,
                TriangleMesh* mesh) {
    if (depth > kMaxChunkDepth) return fail("chunks nested too deep", begin);
    bool seenName = false, seenTriangles = false, seenSmoothing = false;
    while (begin < end) {
      if (end - begin < kChunkHeader) return fail("a cut chunk header", begin);
      const unsigned id = u16At(bytes + begin);
      const std::size_t length = u32At(bytes + begin + 2);
      if (length < kChunkHeader || length > end - begin)
        return fail("a chunk shorter than its header or longer than its parent", begin);
      if (!allowed(parent, id)) return fail("an unsupported chunk " + hex(id), begin);
      const std::size_t body = begin + kChunkHeader, stop = begin + length;
      if (const std::size_t size = fixedBody(id); size != 0) {
        if (stop - body != size) return fail("a chunk of the wrong size", begin);
      } else if (!chunk(id, body, stop, depth, mesh, seenName, seenTriangles, seenSmoothing)) {
        return false;
      }
      begin = stop;
    }
    return true;
  }

  static std::string hex(unsigned id) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", id);
    return text;
  }

  bool chunk(unsigned id, std::size_t body, std::size_t stop, int depth, TriangleMesh* mesh,
             bool& seenName, bool& seenTriangles, bool& seenSmoothing) {
    switch (id) {
      case kScene: return children(id, body, stop, depth + 1, nullptr);
      case kMaterial:
        if (++materials > kMaxMeshMaterials) return fail("too many materials", body);
        return children(id, body, stop, depth + 1, nullptr);
      case kMaterialName:
        if (seenName) return fail("a second material name", body);
        seenName = true;
        if (stringAt(body, stop) != stop - body) return fail("an unterminated name", body);
        return true;
      case kAmbient:
      case kDiffuse:
      case kSpecular:
      case kShininess:
      case kShininessStrength:
      case kTransparency:
      case kTransparencyFalloff:
      case kReflectionBlur:
        // The engine reads one value chunk from each without looking at the length.
        if (body == stop) return fail("a colour or percentage without its value", body);
        return children(id, body, stop, depth + 1, nullptr);
      case kObject: {
        if (++objects > kMaxMeshObjects) return fail("too many objects", body);
        const std::size_t name = stringAt(body, stop);
        if (name == 0) return fail("an unterminated object name", body);
        return children(id, body + name, stop, depth + 1, nullptr);
      }
      case kTriangles: {
        if (seenTriangles) return fail("a second mesh in one object", body);
        seenTriangles = true;
        TriangleMesh triangles;
        if (!children(id, body, stop, depth + 1, &triangles)) return false;
        return consistent(triangles, body);
      }
      case kVertices: {
        const long count = countedList(&mesh->vertices, "vertex", body, stop, kVertexBytes, false);
        if (count < 0) return false;
        mesh->vertexCount = static_cast<std::size_t>(count);
        allVertices += mesh->vertexCount;
        return allVertices <= kMaxMeshVertices || fail("too many vertices", body);
      }
      case kTexCoords: {
        const long count =
            countedList(&mesh->texCoords, "texture-coordinate", body, stop, kTexCoordBytes, false);
        if (count < 0) return false;
        mesh->texCoordCount = static_cast<std::size_t>(count);
        return true;
      }
      case kFaces: return faces(body, stop, depth, mesh);
      case kFaceMaterial: return group(body, stop, *mesh);
      case kSmoothing:
        if (seenSmoothing) return fail("a second smoothing list", body);
        seenSmoothing = true;
        if (stop - body != 4 * mesh->faceCount)
          return fail("a smoothing list of the wrong size", body);
        return true;
    }
    return fail("an unsupported chunk " + hex(id), body);
  }

  // The first list of its kind in a mesh, its count agreeing with its chunk: that count,
  // noted in `seen`; else -1, the refusal said.
  long countedList(bool* seen, const std::string& what, std::size_t body, std::size_t stop,
                   std::size_t recordBytes, bool more) {
    if (*seen) {
      fail("a second " + what + " list", body);
      return -1;
    }
    const long count = countedRecords(body, stop, recordBytes, more);
    if (count < 0) fail("a " + what + " count that disagrees with its chunk", body);
    *seen = true;
    return count;
  }

  bool faces(std::size_t body, std::size_t stop, int depth, TriangleMesh* mesh) {
    const long count = countedList(&mesh->faces, "face", body, stop, kFaceBytes, true);
    if (count < 0) return false;
    mesh->faceCount = static_cast<std::size_t>(count);
    allFaces += mesh->faceCount;
    if (allFaces > kMaxMeshFaces) return fail("too many faces", body);
    for (std::size_t f = 0; f < mesh->faceCount; ++f)
      for (std::size_t corner = 0; corner < 3; ++corner)
        mesh->highestIndex =
            std::max(mesh->highestIndex, u16At(bytes + body + 2 + f * kFaceBytes + 2 * corner));
    used_.assign(mesh->faceCount, false);
    return children(kFaces, body + 2 + mesh->faceCount * kFaceBytes, stop, depth + 1, mesh);
  }

  // A material name, then a counted list of faces, each a face of this mesh in no other group.
  bool group(std::size_t body, std::size_t stop, TriangleMesh& mesh) {
    if (++groups > kMaxMeshGroups) return fail("too many material groups", body);
    const std::size_t name = stringAt(body, stop);
    if (name == 0) return fail("an unterminated material name", body);
    const long count = countedRecords(body + name, stop, 2, false);
    if (count < 0) return fail("a material face count that disagrees with its chunk", body);
    for (long i = 0; i < count; ++i) {
      const unsigned face = u16At(bytes + body + name + 2 + 2 * static_cast<std::size_t>(i));
      if (face >= mesh.faceCount) return fail("a material face beyond the face list", body);
      if (used_[face]) return fail("a face in two material groups", body);
      used_[face] = true;
    }
    return true;
  }

  bool consistent(const TriangleMesh& mesh, std::size_t at) {
    if ((mesh.faces || mesh.texCoords) && !mesh.vertices) return fail("faces without vertices", at);
    if (mesh.faceCount > 0 && mesh.highestIndex >= mesh.vertexCount)
      return fail("a face index beyond the vertex list", at);
    if (mesh.texCoords && mesh.texCoordCount != mesh.vertexCount)
      return fail("texture coordinates that do not match the vertices", at);
    return true;
  }

  std::vector<bool> used_;  // the faces of the current face list given a material
};

std::string meshRefusal(const unsigned char* bytes, std::size_t size) {
  if (size < kChunkHeader || u16At(bytes) != kMain) return "not a 3DS file";
  if (u32At(bytes + 2) != size) return "3DS: the file's length disagrees with its header";
  MeshCheck check(bytes);
  if (!check.children(kMain, kChunkHeader, size, 0, nullptr)) return check.refusal;
  return "";
}

// --- BMP, the font: uncompressed, bottom-up, 1 to 32 bits per pixel, every row present,
// every palette index within the palette, no padding after 16-bit rows. The engine's
// run-length decoders never check where their input ends, and it sizes its buffers from the
// header alone. Before any of that it reads every font as XML text, up to the first zero
// byte; a '<' there starts a tag, and its XML parser reads past the end of one left open.

constexpr std::size_t kBmpHeaders = 54;       // bytes: the file header and the information header
constexpr std::uint32_t kBmpInfoHeader = 40;  // bytes, the smallest information header
constexpr std::uint32_t kBmpRgb = 0;          // uncompressed
// The engine makes a glyph, with allocations of its own, of every marked pixel pair: a
// 4096 px square of markers takes it half a minute and gigabytes. This many pixels take
// about a second and 50 MB at worst, and hold thousands of glyphs of any readable size.
constexpr unsigned long kMaxFontPixels = 512ul * 512;  // px

std::string fontRefusal(const unsigned char* bytes, std::size_t size) {
  if (size < kBmpHeaders || bytes[0] != 'B' || bytes[1] != 'M') return "not a BMP file";
  const unsigned char* text = std::find(bytes, bytes + size, 0);
  if (std::find(bytes, text, '<') != text)
    return "BMP: a '<' before the first zero byte, which the engine would parse as XML";
  const std::uint32_t offset = u32At(bytes + 10);
  const std::uint32_t infoSize = u32At(bytes + 14);
  const auto width = static_cast<std::int32_t>(u32At(bytes + 18));
  const auto height = static_cast<std::int32_t>(u32At(bytes + 22));
  const unsigned bits = u16At(bytes + 28);
  const std::uint32_t compression = u32At(bytes + 30);
  std::uint32_t dataSize = u32At(bytes + 34);
  if (infoSize < kBmpInfoHeader) return "BMP: an unsupported header";
  if (compression != kBmpRgb) return "BMP: compressed; only uncompressed images are supported";
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    return "BMP: an unsupported pixel size";
  if (height <= 0) return "BMP: top-down or empty; only bottom-up images are supported";
  if (width <= 0 || static_cast<unsigned>(width) > kMaxTextureSide ||
      static_cast<unsigned>(height) > kMaxTextureSide ||
      static_cast<unsigned long>(width) * static_cast<unsigned long>(height) > kMaxFontPixels)
    return "BMP: more than " + std::to_string(kMaxFontPixels) + " px or empty";
  if (offset < kBmpHeaders || offset > size) return "BMP: the pixels' offset is outside the file";
  if (dataSize == 0) dataSize = static_cast<std::uint32_t>(size - offset);  // as the engine does
  const std::size_t rowBytes = (static_cast<std::size_t>(width) * bits + 7) / 8;
  const std::size_t stride = (rowBytes + 3) / 4 * 4;
  const std::size_t pixels = stride * static_cast<std::size_t>(height);
  if (dataSize > size - offset || dataSize < pixels) return "BMP: pixel rows are missing";
  // The engine steps over a 16-bit row's padding in pixels, not bytes: each padded row
  // starts two bytes late, and the last runs past the pixels.
  if (bits == 16 && stride != rowBytes) return "BMP: 16-bit pixels with padded rows";
  if (bits == 4 || bits == 8) {
    const std::size_t palette = (offset - kBmpHeaders) / 4;  // entries
    const unsigned mask = (1u << bits) - 1;
    for (std::int32_t y = 0; y < height; ++y) {
      const unsigned char* row = bytes + offset + static_cast<std::size_t>(y) * stride;
      for (std::int32_t x = 0; x < width; ++x) {
        const std::size_t bit = static_cast<std::size_t>(x) * bits;
        const unsigned index = (row[bit / 8] >> (8 - bits - bit % 8)) & mask;
        if (index >= palette) return "BMP: a pixel beyond the palette";
      }
    }
  }
  return "";
}

// --- JPEG: decoded once in full by libjpeg from the bytes alone, as the engine will decode
// them. The engine's reader hands libjpeg the buffer without an end: where libjpeg would ask
// for more bytes or skip past the last one, the engine reads past its buffer. Here either is
// a refusal, so the engine only ever gets files it decodes within their bytes.

constexpr int kMaxJpegScans = 100;  // a progressive image has about 10; each pass is a decode

struct JpegCheck {
  jpeg_error_mgr errors;
  jpeg_source_mgr source;
  jpeg_progress_mgr progress;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

JpegCheck& checkOf(j_common_ptr cinfo) { return *static_cast<JpegCheck*>(cinfo->client_data); }

[[noreturn]] void jpegRefuse(j_common_ptr cinfo, const char* why) {
  JpegCheck& check = checkOf(cinfo);
  std::snprintf(check.message, sizeof check.message, "%s", why);
  std::longjmp(check.jump, 1);
}

[[noreturn]] void jpegError(j_common_ptr cinfo) {
  JpegCheck& check = checkOf(cinfo);
  (*cinfo->err->format_message)(cinfo, check.message);
  std::longjmp(check.jump, 1);
}

void jpegMessage(j_common_ptr, int) {}  // warnings: the engine decodes on through them too
void jpegNothing(j_decompress_ptr) {}

boolean jpegNoMoreBytes(j_decompress_ptr cinfo) {
  jpegRefuse(reinterpret_cast<j_common_ptr>(cinfo), "the data ends before the image does");
}

void jpegSkip(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr& source = *cinfo->src;
  if (static_cast<unsigned long>(count) > source.bytes_in_buffer)
    jpegRefuse(reinterpret_cast<j_common_ptr>(cinfo), "a marker runs past the end of the data");
  source.next_input_byte += count;
  source.bytes_in_buffer -= static_cast<std::size_t>(count);
}

void jpegProgress(j_common_ptr cinfo) {
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans)
    jpegRefuse(cinfo, "too many scans");
}

// libjpeg leaves by longjmp: nothing here may need a destructor.
bool decodes(const unsigned char* bytes, std::size_t size, JpegCheck& check) {
  jpeg_decompress_struct cinfo;
  cinfo.err = jpeg_std_error(&check.errors);
  check.errors.error_exit = jpegError;
  check.errors.emit_message = jpegMessage;
  cinfo.client_data = &check;
  if (setjmp(check.jump) != 0) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.client_data = &check;
  check.source.next_input_byte = bytes;
  check.source.bytes_in_buffer = size;
  check.source.init_source = jpegNothing;
  check.source.fill_input_buffer = jpegNoMoreBytes;
  check.source.skip_input_data = jpegSkip;
  check.source.resync_to_restart = jpeg_resync_to_restart;
  check.source.term_source = jpegNothing;
  cinfo.src = &check.source;
  check.progress.progress_monitor = jpegProgress;
  cinfo.progress = &check.progress;

  jpeg_read_header(&cinfo, TRUE);
  if (cinfo.image_width > kMaxTextureSide || cinfo.image_height > kMaxTextureSide ||
      static_cast<unsigned long>(cinfo.image_width) * cinfo.image_height > kMaxTexturePixels)
    jpegRefuse(reinterpret_cast<j_common_ptr>(&cinfo), "larger than the largest texture");
  // The engine's decoding settings, so that libjpeg takes the same path through the data.
  cinfo.out_color_space = cinfo.jpeg_color_space == JCS_CMYK ? JCS_CMYK : JCS_RGB;
  cinfo.do_fancy_upsampling = FALSE;
  jpeg_start_decompress(&cinfo);
  JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                              cinfo.output_width * cinfo.output_components, 1);
  while (cinfo.output_scanline < cinfo.output_height) jpeg_read_scanlines(&cinfo, row, 1);
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

std::string textureRefusal(const unsigned char* bytes, std::size_t size) {
  JpegCheck check;
  if (decodes(bytes, size, check)) return "";
  return std::string("JPEG: ") + check.message;
}

// --- Handing the bytes to the engine: a file archive, searched before the disk, that serves
// the accepted bytes under their names.

// The same file however it is named: absolute, with no "." or "..". Lexical only, as the
// engine may ask for a name that does not exist on disk.
std::string normalName(const irr::io::path& name) {
  std::error_code error;
  return std::filesystem::absolute(name.c_str(), error).lexically_normal().string();
}

class MemoryArchive : public irr::io::IFileArchive {
 public:
  explicit MemoryArchive(irr::io::IFileSystem* files)
      : files_(files), list_(files->createEmptyFileList("", false, false)) {}
  ~MemoryArchive() override { list_->drop(); }

  void add(const std::string& name, const Bytes& bytes) {
    const irr::u32 id = static_cast<irr::u32>(entries_.size());
    entries_.push_back({normalName(name.c_str()), name.c_str(), bytes});
    // The engine asks whether a font exists before it opens it, by the name it was given.
    const irr::u32 size = static_cast<irr::u32>(bytes.size());
    list_->addItem(name.c_str(), 0, size, false, id);
    list_->addItem(entries_.back().key.c_str(), 0, size, false, id);
    list_->sort();
  }

  irr::io::IReadFile* createAndOpenFile(const irr::io::path& filename) override {
    const std::string key = normalName(filename);
    for (Entry& entry : entries_)
      if (entry.key == key) return open(entry);
    return nullptr;
  }
  irr::io::IReadFile* createAndOpenFile(irr::u32 index) override {
    return index < entries_.size() ? open(entries_[index]) : nullptr;
  }
  const irr::io::IFileList* getFileList() const override { return list_; }

 private:
  struct Entry {
    std::string key;
    irr::io::path name;  // as the program names it: the engine's caches keep this name
    Bytes bytes;
  };
  irr::io::IReadFile* open(Entry& entry) {
    return files_->createMemoryReadFile(
        entry.bytes.data(), static_cast<irr::s32>(entry.bytes.size()), entry.name, false);
  }

  irr::io::IFileSystem* files_;
  irr::io::IFileList* list_;
  std::vector<Entry> entries_;
};

// Loads from the archive, under the name the program uses, so that every later load by that
// name finds the engine's cache (or, for the font, this archive) and never the disk.
bool engineLoads(irr::IrrlichtDevice* device, MemoryArchive& archive, AssetKind kind,
                 const std::string& name) {
  if (kind == AssetKind::Font) return device->getGUIEnvironment()->getFont(name.c_str()) != nullptr;
  irr::io::IReadFile* file = archive.createAndOpenFile(name.c_str());
  if (file == nullptr) return false;
  const bool loaded = kind == AssetKind::Mesh
                          ? device->getSceneManager()->getMesh(file) != nullptr
                          : device->getVideoDriver()->getTexture(file) != nullptr;
  file->drop();
  return loaded;
}

bool readFile(const char* path, Bytes& bytes) {
  // Opened without waiting (a pipe would block the open forever), then refused unless what
  // was opened is a regular file: a directory, a pipe or a device never reaches the read,
  // whatever the path named when it was looked at before.
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat status;
  bool ok = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
  bytes.clear();
  unsigned char chunk[1 << 16];
  while (ok && bytes.size() <= kMaxAssetBytes) {  // past the limit it is refused by its size
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  ::close(fd);
  return ok;
}

}  // namespace

std::string assetRefusal(AssetKind kind, const unsigned char* bytes, std::size_t size) {
  if (size > kMaxAssetBytes) return "larger than " + std::to_string(kMaxAssetBytes) + " bytes";
  switch (kind) {
    case AssetKind::Mesh: return meshRefusal(bytes, size);
    case AssetKind::Texture: return textureRefusal(bytes, size);
    case AssetKind::Font: return fontRefusal(bytes, size);
  }
  return "unknown kind";
}

std::string loadAsset(irr::IrrlichtDevice* device, AssetKind kind, const std::string& name,
                      const Bytes& bytes) {
  std::string refusal = assetRefusal(kind, bytes.data(), bytes.size());
  if (!refusal.empty()) return refusal;
  irr::io::IFileSystem* files = device->getFileSystem();
  MemoryArchive* archive = new MemoryArchive(files);
  archive->add(name, bytes);
  files->addFileArchive(archive);  // takes our reference: the file system drops it on removal
  const bool loaded = engineLoads(device, *archive, kind, name);
  files->removeFileArchive(archive);
  return loaded ? "" : "the engine could not load it";
}

std::vector<std::string> AssetFiles::read() {
  std::vector<std::string> unreadable;
  for (const Asset& asset : kAssets) {
    Bytes bytes;
    if (readFile(asset.path, bytes))
      files_[asset.path] = std::move(bytes);
    else
      unreadable.push_back(asset.path);
  }
  return unreadable;
}

std::vector<std::string> AssetFiles::check() {
  std::vector<std::string> refused;
  for (const Asset& asset : kAssets) {
    const auto file = files_.find(asset.path);
    if (file == files_.end()) continue;  // named by read()
    const std::string why = assetRefusal(asset.kind, file->second.data(), file->second.size());
    if (why.empty()) continue;
    refused.push_back(std::string(asset.path) + ": " + why);
    files_.erase(file);
  }
  checked_ = true;
  return refused;
}

std::vector<std::string> AssetFiles::load(irr::IrrlichtDevice* device) {
  // Start-up has checked before opening the window; a texture's check is a full decode.
  std::vector<std::string> refused = checked_ ? std::vector<std::string>() : check();
  irr::io::IFileSystem* files = device->getFileSystem();
  MemoryArchive* archive = new MemoryArchive(files);
  for (const auto& [path, bytes] : files_) archive->add(path, bytes);
  files->addFileArchive(archive);  // takes our reference: the device keeps it to the end
  for (const Asset& asset : kAssets)
    if (files_.count(asset.path) != 0 && !engineLoads(device, *archive, asset.kind, asset.path))
      refused.push_back(std::string(asset.path) + ": the engine could not load it");
  return refused;
}

std::vector<std::string> brokenAssets(irr::IrrlichtDevice* device) {
  AssetFiles assets;
  std::vector<std::string> broken = assets.read();
  if (device == nullptr || !broken.empty()) return broken;
  for (const std::string& line : assets.load(device))
    broken.push_back(line.substr(0, line.find(": ")));
  return broken;
}

void enterMediaDirectory() {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path here = fs::current_path(error);
  const fs::path exe = fs::read_symlink("/proc/self/exe", error);
  const fs::path exeDir = error ? fs::path() : exe.parent_path();
  const std::vector<fs::path> candidates = media::workingDirCandidates(here, exeDir);
  const fs::path home = media::firstHolding(candidates, kGroundMesh);
  if (home == here) return;
  if (home.empty()) {
    // Found nowhere: say where we looked, then, from beside the program, the missing files
    // are named as the source tree names them.
    std::string tried;
    for (const fs::path& dir : candidates)
      tried += " " + (dir / ".." / "media").lexically_normal().string();
    std::fprintf(stderr, "ferrox: no media found in:%s\n", tried.c_str());
  }
  fs::current_path(home.empty() ? exeDir : home, error);
}
