// Prints the width in pixels of a text in the program's status font, so that
// the end-to-end test knows where the status line's fields lie on screen.
// Usage (from bin/): ferrox_text_extent "<text>"
#include <irrlicht.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  irr::IrrlichtDevice* device = irr::createDevice(irr::video::EDT_NULL);
  if (device == nullptr) return 1;
  device->getLogger()->setLogLevel(irr::ELL_NONE);
  irr::gui::IGUIFont* font = device->getGUIEnvironment()->getFont("../media/fontkorvenblatt.bmp");
  if (font == nullptr) {
    device->drop();
    return 1;
  }
  const std::string narrow = argv[1];
  const std::wstring text(narrow.begin(), narrow.end());
  std::printf("%u\n", font->getDimension(text.c_str()).Width);
  device->drop();
  return 0;
}
