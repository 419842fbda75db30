// text.cpp -- bitmap text for the HUD from one texture of glyphs.
//
// The toolkit's bitmap fonts draw each character as its own glBitmap, and
// this software renderer turns every run of them into a new texture, a
// sampler and a draw with its own state: about a twentieth of a millisecond
// per label. At start-up the glyphs of the HUD's two fonts are drawn once
// with glutBitmapCharacter into the back buffer and read back; from then on
// a label is one batch of textured quads over exactly the pixels those
// glBitmap calls would set, in the raster colour, at the raster depth.
#include <GL/freeglut.h>
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "render/render.h"

namespace {

// A glyph's mask: its pixels lie at (rx + dx + i, ry + dy + j) for the
// raster pixel (rx, ry), i < w, j < h, where the atlas texel (u + i, v + j)
// is opaque. w == 0: the character sets no pixel.
struct Glyph {
    int dx = 0, dy = 0;
    int w = 0, h = 0;
    int u = 0, v = 0;
    float advance = 0.0f;  // pixels the raster position moves
};

struct GlyphFont {
    void* font = nullptr;
    Glyph glyphs[256];
};

// The fonts the HUD uses, in the order of kHudFontSteps' first use; the
// atlas holds them all.
constexpr int kCapturedFonts = 4;
GlyphFont glyphFonts[kCapturedFonts];
GLuint atlasTexture = 0;
int atlasWidth = 0, atlasHeight = 0;
bool textReady = false;

// glBitmap places a bitmap at the floor of the raster position (with a
// small allowance for rounding of an integral position); so does this.
constexpr float kRasterEpsilon = 1.0e-4f;
int rasterPixel(float p) { return static_cast<int>(std::floor(p + kRasterEpsilon)); }

// Blank space round each glyph's raster pixel in the capture grid: every
// glyph of these fonts reaches less far from its origin.
constexpr int kPad = 8;

const GlyphFont* glyphFontFor(void* font) {
    if (!textReady) return nullptr;
    for (const GlyphFont& g : glyphFonts)
        if (g.font == font) return &g;
    return nullptr;
}

// One set pixel of a captured glyph, relative to its raster pixel.
struct Mask {
    int x0 = 0, y0 = 0, w = 0, h = 0;
    std::vector<uint8_t> bits;  // w * h, row by row from the bottom
};

// Captures characters 1..255 of `font` in a grid of cells over a w x h
// back buffer; false if a glyph touched its cell's border or the window is
// too small for one cell.
bool captureFont(void* font, int w, int h, std::vector<Mask>& masks) {
    int widest = 0;
    for (int c = 1; c < 256; ++c) widest = std::max(widest, glutBitmapWidth(font, c));
    const int cellW = widest + 2 * kPad, cellH = glutBitmapHeight(font) + 2 * kPad;
    const int cols = w / cellW, rows = h / cellH;
    if (cols < 1 || rows < 1) return false;
    std::vector<uint8_t> pixels(static_cast<size_t>(cols * cellW) * rows * cellH);
    for (int first = 1; first < 256; first += cols * rows) {
        const int last = std::min(256, first + cols * rows);
        glClear(GL_COLOR_BUFFER_BIT);
        int ref[256][2] = {};
        for (int c = first; c < last; ++c) {
            const int cell = c - first;
            glRasterPos2i((cell % cols) * cellW + kPad, (cell / cols) * cellH + kPad);
            GLfloat rp[4];
            glGetFloatv(GL_CURRENT_RASTER_POSITION, rp);
            ref[c][0] = rasterPixel(rp[0]);
            ref[c][1] = rasterPixel(rp[1]);
            glutBitmapCharacter(font, c);
        }
        glFinish();
        glReadPixels(0, 0, cols * cellW, rows * cellH, GL_RED, GL_UNSIGNED_BYTE, pixels.data());
        for (int c = first; c < last; ++c) {
            const int cell = c - first;
            const int cx = (cell % cols) * cellW, cy = (cell / cols) * cellH;
            const auto set = [&](int x, int y) {
                return pixels[static_cast<size_t>(cy + y) * cols * cellW + cx + x] > 127;
            };
            int x0 = cellW, y0 = cellH, x1 = -1, y1 = -1;
            for (int y = 0; y < cellH; ++y)
                for (int x = 0; x < cellW; ++x)
                    if (set(x, y)) {
                        x0 = std::min(x0, x), x1 = std::max(x1, x);
                        y0 = std::min(y0, y), y1 = std::max(y1, y);
                    }
            Mask& m = masks[c];
            m = Mask{};
            if (x1 < 0) continue;
            if (x0 == 0 || y0 == 0 || x1 == cellW - 1 || y1 == cellH - 1) return false;
            m.x0 = cx + x0 - ref[c][0], m.y0 = cy + y0 - ref[c][1];
            m.w = x1 - x0 + 1, m.h = y1 - y0 + 1;
            m.bits.resize(static_cast<size_t>(m.w) * m.h);
            for (int y = 0; y < m.h; ++y)
                for (int x = 0; x < m.w; ++x) m.bits[static_cast<size_t>(y) * m.w + x] = set(x0 + x, y0 + y);
        }
    }
    return true;
}

int powerOfTwoAtLeast(int n) {
    int p = 1;
    while (p < n) p *= 2;
    return p;
}

}  // namespace

bool buildHudText() {
    textReady = false;
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    const int w = viewport[2], h = viewport[3];
    void* const fonts[kCapturedFonts] = {GLUT_BITMAP_HELVETICA_18, GLUT_BITMAP_HELVETICA_10,
                                         GLUT_BITMAP_HELVETICA_12, GLUT_BITMAP_TIMES_ROMAN_24};
    std::vector<Mask> masks[kCapturedFonts];
    for (std::vector<Mask>& m : masks) m.resize(256);

    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, w, 0.0, h, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_SCISSOR_TEST);
    glDrawBuffer(GL_BACK);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glColor3f(1.0f, 1.0f, 1.0f);
    bool ok = true;
    for (int f = 0; f < kCapturedFonts && ok; ++f) ok = captureFont(fonts[f], w, h, masks[f]);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopClientAttrib();
    glPopAttrib();
    // A capture that saw nothing (no readable back buffer) leaves the
    // toolkit's own drawing in place.
    for (int f = 0; f < kCapturedFonts; ++f) ok = ok && masks[f]['H'].w > 0;
    if (!ok) return false;

    // Shelf packing, one texel of space between masks.
    constexpr int kAtlasWidth = 256;
    int x = 1, y = 1, shelf = 0;
    for (int f = 0; f < kCapturedFonts; ++f) {
        glyphFonts[f].font = fonts[f];
        for (int c = 0; c < 256; ++c) {
            Glyph& g = glyphFonts[f].glyphs[c];
            const Mask& m = masks[f][c];
            g = Glyph{};
            g.advance = c == 0 ? 0.0f : static_cast<float>(glutBitmapWidth(fonts[f], c));
            if (m.w == 0) continue;
            if (x + m.w + 1 > kAtlasWidth) x = 1, y += shelf + 1, shelf = 0;
            g.dx = m.x0, g.dy = m.y0, g.w = m.w, g.h = m.h, g.u = x, g.v = y;
            x += m.w + 1;
            shelf = std::max(shelf, m.h);
        }
    }
    atlasWidth = kAtlasWidth;
    atlasHeight = powerOfTwoAtLeast(y + shelf + 1);
    // White texels whose alpha is the mask.
    std::vector<uint8_t> rgba(static_cast<size_t>(atlasWidth) * atlasHeight * 4, 255);
    for (size_t i = 3; i < rgba.size(); i += 4) rgba[i] = 0;
    for (int f = 0; f < kCapturedFonts; ++f)
        for (int c = 0; c < 256; ++c) {
            const Glyph& g = glyphFonts[f].glyphs[c];
            const Mask& m = masks[f][c];
            for (int j = 0; j < g.h; ++j)
                for (int i = 0; i < g.w; ++i)
                    rgba[(static_cast<size_t>(g.v + j) * atlasWidth + g.u + i) * 4 + 3] =
                        m.bits[static_cast<size_t>(j) * g.w + i] ? 255 : 0;
        }
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    if (atlasTexture == 0) glGenTextures(1, &atlasTexture);
    glBindTexture(GL_TEXTURE_2D, atlasTexture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, atlasWidth, atlasHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 rgba.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
    textReady = true;
    return true;
}

void drawBitmapText(float x, float y, void* font, const char* text, int zoom) {
    glRasterPos2f(x, y);
    const GlyphFont* gf = glyphFontFor(font);
    if (!gf) {
        for (const char* c = text; *c; ++c) glutBitmapCharacter(font, static_cast<unsigned char>(*c));
        return;
    }
    GLboolean valid = GL_FALSE;
    glGetBooleanv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
    if (!valid || text[0] == '\0') return;
    GLfloat rp[4], colour[4], current[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, rp);
    glGetFloatv(GL_CURRENT_RASTER_COLOR, colour);
    glGetFloatv(GL_CURRENT_COLOR, current);
    GLint viewport[4], envMode = GL_MODULATE, bound = 0;
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &envMode);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    const GLboolean lighting = glIsEnabled(GL_LIGHTING), texturing = glIsEnabled(GL_TEXTURE_2D),
                    alphaTest = glIsEnabled(GL_ALPHA_TEST);
    GLint alphaFunc = GL_ALWAYS;
    GLfloat alphaRef = 0.0f;
    glGetIntegerv(GL_ALPHA_TEST_FUNC, &alphaFunc);
    glGetFloatv(GL_ALPHA_TEST_REF, &alphaRef);

    // Window pixels as coordinates; the raster depth as z (the projection
    // maps z = 1 - 2 d to depth d).
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(viewport[0], viewport[0] + viewport[2], viewport[1], viewport[1] + viewport[3], -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    const float z = 1.0f - 2.0f * rp[2];
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, atlasTexture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    // A clear texel leaves the pixel alone, as an unset bit does; a set one
    // gives the raster colour, its alpha included.
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.0f);
    glColor4fv(colour);
    const float su = 1.0f / static_cast<float>(atlasWidth), sv = 1.0f / static_cast<float>(atlasHeight);
    // The raster position moves by each advance as glBitmap moves it; a
    // zoomed glyph's texels are zoom x zoom pixel blocks from the raster pixel.
    zoom = std::clamp(zoom, 1, kMaxTextZoom);
    const float k = static_cast<float>(zoom);
    float rx = rp[0];
    const int py = rasterPixel(rp[1]);
    glBegin(GL_QUADS);
    for (const char* c = text; *c; ++c) {
        const Glyph& g = gf->glyphs[static_cast<unsigned char>(*c)];
        if (g.w > 0) {
            const float x0 = static_cast<float>(rasterPixel(rx) + zoom * g.dx);
            const float y0 = static_cast<float>(py + zoom * g.dy);
            const float x1 = x0 + k * static_cast<float>(g.w), y1 = y0 + k * static_cast<float>(g.h);
            const float u0 = static_cast<float>(g.u) * su, v0 = static_cast<float>(g.v) * sv;
            const float u1 = static_cast<float>(g.u + g.w) * su, v1 = static_cast<float>(g.v + g.h) * sv;
            glTexCoord2f(u0, v0), glVertex3f(x0, y0, z);
            glTexCoord2f(u1, v0), glVertex3f(x1, y0, z);
            glTexCoord2f(u1, v1), glVertex3f(x1, y1, z);
            glTexCoord2f(u0, v1), glVertex3f(x0, y1, z);
        }
        rx += k * g.advance;
    }
    glEnd();
    glAlphaFunc(static_cast<GLenum>(alphaFunc), alphaRef);
    if (!alphaTest) glDisable(GL_ALPHA_TEST);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, envMode);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
    if (!texturing) glDisable(GL_TEXTURE_2D);
    if (lighting) glEnable(GL_LIGHTING);
    glColor4fv(current);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

HudFont hudFont(int basePixels, float scale) {
    // The toolkit's sizes, crisp, then Helvetica 18 and Times 24 in whole
    // pixel blocks; by their height in pixels.
    constexpr HudFont kSteps[] = {
        {GLUT_BITMAP_HELVETICA_10, 1, 10}, {GLUT_BITMAP_HELVETICA_12, 1, 12},
        {GLUT_BITMAP_HELVETICA_18, 1, 18}, {GLUT_BITMAP_TIMES_ROMAN_24, 1, 24},
        {GLUT_BITMAP_HELVETICA_18, 2, 36}, {GLUT_BITMAP_TIMES_ROMAN_24, 2, 48},
        {GLUT_BITMAP_HELVETICA_18, 3, 54}, {GLUT_BITMAP_HELVETICA_18, 4, 72},
    };
    // The largest step within a tenth above the wanted size; never below the
    // base size (a small window keeps the text readable).
    const float wanted = static_cast<float>(basePixels) * (std::isfinite(scale) ? scale : 1.0f);
    HudFont chosen = kSteps[0];
    for (const HudFont& f : kSteps)
        if (f.pixels <= basePixels || static_cast<float>(f.pixels) <= 1.1f * wanted) chosen = f;
    return chosen;
}

void drawHudText(float x, float y, HudFont f, const char* text) { drawBitmapText(x, y, f.font, text, f.zoom); }
