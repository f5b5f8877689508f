// addin-check: the conformance check of a hand-over, and the configuration
// slot of the stand-in add-in.
//
//   addin-check check LOG [expectation options]
//       Prints every deviation of the recorded hand-over from the protocol;
//       exit code 0 when it conforms, 1 when it deviates, 2 on a usage or
//       file fault. Options: see check_options.h.
//   addin-check embed-config DLL_IN DLL_OUT CONFIG_PATH
//       Copies the add-in with CONFIG_PATH (a Windows path) in its slot.
//   addin-check show-config DLL
//       Prints the configuration path in the add-in's slot (empty line when
//       there is none).
#include <utf8.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tools/addin_protocol/addin_log.h"
#include "tools/addin_protocol/check_options.h"
#include "tools/addin_protocol/conformance.h"
#include "tools/addin_protocol/embedded_config.h"

namespace {

constexpr int kUsage = 2;

bool ReadFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  out = content.str();
  return !in.bad();
}

int Usage() {
  std::cerr << "usage: addin-check check LOG [--pid N] [--property1209 N] [--language N] [--option N]\n"
               "                 [--exe-path yes|no] [--settings-record yes|no] [--completed yes|no]\n"
               "                 [--external yes|no] [--visible-at-end yes|no] [--icon yes|no] [--quit yes|no]\n"
               "       addin-check embed-config DLL_IN DLL_OUT CONFIG_PATH\n"
               "       addin-check show-config DLL\n";
  return kUsage;
}

int Check(const std::vector<std::string>& args) {
  if (args.empty()) return Usage();
  brisk::addin::HandoverExpectation expect;
  if (const auto fault = brisk::addin::ParseExpectationOptions({args.begin() + 1, args.end()}, expect)) {
    std::cerr << "addin-check: " << *fault << "\n";
    return kUsage;
  }
  std::string text;
  if (!ReadFile(args[0], text)) {
    std::cerr << "addin-check: cannot read " << args[0] << "\n";
    return kUsage;
  }
  const auto deviations = brisk::addin::CheckHandover(brisk::addin::ParseAddinLog(text), expect);
  for (const auto& deviation : deviations) std::cout << deviation << "\n";
  if (deviations.empty()) std::cout << "the hand-over conforms\n";
  return deviations.empty() ? 0 : 1;
}

int EmbedConfig(const std::vector<std::string>& args) {
  if (args.size() != 3) return Usage();
  std::string bytes;
  if (!ReadFile(args[0], bytes)) {
    std::cerr << "addin-check: cannot read " << args[0] << "\n";
    return kUsage;
  }
  if (!utf8::is_valid(args[2].begin(), args[2].end())) {
    std::cerr << "addin-check: the configuration path is not UTF-8\n";
    return kUsage;
  }
  std::u16string path;
  utf8::utf8to16(args[2].begin(), args[2].end(), std::back_inserter(path));
  std::vector<std::uint8_t> image(bytes.begin(), bytes.end());
  if (const auto fault = brisk::addin::EmbedConfigPath(image, path)) {
    std::cerr << "addin-check: " << *fault << "\n";
    return kUsage;
  }
  std::ofstream out(args[1], std::ios::binary);
  out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  if (!out.flush()) {
    std::cerr << "addin-check: cannot write " << args[1] << "\n";
    return kUsage;
  }
  return 0;
}

int ShowConfig(const std::vector<std::string>& args) {
  if (args.size() != 1) return Usage();
  std::string bytes;
  if (!ReadFile(args[0], bytes)) {
    std::cerr << "addin-check: cannot read " << args[0] << "\n";
    return kUsage;
  }
  const auto path = brisk::addin::EmbeddedConfigPath(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  if (!path) {
    std::cerr << "addin-check: " << args[0] << " has no single configuration slot\n";
    return kUsage;
  }
  std::string utf8;
  try {
    utf8::utf16to8(path->begin(), path->end(), std::back_inserter(utf8));
  } catch (const utf8::exception&) {
    std::cerr << "addin-check: the configuration slot holds no valid UTF-16 text\n";
    return kUsage;
  }
  std::cout << utf8 << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "check") return Check(args);
  if (command == "embed-config") return EmbedConfig(args);
  if (command == "show-config") return ShowConfig(args);
  return Usage();
}
