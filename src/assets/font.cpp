#include "assets/font.h"

#include <filesystem>
#include <string>
#include <system_error>

namespace assets {

namespace {

// The same file however it is named: absolute, with no "." or "..". Lexical only, as the
// names need not exist on disk.
std::string normalName(const irr::io::path& name) {
  std::error_code error;
  return std::filesystem::absolute(name.c_str(), error).lexically_normal().string();
}

// Serves the one image it holds for the one name it holds, to whoever asks the driver for
// that name; asked for any other file, it declines and the driver asks its own loaders.
class HeldImageLoader : public irr::video::IImageLoader {
 public:
  explicit HeldImageLoader(irr::video::IVideoDriver* driver) : driver_(driver) {}

  void hold(const char* name, const Image* image) {
    name_ = image == nullptr ? std::string() : normalName(name);
    image_ = image;
  }

  bool isALoadableFileExtension(const irr::io::path& filename) const override {
    return image_ != nullptr && normalName(filename) == name_;
  }
  bool isALoadableFileFormat(irr::io::IReadFile* file) const override {
    return file != nullptr && isALoadableFileExtension(file->getFileName());
  }
  irr::video::IImage* loadImage(irr::io::IReadFile* file) const override {
    return isALoadableFileFormat(file) ? toEngineImage(driver_, *image_) : nullptr;
  }

 private:
  irr::video::IVideoDriver* driver_;  // owns this loader
  std::string name_;
  const Image* image_ = nullptr;
};

// A file archive of one file, searched before the disk: the font's name, holding one zero byte.
class StandInArchive : public irr::io::IFileArchive {
 public:
  StandInArchive(irr::io::IFileSystem* files, const char* name)
      : files_(files),
        name_(name),
        key_(normalName(name)),
        list_(files->createEmptyFileList("", false, false)) {
    // The engine asks whether a font exists before it opens it, by the name it was given.
    list_->addItem(name, 0, sizeof kContent, false, 0);
    list_->addItem(key_.c_str(), 0, sizeof kContent, false, 0);
    list_->sort();
  }
  ~StandInArchive() override { list_->drop(); }

  irr::io::IReadFile* createAndOpenFile(const irr::io::path& filename) override {
    return normalName(filename) == key_ ? createAndOpenFile(0u) : nullptr;
  }
  irr::io::IReadFile* createAndOpenFile(irr::u32 index) override {
    if (index != 0) return nullptr;
    return files_->createMemoryReadFile(const_cast<unsigned char*>(kContent), sizeof kContent,
                                        name_, false);
  }
  const irr::io::IFileList* getFileList() const override { return list_; }

 private:
  static constexpr unsigned char kContent[1] = {0};
  irr::io::IFileSystem* files_;
  irr::io::path name_;
  std::string key_;
  irr::io::IFileList* list_;
};

// The device's loader of ours, added to its driver the first time; the driver keeps it.
HeldImageLoader* heldImageLoader(irr::video::IVideoDriver* driver) {
  for (irr::u32 i = 0; i < driver->getImageLoaderCount(); ++i)
    if (auto* ours = dynamic_cast<HeldImageLoader*>(driver->getImageLoader(i))) return ours;
  auto* loader = new HeldImageLoader(driver);
  driver->addExternalImageLoader(loader);  // the driver grabs it and asks it first
  loader->drop();
  return loader;
}

}  // namespace

irr::gui::IGUIFont* installFont(irr::IrrlichtDevice* device, const char* name, const Image& image) {
  HeldImageLoader* loader = heldImageLoader(device->getVideoDriver());
  irr::io::IFileSystem* files = device->getFileSystem();
  auto* archive = new StandInArchive(files, name);
  files->addFileArchive(archive);  // takes our reference: the file system drops it on removal
  loader->hold(name, &image);
  irr::gui::IGUIFont* font = device->getGUIEnvironment()->getFont(name);
  loader->hold(name, nullptr);
  files->removeFileArchive(archive);
  return font;
}

}  // namespace assets
