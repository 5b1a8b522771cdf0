#include "app/CommandLineTool.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <unistd.h>

#include "engine/RenderEngine.h"
#include "platform/Host.h"
#include "platform/Paths.h"
#include "platform/SaveFiles.h"

namespace {

// Messages of the engine go to the error stream instead of message boxes;
// questions take their default answer. Those of a failed run are folded
// into its one failure line.
class ToolHost : public IHost {
 public:
  explicit ToolHost(std::ostream& err) : m_Err(err) {}

  int MessageBox(const CString& text, const CString&, UINT type) override {
    CString line = text;
    for (char& c : line)
      if (c == '\n' || c == '\r') c = ' ';
    if (m_Seen.insert(line).second) m_Messages.push_back(line);
    return (type & MB_TYPEMASK) == MB_YESNO || (type & MB_TYPEMASK) == MB_YESNOCANCEL ? IDYES : IDOK;
  }
  void ProgressShow(bool) override {}
  void ProgressSetRange(LONG, LONG) override {}
  void ProgressSetPos(LONG) override {}
  void ProgressSetMessage(const CString&) override {}
  int GetProfileInt(const CString& section, const CString& entry, int defaultValue) override {
    if (StrUpper(section) == "ACTIONS" && StrUpper(entry) == "SAVECOMPRESSDIRECTX") return m_Compress;
    return defaultValue;
  }
  CString GetProfileString(const CString&, const CString&, const CString& defaultValue) override {
    return defaultValue;
  }
  bool IsBatchConversion() const override { return false; }
  void RequestRefresh(DWORD) override {}
  HRESULT AddUndoAction(CAction*) override { return E_FAIL; }
  void CheckUndoList(CFrameObject*) override {}
  void RecalcLoadedMeshViews() override {}

  // Messages so far as warnings on their own lines.
  void FlushWarnings() {
    for (const CString& m : m_Messages) m_Err << "Orvane: " << m << "\n";
    m_Messages.clear();
  }
  // The one line of a failure: what failed, and why.
  void Fail(const CString& what, const CString& fallback) {
    CString reason;
    for (const CString& m : m_Messages) reason += (reason.empty() ? "" : "; ") + m;
    if (reason.empty()) reason = fallback;
    m_Err << "Orvane: " << what << ": " << reason << "\n";
    m_Messages.clear();
  }
  void SetCompress(int on) { m_Compress = on; }

 private:
  std::ostream& m_Err;
  std::vector<CString> m_Messages;
  std::set<CString> m_Seen;
  int m_Compress = 0;
};

class ToolWindow : public CWnd {
 public:
  CRect GetClientRect() const override { return CRect(0, 0, 640, 480); }
};

struct Totals {
  long meshes = 0, vertices = 0, faces = 0, materials = 0, textures = 0;
};

void ListMesh(CMeshObject* m, int depth, std::ostream& out, Totals& t) {
  out << CString(static_cast<size_t>(depth) * 2, ' ') << "mesh \"" << m->GetName() << "\" vertices="
      << m->GetVertexCount() << " faces=" << m->GetFaceCount() << " materials=" << m->GetMaterialCount()
      << " textures=" << m->GetTextureCount() << " children=" << m->ChildList().Count() << "\n";
  ++t.meshes;
  t.vertices += m->GetVertexCount();
  t.faces += m->GetFaceCount();
  t.materials += m->GetMaterialCount();
  t.textures += m->GetTextureCount();
  for (SimpleNode<CMeshObject>* n = m->ChildList().Head(); n; n = n->Next())
    if (n->Node()) ListMesh(n->Node(), depth + 1, out, t);
}

bool IsXFile(const CString& path) { return StrUpper(PathExtension(path)) == "X"; }

}  // namespace

ToolRequest ParseToolRequest(const std::vector<CString>& args) {
  ToolRequest r;
  for (size_t i = 0; i < args.size(); ++i) {
    const CString& a = args[i];
    if (a == "--help" || a == "-h") {
      r.mode = ToolRequest::Mode::Help;
      return r;
    }
    if (a == "--info") {
      r.mode = ToolRequest::Mode::Info;
      if (i + 1 < args.size()) r.input = args[++i];
      else r.error = "--info needs a file name";
    } else if (a == "--convert") {
      r.mode = ToolRequest::Mode::Convert;
      if (i + 2 < args.size()) {
        r.input = args[++i];
        r.output = args[++i];
      } else {
        r.error = "--convert needs an input and an output file name";
      }
    } else if (a == "--x-format") {
      if (i + 1 < args.size()) r.xFormat = args[++i];
      else r.error = "--x-format needs text, binary, compressed-text or compressed-binary";
    } else if (a.rfind("--x-format=", 0) == 0) {
      r.xFormat = a.substr(11);
    }
  }
  if (r.mode != ToolRequest::Mode::None && r.error.empty() && r.xFormat != "text" && r.xFormat != "binary" &&
      r.xFormat != "compressed-text" && r.xFormat != "compressed-binary")
    r.error = "unknown --x-format \"" + r.xFormat + "\" (text, binary, compressed-text or compressed-binary)";
  return r;
}

CString ToolHelpText() {
  return "Usage: Orvane [options] [MODEL]\n"
         "\n"
         "Starts the scene builder, loading MODEL when one is named.\n"
         "\n"
         "Options:\n"
         "  --help                 show this text and exit\n"
         "  --nologo               start without the tips window\n"
         "  --quit-after-start     close again once the first idle refresh has run\n"
         "  --info FILE            load FILE without a window and print one line per mesh\n"
         "                         (parents before children) and a last line\n"
         "                         \"total: meshes=M vertices=V faces=F materials=T textures=X\"\n"
         "  --convert IN OUT       load IN and save it as OUT without a window; the\n"
         "                         writer is chosen by OUT's extension (.x, .rwx); OUT\n"
         "                         is replaced only when the save succeeds\n"
         "  --x-format FORMAT      encoding of a .x OUT: text (default), binary,\n"
         "                         compressed-text or compressed-binary\n"
         "\n"
         "--info and --convert exit with 0 on success and 1 on failure.\n";
}

int RunTool(const ToolRequest& request, std::ostream& out, std::ostream& err) {
  if (request.mode == ToolRequest::Mode::Help) {
    out << ToolHelpText();
    return 0;
  }
  if (request.mode == ToolRequest::Mode::None) return 0;
  if (!request.error.empty()) {
    err << "Orvane: " << request.error << "\n";
    return 1;
  }
  ToolHost host(err);
  ScopedHost scope(&host);
  ToolWindow window;
  int status = 0;
  {
    CRenderEngine engine(8);
    engine.Init_RenderEngine(&window);
    const CString& in = request.input;
    CMeshObject* mesh = engine.CreateObject();
    LONG result = mesh ? 0 : E_FAIL;
    if (mesh && !FileExists(in) && FindFileCaseInsensitive(in).empty()) {
      host.Fail("cannot load \"" + in + "\"", "the file does not exist");
      status = 1;
    } else if (mesh) {
      const CString upper = StrUpper(PathExtension(in));
      if (upper != "X" && upper != "SPS" && upper != "3DS" && upper != "COB" && upper != "SCN" && upper != "RWX") {
        host.Fail("cannot load \"" + in + "\"", "the file type is not one the program reads");
        status = 1;
      } else {
        result = mesh->Load(in);
        if (result != 0) {
          host.Fail("cannot load \"" + in + "\"", StrFormat("error 0x%08X", static_cast<unsigned>(result)));
          status = 1;
        }
      }
    }
    if (status == 0 && request.mode == ToolRequest::Mode::Info) {
      host.FlushWarnings();
      // Every mesh with no parent, then its subtree.
      std::set<CMeshObject*> children;
      for (SimpleNode<CMeshObject>* n = engine.ObjectList().Head(); n; n = n->Next())
        if (n->Node())
          for (SimpleNode<CMeshObject>* c = n->Node()->ChildList().Head(); c; c = c->Next()) children.insert(c->Node());
      Totals t;
      for (SimpleNode<CMeshObject>* n = engine.ObjectList().Head(); n; n = n->Next())
        if (n->Node() && !children.count(n->Node())) ListMesh(n->Node(), 0, out, t);
      out << "total: meshes=" << t.meshes << " vertices=" << t.vertices << " faces=" << t.faces
          << " materials=" << t.materials << " textures=" << t.textures << "\n";
    } else if (status == 0 && request.mode == ToolRequest::Mode::Convert) {
      host.FlushWarnings();
      const CString& target = request.output;
      const CString ext = StrUpper(PathExtension(target));
      if (ext != "X" && ext != "RWX") {
        host.Fail("cannot save \"" + target + "\"", "the program writes .x and .rwx files only");
        status = 1;
      } else {
        // Written beside the target first: a failed save leaves it alone.
        const CString dir = PathDirectory(target);
        const CString temp = PathJoin(dir.empty() ? CString(".") : dir,
                                      StrFormat(".orvane-%d-", static_cast<int>(::getpid())) + PathFileName(target));
        mesh->SetExportType(IsXFile(target) ? 1 : 2);
        const CString& f = request.xFormat;
        mesh->SetLastSaveFormat(f == "binary" || f == "compressed-binary" ? 1 : 0);
        host.SetCompress(f.rfind("compressed-", 0) == 0 ? 1 : 0);
        RemoveStaleSaveTemps(target);
        result = mesh->Save(temp, mesh->GetLastSaveMethode());
        std::error_code ec;
        if (result == 0) std::filesystem::rename(temp, target, ec);
        if (result == 0 && !ec && !SyncFolderOf(target)) ec = std::make_error_code(std::errc::io_error);
        if (result != 0 || ec) {
          std::filesystem::remove(temp, ec);
          host.Fail("cannot save \"" + target + "\"",
                    result != 0 ? StrFormat("error 0x%08X", static_cast<unsigned>(result)) : CString(ec.message()));
          status = 1;
        } else {
          host.FlushWarnings();
        }
      }
    }
    if (status == 0) host.FlushWarnings();
  }
  return status;
}
