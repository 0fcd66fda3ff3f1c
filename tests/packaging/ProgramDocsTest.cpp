// The manual pages, the shell completion and the desktop files stay true to
// the programs: every option --help lists is documented and completed, the
// versions are the build's, and the desktop's own validators accept the
// entry and the metadata.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "tests/support/TempFolder.h"

namespace {

std::string Contents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// Standard output and error of a shell command, and its exit status.
std::pair<int, std::string> Shell(const std::string& command) {
  std::string output;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return {-1, {}};
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

bool HaveTool(const std::string& name) {
  return Shell("command -v " + name + " >/dev/null").first == 0;
}

// The long options of a --help text: those that begin an option line.
std::set<std::string> LongOptions(const std::string& help) {
  std::set<std::string> options;
  static const std::regex line(R"(^ +(?:-[a-zA-Z], )?(--[a-z][a-z0-9-]*))");
  std::istringstream lines(help);
  for (std::string text; std::getline(lines, text);) {
    std::smatch match;
    if (std::regex_search(text, match, line)) options.insert(match[1]);
  }
  return options;
}

// "--jobs" as roff writes it.
std::string Roff(const std::string& option) {
  return std::regex_replace(option, std::regex("-"), "\\-");
}

struct Program {
  const char* Path;
  const char* Name;
  const char* Page;  // the manual page's source
};

const Program Programs[] = {
    {MELVARO_CONVERT_PROGRAM, "melvaro-convert", "melvaro-convert.1.in"},
    {MELVARO_WINDOW_PROGRAM, "melvaro", "melvaro.1.in"},
};

}  // namespace

TEST(ProgramDocs, EveryOptionOfTheHelpIsInTheManualPage) {
  for (const Program& program : Programs) {
    SCOPED_TRACE(program.Name);
    const auto [status, help] = Shell(std::string("'") + program.Path + "' --help");
    ASSERT_EQ(status, 0) << help;
    const std::set<std::string> options = LongOptions(help);
    EXPECT_TRUE(options.count("--help") && options.count("--version")) << help;
    const std::string page = Contents(std::string(MELVARO_PACKAGING_DIR "/") + program.Page);
    ASSERT_FALSE(page.empty());
    for (const std::string& option : options)
      EXPECT_NE(page.find(Roff(option)), std::string::npos) << option << " is not in " << program.Page;
  }
}

TEST(ProgramDocs, EveryOptionOfTheHelpIsCompleted) {
  const auto [status, help] = Shell("'" MELVARO_CONVERT_PROGRAM "' --help");
  ASSERT_EQ(status, 0) << help;
  const std::string script = Contents(MELVARO_PACKAGING_DIR "/melvaro-convert.bash");
  std::set<std::string> completed;
  static const std::regex list(R"re(local (?:with|without)_value="([^"]*)")re");
  for (std::sregex_iterator it(script.begin(), script.end(), list), end; it != end; ++it) {
    std::istringstream words((*it)[1].str());
    for (std::string word; words >> word;) completed.insert(word);
  }
  for (const std::string& option : LongOptions(help))
    EXPECT_TRUE(completed.count(option)) << option << " is not completed";
  // Through bash itself: the script loads and offers the options.
  const auto [ran, offered] = Shell(
      "bash -c 'source " MELVARO_PACKAGING_DIR "/melvaro-convert.bash && "
      "COMP_WORDS=(melvaro-convert --f) && COMP_CWORD=1 && _melvaro_convert && "
      "printf \"%s \" \"${COMPREPLY[@]}\"'");
  EXPECT_EQ(ran, 0) << offered;
  EXPECT_EQ(offered, "--format ");
}

TEST(ProgramDocs, VersionIsTheBuilds) {
  for (const Program& program : Programs) {
    const auto [status, version] = Shell(std::string("'") + program.Path + "' --version");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(version, std::string(program.Name) + " " MELVARO_VERSION "\n");
  }
}

TEST(ProgramDocs, DesktopEntryAndMetadataPassTheirValidators) {
  if (!HaveTool("desktop-file-validate") || !HaveTool("appstreamcli"))
    GTEST_SKIP() << "desktop-file-utils or appstream is not installed";
  // As the install writes it, with the program's path in place.
  TempFolder folder;
  const std::string installed = folder / "melvaro.desktop";
  std::ofstream(installed) << std::regex_replace(Contents(MELVARO_DESKTOP_ENTRY),
                                                 std::regex("@EXEC@"), "/usr/bin/melvaro");
  const auto [entryStatus, entry] = Shell("desktop-file-validate '" + installed + "'");
  EXPECT_EQ(entryStatus, 0) << entry;
  EXPECT_EQ(entry, "");
  const auto [metaStatus, meta] = Shell("appstreamcli validate --no-net '" MELVARO_METAINFO "'");
  EXPECT_EQ(metaStatus, 0) << meta;
}
