#include "assets/settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <string_view>

namespace assets {
namespace {

using std::string_view;

const char* const kCommandNames[command::kCount] = {
    "throttle", "brake",    "steer-left", "steer-right", "turret-left", "turret-right",
    "gun-up",   "gun-down", "fire",       "gear-up",     "gear-down",   "pause",
    "jump",     "reset",    "sound",      "keys",        "instruments"};

// The keys that take a name beyond the letters, digits, F1-F12 and the keypad's digits.
const struct {
  irr::EKEY_CODE key;
  const char* name;
} kNamedKeys[] = {
    {irr::KEY_SPACE, "Space"},    {irr::KEY_TAB, "Tab"},       {irr::KEY_RETURN, "Return"},
    {irr::KEY_BACK, "Backspace"}, {irr::KEY_UP, "Up"},         {irr::KEY_DOWN, "Down"},
    {irr::KEY_LEFT, "Left"},      {irr::KEY_RIGHT, "Right"},   {irr::KEY_INSERT, "Insert"},
    {irr::KEY_DELETE, "Delete"},  {irr::KEY_HOME, "Home"},     {irr::KEY_END, "End"},
    {irr::KEY_PRIOR, "PageUp"},   {irr::KEY_NEXT, "PageDown"},
};

// Names built once for the ranges: "A".."Z", "0".."9", "F1".."F12", "Numpad0".."Numpad9".
struct RangeNames {
  char letters[26][2];
  char digits[10][2];
  char functions[12][4];
  char numpad[10][8];
  RangeNames() : letters(), digits(), functions(), numpad() {
    for (int i = 0; i < 26; ++i) letters[i][0] = static_cast<char>('A' + i);
    for (int i = 0; i < 10; ++i) digits[i][0] = static_cast<char>('0' + i);
    for (int i = 0; i < 12; ++i) std::snprintf(functions[i], sizeof functions[i], "F%d", i + 1);
    for (int i = 0; i < 10; ++i) std::snprintf(numpad[i], sizeof numpad[i], "Numpad%d", i);
  }
};
const RangeNames& rangeNames() {
  static const RangeNames names;
  return names;
}

bool equalsIgnoringCase(string_view a, string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool keyFromName(string_view name, irr::EKEY_CODE& key) {
  for (int code = 0; code < irr::KEY_KEY_CODES_COUNT; ++code) {
    const char* known = keyName(static_cast<irr::EKEY_CODE>(code));
    if (known != nullptr && equalsIgnoringCase(name, known)) {
      key = static_cast<irr::EKEY_CODE>(code);
      return true;
    }
  }
  return false;
}

bool boolFromName(string_view value, bool& out) {
  for (const char* yes : {"yes", "true", "on"})
    if (equalsIgnoringCase(value, yes)) {
      out = true;
      return true;
    }
  for (const char* no : {"no", "false", "off"})
    if (equalsIgnoringCase(value, no)) {
      out = false;
      return true;
    }
  return false;
}

string_view trim(string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

const std::string kPastTheBound = "the file goes on past " + std::to_string(kMaxSettingsBytes) +
                                  " bytes: this line and the rest are skipped";

// The settings besides the keys, and their names in the file.
enum Setting : int { kSensitivity, kInvertLook, kWindowed, kMute, kInstrumentsShown, kSettings };
const char* const kSettingNames[kSettings] = {"sensitivity", "invert-look", "windowed", "mute",
                                              "instruments"};

// Takes the file a line at a time into settings, noting each line it skips and why.
class Reader {
 public:
  explicit Reader(const char* name) : name_(name != nullptr ? name : "") {}

  // Line `line` is skipped because of `why`.
  void problem(std::size_t line, const std::string& why) {
    if (read_.problems.size() >= kMaxProblemsShown) {
      ++read_.unshown;
      return;
    }
    read_.problems.push_back(name_ + ":" + std::to_string(line) + ": " + why);
  }

  // Line `number` (from 1), without its newline or a carriage return before it.
  void line(std::size_t number, string_view text) {
    if (text.size() > kMaxSettingsLine) {
      problem(number, "longer than " + std::to_string(kMaxSettingsLine) + " bytes");
      return;
    }
    for (char c : text) {
      const auto byte = static_cast<unsigned char>(c);
      if ((byte < 0x20 && c != '\t') || byte == 0x7f) {
        problem(number, "not text (a control byte)");
        return;
      }
    }
    const std::size_t hash = text.find('#');
    if (hash != string_view::npos) text = text.substr(0, hash);
    text = trim(text);
    if (text.empty()) return;
    const std::size_t equals = text.find('=');
    if (equals == string_view::npos) {
      problem(number, "not 'name = value'");
      return;
    }
    const string_view name = trim(text.substr(0, equals));
    const string_view value = trim(text.substr(equals + 1));
    if (name.substr(0, 4) == "key.") {
      bindKey(number, name, value);
      return;
    }
    for (int s = 0; s < kSettings; ++s)
      if (name == kSettingNames[s]) {
        set(number, static_cast<Setting>(s), value);
        return;
      }
    problem(number, "unknown name '" + std::string(name) + "'");
  }

  // Every key line taken; now refuses, latest line first, each that gives a key some other
  // command also has, until no key does two things.
  SettingsRead finish() {
    Settings& s = read_.settings;
    for (;;) {
      int refused = -1;
      int other = -1;
      for (int c = 0; c < command::kCount; ++c)
        for (int d = 0; d < command::kCount; ++d)
          if (c != d && keyLines_[c] != 0 && s.keys[c] == s.keys[d] &&
              (refused < 0 || keyLines_[c] > keyLines_[refused])) {
            refused = c;
            other = d;
          }
      if (refused < 0) break;
      problem(keyLines_[refused], std::string(keyName(s.keys[refused])) + " is also " +
                                      kCommandNames[other] + "'s key");
      s.keys[refused] = kDefaultKeys[refused];
      keyLines_[refused] = 0;
    }
    return std::move(read_);
  }

 private:
  bool firstTime(std::size_t number, std::size_t& setOn, string_view name) {
    if (setOn != 0) {
      problem(number, std::string(name) + " is already set on line " + std::to_string(setOn));
      return false;
    }
    setOn = number;
    return true;
  }

  void set(std::size_t number, Setting which, string_view value) {
    Settings& s = read_.settings;
    bool flag = false;
    if (which == kSensitivity) {
      float degrees = 0.0f;
      const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), degrees);
      if (error != std::errc() || end != value.data() + value.size() ||
          !(degrees >= kMinSensitivity && degrees <= kMaxSensitivity)) {
        problem(number, "sensitivity '" + std::string(value) +
                            "' is not a number of degrees per pixel from 0.05 to 20");
        return;
      }
      if (firstTime(number, lines_[which], kSettingNames[which])) s.sensitivity = degrees;
      return;
    }
    if (!boolFromName(value, flag)) {
      problem(number,
              std::string(kSettingNames[which]) + " '" + std::string(value) + "' is not yes or no");
      return;
    }
    if (!firstTime(number, lines_[which], kSettingNames[which])) return;
    bool* const flags[kSettings] = {nullptr, &s.invertLook, &s.windowed, &s.mute, &s.instruments};
    *flags[which] = flag;
  }

  void bindKey(std::size_t number, string_view name, string_view value) {
    const string_view commandPart = name.substr(4);
    int which = -1;
    for (int c = 0; c < command::kCount; ++c)
      if (commandPart == kCommandNames[c]) which = c;
    if (which < 0) {
      problem(number, "unknown command '" + std::string(commandPart) + "'");
      return;
    }
    irr::EKEY_CODE key = irr::KEY_KEY_CODES_COUNT;
    if (equalsIgnoringCase(value, "Escape")) {
      problem(number, "Escape always quits and cannot be bound");
      return;
    }
    if (!keyFromName(value, key)) {
      problem(number, "unknown key '" + std::string(value) + "'");
      return;
    }
    if (!firstTime(number, keyLines_[which], name)) return;
    read_.settings.keys[which] = key;
  }

  std::string name_;
  SettingsRead read_;
  std::size_t lines_[kSettings] = {};           // the line that set each setting; 0 for none
  std::size_t keyLines_[command::kCount] = {};  // the line that bound each command's key
};

}  // namespace

const char* commandName(int command) {
  return command >= 0 && command < command::kCount ? kCommandNames[command] : nullptr;
}

const char* keyName(irr::EKEY_CODE key) {
  const RangeNames& names = rangeNames();
  if (key >= irr::KEY_KEY_A && key <= irr::KEY_KEY_Z) return names.letters[key - irr::KEY_KEY_A];
  if (key >= irr::KEY_KEY_0 && key <= irr::KEY_KEY_9) return names.digits[key - irr::KEY_KEY_0];
  if (key >= irr::KEY_F1 && key <= irr::KEY_F12) return names.functions[key - irr::KEY_F1];
  if (key >= irr::KEY_NUMPAD0 && key <= irr::KEY_NUMPAD9)
    return names.numpad[key - irr::KEY_NUMPAD0];
  for (const auto& named : kNamedKeys)
    if (named.key == key) return named.name;
  return nullptr;
}

SettingsRead parseSettings(const char* name, const unsigned char* data, std::size_t size) {
  Reader reader(name);
  const string_view all(reinterpret_cast<const char*>(data), data != nullptr ? size : 0);
  const string_view bounded = all.substr(0, kMaxSettingsBytes);
  // A NUL byte is never in a text file: a binary file gets one complaint, not one a line.
  const std::size_t nul = bounded.find('\0');
  if (nul != string_view::npos) {
    const std::size_t line =
        1 + static_cast<std::size_t>(std::count(bounded.begin(), bounded.begin() + nul, '\n'));
    reader.problem(line, "a NUL byte: not a text file, so every line is skipped");
    SettingsRead read = reader.finish();
    read.settings = Settings();
    return read;
  }
  std::size_t number = 0;
  for (std::size_t start = 0; start < bounded.size();) {
    ++number;
    std::size_t end = bounded.find('\n', start);
    if (end == string_view::npos) {
      end = bounded.size();
      if (bounded.size() < all.size()) {  // the line runs past the bound
        reader.problem(number, kPastTheBound);
        break;
      }
    }
    string_view text = bounded.substr(start, end - start);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    reader.line(number, text);
    start = end + 1;
  }
  if (bounded.size() < all.size() && !bounded.empty() && bounded.back() == '\n')
    reader.problem(number + 1, kPastTheBound);
  return reader.finish();
}

std::string settingsPath(const char* xdgConfigHome, const char* home) {
  if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/')
    return std::string(xdgConfigHome) + "/ferrox/settings";
  if (home != nullptr && home[0] != '\0') return std::string(home) + "/.config/ferrox/settings";
  return {};
}

Settings loadSettings(const std::string& path, bool required, std::FILE* err) {
  if (path.empty()) return {};
  // Opened without waiting (a pipe would block the open), and only a regular file is read;
  // a byte past the bound is read to know that the file goes on.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    if (required || error != ENOENT)
      std::fprintf(err, "ferrox: %s: cannot read: %s; the defaults apply\n", path.c_str(),
                   std::strerror(error));
    return {};
  }
  struct stat status;
  std::vector<unsigned char> bytes(kMaxSettingsBytes + 1);
  std::size_t size = 0;
  bool ok = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
  while (ok && size < bytes.size()) {
    const ssize_t got = ::read(fd, bytes.data() + size, bytes.size() - size);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    size += static_cast<std::size_t>(got);
  }
  ::close(fd);
  if (!ok) {
    std::fprintf(err, "ferrox: %s: cannot read: not a regular file; the defaults apply\n",
                 path.c_str());
    return {};
  }
  const SettingsRead read = parseSettings(path.c_str(), bytes.data(), size);
  for (const std::string& problem : read.problems)
    std::fprintf(err, "ferrox: %s\n", problem.c_str());
  if (read.unshown != 0)
    std::fprintf(err, "ferrox: %s: %zu more lines skipped\n", path.c_str(), read.unshown);
  return read.settings;
}

}  // namespace assets
