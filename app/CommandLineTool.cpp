#include "app/CommandLineTool.h"

#include <sys/socket.h>
#include <sys/un.h>

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>

#include "engine/CTexture.h"
#include "engine/ErrorTable.h"
#include "engine/RenderEngine.h"
#include "imaging/ImageFile.h"
#include "formats/ModelFormats.h"
#include "platform/Host.h"
#include "platform/Paths.h"

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
    if ((type & 0xF0) == MB_ICONWARNING) line = "warning: " + line;
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
  // The one line of a failure: what failed, and why. Messages that name
  // the file themselves ("Cannot load "f": ...", or `whole`) stand first;
  // warnings keep lines of their own, before it.
  void Fail(const CString& what, const CString& fallback, const CString& whole = "") {
    std::vector<CString> named, other;
    if (!whole.empty()) named.push_back(whole);
    for (const CString& m : m_Messages) {
      if (m.rfind("warning: ", 0) == 0) m_Err << "Orvane: " << m << "\n";
      else if (m.rfind("Cannot load \"", 0) == 0 || m.rfind("Cannot save \"", 0) == 0) named.push_back(m);
      else other.push_back(m);
    }
    auto join = [](const std::vector<CString>& list) {
      CString text;
      for (const CString& m : list) text += (text.empty() ? "" : "; ") + m;
      return text;
    };
    CString line;
    if (!named.empty()) {
      line = join(named);
      line[0] = 'c';  // "cannot load", as in the tool's other lines
      if (!other.empty()) line += " (" + join(other) + ")";
    } else {
      line = what + ": " + (other.empty() ? fallback : join(other));
    }
    m_Err << "Orvane: " << line << "\n";
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
  // Each texture with its image: found and decoded (with the file's size,
  // and the surface size when that differs), or why not.
  const CString pad(static_cast<size_t>(depth + 1) * 2, ' ');
  for (long i = 0; i < m->GetTextureCount(); ++i) {
    CTexture* x = m->GetTexture(i);
    if (!x) continue;
    out << pad << "texture \"" << x->GetName() << "\" file=\"" << x->GetFileName() << "\" ";
    if (x->GetValidTextureMap()) {
      out << "image=decoded size=" << x->GetImageFileWidth() << "x" << x->GetImageFileHeight();
      if (x->GetBitMapWidth() != x->GetImageFileWidth() || x->GetBitMapHeight() != x->GetImageFileHeight())
        out << " surface=" << x->GetBitMapWidth() << "x" << x->GetBitMapHeight();
      out << "\n";
    } else if (x->GetFileName().empty()) {
      out << "image=none\n";
    } else if (ImageFormatFromName(x->GetFileName()) == IMAGE_FILE_NONE) {
      out << "image=unsupported-format\n";
    } else {
      out << (x->GetImageFileFound() ? "image=refused" : "image=not-found");
      if (!x->GetImageError().empty()) out << " (" << x->GetImageError() << ")";
      out << "\n";
    }
  }
  ++t.meshes;
  t.vertices += m->GetVertexCount();
  t.faces += m->GetFaceCount();
  t.materials += m->GetMaterialCount();
  t.textures += m->GetTextureCount();
  for (SimpleNode<CMeshObject>* n = m->ChildList().Head(); n; n = n->Next())
    if (n->Node()) ListMesh(n->Node(), depth + 1, out, t);
}

}  // namespace

namespace {

// Options of Qt that take a value, and those that do not, as the window
// program hands them on to QApplication.
bool IsQtOptionWithValue(const CString& a) {
  static const char* const kNames[] = {"platform", "platformpluginpath", "platformtheme", "plugin", "display",
                                       "geometry", "style", "stylesheet", "session", "name", "title", "qwindowgeometry",
                                       "qwindowtitle", "qwindowicon"};
  for (const char* n : kNames)
    if (a == CString("-") + n || a == CString("--") + n) return true;
  return false;
}
bool IsQtFlag(const CString& a) { return a == "-reverse" || a == "--reverse" || a == "-widgetcount"; }

}  // namespace

ToolRequest ParseToolRequest(const std::vector<CString>& args) {
  ToolRequest r;
  auto usage = [&r](const CString& text) {
    if (r.error.empty()) r.error = text;
  };
  bool options = true;
  for (size_t i = 0; i < args.size(); ++i) {
    const CString& a = args[i];
    const bool option = options && a.size() > 1 && a[0] == '-';
    if (!option) {
      if (options && a == "-") continue;
      if (r.mode == ToolRequest::Mode::Info) r.inputs.push_back(a);
      continue;  // the window program's model file
    }
    if (a == "--") {
      options = false;
    } else if (a == "--help" || a == "-h") {
      r.mode = ToolRequest::Mode::Help;
      return r;
    } else if (a == "--version") {
      r.mode = ToolRequest::Mode::Version;
      return r;
    } else if (a == "--info") {
      r.mode = ToolRequest::Mode::Info;
      // Every file up to the next option.
      while (i + 1 < args.size() && !(args[i + 1].size() > 1 && args[i + 1][0] == '-')) r.inputs.push_back(args[++i]);
      if (r.inputs.empty()) usage("--info needs a file name");
    } else if (a == "--convert") {
      r.mode = ToolRequest::Mode::Convert;
      if (i + 2 < args.size()) {
        r.input = args[++i];
        r.output = args[++i];
      } else {
        usage("--convert needs an input and an output file name");
      }
    } else if (a == "--x-format") {
      if (i + 1 < args.size()) r.xFormat = args[++i];
      else usage("--x-format needs text, binary, compressed-text or compressed-binary");
    } else if (a.rfind("--x-format=", 0) == 0) {
      r.xFormat = a.substr(11);
    } else if (a == "--nologo" || a == "--quit-after-start" || IsQtFlag(a)) {
      // Options of the window program.
    } else if (IsQtOptionWithValue(a)) {
      ++i;
    } else {
      usage("unknown option \"" + a + "\"");
    }
  }
  if (r.mode == ToolRequest::Mode::Info && !r.inputs.empty()) r.input = r.inputs.front();
  if (r.mode != ToolRequest::Mode::None && r.xFormat != "text" && r.xFormat != "binary" &&
      r.xFormat != "compressed-text" && r.xFormat != "compressed-binary")
    usage("unknown --x-format \"" + r.xFormat + "\" (text, binary, compressed-text or compressed-binary)");
  return r;
}

bool X11DisplayReachable(const CString& display) {
  const size_t colon = display.rfind(':');
  if (colon == CString::npos) return false;
  const CString host = display.substr(0, colon);
  if (!host.empty() && host != "unix") return true;
  const CString number = display.substr(colon + 1, display.find('.', colon) - colon - 1);
  if (number.empty() || number.find_first_not_of("0123456789") != CString::npos) return false;
  const CString socketPath = "/tmp/.X11-unix/X" + number;
  // The server listens on the abstract name and on the file; either will do.
  for (bool abstract : {true, false}) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return true;  // cannot tell
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const size_t offset = abstract ? 1 : 0;
    std::memcpy(addr.sun_path + offset, socketPath.data(), std::min(socketPath.size(), sizeof addr.sun_path - 2));
    const socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + socketPath.size() +
                                                    (abstract ? 0 : 1));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), length) == 0;
    ::close(fd);
    if (ok) return true;
  }
  return false;
}

CString DisplayProblem(const std::vector<CString>& args, const char* (*env)(const char*),
                       bool (*reachable)(const CString&)) {
  CString platform;
  if (const char* p = env("QT_QPA_PLATFORM")) platform = p;
  for (size_t i = 0; i + 1 < args.size(); ++i)
    if (args[i] == "-platform" || args[i] == "--platform") platform = args[i + 1];
  platform = platform.substr(0, platform.find(':'));  // "xcb:option=..." and the like
  auto set = [env](const char* name) {
    const char* v = env(name);
    return v && *v;
  };
  const bool x11 = set("DISPLAY"), wayland = set("WAYLAND_DISPLAY");
  // Platforms that draw without a display server (offscreen, vnc, linuxfb, ...) need neither.
  const bool needsX11 = platform == "xcb", needsWayland = platform.rfind("wayland", 0) == 0;
  if (platform.empty() ? (x11 || wayland) : needsX11 ? x11 : needsWayland ? wayland : true) {
    // Qt aborts when the X display it is given does not answer.
    const bool usesX11 = needsX11 || (platform.empty() && !wayland);
    if (usesX11 && !reachable(env("DISPLAY")))
      return StrFormat("Orvane: the window program cannot open the display \"%s\"; --info and --convert work without one",
                       env("DISPLAY"));
    return {};
  }
  const char* which = needsX11 ? "DISPLAY is not set" : needsWayland ? "WAYLAND_DISPLAY is not set"
                                                                      : "neither DISPLAY nor WAYLAND_DISPLAY is set";
  return StrFormat("Orvane: the window program needs a display (%s); --info and --convert work without one", which);
}

CString ToolHelpText() {
  return "Usage: Orvane [options] [MODEL]\n"
         "\n"
         "Starts the scene builder, loading MODEL when one is named.\n"
         "\n"
         "Options:\n"
         "  --help                 show this text and exit\n"
         "  --version              show the version and exit\n"
         "  --nologo               start without the tips window\n"
         "  --quit-after-start     close again once the first idle refresh has run\n"
         "  --info FILE...         load each FILE without a window and print one line per\n"
         "                         mesh (parents before children) and a last line\n"
         "                         \"total: meshes=M vertices=V faces=F materials=T textures=X\";\n"
         "                         with several files each listing starts with\n"
         "                         file \"FILE\"\n"
         "  --convert IN OUT       load IN and save it as OUT without a window; the\n"
         "                         writer is chosen by OUT's extension; OUT is replaced\n"
         "                         only when the save succeeds\n"
         "  --x-format FORMAT      encoding of a .x OUT: text (default), binary,\n"
         "                         compressed-text or compressed-binary\n"
         "\n"
         "Models read: " + ReadableModelExtensions() + ".\n"
         "Models written: " + WritableModelExtensions() + ".\n"
         "\n"
         "--info and --convert work without a display. They exit with 0 on success,\n"
         "1 when a file cannot be read or written, and 2 for a usage error.\n";
}

int RunTool(const ToolRequest& request, std::ostream& out, std::ostream& err) {
  if (!request.error.empty()) {
    err << "Orvane: " << request.error << "\n" << ToolHelpText();
    return kUsageStatus;
  }
  if (request.mode == ToolRequest::Mode::Help) {
    out << ToolHelpText();
    return 0;
  }
  if (request.mode == ToolRequest::Mode::Version) {
    out << "Orvane " << ORV_VERSION << "\n";
    return 0;
  }
  if (request.mode == ToolRequest::Mode::None) return 0;
  if (request.mode == ToolRequest::Mode::Info && request.inputs.size() > 1) {
    // Each file on its own, each listing under its name; 1 when any failed.
    int status = 0;
    for (const CString& in : request.inputs) {
      ToolRequest one = request;
      one.input = in;
      one.inputs = {in};
      one.nameListing = true;
      if (RunTool(one, out, err) != 0) status = 1;
    }
    return status;
  }
  ToolHost host(err);
  ScopedHost scope(&host);
  ToolWindow window;
  int status = 0;
  {
    CRenderEngine engine(8);
    engine.Init_RenderEngine(&window);
    // Texture names as the window program takes them (the setting's default
    // leaves every name as given).
    engine.SetTextureLoadMode(HostGetProfileInt("ACTIONS", "DEFAULT_TEXTURES", 0));
    const CString& in = request.input;
    CMeshObject* mesh = engine.CreateObject();
    LONG result = mesh ? 0 : E_FAIL;
    const CString found = FindFileCaseInsensitive(in);
    if (const int e = mesh ? FileReadError(found.empty() ? in : found) : 0; e != 0) {
      host.Fail("cannot load \"" + in + "\"", "", "Cannot load \"" + in + "\": " + SystemErrorDescription(e));
      status = 1;
    } else if (mesh) {
      const ModelFormat* format = FindModelFormat(in);
      if (!format || !format->read) {
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
      if (request.nameListing) out << "file \"" << in << "\"\n";
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
      const ModelFormat* format = FindModelFormat(target);
      if (!format || !format->write) {
        host.Fail("cannot save \"" + target + "\"", "the program writes " + WritableModelExtensions() + " files only");
        status = 1;
      } else {
        // The writer saves beside the target and renames over it when done
        // (keeping the target's permissions and flushing to disk), so a
        // failed save leaves the target alone.
        mesh->SetExportType(format->exportType);
        const CString& f = request.xFormat;
        mesh->SetLastSaveFormat(f == "binary" || f == "compressed-binary" ? 1 : 0);
        host.SetCompress(f.rfind("compressed-", 0) == 0 ? 1 : 0);
        result = mesh->Save(target, mesh->GetLastSaveMethode());
        if (result != 0) {
          host.Fail("cannot save \"" + target + "\"", StrFormat("error 0x%08X", static_cast<unsigned>(result)));
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
