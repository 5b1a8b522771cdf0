// The command line on the model formats of the table: --help lists them,
// --info reads a .3ds file, --convert turns it into a .x file that reads
// back the same.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "app/CommandLineTool.h"

namespace fs = std::filesystem;

namespace {

struct ModelRun {
  int status;
  std::string out, err;
};

ModelRun Tool(const std::vector<CString>& args) {
  std::ostringstream out, err;
  const int status = RunTool(ParseToolRequest(args), out, err);
  return {status, out.str(), err.str()};
}

std::string Total(const std::string& out) {
  const size_t at = out.rfind("total:");
  return at == std::string::npos ? "" : out.substr(at);
}

}  // namespace

TEST(CommandLineModels, HelpListsTheFormatsAndThreeDStudioFilesConvertToX) {
  const ModelRun help = Tool({"--help"});
  EXPECT_NE(help.out.find("Models read: .x, .3ds and .sps."), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("Models written: .x."), std::string::npos) << help.out;

  const CString model = CString(ORV_CORPUS_DIR) + "/3ds/assimp-nonbsd/jeep1.3ds";
  const ModelRun info = Tool({"--info", model});
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_NE(Total(info.out).find(" faces=2032 "), std::string::npos) << info.out;

  const fs::path dir = fs::temp_directory_path() / ("orv_tool_3ds_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const CString out = (dir / "jeep1.x").string();
  const ModelRun convert = Tool({"--convert", model, out});
  ASSERT_EQ(convert.status, 0) << convert.err;
  const ModelRun back = Tool({"--info", out});
  ASSERT_EQ(back.status, 0) << back.err;
  EXPECT_EQ(Total(back.out), Total(info.out));

  // A .3ds file is read, not written; a file that is none is refused.
  const ModelRun toThreeDS = Tool({"--convert", model, (dir / "again.3ds").string()});
  EXPECT_EQ(toThreeDS.status, 1);
  EXPECT_NE(toThreeDS.err.find("writes .x files only"), std::string::npos) << toThreeDS.err;
  const ModelRun wrong = Tool({"--info", CString(ORV_CORPUS_DIR) + "/3ds/online3dviewer/wrong.3ds"});
  EXPECT_EQ(wrong.status, 1);
  EXPECT_NE(wrong.err.find("Can't open file as 3D Studio File."), std::string::npos) << wrong.err;
  fs::remove_all(dir);
}
