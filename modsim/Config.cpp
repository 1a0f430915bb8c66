#include "modsim/Config.h"

#include "modsim/Numbers.h"

#include <dirent.h>

#include <algorithm>
#include <memory>

namespace zk::modsim {
namespace {

constexpr uint32_t kMaxRamSize = 16u << 20;
constexpr uint32_t kAddress24 = 0xFFFFFF;

class Reader {
 public:
  Reader(const IniFile& ini, std::string section) : ini_(ini), section_(std::move(section)) {}

  [[noreturn]] void Fail(std::string_view key, std::string_view why) const {
    throw ConfigError("[" + section_ + "] " + std::string(key) + ": " + std::string(why));
  }
  std::optional<std::string> Text(std::string_view key) const { return ini_.Get(section_, key); }
  std::string Text(std::string_view key, std::string_view fallback) const {
    return Text(key).value_or(std::string(fallback));
  }
  uint32_t Number(std::string_view key, uint32_t fallback, uint32_t max = 0xFFFFFFFF) const {
    const auto text = Text(key);
    if (!text || text->empty()) return fallback;
    const auto value = ParseU32(*text);
    if (!value) Fail(key, "\"" + *text + "\" is no number");
    if (*value > max) Fail(key, "\"" + *text + "\" is larger than " + std::to_string(max));
    return *value;
  }
  Duration Millis(std::string_view key, uint32_t fallback) const { return Milliseconds(Number(key, fallback)); }
  bool Flag(std::string_view key, bool fallback) const { return Number(key, fallback ? 1 : 0, 1) != 0; }
  std::vector<AddressRange> Ranges(std::string_view key) const {
    std::vector<AddressRange> ranges;
    const std::string text = Text(key, "");
    for (const auto piece : SplitList(text)) {
      const auto dash = piece.find('-');
      const auto start = ParseU32(piece.substr(0, dash));
      const auto end = dash == std::string_view::npos ? start : ParseU32(piece.substr(dash + 1));
      if (!start || !end || *end < *start) Fail(key, "\"" + std::string(piece) + "\" is no range START-END");
      ranges.push_back({*start, *end});
    }
    return ranges;
  }

 private:
  const IniFile& ini_;
  std::string section_;
};

FirmwareParams ReadFirmware(const Reader& r) {
  FirmwareParams p;
  p.loginWord = static_cast<uint16_t>(r.Number("LoginWord", p.loginWord, 0xFFFF));
  p.major = static_cast<uint8_t>(r.Number("Major", p.major, 0xFF));
  p.minor = static_cast<uint8_t>(r.Number("Minor", p.minor, 0xFF));
  p.build = static_cast<uint8_t>(r.Number("Build", p.build, 0xFF));
  p.password = r.Text("Password", "");
  p.oldFirmware = r.Flag("OldFirmware", false);
  const std::string modes = r.Text("SilentExitModes", "");
  for (const auto piece : SplitList(modes)) {
    const auto mode = ParseU32(piece);
    if (!mode || *mode > 7) r.Fail("SilentExitModes", "\"" + std::string(piece) + "\" is no mode 0..7");
    p.silentExitModes = static_cast<uint8_t>(p.silentExitModes | (1u << *mode));
  }
  return p;
}

BootExpect ReadExpect(const Reader& r) {
  const std::string text = r.Text("Expect", "auto");
  if (EqualsIgnoringCase(text, "auto")) return BootExpect::kAuto;
  if (EqualsIgnoringCase(text, "download")) return BootExpect::kDownload;
  if (EqualsIgnoringCase(text, "handshake")) return BootExpect::kHandshake;
  r.Fail("Expect", "\"" + text + "\" is none of auto, download, handshake");
}

void ReadBoot(const Reader& r, const std::string& baseDir, SimConfig& config) {
  BootParams& p = config.boot;
  p.expect = ReadExpect(r);
  p.identByte = static_cast<uint8_t>(r.Number("IdentByte", p.identByte, 0xFF));
  p.ramStart = r.Number("RamStart", p.ramStart, kAddress24);
  p.ramEnd = r.Number("RamEnd", p.ramEnd, kAddress24);
  if (p.ramEnd < p.ramStart || p.ramEnd - p.ramStart >= kMaxRamSize) r.Fail("RamEnd", "RAM area invalid");
  p.settleTime = r.Millis("SettleTime", 50);
  p.frameTimeout = r.Millis("FrameTimeout", 200);
  p.silenceReset = r.Millis("SilenceReset", 900);
  if (const auto file = r.Text("BootFile"); file && !file->empty()) {
    config.bootFile = ResolvePath(baseDir, *file);
    std::string error;
    const auto records = ReadRecordFile(config.bootFile, &error);
    if (!records) r.Fail("BootFile", error);
    p.bootCode = records->Concatenated();
  }
  if (const auto file = r.Text("FlashFile"); file && !file->empty()) {
    config.flashFile = ResolvePath(baseDir, *file);
    std::string error;
    auto records = ReadRecordFile(config.flashFile, &error);
    if (!records) r.Fail("FlashFile", error);
    p.firmware = std::move(*records);
  }
}

LinkParams ReadLink(const Reader& r) {
  LinkParams p;
  p.charTimeout = r.Millis("CharTimeout", 220);
  p.ackTimeout = r.Millis("AckTimeout", 2000);
  p.retryDelay = r.Millis("RetryDelay", 200);
  p.tries = r.Number("Tries", p.tries, 100);
  p.refusals = r.Number("Refusals", p.refusals, 100);
  if (p.tries == 0) r.Fail("Tries", "must be at least 1");
  if (p.refusals == 0) r.Fail("Refusals", "must be at least 1");
  p.blockSize = r.Number("BlockSize", 0, 0xFFFF);
  return p;
}

FlashLayout ReadLayout(const Reader& bank, const std::string& path) {
  std::string error;
  const auto file = IniFile::Load(path, &error);
  if (!file) bank.Fail("Libraries", "flash description file " + error);
  const auto layout = ParseFlashLayout(*file, &error);
  if (!layout) bank.Fail("Libraries", path + ": " + error);
  return *layout;
}

std::vector<FlashBank> ReadBanks(const IniFile& ini, const std::string& baseDir, const std::string& infoDir) {
  std::vector<FlashBank> banks;
  for (int n = 0;; ++n) {
    const Reader r(ini, "Bank" + std::to_string(n));
    if (!r.Text("Start")) break;
    FlashBank bank;
    bank.start = r.Number("Start", 0);
    bank.mode = static_cast<uint8_t>(r.Number("Mode", 1, 0xFF));
    const std::string libraries = r.Text("Libraries", "");
    for (const auto piece : SplitList(libraries)) {
      const auto number = ParseU32(piece);
      const Reader lib(ini, "Library" + std::string(piece));
      const std::string wordText = lib.Text("Words", "");
      const auto words = SplitList(wordText);
      if (!number || words.size() != 4) {
        r.Fail("Libraries", "[Library" + std::string(piece) + "] Words needs w0, w1, w2, w3");
      }
      FlashLibrary library;
      for (std::size_t w = 0; w < 4; ++w) {
        const auto value = ParseU32(words[w]);
        if (!value || *value > 0xFFFF) lib.Fail("Words", "\"" + std::string(words[w]) + "\" is no 16-bit word");
        library.words[w] = static_cast<uint16_t>(*value);
      }
      bank.libraries.push_back(library);
    }
    std::string layoutPath;
    if (const auto layout = r.Text("Layout"); layout && !layout->empty()) {
      layoutPath = ResolvePath(baseDir, *layout);
    } else if (!bank.libraries.empty()) {
      const auto& w = bank.libraries.front().words;
      const std::string name = FlashInfoFileName(w[2], w[1], w[3]);
      layoutPath = FindFileIgnoringCase(infoDir, name);
      if (layoutPath.empty()) r.Fail("Libraries", "no flash description file " + name + " in " + infoDir);
    } else {
      r.Fail("Libraries", "a bank needs a library or a Layout file");
    }
    const FlashLayout layout = ReadLayout(r, layoutPath);
    bank.layout = layout.Scaled(bank.mode == 0 ? 2 : 1);
    if (static_cast<uint64_t>(bank.start) + bank.layout.Size() > 0x100000000ull) {
      r.Fail("Start", "the bank does not fit the address space");
    }
    for (const auto& other : banks) {
      if (bank.start <= other.End() && bank.End() >= other.start) r.Fail("Start", "the bank overlaps another");
    }
    bank.hardwareProtected = r.Ranges("HardwareProtected");
    bank.firmwareUsed = r.Ranges("FirmwareUsed");
    banks.push_back(std::move(bank));
  }
  return banks;
}

}  // namespace

std::string ResolvePath(const std::string& baseDir, const std::string& path) {
  std::string p = path;
  std::replace(p.begin(), p.end(), '\\', '/');
  if (p.empty() || p[0] == '/' || baseDir.empty()) return p;
  return baseDir.back() == '/' ? baseDir + p : baseDir + "/" + p;
}

std::string FindFileIgnoringCase(const std::string& dir, const std::string& name) {
  const std::unique_ptr<DIR, int (*)(DIR*)> handle(opendir(dir.c_str()), closedir);
  if (!handle) return {};
  while (const dirent* entry = readdir(handle.get())) {
    if (EqualsIgnoringCase(entry->d_name, name)) return ResolvePath(dir, entry->d_name);
  }
  return {};
}

SimConfig LoadConfig(const IniFile& ini, const std::string& baseDir) {
  SimConfig config;
  const Reader firmware(ini, "Firmware");
  config.firmware = ReadFirmware(firmware);
  config.answerDelay = firmware.Millis("AnswerDelay", 0);
  config.channel.headerMode = firmware.Flag("HeaderMode", false);
  config.channel.type = static_cast<uint8_t>(firmware.Number("HeaderType", 2, 0xFF));
  ReadBoot(Reader(ini, "Boot"), baseDir, config);
  const Reader link(ini, "Link");
  config.link = ReadLink(link);
  config.link.capacity = firmware.Number("BufferSize", 4096, 1u << 20);
  const Reader flash(ini, "Flash");
  config.firmware.eraseTimePerSector = flash.Millis("EraseTimePerSector", 0);
  config.firmware.programTimePerByte = Microseconds(flash.Number("ProgramTimePerByte", 0));
  config.imageFile = flash.Text("ImageFile", "");
  if (!config.imageFile.empty()) config.imageFile = ResolvePath(baseDir, config.imageFile);
  config.banks = ReadBanks(ini, baseDir, ResolvePath(baseDir, flash.Text("FlashInfoDir", "FlashInfo")));
  return config;
}

}  // namespace zk::modsim
