// maze.cpp -- the maze's textures, its fixed face lists and its drawing.
#include <GL/gl.h>

#include "render/render.h"

unsigned int mazeTextures[4] = {0, 0, 0, 0};

namespace {

// Surface materials of the maze: specular, shininess, ambient, diffuse and
// the current colour given with them. Indexed by SurfaceMaterial.
struct MaterialValues {
    float specular[3];
    float shininess;
    float ambient[3];
    float diffuse[3];
    float colour[3];
};
constexpr MaterialValues kMaterials[3] = {
    {{0.1f, 0.1f, 0.1f}, 128.0f, {0.55f, 0.55f, 0.55f}, {0.3f, 0.3f, 0.3f}, {0.8f, 0.8f, 0.8f}},
    {{0.1f, 0.1f, 0.1f}, 128.0f, {0.05f, 0.2f, 0.2f}, {0.1f, 0.6f, 0.6f}, {0.05f, 0.2f, 0.2f}},
    {{0.1f, 0.1f, 0.1f}, 128.0f, {0.22f, 0.19f, 0.05f}, {0.65f, 0.6f, 0.2f}, {0.22f, 0.19f, 0.05f}},
};

// The decoded pictures stay allocated for the life of the process.
std::vector<uint8_t> texturePixels[4];

constexpr int kTrianglesPerFace = kFaceSubdivisions * kFaceSubdivisions * 2;

// A vertex of a face list: (u, v) on the plane's free axes, `offset` on its
// fixed one.
void faceVertex(FacePlane plane, float offset, float u, float v) {
    switch (plane) {
    case PlaneX: glVertex3f(offset, u, v); break;
    case PlaneY: glVertex3f(u, offset, v); break;
    case PlaneZ: glVertex3f(u, v, offset); break;
    }
}

// True when side s of the block whose low corner is (x0, y0) faces the eye.
bool sideFacesCamera(int s, float x0, float y0) {
    switch (s) {
    case 0: return view.cameraEye.y < y0;
    case 1: return view.cameraEye.x >= x0;
    case 2: return view.cameraEye.y >= y0;
    default: return view.cameraEye.x < x0;
    }
}

// The first map light hanging on side s of wall cell (row, col), if any.
bool faceCarriesLight(const GameState& world, int row, int col, int s) {
    for (const MazeLight& light : maze.lights)
        if (light.col == col && light.row == row && light.side == s) return true;
    return false;
}

}  // namespace

void setMaterial(const float specular[3], const float ambient[3], const float diffuse[3],
                 float shininess) {
    const GLfloat specularRgba[4] = {specular[0], specular[1], specular[2], 1.0f};
    const GLfloat amb[4] = {ambient[0], ambient[1], ambient[2], 1.0f};
    const GLfloat dif[4] = {diffuse[0], diffuse[1], diffuse[2], 1.0f};
    glMaterialfv(GL_FRONT, GL_SPECULAR, specularRgba);
    glMaterialf(GL_FRONT, GL_SHININESS, shininess);
    glMaterialfv(GL_FRONT, GL_AMBIENT, amb);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, dif);
}

bool loadTextures() {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glGenTextures(4, mazeTextures);
    for (int slot = 0; slot < 4; ++slot) {
        int w = 0, h = 0, channels = 0;
        bool missing = false;
        texturePixels[slot] = readSgiImage(kTextureFileNames[slot], w, h, channels, missing);
        if (missing) return false;
        glBindTexture(GL_TEXTURE_2D, mazeTextures[slot]);
        // A refused picture leaves its texture without an image: the surfaces
        // it covers show their plain material.
        if (!texturePixels[slot].empty())
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                         texturePixels[slot].data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    }
    // An opaque texel replaces the lit colour of a textured surface.
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
    return true;
}

void makeFaceList(SurfaceMaterial material, int listNumber, FacePlane plane, float offset,
                  float width, float height, float nx, float ny, float nz, bool textured) {
    const MaterialValues& m = kMaterials[material];
    glNewList(static_cast<GLuint>(listNumber), GL_COMPILE);
    setMaterial(m.specular, m.ambient, m.diffuse, m.shininess);
    glColor3f(m.colour[0], m.colour[1], m.colour[2]);
    glBegin(GL_QUADS);
    glNormal3f(nx, ny, nz);
    // 10 x 10 quads give the per-vertex lighting enough points to show the
    // spot lights on a face.
    const float step = 1.0f / kFaceSubdivisions;
    for (int i = 0; i < kFaceSubdivisions; ++i) {
        for (int j = 0; j < kFaceSubdivisions; ++j) {
            const float u0 = i * width * step, u1 = (i + 1) * width * step;
            const float v0 = j * height * step, v1 = (j + 1) * height * step;
            const float s0 = i * step, s1 = i * step + step;
            const float t0 = j * step, t1 = j * step + step;
            if (textured) glTexCoord2f(s0, t0);
            faceVertex(plane, offset, u0, v0);
            if (textured) glTexCoord2f(s0, t1);
            faceVertex(plane, offset, u0, v1);
            if (textured) glTexCoord2f(s1, t1);
            faceVertex(plane, offset, u1, v1);
            if (textured) glTexCoord2f(s1, t0);
            faceVertex(plane, offset, u1, v0);
        }
    }
    glEnd();
    glEndList();
}

void buildMazeLists() {
    const float cs = maze.cellSize;
    const float wh = maze.wallHeight;
    for (int pass = 0; pass < 2; ++pass) {
        const bool textured = pass == 1;
        const int base = textured ? kTexturedWallFaceList : kWallFaceList;
        makeFaceList(WallMaterial, base + 0, PlaneY, 0.0f, cs, wh, 0.0f, -1.0f, 0.0f, textured);
        makeFaceList(WallMaterial, base + 1, PlaneX, cs, cs, wh, 1.0f, 0.0f, 0.0f, textured);
        makeFaceList(WallMaterial, base + 2, PlaneY, cs, cs, wh, 0.0f, 1.0f, 0.0f, textured);
        makeFaceList(WallMaterial, base + 3, PlaneX, 0.0f, cs, wh, -1.0f, 0.0f, 0.0f, textured);
        if (!textured) {
            makeFaceList(FloorMaterial, kFloorList, PlaneZ, 0.0f, cs, cs, 0.0f, 0.0f, 1.0f, false);
            makeFaceList(SkyMaterial, kCeilingList, PlaneZ, wh, cs, cs, 0.0f, 0.0f, -1.0f, false);
        } else {
            makeFaceList(FloorMaterial, kTexturedFloorList, PlaneZ, 0.0f, cs, cs, 0.0f, 0.0f, 1.0f,
                         true);
        }
    }
}

void drawMaze(const GameState& world) {
    markVisibleCells(world);
    const bool textured = options.texturesOn;
    if (textured) {
        glEnable(GL_TEXTURE_2D);
        glShadeModel(GL_FLAT);
    } else {
        glDisable(GL_TEXTURE_2D);
        glShadeModel(GL_SMOOTH);
    }
    const int rows = maze.rows < kMaxMazeSize ? maze.rows : kMaxMazeSize;
    const int cols = maze.cols < kMaxMazeSize ? maze.cols : kMaxMazeSize;
    const float cs = maze.cellSize;
    int triangles = 0;

    // Walls: of each visible block only the unhidden faces on the eye's side.
    glBindTexture(GL_TEXTURE_2D, mazeTextures[WallTexture]);
    for (int r = 0; r < rows; ++r) {
        for (int k = 0; k < cols; ++k) {
            if (!view.cellVisible[r][k] || maze.cells[r][k] != 1) continue;
            const float x0 = k * cs, y0 = r * cs;
            glPushMatrix();
            glTranslatef(x0, y0, 0.0f);
            for (int s = 0; s < 4; ++s) {
                if (maze.hiddenFaces[r][k][s] || !sideFacesCamera(s, x0, y0)) continue;
                const bool lit = faceCarriesLight(world, r, k, s);
                if (lit) glBindTexture(GL_TEXTURE_2D, mazeTextures[LitWallTexture]);
                glCallList(static_cast<GLuint>((textured ? kTexturedWallFaceList : kWallFaceList) + s));
                if (lit) glBindTexture(GL_TEXTURE_2D, mazeTextures[WallTexture]);
                triangles += kTrianglesPerFace;
            }
            glPopMatrix();
        }
    }

    // Floors of the visible open cells.
    glBindTexture(GL_TEXTURE_2D, mazeTextures[FloorTexture]);
    for (int r = 0; r < rows; ++r) {
        for (int k = 0; k < cols; ++k) {
            if (!view.cellVisible[r][k] || maze.cells[r][k] != 0) continue;
            glPushMatrix();
            glTranslatef(k * cs, r * cs, 0.0f);
            glCallList(static_cast<GLuint>(textured ? kTexturedFloorList : kFloorList));
            glPopMatrix();
            triangles += kTrianglesPerFace;
        }
    }

    // Ceilings: with textures, one copy of the sky stretched over the whole
    // maze, each cell showing its own part of the picture.
    glBindTexture(GL_TEXTURE_2D, mazeTextures[SkyTexture]);
    const float h = maze.wallHeight;
    for (int r = 0; r < rows; ++r) {
        for (int k = 0; k < cols; ++k) {
            if (!view.cellVisible[r][k] || maze.cells[r][k] != 0) continue;
            glPushMatrix();
            glTranslatef(k * cs, r * cs, 0.0f);
            if (textured) {
                const float s0 = static_cast<float>(k) / maze.cols;
                const float s1 = s0 + 1.0f / maze.cols;
                const float t0 = static_cast<float>(r) / maze.rows;
                const float t1 = t0 + 1.0f / maze.rows;
                glBegin(GL_QUADS);
                glNormal3f(0.0f, 0.0f, -1.0f);
                glTexCoord2f(s0, t0);
                glVertex3f(0.0f, 0.0f, h);
                glTexCoord2f(s0, t1);
                glVertex3f(0.0f, cs, h);
                glTexCoord2f(s1, t1);
                glVertex3f(cs, cs, h);
                glTexCoord2f(s1, t0);
                glVertex3f(cs, 0.0f, h);
                glEnd();
                triangles += 2;
            } else {
                glCallList(kCeilingList);
                triangles += kTrianglesPerFace;
            }
            glPopMatrix();
        }
    }

    if (textured) glDisable(GL_TEXTURE_2D);
    view.trianglesDrawn = triangles;
}
