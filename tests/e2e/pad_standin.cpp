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
#include <cstring>

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

// For a joystick node: true, and in `out` the stand-in's path or "" where there is none.
bool redirect(const char* path, char (&out)[4096]) {
  const char* dir = std::getenv("FERROX_PAD_DIR");
  if (dir == nullptr || path == nullptr) return false;
  unsigned number = 0;
  char rest = 0;
  out[0] = '\0';
  if (std::sscanf(path, "/dev/input/js%u%c", &number, &rest) == 1) {
    std::snprintf(out, sizeof out, "%s/js%u", dir, number);
    return true;
  }
  return std::sscanf(path, "/dev/js%u%c", &number, &rest) == 1 ||
         std::sscanf(path, "/dev/joy%u%c", &number, &rest) == 1;
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
  if (!redirect(path, node)) return realOpen(path, flags, mode);
  if (node[0] == '\0') {
    errno = ENOENT;
    return -1;
  }
  // Non-blocking, or opening the FIFO would wait for its writer.
  const int fd = realOpen(node, flags | O_NONBLOCK, mode);
  if (fd >= 0 && fd < kMaxFd) standIn[fd] = true;
  return fd;
}

int stat(const char* path, struct stat* status) noexcept {
  using Stat = int (*)(const char*, struct stat*);
  static const Stat realStat = real<Stat>("stat");
  char node[4096];
  if (!redirect(path, node)) return realStat(path, status);
  if (node[0] == '\0') {
    errno = ENOENT;
    return -1;
  }
  return realStat(node, status);
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
    const unsigned long size = _IOC_SIZE(request);
    if (size == 0) return 0;
    std::strncpy(static_cast<char*>(arg), kName, size - 1);
    static_cast<char*>(arg)[size - 1] = '\0';
    return static_cast<int>(std::strlen(static_cast<char*>(arg)));
  } else {
    errno = ENOTTY;
    return -1;
  }
  return 0;
}

}  // extern "C"
