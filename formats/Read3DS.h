// Reading 3D Studio files (.3ds): a tree of binary chunks, each a 16-bit
// identifier and a 32-bit length that counts the whole chunk with its
// 6-byte header, all numbers little-endian.
//
// Every triangle object becomes a child mesh of the mesh being loaded
// (vertices, faces, material groups, texture coordinates, the mesh matrix
// and texture placement); materials become engine materials, or a texture
// with a companion material "iMat_<name>" when they carry a texture map;
// lights become point lights; fog, the solid background colour and the
// master scale reach the engine. Keyframes, cameras and viewport layouts
// are read past, and the chunks skipped leave a remark on the object being
// read.
//
// Damaged files never make the reader leave the file's bytes or its
// chunks: a chunk whose length is below 6 or runs past its parent's end
// ends the parent, a read past the end of the file ends the import (what
// was read stays), faces naming vertices the object does not have are
// skipped, and material groups bind only to materials of the same file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "engine/Matrix.h"
#include "platform/CString.h"
#include "platform/WinTypes.h"

class CFrameObject;
class CLight;
class CMaterial;
class CMeshObject;
class CRenderEngine;
class CTexture;
class Progress_Window;

// Raised by a read past the end of the file; ends the import quietly.
struct CReadException {};

// One import of one file into one root mesh.
class CRead3DS {
 public:
  explicit CRead3DS(CMeshObject* root);
  ~CRead3DS();
  CRead3DS(const CRead3DS&) = delete;
  CRead3DS& operator=(const CRead3DS&) = delete;

  // Reads the file image; `directory` is where texture files are looked for
  // first. −1 when this is not a 3D Studio file (it does not begin with a
  // main chunk); 0 otherwise, also when the user declines the version
  // prompt or the file ends early.
  int Read(const uint8_t* data, size_t size, const CString& directory);

 private:
  struct Chunk {
    uint16_t id = 0;
    uint64_t start = 0;
    uint64_t end = 0;  // as the length says; may lie past the file's end
  };
  // A texture read from a material and its companion material.
  struct TextureEntry {
    CTexture* texture = nullptr;
    CMaterial* companion = nullptr;
  };
  struct TextureInfo {
    bool read = false;
    int mapType = 0;
    float tileX = 1, tileY = 1;
    D3DVECTOR icon;
    float matrix[4][3] = {};
    float scaling = 1, planarWidth = 0, planarHeight = 0, cylinderHeight = 0;
  };

  // --- primitive readers (raise CReadException at the end of the file) ---
  uint8_t ReadChar();
  uint16_t ReadShort();
  uint32_t ReadLong();
  float ReadFloat();
  D3DVECTOR ReadVector();
  // The next sub-chunk header of `parent`, or false when `parent` ends:
  // no room left for a header, or a length below 6 or past its end.
  bool NextChunk(const Chunk& parent, Chunk* chunk);
  void Seek(uint64_t offset) { m_Pos = offset; }
  // Object names: at most 11 characters, "Default_name" for an empty one.
  CString ReadName(const Chunk& within);
  // Material and group names up to the zero byte (or the chunk's end),
  // "Default name" for an empty one.
  CString ReadLongName(const Chunk& within);

  // --- chunk readers ---
  void ReadMain(const Chunk& main);
  void ReadEditor(const Chunk& editor);
  void ReadNamedObject(const Chunk& object);
  void ReadTriangleObject(const Chunk& mesh);
  void ReadVertices(const Chunk& chunk);
  void ReadFaces(const Chunk& chunk);
  void ReadMaterialGroup(const Chunk& chunk);
  void ReadTextureVertices(const Chunk& chunk);
  void ReadMeshMatrix();
  void ReadTextureInfo();
  void ReadLight(const Chunk& light);
  void ReadMaterial(const Chunk& material);
  void ReadFog(const Chunk& fog);
  void ReadBackground(const Chunk& background);
  void ReadViewports(const Chunk& layout);
  void ReadCamera(const Chunk& camera);
  void ReadKeyframes(const Chunk& keyframes);
  // A colour sub-chunk (0010 to 0013) as 0..1 floats; false for another kind.
  bool ReadColor(const Chunk& chunk, D3DVECTOR* colour);
  // The first colour sub-chunk of `parent`.
  bool ReadColorIn(const Chunk& parent, D3DVECTOR* colour);
  void ApplyMasterScale(CMeshObject* object);

  void Message(const char* text);
  void AddCommentToObject(const CString& text);
  // Makes `item` one of this import's: no undo recording while it runs.
  template <class T>
  T* Created(T* item);
  // The texture entry for this mesh: the material's texture for the first
  // mesh that uses it, a copy for each further one.
  TextureEntry TextureForMesh(const CString& key, CMeshObject* mesh);
  // The texture file a material names, looked for beside the model and
  // along the search paths in any letter case.
  CString FindTextureFile(const CString& stored) const;

  CMeshObject* m_Root;
  CRenderEngine* m_Engine;
  Progress_Window* m_Progress = nullptr;
  const uint8_t* m_Data = nullptr;
  uint64_t m_Size = 0;
  uint64_t m_Pos = 0;
  CString m_Directory;
  int m_Version = 0;
  float m_MasterScale = 1.0f;
  CMeshObject* m_Current = nullptr;
  CString m_ObjectName;
  bool m_Hidden = false;
  TextureInfo m_TextureInfo;
  // File face number → mesh face (−1 for a face that was skipped).
  std::vector<long> m_FaceMap;
  long m_LastProgress = -1;
  // The materials and textures of this file by their name in upper case.
  std::map<CString, CMaterial*> m_Materials;
  std::map<CString, TextureEntry> m_Textures;
  // Meshes that hold a texture of m_Textures, and its copy for each.
  std::map<std::pair<CString, CMeshObject*>, TextureEntry> m_MeshTextures;
  std::set<CTexture*> m_TakenTextures;
  std::vector<CLight*> m_Lights;
  std::vector<CFrameObject*> m_Created;
};

// The entry: reads `file` into `root`. −1 when an argument is missing, the
// file cannot be read or is not a 3D Studio file; 0 otherwise.
int Load3DStudio_Object(const CString& file, const CString& directory, CMeshObject* root);
// The same from a file image in memory.
int Load3DStudio_Memory(const uint8_t* data, size_t size, const CString& directory, CMeshObject* root);
