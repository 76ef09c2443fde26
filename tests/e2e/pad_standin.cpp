// Preloaded into the program (LD_PRELOAD) by the end-to-end pad check: a stand-in joystick
// device. With FERROX_PAD_DIR set, the program's /dev/input/jsN is that directory's jsN, a
// FIFO into which the check writes the kernel's js_event records, and the joystick ioctls
// on it are answered as an xpad pad's would be; /dev/jsN and /dev/joyN do not exist, so no
// real pad of the machine joins in. Removing the FIFO unplugs the pad: its node is gone.
// Without FERROX_PAD_DIR every call passes through.
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/joystick.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr unsigned char kAxes = 8;      // xpad's: two sticks, two triggers, the hat
constexpr unsigned char kButtons = 11;  // xpad's, its d-pad on the hat axes
constexpr const char kName[] = "Ferrox stand-in pad";
constexpr int kMaxFd = 1024;  // descriptors followed

bool standIn[kMaxFd];  // descriptors open on a stand-in node

template <typename F>
F real(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

// The path to open in place of `path`: itself, or for a joystick node the stand-in's, in
// `out`; the other joystick nodes are in a folder that does not exist.
const char* redirect(const char* path, char (&out)[4096]) {
  const char* dir = std::getenv("FERROX_PAD_DIR");
  unsigned number = 0;
  char rest = 0;
  if (dir == nullptr || path == nullptr) return path;
  if (std::sscanf(path, "/dev/input/js%u%c", &number, &rest) == 1)
    std::snprintf(out, sizeof out, "%s/js%u", dir, number);
  else if (std::sscanf(path, "/dev/js%u%c", &number, &rest) == 1 ||
           std::sscanf(path, "/dev/joy%u%c", &number, &rest) == 1)
    std::snprintf(out, sizeof out, "%s/none/js%u", dir, number);
  else
    return path;
  return out;
}

}  // namespace

extern "C" {

// The engine opens each candidate node with open(2).
int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = (flags & O_CREAT) != 0 ? va_arg(args, mode_t) : 0;
  va_end(args);
  using Open = int (*)(const char*, int, ...);
  static const Open realOpen = real<Open>("open");
  char node[4096];
  if (redirect(path, node) == path) return realOpen(path, flags, mode);
  // Non-blocking, or opening the FIFO would wait for its writer.
  const int fd = realOpen(node, flags | O_NONBLOCK, mode);
  if (fd >= 0 && fd < kMaxFd) standIn[fd] = true;
  return fd;
}

int stat(const char* path, struct stat* status) noexcept {
  using Stat = int (*)(const char*, struct stat*);
  static const Stat realStat = real<Stat>("stat");
  char node[4096];
  return realStat(redirect(path, node), status);
}

int close(int fd) {
  using Close = int (*)(int);
  static const Close realClose = real<Close>("close");
  if (fd >= 0 && fd < kMaxFd) standIn[fd] = false;
  return realClose(fd);
}

int ioctl(int fd, unsigned long request, ...) noexcept {
  va_list args;
  va_start(args, request);
  void* arg = va_arg(args, void*);
  va_end(args);
  if (fd < 0 || fd >= kMaxFd || !standIn[fd]) {
    using Ioctl = int (*)(int, unsigned long, void*);
    static const Ioctl realIoctl = real<Ioctl>("ioctl");
    return realIoctl(fd, request, arg);
  }
  if (request == JSIOCGAXES) {
    *static_cast<unsigned char*>(arg) = kAxes;
  } else if (request == JSIOCGBUTTONS) {
    *static_cast<unsigned char*>(arg) = kButtons;
  } else if (request == JSIOCGVERSION) {
    *static_cast<unsigned*>(arg) = JS_VERSION;
  } else if (_IOC_TYPE(request) == 'j' && _IOC_NR(request) == _IOC_NR(JSIOCGNAME(0))) {
    return std::snprintf(static_cast<char*>(arg), _IOC_SIZE(request), "%s", kName);
  } else {
    errno = ENOTTY;
    return -1;
  }
  return 0;
}

}  // extern "C"
