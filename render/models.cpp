// models.cpp -- start-up of every display list. The maze lists and the lamp
// take fixed numbers and are built first, so names handed out later by
// glGenLists never collide with them.
#include <GL/gl.h>

#include <map>

#include "render/render.h"

int fighterPartLists[kDetailLevels][kFighterParts] = {};
int preyPartLists[kDetailLevels][kPreyParts] = {};

namespace {

// The meshes stay in memory for the life of the process: measurements
// rebuild a frame's triangles from them (modelListSource).
ModelMeshes loadedMeshes;
std::map<int, ModelListSource> listSources;
std::vector<ModelListCall>* callSink = nullptr;

// The triangles of a mesh, a normal per corner, in stored order.
void emitTriangles(const Mesh& mesh) {
    const size_t vertexCount = mesh.vertices.size() / 3;
    const size_t normalCount = mesh.normals.size() / 3;
    glBegin(GL_TRIANGLES);
    for (size_t f = 0; f + 9 <= mesh.faces.size(); f += 9) {
        for (int c = 0; c < 3; ++c) {
            const int32_t vi = mesh.faces[f + c];
            const int32_t ni = mesh.faces[f + 3 + c];
            // A decoded mesh is consistent; one built in memory is checked here
            // all the same, so no index ever reads past an array.
            if (vi < 0 || ni < 0 || static_cast<size_t>(vi) >= vertexCount ||
                static_cast<size_t>(ni) >= normalCount)
                continue;
            glNormal3fv(&mesh.normals[static_cast<size_t>(ni) * 3]);
            glVertex3fv(&mesh.vertices[static_cast<size_t>(vi) * 3]);
        }
    }
    glEnd();
}

}  // namespace

int buildMeshList(const Mesh& mesh, float scale, bool turned) {
    const int name = static_cast<int>(glGenLists(1));
    glNewList(static_cast<GLuint>(name), GL_COMPILE);
    glPushMatrix();
    if (turned) glRotatef(-90.0f, 0.0f, 1.0f, 0.0f);
    glScalef(scale, scale, scale);
    emitTriangles(mesh);
    glPopMatrix();
    glEndList();
    listSources[name] = ModelListSource{&mesh, scale, turned};
    return name;
}

void buildLampList(const Mesh& lamp) {
    glNewList(kLampList, GL_COMPILE);
    emitTriangles(lamp);
    glEndList();
    listSources[kLampList] = ModelListSource{&lamp, 1.0f, false};
}

void buildFighterLists(const Mesh parts[kFighterParts], int table[kDetailLevels][kFighterParts]) {
    for (int k = 0; k < kFighterParts; ++k)
        table[0][k] = buildMeshList(parts[k], kFighterPartScales[k], false);
    for (int level = 1; level < kDetailLevels; ++level)
        for (int k = 0; k < kFighterParts; ++k) table[level][k] = table[0][k];
}

void buildPreyPartLists(const Mesh meshes[kPreyMeshParts][kPreyMeshLevels],
                        int table[kDetailLevels][kPreyParts]) {
    for (int level = 0; level < kPreyMeshLevels; ++level) {
        for (int part = 0; part < kPreyMeshParts; ++part)
            table[level][part] = buildMeshList(meshes[part][level], kPreyPartScales[part],
                                               part == kPreyMeshTurnedPart);
        // The second leg (parts 6..9) uses the first leg's meshes.
        for (int part = 6; part < kPreyParts; ++part) table[level][part] = table[level][part - 4];
    }
    for (int level = kPreyMeshLevels; level < kDetailLevels; ++level)
        for (int part = 0; part < kPreyParts; ++part) table[level][part] = table[0][part];
}

void readModelMeshes(ModelMeshes& meshes) {
    for (int k = 0; k < kFighterParts; ++k) readMeshFile(kFighterMeshFiles[k], meshes.fighter[k]);
    readMeshFile(kLampMeshFile, meshes.lamp);
    for (int part = 0; part < kPreyMeshParts; ++part)
        for (int level = 0; level < kPreyMeshLevels; ++level)
            readMeshFile(preyMeshFileName(part, level).c_str(), meshes.prey[part][level]);
}

void buildModelLists(const ModelMeshes& meshes) {
    buildLampList(meshes.lamp);
    buildPreyPartLists(meshes.prey, preyPartLists);
    buildFighterLists(meshes.fighter, fighterPartLists);
    setupFlame();
    setupGlowBall();
}

void buildModels() {
    // The models are built to the rules' sizes; the level keeps them.
    MazeMap& level = editMaze();
    level.fighterExtent = kFighterExtent;
    level.preyExtent = kPreyExtent;
    level.bulletExtent = kBulletExtent;
    buildMazeLists();
    // The pose file itself is read by the prey's start-up (loadPreyPoseFile).
    loadedMeshes = ModelMeshes{};
    readModelMeshes(loadedMeshes);
    buildModelLists(loadedMeshes);
}

void recordModelListCalls(std::vector<ModelListCall>* sink) { callSink = sink; }

ModelListSource modelListSource(int list) {
    const auto it = listSources.find(list);
    return it == listSources.end() ? ModelListSource{} : it->second;
}

// Shared with the object drawing: calls a model list and notes the call
// while a measurement records.
void callModelList(int list) {
    glCallList(static_cast<GLuint>(list));
    if (callSink) {
        ModelListCall call;
        glGetFloatv(GL_MODELVIEW_MATRIX, call.matrix);
        call.list = list;
        callSink->push_back(call);
    }
    const ModelListSource source = modelListSource(list);
    if (source.mesh) view.modelTriangles += meshTriangleCount(*source.mesh);
}
